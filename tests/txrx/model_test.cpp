// Parameter model, StartTX payload, key table and counter arithmetic against
// the simulated board.
#include "agent/inproc_transport.h"
#include "agent/txrx_counters.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "txrx/core/txrx_control.h"
#include "txrx/core/txrx_model.h"

#include "tests/support/txrx_fixture.h"

#include <gtest/gtest.h>

using namespace vq;
using vq::agent::TxRxCountersDevice;

namespace {

class TxRxModelTest : public vq::test::TxRxBoardTest {
  protected:
    TxRxModelTest() : TxRxBoardTest(1000000) {}
    // The Data frame of the frame type table with its template texts.
    static TxFrameInputs DataFrame(const char* totalBytes) {
        TxFrameInputs in;
        in.frameType = 15;
        const FrameTemplate& t = FrameTemplates[15];
        in.fc = t.text[0];
        in.dur = t.text[1];
        in.addr1 = t.text[2];
        in.addr2 = t.text[3];
        in.addr3 = t.text[4];
        in.seq = t.text[5];
        in.payload = t.text[6];
        in.totalBytes = totalBytes;
        return in;
    }
    std::vector<std::uint8_t> Frame(const StartTxPayload& p) const {
        return {p.bytes.begin() + kOffFrame, p.bytes.begin() + kOffFrame + p.frameLength};
    }
    CDeviceCommands dev;
    TxDescriptorValues desc;
};

} // namespace

TEST_F(TxRxModelTest, DataFrameLayoutLengthsAndFillByte) {
    StartTxPayload p;
    ASSERT_EQ(BuildStartTxPayload(dev, DataFrame("40"), desc, p), 15);
    EXPECT_EQ(p.frameLength, 24);
    ASSERT_EQ(p.bytes.size(), 57u);
    EXPECT_EQ(GetLe32(p.bytes.data()), 0x04000000u); // TxdWord without WIV
    const std::uint32_t w1 = GetLe32(p.bytes.data() + 8);
    EXPECT_EQ((w1 >> 16) & 0xFFF, 40u); // Txwi byte count is "Total Bytes"
    EXPECT_EQ((w1 >> 8) & 0xFF, 1u);    // WCID 1
    EXPECT_EQ(GetBe32(p.bytes.data() + kOffRepeat), 1000u);
    EXPECT_EQ(GetBe16(p.bytes.data() + kOffFrameLength), 24);
    EXPECT_EQ(p.bytes.back(), 0xAA);
    const std::vector<std::uint8_t> f = Frame(p);
    EXPECT_EQ(f[0], 0x08);
    EXPECT_EQ(f[1], 0x00);
    EXPECT_EQ(f[4], 0xFF);
    EXPECT_EQ(f[10], 0x00);
    EXPECT_EQ(f[13], 0x12); // Address2 000A40123456
    EXPECT_EQ(f[16 + 5], 0xCC);
    // EDCA registers from the descriptor defaults, one nibble per AC.
    EXPECT_EQ(board->RawMac(0x214), 0x7322u);
    EXPECT_EQ(board->RawMac(0x218), 0x4432u);
    EXPECT_EQ(board->RawMac(0x21C), 0x4443u);
    // WCID 1 carries the board's own address.
    EXPECT_EQ(board->RawMac(0x1808), board->RawMac(0x1008));
    EXPECT_EQ(board->RawMac(0x180C), board->RawMac(0x100C) & 0xFFFF);
}

TEST_F(TxRxModelTest, ShortBudgetsDropHeaderFieldsAndCutThePayload) {
    StartTxPayload p;
    // Budget 20: after Address1 10 are left: Address2 yes, Address3 no, Seq yes.
    TxFrameInputs in = DataFrame("0");
    in.seq = "3412";
    BuildStartTxPayload(dev, in, desc, p);
    EXPECT_EQ(p.frameLength, 18);
    const auto f = Frame(p);
    EXPECT_EQ(f[15], 0x56);
    EXPECT_EQ(f[16], 0x00); // no Address3
    EXPECT_EQ(p.bytes.size(), 18u + kTxwiLength + 13);

    // A payload longer than the budget is cut to it.
    in = DataFrame("30"); // budget 50, 26 after the 24-byte header
    in.payload = std::string(80, '5');
    BuildStartTxPayload(dev, in, desc, p);
    EXPECT_EQ(p.frameLength, 50);
    EXPECT_EQ(Frame(p)[49], 0x55);

    // "Debug Info" reserves 52 zero bytes before the payload when they fit.
    in = DataFrame("100");
    in.payload = "0102";
    in.debugInfo = true;
    BuildStartTxPayload(dev, in, desc, p);
    EXPECT_EQ(p.frameLength, 24 + 52 + 2);
    EXPECT_EQ(Frame(p)[24 + 51], 0x00);
    EXPECT_EQ(Frame(p)[24 + 52], 0x01);

    // A payload text beyond the 512-byte frame area stays inside it.
    in = DataFrame("9999");
    in.payload = std::string(2 * 1000, 'A');
    BuildStartTxPayload(dev, in, desc, p);
    EXPECT_EQ(p.frameLength, kFrameArea);
    EXPECT_EQ(p.bytes.size(), std::size_t(kFrameArea) + kTxwiLength + 13);
}

TEST_F(TxRxModelTest, QosDataHeaderAndRdg) {
    TxFrameInputs in = DataFrame("40");
    in.frameType = kFrameQosData;
    in.fc = "8800";
    in.qosControl = "0107";
    in.payload = "11223344556677";
    in.mode = kModeHtMix;
    in.rdgVisible = true;
    in.rdg = true;
    StartTxPayload p;
    ASSERT_EQ(BuildStartTxPayload(dev, in, desc, p), kFrameQosData);
    // Budget 62: 28-byte header, the 7 payload bytes fit.
    EXPECT_EQ(p.frameLength, 28 + 7);
    auto f = Frame(p);
    EXPECT_EQ(f[1], 0x80); // order bit
    EXPECT_EQ(f[24], 0x07);
    EXPECT_EQ(f[25], 0x01);
    for (int i = 28; i < 32; ++i)
        EXPECT_EQ(f[i], 0) << i; // HT control cleared
    EXPECT_EQ(f[32], 0x55);
    EXPECT_TRUE(board->RawMac(0x1350) & 0x800);

    in.rdg = false;
    BuildStartTxPayload(dev, in, desc, p);
    f = Frame(p);
    EXPECT_EQ(f[1], 0x00);
    EXPECT_EQ(f[28], 0x11);
    EXPECT_FALSE(board->RawMac(0x1350) & 0x800);

    // Empty QoS control stays 0; header even at a budget that just allows it.
    in.qosControl = "";
    in.totalBytes = "4"; // budget 26: 24-byte header, 2 left -> QoS fields
    BuildStartTxPayload(dev, in, desc, p);
    EXPECT_EQ(p.frameLength, 28);
    EXPECT_EQ(Frame(p)[24], 0);
}

TEST_F(TxRxModelTest, McsPhyModeAndBandwidthBits) {
    EXPECT_EQ(McsForRate(kModeCck, 3), 3);
    EXPECT_EQ(McsForRate(kModeCck, 4), 12); // "MCS=8;  SP  1 Mbps"
    EXPECT_EQ(McsForRate(kModeCck, 7), 15);
    EXPECT_EQ(McsForRate(kModeOfdm, 7), 7);
    EXPECT_EQ(McsForRate(kModeHtMix, 15), 15);
    EXPECT_EQ(McsForRate(kModeHtGreen, 16), 32); // "MCS=32;   6 Mbps"

    TxFrameInputs in = DataFrame("40");
    Txwi t;
    in.mode = kModeOfdm;
    in.bandwidth = 2;
    BuildTxwi(dev, in, desc, 40, t);
    EXPECT_FALSE(t.word[0] & (1u << 23)); // no 40 MHz bit outside HT
    EXPECT_EQ(t.word[0] >> 30, 1u);
    in.mode = kModeHtGreen;
    in.rateIndex = 16;
    in.sgiEnabled = in.sgi = true;
    in.stbcEnabled = false;
    in.stbc = true; // disabled: ignored
    in.ampdu = true;
    in.mpduDensityVisible = true;
    in.mpduDensity = "5";
    in.waitAck = in.seqByHw = true;
    BuildTxwi(dev, in, desc, 0x1234, t);
    EXPECT_TRUE(t.word[0] & (1u << 23));
    EXPECT_EQ(t.word[0] >> 30, 3u);
    EXPECT_EQ((t.word[0] >> 16) & 0x7F, 32u);
    EXPECT_TRUE(t.word[0] & (1u << 24));
    EXPECT_EQ((t.word[0] >> 25) & 3, 0u);
    EXPECT_TRUE(t.word[0] & 0x10);
    EXPECT_EQ((t.word[0] >> 5) & 7, 5u);
    EXPECT_EQ(t.word[1] & 3, 3u);
    EXPECT_EQ((t.word[1] >> 2) & 0x3F, 15u); // BA window
    EXPECT_EQ((t.word[1] >> 16) & 0xFFF, 0x234u);
    EXPECT_EQ(State().phyMode, kModeHtGreen); // stored as the program-wide values
    EXPECT_EQ(State().rateIndex, 16);
}

TEST_F(TxRxModelTest, WivCarriesIvAndEiv) {
    TxFrameInputs in = DataFrame("40");
    in.wiv = true;
    desc.eiv = "00000102";
    StartTxPayload p;
    BuildStartTxPayload(dev, in, desc, p);
    EXPECT_EQ(GetLe32(p.bytes.data()), 0x05000000u);
    EXPECT_EQ(GetLe32(p.bytes.data() + 4 + 8), 0x3A7C19E5u);
    EXPECT_EQ(GetLe32(p.bytes.data() + 4 + 12), 0x00000102u);
}

TEST_F(TxRxModelTest, InterPacketGapRegisters) {
    board->SetRawMac(0x1104, 0x00000209); // slot time 9
    for (std::uint32_t r : {0x1300u, 0x1304u, 0x1308u, 0x130Cu})
        board->SetRawMac(r, 0x777);
    ProgramInterPacketGap(dev, "200");
    for (std::uint32_t r : {0x1300u, 0x1304u, 0x1308u, 0x130Cu})
        EXPECT_EQ(board->RawMac(r), 0u);
    EXPECT_EQ(board->RawMac(0x1100), 200u + 256 * 200);
    ProgramInterPacketGap(dev, "300");
    for (std::uint32_t r : {0x1300u, 0x1304u, 0x1308u, 0x130Cu})
        EXPECT_EQ(board->RawMac(r), 0x2100u);
    EXPECT_EQ(board->RawMac(0x1100), 3u + 256 * 3);
    // A slot time of 0 cannot split the gap; no division by zero.
    board->SetRawMac(0x1104, 0);
    ProgramInterPacketGap(dev, "300");
    EXPECT_EQ(board->RawMac(0x1300), 0u);
    EXPECT_EQ(board->RawMac(0x1100), 255u + 256 * 255);
    // IPG disabled: the gap registers are left alone.
    board->SetRawMac(0x1100, 0x1234);
    TxFrameInputs in = DataFrame("40");
    in.ipgEnabled = false;
    StartTxPayload p;
    BuildStartTxPayload(dev, in, desc, p);
    EXPECT_EQ(board->RawMac(0x1100), 0x1234u);
}

TEST_F(TxRxModelTest, RefusedBuilds) {
    StartTxPayload p;
    TxFrameInputs in = DataFrame("1504");
    in.frameType = kFrameUser2Inc;
    in.minLength = "27";
    board->ClearLog();
    EXPECT_EQ(BuildStartTxPayload(dev, in, desc, p), kBuildRefused);
    EXPECT_EQ(prompter.Last(), "Packet length is too short!");
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_TRUE(p.bytes.empty());
    in.minLength = "28";
    EXPECT_EQ(BuildStartTxPayload(dev, in, desc, p), kFrameUser2Inc);
    in.frameType = kFrameUser3Dec;
    in.minLength = "";
    EXPECT_EQ(BuildStartTxPayload(dev, in, desc, p), kBuildRefused);
    in.frameType = kFrameBeacon;
    board->ClearLog();
    StartTxPayload none;
    EXPECT_EQ(BuildStartTxPayload(dev, in, desc, none), kFrameBeacon);
    EXPECT_TRUE(none.bytes.empty());
    EXPECT_EQ(board->LogSize(), 0u);
}

TEST_F(TxRxModelTest, RingBitsAndProtectedFrameDigit) {
    desc.ac0 = false;
    desc.ac1 = desc.ac3 = true;
    EXPECT_EQ(RingSelectionBits(kFrameQosData, desc), 0x000A);
    EXPECT_EQ(RingSelectionBits(15, desc), 0);
    desc.ac0 = true;
    EXPECT_EQ(RingSelectionBits(15, desc), 1);
    EXPECT_EQ(WithProtectedDigit("0800", 4), "0840");
    EXPECT_EQ(WithProtectedDigit("0840", 0), "0800");
    EXPECT_EQ(WithProtectedDigit("08", 4), "08");
}

TEST_F(TxRxModelTest, KeyTableEntries) {
    board->SetRawMac(0x7000, 0xFFFFFFF8);
    ProgramWcidKeys(dev, 1, 0, 0, 4, 0, "000102030405060708090A0B0C0D0E0F");
    EXPECT_EQ(board->RawMac(0x7000), 0xFFFFFFFCu); // cipher 4 in bits 0..2
    EXPECT_EQ(board->RawMac(0x6C00), 0x03020100u);
    EXPECT_EQ(board->RawMac(0x6C0C), 0x0F0E0D0Cu);
    EXPECT_EQ(board->RawMac(0x6C10), GetLe32(kTxMicKey));
    EXPECT_EQ(board->RawMac(0x6C1C), GetLe32(kRxMicKey + 4));
    EXPECT_EQ(board->RawMac(0x6008), 1u);
    EXPECT_EQ(board->RawMac(0x600C), GetLe32(kEivConstant));
    EXPECT_EQ(board->RawMac(0x6804), 8u);

    // Odd BSS: the upper half of the shared-key mode register.
    board->SetRawMac(0x7000, 0);
    ProgramWcidKeys(dev, 2, 1, 1, 3, 0, "00");
    EXPECT_EQ(board->RawMac(0x7000), 3u << 20);
    EXPECT_EQ(board->RawMac(0x6C00 + 32 * 5 + 4), 0u); // short key text: zero bytes
    EXPECT_EQ(board->RawMac(0x6808), 0u + 6 + 16);

    // Pairwise table: entry by WCID, shared-key modes untouched.
    board->SetRawMac(0x7000, 0x55);
    ProgramWcidKeys(dev, 1, 0, 0, 2, 1, "FFEEDDCCBBAA99887766554433221100");
    EXPECT_EQ(board->RawMac(0x4020), 0xCCDDEEFFu);
    EXPECT_EQ(board->RawMac(0x6804), 1u + 4);
    EXPECT_EQ(board->RawMac(0x7000), 0x55u);
}

TEST_F(TxRxModelTest, ChannelListsAndLabels) {
    const ChannelList& l = CurrentChannelList();
    ASSERT_EQ(l.count, 14);
    EXPECT_EQ(l.labels[0], "    1  2412-MHz");
    EXPECT_EQ(l.labels[9], "  10  2457-MHz");
    EXPECT_EQ(l.labels[13], "  14  2484-MHz");
    EXPECT_EQ(l.numbers[13], 14);
    const ChannelList a = MakeChannelList(ChannelPlan::Dual53);
    const ChannelList b = MakeChannelList(ChannelPlan::Dual62);
    EXPECT_EQ(a.count, 53);
    EXPECT_EQ(b.count, 62);
    EXPECT_EQ(a.labels[14], "  36  5180-MHz");
    EXPECT_EQ(a.labels.back(), "173  5865-MHz");
    EXPECT_EQ(b.labels.back(), "196  4980-MHz");
    EXPECT_EQ(RateLabels(kModeCck).size(), 8u);
    EXPECT_EQ(RateLabels(kModeHtGreen).size(), 17u);
    EXPECT_EQ(RateLabels(kModeHtMix)[2], "MCS=2;   19.5Mbps");
    EXPECT_EQ(FrameTypeAt(20).totalBytes, 1058);
    EXPECT_STREQ(FrameTypeAt(17).label, "[17] User1(Random length)");
}

TEST_F(TxRxModelTest, TextConversions) {
    EXPECT_EQ(ParseDecimal("1000"), 1000);
    EXPECT_EQ(ParseDecimal("12ab"), 12);
    EXPECT_EQ(ParseDecimal("x"), 0);
    EXPECT_EQ(ParseHex("fE"), 0xFEu);
    EXPECT_EQ(ParseHex("3A7C19E5"), 0x3A7C19E5u);
    EXPECT_EQ(HexDigitValue('g'), 255);
    EXPECT_EQ(HexTextToBytes("0aG1F"), (std::vector<std::uint8_t>{0x0A, 0x01}));
}

TEST_F(TxRxModelTest, CounterArithmeticAndSignalTexts) {
    ASSERT_TRUE(FerPercent(5, 95).has_value());
    EXPECT_EQ(PercentText(*FerPercent(5, 95)), "5.00%");
    EXPECT_FALSE(FerPercent(0, 0).has_value());
    EXPECT_EQ(PercentText(FrameLossPercent(0, 1000, 990, 3)), "1.00%");
    EXPECT_EQ(PercentText(FrameLossPercent(0, 1000, 1200, 3)), "0.00%");
    EXPECT_EQ(PercentText(FrameLossPercent(1, 500, 99999, 450)), "10.00%");
    EXPECT_EQ(PercentText(FrameLossPercent(1, 0, 0, 0)), "0.00%");
    EXPECT_EQ(SnrText(100), "18.8 dB");
    EXPECT_EQ(SnrText(0), "0.0 dB");
    EXPECT_EQ(FreqDeviationText(std::int8_t(0xF6), false), "-4.0 KHz / 1.7 ppm");
    EXPECT_EQ(FreqDeviationText(25, true), "10.0 KHz / 1.8 ppm");
    EXPECT_EQ(RssiDbm(60, -2, 10), -70);
    EXPECT_EQ(DacConstant(0, false), 0x000C00A0u);
    EXPECT_EQ(DacConstant(1, true), 0x000C0010u);
    EXPECT_EQ(DacConstant(2, false), 0x000C0080u);
}

TEST_F(TxRxModelTest, PollReadsBlockAndHardwareCounters) {
    auto* engine = board->Device<TxRxCountersDevice>();
    ASSERT_NE(engine, nullptr);
    engine->overflowRate = 3;
    CounterState s;
    dev.StartRx();
    nowUs += 1000000;
    PollOutput out = PollBoardCounters(dev, true, s, TxEnv());
    auto text = [&out](int id) {
        for (auto& [i, t] : out.texts)
            if (i == id) return t;
        return std::string("<none>");
    };
    EXPECT_EQ(text(ctl::FcsError), "5 / 5");
    EXPECT_EQ(text(ctl::U2mData), "95 / 95");
    EXPECT_EQ(text(ctl::Fer), "5.00%");
    EXPECT_EQ(text(ctl::RxOverflow), "3 / 3");
    EXPECT_EQ(text(ctl::FalseCca), "7 / 7");
    nowUs += 1000000;
    out = PollBoardCounters(dev, true, s, TxEnv());
    EXPECT_EQ(text(ctl::RxOverflow), "3 / 6"); // totals grow by each read-and-clear value
    EXPECT_EQ(text(ctl::U2mData), "95 / 190");
    EXPECT_EQ(s.signal[3], 100u);
    // Not receiving: only the transmit side.
    out = PollBoardCounters(dev, false, s, TxEnv());
    EXPECT_EQ(text(ctl::FcsError), "<none>");
    EXPECT_EQ(text(ctl::Transmitted), "0");
}

TEST_F(TxRxModelTest, SimulatedTransmitterCountsToRepeat) {
    auto* engine = board->Device<TxRxCountersDevice>();
    StartTxPayload p;
    TxFrameInputs in = DataFrame("40");
    in.repeat = "1000";
    BuildStartTxPayload(dev, in, desc, p);
    dev.StartTx(std::uint16_t(p.bytes.size()), p.bytes.data());
    EXPECT_EQ(engine->repeat, 1000u);
    nowUs += 10000; // 10 ms
    std::uint32_t n = 0;
    dev.GetTxTransmitCounter(n);
    EXPECT_GT(n, 0u);
    EXPECT_LT(n, 1000u);
    nowUs += 10000000;
    dev.GetTxTransmitCounter(n);
    EXPECT_EQ(n, 1000u);
    EXPECT_FALSE(engine->transmitting);
    // OFDM 54 Mbps is quicker than CCK 1 Mbps for the same frame.
    EXPECT_LT(TxRxCountersDevice::FrameAirTimeUs(0x40070000, 100),
              TxRxCountersDevice::FrameAirTimeUs(0, 100));
}

TEST_F(TxRxModelTest, RadioConfigurationWords) {
    board->SetEepromWord(0x34, 0x0013);
    board->SetEepromWord(0x36, 0x2006);
    board->SetEepromWord(0x42, 0x0800);
    board->SetEepromWord(0x44, 0x1A0B);
    board->SetRawMac(0x1004, 0xC);
    LoadRadioConfig(dev);
    EXPECT_EQ(State().RxPathCount(), 3);
    EXPECT_EQ(State().TxPathCount(), 1);
    EXPECT_EQ(State().nicConfig, 0x2006);
    EXPECT_EQ(State().nicConfig2, 0x0800);
    EXPECT_EQ(State().lnaGainG, 0x0B);
    EXPECT_EQ(State().lnaGainA, 0x1A);
    EXPECT_EQ(board->RawMac(0x400) & 0xE00, 0xE00u);
    EXPECT_EQ(board->RawMac(0x1004), 0u);
}

TEST_F(TxRxModelTest, TemperatureSwitch) {
    auto* engine = board->Device<TxRxCountersDevice>();
    board->SetEepromWord(0xD0, 0x0A00); // reference 10
    engine->temperatureCode = 10;
    EXPECT_DOUBLE_EQ(TemperatureSwitchTick(dev), 25.0);
    EXPECT_EQ(board->RawBbp(47) & 0x17, 0x04); // conversion done, mode bits set to 4

    board->Rf(4, 4) = 6;
    engine->temperatureCode = 16; // 36.4 degrees
    TemperatureSwitchTick(dev);
    EXPECT_EQ(board->Rf(4, 4), 0);
    EXPECT_EQ(board->Rf(6, 4), 0);
    EXPECT_EQ(board->Rf(4, 10), 0x51);
    EXPECT_EQ(board->Rf(6, 10), 0x51);

    engine->temperatureCode = 4; // 13.6 degrees
    TemperatureSwitchTick(dev);
    EXPECT_EQ(board->Rf(4, 4), 6);
    EXPECT_EQ(board->Rf(6, 10), 0x41);

    // A sensor that never finishes: 50 polls, 10 ms apart, then on.
    engine->conversionReads = 1000;
    pause.Clear();
    TemperatureSwitchTick(dev);
    EXPECT_EQ(pause.Pauses().size(), 50u);
}

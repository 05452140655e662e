#include "agent/inproc_transport.h"
#include "agent/rx_calibration.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "txrx/core/radio_tables.h"
#include "txrx/core/txrx_radio.h"

#include "tests/support/txrx_fixture.h"

#include <gtest/gtest.h>

#include <map>

using namespace vq;
using vq::agent::BoardModel;
using vq::agent::RxCalibrationDevice;

namespace {

struct RfWrite {
    unsigned bank, reg, value;
    bool operator==(const RfWrite& o) const { return bank == o.bank && reg == o.reg && value == o.value; }
};

class TxRxRadioTest : public vq::test::TxRxBoardTest {
  protected:
    void Init() {
        TxRxRadio().InitializePage(s);
        board->ClearLog();
        pause.Clear();
    }
    void SetEepromByte(unsigned offset, std::uint8_t v) { board->Eeprom()[offset] = v; }
    // RF writes made through the RF control register, in order.
    std::vector<RfWrite> RfWrites() const {
        std::vector<RfWrite> out;
        for (const auto& e : board->Log()) {
            if (e.commandId != cmd::MacWrite || e.payload.size() < 8) continue;
            if (GetBe32(e.payload.data()) != kRfControlRegister) continue;
            const std::uint32_t v = GetBe32(e.payload.data() + 4);
            if ((v & 0x11) == 0x11) out.push_back({(v >> 22) & 0xF, (v >> 16) & 0x3F, (v >> 8) & 0xFF});
        }
        return out;
    }
    std::vector<std::uint32_t> CalibrationItems() const {
        std::vector<std::uint32_t> out;
        for (const auto& e : board->Log())
            if (e.commandId == cmd::Calibration)
                out.push_back(GetBe32(e.payload.data()) * 16 + GetBe32(e.payload.data() + 4));
        return out;
    }
    std::uint8_t Rf(unsigned bank, unsigned reg) { return board->Rf(bank, reg); }
    std::uint8_t Bbp(unsigned reg) { return board->RawBbp(std::uint8_t(reg)); }
    RxCalibrationDevice* Calibration() { return board->Device<RxCalibrationDevice>(); }

    // What a fresh page holds: channel 1, 20 MHz, nothing else chosen.
    TxRxRadioSettings s;
};

// A control the set-up did not touch keeps the state of a fresh page: enabled and shown.
bool On(const std::optional<bool>& state) {
    return state.value_or(true);
}

} // namespace

TEST_F(TxRxRadioTest, InitialisationLeavesTheBoardAsTheTablesSay) {
    TxRxRadio().InitializePage(s);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();

    // BBP table: each register holds its last write, except those the later
    // steps set for channel, bandwidth and receive path.
    std::map<unsigned, unsigned> last;
    for (const auto& e : kBbpInitTable)
        last[e.reg] = e.value;
    for (const auto& [reg, value] : last) {
        if (reg != 4 && reg != 91 && reg != 95) {
            EXPECT_EQ(Bbp(reg), value) << "R" << reg;
        }
    }
    EXPECT_EQ(Bbp(186), 0x00);
    EXPECT_EQ(Bbp(187), 0x01);
    EXPECT_EQ(Bbp(188), 0x00);
    EXPECT_EQ(Bbp(91), 4); // both paths, no external LNA
    EXPECT_EQ(Bbp(95), 154);
    EXPECT_EQ(Bbp(62), 55 - 0x10); // 55 - LnaGainG
    EXPECT_EQ(Bbp(30), 0x1F);      // channel 1
    EXPECT_EQ(board->R66(0), 2 * (0x10 + 2));
    EXPECT_EQ(board->R66(1), 2 * (0x10 + 2));

    for (const auto& e : kR158Table)
        EXPECT_EQ(board->Indirect158(e.index), e.value) << "index " << int(e.index);
    const std::map<unsigned, unsigned> later = {{128, 224}, {141, 26}, {157, 64}, {170, 48}, {171, 48}};
    for (const auto& e : kR195Table) {
        auto it = later.find(e.index);
        EXPECT_EQ(board->Indirect195(e.index), it == later.end() ? e.value : it->second)
            << "index " << int(e.index);
    }

    // The 319 RF writes appear in order, bank 0 without R7.
    const auto writes = RfWrites();
    const RfWriteEntry* table = RfInitTable();
    std::vector<RfWrite> expected;
    for (std::size_t i = 0; i < kRfInitCount; ++i)
        expected.push_back({table[i].bank, table[i].reg, table[i].value});
    auto at = std::search(writes.begin(), writes.end(), expected.begin(), expected.end());
    ASSERT_NE(at, writes.end());
    EXPECT_EQ(expected.front(), (RfWrite{0, 0, 0x02}));
    EXPECT_EQ(expected[7], (RfWrite{0, 8, 0x00}));
    EXPECT_EQ(expected[63], (RfWrite{4, 0, 0x03}));
    EXPECT_EQ(expected.back(), (RfWrite{7, 63, 0x00}));
    for (int r = 0; r < 64; ++r) {
        EXPECT_EQ(Rf(4, r), kRfBank4Init[r]) << r;
        EXPECT_EQ(Rf(6, r), kRfBank4Init[r]) << r;
        EXPECT_EQ(Rf(5, r), kRfBank5Init[r]) << r;
        EXPECT_EQ(Rf(7, r), kRfBank5Init[r]) << r;
    }
    const std::set<int> tuned = {2, 4, 5, 7, 12, 13, 16, 17, 18, 19, 20, 21, 22, 28, 39, 42};
    for (int r = 0; r < 64; ++r) {
        if (!tuned.count(r)) {
            EXPECT_EQ(Rf(0, r), kRfBank0Init[r]) << r;
        }
    }
    EXPECT_EQ(Rf(0, 12), 0x20); // frequency offset from EEPROM word 0x3A
    EXPECT_EQ(Rf(0, 4), 0x8C);  // VCO calibration started

    EXPECT_EQ(board->RawMac(0x1328), 0x00150F03u); // 2.4 GHz band bits, DAC 0
    EXPECT_EQ(board->RawMac(0x13B0), 0x2F2F0B0Cu); // TX power 0x0C / 0x0B of channel 1
    EXPECT_EQ(board->RawMac(0x1008), 0x94430C00u);
    EXPECT_EQ(board->RawMac(0x100C), 0x00000147u);
    EXPECT_EQ(board->RawMac(0x102C), 0x7F031E46u);
    EXPECT_EQ(board->RawMac(0x807C), 0x02000000u);
    EXPECT_EQ(board->RawMac(0x1004), 0u); // transmitter and receiver off
    EXPECT_EQ(board->RawMac(0x132C), 0x4u);
    EXPECT_EQ(board->RawMac(0x400) & 0xE00, 0xE00u);

    EXPECT_EQ(s.chipInfo, "VQ9447 :: 2 T 2 R");
    EXPECT_EQ(s.macAddress, "000C43944701");
    EXPECT_EQ(s.address2, "000C43944701");
    EXPECT_EQ(s.txPower0, "0C");
    EXPECT_EQ(s.txPower1, "0B");
    EXPECT_EQ(s.freqOffset, "20");
    EXPECT_EQ(s.extLna, "ExtLNA = 0");
    EXPECT_EQ(s.totalBytes, "1058");
    EXPECT_EQ(s.minLength, "0");
    EXPECT_EQ(s.dac, Dac::Dac0);
    EXPECT_FALSE(s.oneRxPath);
    EXPECT_FALSE(On(s.rxPathListEnabled));
    EXPECT_TRUE(s.tempSensor); // NicConfig2 bit 11 clear: sensor on
    EXPECT_FALSE(On(s.txBandSelEnabled));
    EXPECT_FALSE(On(s.qosControlVisible));
    EXPECT_FALSE(On(s.htQosVisible));
    EXPECT_FALSE(On(s.iqCalVisible)); // option i not given
    EXPECT_EQ(State().txPower0, 0x0C);
    EXPECT_EQ(State().freqOffset, 0x20);
    EXPECT_EQ(State().bandwidthIndex, 1);

    // The page's share: lists, frame template, counters, sensor timer, descriptor layout.
    EXPECT_EQ(s.channel, 0);
    EXPECT_EQ(s.mode, kModeOfdm);
    EXPECT_EQ(s.rateLabelsOf, kModeOfdm);
    EXPECT_EQ(s.frameType, kFrameUser4DataCrc);
    ASSERT_TRUE(s.frameFields);
    EXPECT_EQ(s.frameFields->text[3], "000C43944701"); // the board's address, read before it changes
    EXPECT_TRUE(s.zeroCounters);
    EXPECT_EQ(s.tempSensorTimer, true);
    EXPECT_EQ(s.qosLayout, false);
    EXPECT_EQ(s.autoResponderSet, false);
    EXPECT_TRUE(s.countersReset);
    EXPECT_EQ(CountCommands(cmd::ResetCounter), 1u);

    // Item 8, item 7 around the receiver calibration; item 5 (20 MHz) at each bandwidth set-up.
    EXPECT_EQ(CalibrationItems(), (std::vector<std::uint32_t>{0x50, 0x80, 0x70, 0x50, 0x50}));
    // Receiver calibrations between items 8 and 7, for DAC 0, the second channel set-up and
    // both receive path settings, each answered after one busy poll.
    EXPECT_EQ(Calibration()->started, 5u);
    EXPECT_EQ(Calibration()->busyReads, 5u);
}

TEST_F(TxRxRadioTest, PrescribedPausesOfTheInitialisation) {
    TxRxRadio().InitializePage(s);
    // Reset pulse 1, table 30, VCO 5; two channel set-ups of 50 (mode change)
    // + 50 + 5 + 50 and a last bandwidth set-up of 50; five receiver
    // calibrations of 30 + 10 + 30.
    const auto p = pause.Pauses();
    ASSERT_GE(p.size(), 3u);
    EXPECT_EQ(p[0], 1u);
    EXPECT_EQ(p[1], 30u);
    EXPECT_EQ(p[2], 5u);
    EXPECT_EQ(pause.Total(), 1u + 30 + 5 + 2 * (50 + 50 + 5 + 50) + 50 + 5 * 70);
}

TEST_F(TxRxRadioTest, ChannelOneSynthesizer) {
    Init();
    EXPECT_EQ(Rf(0, 20), 80);
    EXPECT_EQ(Rf(0, 21) & 1, 0);
    EXPECT_EQ(Rf(0, 17), 0x99);
    EXPECT_EQ(Rf(0, 18), 0x99);
    EXPECT_EQ(Rf(0, 19) & 3, 1);
    EXPECT_EQ(Rf(0, 19) & ~3, kRfBank0Init[19] & ~3); // other bits kept
    EXPECT_EQ(Rf(0, 13) & 3, 3);                      // R = 0.5
    EXPECT_EQ(Rf(0, 16) & 0xF, 0);
    EXPECT_EQ(Rf(0, 22) & 7, 0);
    EXPECT_EQ(Rf(0, 28), 0x62);
    EXPECT_EQ(Bbp(30), 0x1F);
    EXPECT_EQ(Rf(0, 39) & 0x80, 0x80);

    // Channel 14: N 82, Ksd 0x33333.
    s.channel = 13;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(State().channelIndex, 13);
    EXPECT_EQ(Rf(0, 20), 82);
    EXPECT_EQ(Rf(0, 17), 0x33);
    EXPECT_EQ(Rf(0, 18), 0x33);
    EXPECT_EQ(Rf(0, 19) & 3, 3);
    EXPECT_EQ(Bbp(30), 0x40);
    EXPECT_EQ(Rf(0, 39) & 0x80, 0);
    EXPECT_EQ(Rf(0, 42) & 0x20, 0x20);
}

TEST_F(TxRxRadioTest, ChannelElevenAtFortyMhzWithPackageTwoTwo) {
    board->SetRawMac(0x1000000C, 0x00000202);
    Init();
    EXPECT_EQ(TxRxRadio().packageFieldA, 2);
    EXPECT_EQ(TxRxRadio().packageFieldB, 2);
    s.bandwidth = 2;
    TxRxRadio().ApplyBandwidth(s);
    EXPECT_EQ(State().bandwidthIndex, 2);
    EXPECT_EQ(Rf(5, 8), 4);
    EXPECT_EQ(Rf(7, 8), 4);
    EXPECT_EQ(board->Indirect195(141), 16);
    EXPECT_EQ(board->Indirect195(157), 47);
    EXPECT_EQ(Bbp(4) & 0x18, 0x10);
    EXPECT_TRUE(On(s.txBandSelEnabled)); // OFDM at 40 MHz
    EXPECT_EQ(CalibrationItems(), (std::vector<std::uint32_t>{0x51}));

    s.channel = 10;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Rf(0, 28), 0x66);
    EXPECT_EQ(Bbp(30), 0x40);

    // Other packages, other channels or 20 MHz keep 0x62.
    TxRxRadio().packageFieldB = 1;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Rf(0, 28), 0x62);
    TxRxRadio().packageFieldB = 2;
    s.channel = 9;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Rf(0, 28), 0x62);
    EXPECT_EQ(Bbp(30), 0x1F);
    s.channel = 10;
    s.bandwidth = 1;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Rf(0, 28), 0x62);
    EXPECT_EQ(Rf(5, 8), 0);
}

TEST_F(TxRxRadioTest, ChannelFourteenCckAtTwentyMhzSetsR4Bit5) {
    Init();
    State().phyMode = 0;
    s.channel = 13;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Bbp(4) & 0x20, 0x20);
    EXPECT_EQ(Bbp(4) & 0x18, 0); // 20 MHz

    State().phyMode = 1;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Bbp(4) & 0x20, 0);

    State().phyMode = 0;
    s.channel = 12;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Bbp(4) & 0x20, 0);

    s.channel = 13;
    s.bandwidth = 2;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Bbp(4) & 0x20, 0);
    EXPECT_EQ(Bbp(4) & 0x10, 0x10);
}

TEST_F(TxRxRadioTest, ChannelIndexOutsideTheListChangesNothing) {
    Init();
    for (int bad : {14, 52, -5}) {
        s.channel = bad;
        State().channelIndex = 40;
        TxRxRadio().ApplyChannel(s);
        EXPECT_EQ(board->LogSize(), 0u) << bad;
        EXPECT_EQ(State().channelIndex, 40);
    }
    // No selection: the program-wide index, when it is in the list.
    s.channel = -1;
    State().channelIndex = 5;
    TxRxRadio().ApplyChannel(s);
    EXPECT_EQ(Rf(0, 20), 81);
    // Bandwidth and power operations with a bad program-wide index stay away from the table too.
    State().channelIndex = 99;
    board->ClearLog();
    TxRxRadio().LoadTxPower(s, 0);
    EXPECT_EQ(board->LogSize(), 0u);
    TxRxRadio().ApplyBandwidth(s);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(TxRxRadioTest, TxPowerFromTheEeprom) {
    Init();
    SetEepromByte(82, 0x3F); // channel 1, path 0: 63 is not a calibrated power
    SetEepromByte(96, 0x2F); // channel 1, path 1: 47 is
    TxRxRadio().LoadTxPower(s, 0);
    TxRxRadio().LoadTxPower(s, 1);
    EXPECT_EQ(State().txPower0, 7);
    EXPECT_EQ(State().txPower1, 0x2F);
    EXPECT_EQ(s.txPower0, "07");
    EXPECT_EQ(s.txPower1, "2F");
    EXPECT_EQ(board->RawMac(0x13B0), 0x2F2F2F07u);
    EXPECT_EQ(TxRxRadio().alcRegisterDefault, 0x2F2F2F07u);

    // Channel 2: odd offsets take the high byte; bits 6 and 7 are not power.
    State().channelIndex = 1;
    SetEepromByte(83, 0xC5);
    SetEepromByte(97, 0x30); // 48
    TxRxRadio().LoadTxPower(s, 0);
    TxRxRadio().LoadTxPower(s, 1);
    EXPECT_EQ(State().txPower0, 5);
    EXPECT_EQ(State().txPower1, 7);

    // Internal ALC: the low byte of word 0xD0 for both paths.
    s.intAlc = true;
    board->SetEepromWord(0xD0, 0x0A12);
    TxRxRadio().LoadTxPower(s, 0);
    EXPECT_EQ(State().txPower0, 0x12);
    EXPECT_EQ(board->RawMac(0x13B0) & 0x3F, 0x12u);
}

TEST_F(TxRxRadioTest, FortyMhzPowerDelta) {
    Init();
    State().bandwidthIndex = 2;
    auto apply = [&](std::uint16_t word, std::uint32_t copy) {
        board->SetEepromWord(0x50, word);
        board->SetRawMac(0x13B4, 0xDEAD);
        TxRxRadio().txPowerRegisterCopy = copy;
        TxRxRadio().ApplyFortyMhzPowerDelta(s);
        return board->RawMac(0x13B4);
    };
    EXPECT_EQ(apply(0x00C3, 0x1100), 0x1103u); // add 3
    EXPECT_EQ(apply(0x00C3, 0x111C), 0x111Fu); // 31 stays below 32
    EXPECT_EQ(apply(0x00C3, 0x111E), 0x111Fu); // 33 capped at 0x1F
    EXPECT_EQ(apply(0x00C3, 0xFF3F), 0xFF1Fu);
    EXPECT_EQ(apply(0x00DF, 0x1100), 0x1108u); // amount at most 8
    EXPECT_EQ(apply(0x0083, 0x110A), 0x1107u); // subtract
    EXPECT_EQ(apply(0x0083, 0x1101), 0x113Eu); // -2 as a 6-bit pattern
    EXPECT_EQ(apply(0x0043, 0x1100), 0xDEADu); // bit 7 clear: not used
    EXPECT_EQ(apply(0x00FF, 0x1100), 0xDEADu); // 0xFF: not programmed
    EXPECT_EQ(apply(0xC300, 0x1100), 0xDEADu); // the 5 GHz byte is not used on 2.4 GHz

    // With "Int ALC" the ALC register default is the base and 0x13B0 the target.
    s.intAlc = true;
    TxRxRadio().alcRegisterDefault = 0x2F2F0B0C;
    board->SetEepromWord(0x50, 0x00C3);
    TxRxRadio().ApplyFortyMhzPowerDelta(s);
    EXPECT_EQ(board->RawMac(0x13B0), 0x2F2F0B0Fu);

    // Other bandwidths restore the base.
    State().bandwidthIndex = 1;
    TxRxRadio().ApplyFortyMhzPowerDelta(s);
    EXPECT_EQ(board->RawMac(0x13B0), 0x2F2F0B0Cu);
    s.intAlc = false;
    TxRxRadio().txPowerRegisterCopy = 0x0C0C;
    TxRxRadio().ApplyFortyMhzPowerDelta(s);
    EXPECT_EQ(board->RawMac(0x13B4), 0x0C0Cu);
}

TEST_F(TxRxRadioTest, OneTxPathBoard) {
    board->SetEepromWord(0x34, 0x0011);
    TxRxRadio().InitializePage(s);
    EXPECT_EQ(s.chipInfo, "VQ9447 :: 1 T 1 R");
    EXPECT_EQ(s.secondTxPathEnabled, false); // TX power 1, "Both DACs" and "DAC 1"; "DAC 0" stays
    EXPECT_TRUE((s.dac == Dac::Dac0));
    EXPECT_FALSE((s.dac == Dac::Both));
    EXPECT_FALSE((s.dac == Dac::Dac1));
    EXPECT_EQ(s.rxPath1Enabled, false);
    EXPECT_EQ(s.rxPath2Enabled, false);
    // The "Int ALC" rule loads both path powers, also on a one-path board.
    EXPECT_EQ(board->RawMac(0x13B0), 0x2F2F0B0Cu);
    EXPECT_EQ(Rf(0, 2) & 0xF0, 0x10);
    EXPECT_EQ(Rf(0, 2) & 0x0E, 0x00); // receive path 0 only
    EXPECT_EQ(Rf(0, 2) & 0x01, 0x01);
    EXPECT_EQ(Bbp(3) & 0x18, 0x00);
    EXPECT_EQ(board->R66(0), 2 * (0x10 + 2));
}

TEST_F(TxRxRadioTest, TwoTxPathsKeepEveryDac) {
    TxRxRadio().InitializePage(s);
    EXPECT_TRUE(On(s.secondTxPathEnabled));
    EXPECT_TRUE(On(s.rxPath1Enabled));
    EXPECT_EQ(s.rxPath2Enabled, false); // no third path
}

TEST_F(TxRxRadioTest, DacChoices) {
    Init();
    const unsigned before = Calibration()->started;
    auto choose = [&](Dac dac) {
        s.dac = dac;
        board->SetRawMac(0x1328, 0x000C0000);
        board->RawBbp(1) = 0xFF;
        board->Rf(0, 2) = 0xFF;
        board->Rf(0, 42) = 0x00;
        TxRxRadio().ApplyDacChoice(s);
    };
    choose(Dac::Both);
    EXPECT_EQ(board->RawMac(0x1328), 0x000C000Fu);
    EXPECT_EQ(Bbp(1), 0xF7);
    EXPECT_EQ(Rf(0, 2), 0x3F);
    EXPECT_EQ(Rf(0, 42), 0x50);
    choose(Dac::Dac0);
    EXPECT_EQ(board->RawMac(0x1328), 0x000C0003u);
    EXPECT_EQ(Bbp(1), 0xE7);
    EXPECT_EQ(Rf(0, 2), 0x1F);
    EXPECT_EQ(Rf(0, 42), 0x10);
    choose(Dac::Dac1);
    EXPECT_EQ(board->RawMac(0x1328), 0x000C000Cu);
    EXPECT_EQ(Bbp(1), 0xEF);
    EXPECT_EQ(Rf(0, 2), 0x2F);
    EXPECT_EQ(Rf(0, 42), 0x40);
    EXPECT_EQ(Calibration()->started - before, 3u); // each choice calibrates the receiver

    board->ClearLog();
    s.dac = Dac::None;
    TxRxRadio().ApplyDacChoice(s);
    EXPECT_EQ(board->LogSize(), 0u);
}

TEST_F(TxRxRadioTest, RxCalibrationRoutine) {
    Init();
    board->SetRawMac(0x1004, 0x0000000C);
    board->Rf(5, 4) = 0x47;
    board->Rf(7, 4) = 0x07;
    TxRxRadio().RunRxCalibration();
    EXPECT_EQ(board->RawMac(0x1004), 0x0Cu);
    EXPECT_EQ(Rf(5, 4), 0x07); // bit 6 cleared after the 100 pulse
    EXPECT_EQ(Rf(7, 4), 0x07);
    EXPECT_EQ(board->Indirect158(140) & 0x40, 0);
    EXPECT_EQ(board->Indirect158(141) & 0x10, 0);
    EXPECT_EQ(pause.Pauses(), (std::vector<unsigned>{30, 10, 30}));
    bool receiverAlone = false;
    for (const auto& e : board->Log())
        if (e.commandId == cmd::MacWrite && GetBe32(e.payload.data()) == 0x1004 &&
            GetBe32(e.payload.data() + 4) == 8)
            receiverAlone = true;
    EXPECT_TRUE(receiverAlone);

    // A calibration that never ends: 100 polls 10 ms apart, then on.
    Calibration()->stuck = true;
    Calibration()->busyReads = 0;
    pause.Clear();
    TxRxRadio().RunRxCalibration();
    EXPECT_EQ(Calibration()->busyReads, 101u); // 100 polls and the read of the clearing write
    EXPECT_EQ(pause.Total(), 30u + 99 * 10 + 30);
    EXPECT_EQ(board->Indirect158(140) & 0x40, 0); // cleared by the routine
    EXPECT_EQ(board->RawMac(0x1004), 0x0Cu);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(TxRxRadioTest, ReceivePathSelection) {
    Init();
    s.oneRxPath = true;
    TxRxRadio().ApplyRxPath(s);
    EXPECT_TRUE(On(s.rxPathListEnabled));
    EXPECT_EQ(s.rxPathItems, (std::vector<std::string>{"RX 1", "RX 0"}));
    EXPECT_EQ(s.rxPathSelection, 1);
    EXPECT_EQ(Bbp(3) & 0x1B, 0);
    EXPECT_EQ(Bbp(31) & 0x40, 0);
    EXPECT_EQ(Bbp(91), 7);
    EXPECT_EQ(Bbp(95), 26);
    EXPECT_EQ(board->Indirect195(128), 160);
    EXPECT_EQ(board->Indirect195(170), 18);
    EXPECT_EQ(board->Indirect195(171), 16);
    EXPECT_EQ(board->RawMac(0x51C) & 0x300, 0x200u);
    EXPECT_EQ(board->RawMac(0x518) & 0x300, 0x200u);
    EXPECT_EQ(Rf(0, 2) & 0x0F, 0x01);

    s.rxPathSelection = 0; // "RX 1"
    TxRxRadio().ApplyRxPathSelection(s);
    EXPECT_EQ(Bbp(3) & 3, 1);
    EXPECT_EQ(Rf(0, 2) & 0x0F, 0x02);
    EXPECT_EQ(board->RawMac(0x51C) & 0x300, 0x100u);
    s.rxPathSelection = 1; // "RX 0"
    TxRxRadio().ApplyRxPathSelection(s);
    EXPECT_EQ(Bbp(3) & 3, 0);
    EXPECT_EQ(Rf(0, 2) & 0x0F, 0x01);
    EXPECT_EQ(board->RawMac(0x518) & 0x300, 0x200u);

    State().antennaConfig = 0x33;
    TxRxRadio().ApplyRxPath(s);
    EXPECT_EQ(s.rxPathItems, (std::vector<std::string>{"RX 1", "RX 2", "RX 0"}));
    EXPECT_EQ(s.rxPathSelection, 2);
    s.rxPathSelection = 1; // "RX 2"
    TxRxRadio().ApplyRxPathSelection(s);
    EXPECT_EQ(Bbp(3) & 3, 2);
    EXPECT_EQ(Rf(0, 2) & 0x0F, 0x04);

    State().antennaConfig = 0x22;
    s.oneRxPath = false;
    TxRxRadio().ApplyRxPath(s);
    EXPECT_FALSE(On(s.rxPathListEnabled));
    EXPECT_EQ(Bbp(3) & 0x1B, 0x0B);
    EXPECT_EQ(Bbp(31) & 0x40, 0x40);
    EXPECT_EQ(Bbp(91), 4);
    EXPECT_EQ(Bbp(95), 154);
    EXPECT_EQ(board->Indirect195(128), 224);
    EXPECT_EQ(board->RawMac(0x51C) & 0x300, 0u);
    EXPECT_EQ(Rf(0, 2) & 0x0F, 0x03);
}

TEST_F(TxRxRadioTest, AntennaBandSideAndSwitches) {
    board->SetEepromWord(0x36, 0x1800); // antenna diversity 3: Aux
    TxRxRadio().InitializePage(s);
    EXPECT_TRUE((s.antenna == Antenna::Aux));
    EXPECT_FALSE((s.antenna == Antenna::Main));
    EXPECT_EQ(board->RawMac(0x4) & 1, 1u);
    EXPECT_EQ(board->RawMac(0x228) & 0x808, 0u);
    EXPECT_EQ(board->RawMac(0x228) & 0xF000, 0xF000u);
    EXPECT_EQ(Bbp(152), 0xA3);
    EXPECT_EQ(Rf(0, 42) & 0x80, 0x80);

    s.antenna = Antenna::Main;
    TxRxRadio().ApplyAntenna(s);
    EXPECT_EQ(board->RawMac(0x4) & 1, 0u);
    EXPECT_EQ(board->RawMac(0x228) & 0x808, 0x8u);
    EXPECT_EQ(Bbp(150), 0x40);
    EXPECT_EQ(Bbp(151), 0x30);
    EXPECT_EQ(Bbp(152), 0x23);
    EXPECT_EQ(Rf(0, 42) & 0x80, 0);

    s.txBandSel = 1;
    TxRxRadio().ApplyTxBandSel(s);
    EXPECT_EQ(board->RawMac(0x132C) & 1, 1u);
    EXPECT_EQ(Bbp(3) & 0x20, 0x20);
    s.txBandSel = 0;
    TxRxRadio().ApplyTxBandSel(s);
    EXPECT_EQ(board->RawMac(0x132C) & 1, 0u);
    EXPECT_EQ(Bbp(3) & 0x20, 0);

    s.dcdc127 = true;
    TxRxRadio().OnDcdc127(s);
    EXPECT_EQ(Rf(0, 9), 0x20);
    EXPECT_EQ(Rf(0, 22), 0x40);
    EXPECT_EQ(Rf(4, 5), 0x88);
    EXPECT_EQ(Rf(6, 5), 0x88);
    s.dcdc127 = false;
    TxRxRadio().OnDcdc127(s);
    EXPECT_EQ(Rf(0, 9), 0);
    EXPECT_EQ(Rf(4, 5), 0x08);

    s.tempCom = true;
    TxRxRadio().OnTempCom(s);
    EXPECT_FALSE(On(s.calTempEnabled));
    s.tempCom = false;
    TxRxRadio().OnTempCom(s);
    EXPECT_TRUE(On(s.calTempEnabled));
}

TEST_F(TxRxRadioTest, InternalAlcSwitch) {
    Init();
    board->SetRawMac(0x13B4, 0x00001D2A);
    s.intAlc = true;
    TxRxRadio().OnIntAlc(s);
    EXPECT_EQ(Bbp(47) & 0x98, 0x90);
    EXPECT_EQ(TxRxRadio().txPowerRegisterCopy, 0x1D2Au);
    EXPECT_EQ(State().txPower0, 0x0A); // low byte of word 0xD0

    s.calTssiEnabled = false;
    s.intAlc = false;
    TxRxRadio().OnIntAlc(s);
    EXPECT_TRUE(On(s.calTssiEnabled));
    EXPECT_EQ(board->RawMac(0x13B4), 0x1D00u);
    EXPECT_EQ(TxRxRadio().txPowerRegisterCopy, 0x1D00u);
    EXPECT_EQ(State().txPower0, 0x0C); // channel 1 power again
}

TEST_F(TxRxRadioTest, PerRateTxPowerRegisters) {
    Init();
    for (unsigned i = 0; i < 9; ++i)
        board->SetEepromWord(0xDE + 2 * i, std::uint16_t(0xC0C1 + 0x0101 * i));
    TxRxRadio().RefreshTxPowerRegisters(s);
    // Words 0xC0C1, 0xC1C2, ..: bits 6 and 7 of each byte are masked off.
    const std::uint32_t expected[8] = {0x01020001, 0x03040203, 0x05060405, 0x07080607,
                                       0x00000809, 0x00040002, 0x00000006, 0x00000008};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(board->RawMac(CTxRxRadio::kTxPowerRateRegisters[i]), expected[i]) << i;
        EXPECT_EQ(TxRxRadio().txPowerPerRate[i], expected[i]) << i;
    }
    s.sideBand = true;
    TxRxRadio().RefreshTxPowerRegisters(s);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(board->RawMac(CTxRxRadio::kTxPowerRateRegisters[i]), 0u) << i;
}

TEST_F(TxRxRadioTest, ConfigurationOptionsOfTheInitialisation) {
    // Alternative TX power defaults, external LNA, temperature compensation,
    // internal ALC, side-band option, sensor off; options i and r.
    board->SetEepromWord(0x36, 0xE026);
    board->SetEepromWord(0x42, 0x0800);
    State().optIqCal = true;
    State().optRfBist = true;
    TxRxRadio().InitializePage(s);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
    EXPECT_EQ(board->RawMac(0x13A8), 0x6C6C6B6Cu);
    EXPECT_EQ(board->RawMac(0x13A0), 0x36303636u);
    EXPECT_EQ(board->RawMac(0x530) & 0x101, 0x101u);
    EXPECT_EQ(board->RawMac(0x534) & 0x101, 0x101u);
    EXPECT_EQ(Rf(4, 43), 115);
    EXPECT_EQ(Rf(6, 61), 5);
    EXPECT_EQ(Rf(5, 5), 0);
    EXPECT_EQ(Rf(4, 14), 102);
    EXPECT_EQ(Rf(6, 18), 66);
    EXPECT_EQ(Bbp(79), 92);
    EXPECT_EQ(Bbp(91), 6);
    EXPECT_EQ(board->Indirect158(3), 103);
    EXPECT_EQ(board->Indirect195(141), 21);
    EXPECT_EQ(Rf(0, 42), (0xDB & 0xBF) | 0x10); // external LNA value, then DAC 0
    EXPECT_EQ(s.extLna, "ExtLNA = 1");
    EXPECT_TRUE(s.tempCom);
    EXPECT_FALSE(On(s.calTempEnabled));
    EXPECT_TRUE(s.intAlc);
    EXPECT_TRUE(s.sideBand);
    EXPECT_FALSE(s.tempSensor);
    EXPECT_EQ(s.iqCalVisible, true);
    EXPECT_EQ(board->RawMac(0x1314), 0u); // side-band option: per-rate powers off
    EXPECT_EQ(State().txPower0, 0x0A);    // internal ALC power
    EXPECT_EQ(s.tempSensorTimer, false);
    // Option r: the DAC register right after its start-up value.
    std::vector<std::uint32_t> dac;
    for (const auto& e : board->Log())
        if (e.commandId == cmd::MacWrite && GetBe32(e.payload.data()) == 0x1328)
            dac.push_back(GetBe32(e.payload.data() + 4));
    ASSERT_GE(dac.size(), 2u);
    EXPECT_EQ(dac[0], 0x00150F0Fu);
    EXPECT_EQ(dac[1], 0x00140D2Fu);
}

TEST_F(TxRxRadioTest, ControlsThePageLacksAreLeftAlone) {
    // A record with no receive path list and no restart action: the set-up
    // runs alone and only fills in what it sets.
    TxRxRadio().InitializePage(s);
    s.rxPathItems.clear();
    s.rxPathSelection = -1;
    board->ClearLog();
    TxRxRadio().ApplyRxPathSelection(s);
    EXPECT_EQ(board->LogSize(), 0u); // no entry chosen: nothing to program
    s.oneRxPath = true;
    TxRxRadio().ApplyRxPath(s);
    TxRxRadio().ApplyRxPathSelection(s);
    s.intAlc = false;
    TxRxRadio().OnIntAlc(s);
    EXPECT_TRUE(prompter.Texts().empty());
    EXPECT_EQ(s.chipInfo, "VQ9447 :: 2 T 2 R");

    // A running "Conti. Tx" is restarted only through the page's action, with the record so far.
    int restarts = 0;
    s.contiTx = true;
    s.restartContinuousTx = [&](TxRxRadioSettings& current) {
        ++restarts;
        EXPECT_EQ(current.bandwidth, 2);
    };
    s.bandwidth = 2;
    TxRxRadio().ApplyBandwidth(s);
    EXPECT_EQ(restarts, 1);
    s.contiTx = false;
    TxRxRadio().ApplyBandwidth(s);
    EXPECT_EQ(restarts, 1);
}

TEST_F(TxRxRadioTest, FailingEepromReadsLeaveZeroConfiguration) {
    board->faults.failCommand = cmd::EepromRead;
    TxRxRadio().InitializePage(s);
    const auto texts = prompter.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "EEPROM Read : Error Message => Receive packet status failed.....32769");
    EXPECT_EQ(State().antennaConfig.load(), 0);
    EXPECT_EQ(s.chipInfo, "VQ9447 :: 0 T 0 R");
    EXPECT_EQ(board->R66(0), 0); // no receive path: R66 is not written
    EXPECT_EQ(Rf(0, 20), 80);    // the synthesizer is still set
}

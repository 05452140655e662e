// The TX/RX trims and their EEPROM write-back against the simulated board.
#include "agent/efuse.h"
#include "agent/txrx_counters.h"
#include "agent/txrx_selfcal.h"
#include "device/program_state.h"
#include "link/command_frame.h"
#include "link/commands.h"
#include "tests/support/txrx_fixture.h"
#include "txrx/core/txrx_calibration.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

constexpr int kUp = -1, kDown = 1; // vertical spin deltas
constexpr int kLeft = 1, kRight = -1;

class CalibrationTest : public test::TxRxBoardTest {
  protected:
    void SetUp() override {
        TxRxBoardTest::SetUp();
        selfCal = board->Device<agent::TxRxSelfCalDevice>();
    }
    std::size_t EepromWrites() const { return CountCommands(cmd::EepromWrite); }
    // (index, data) of every R159 write, with the R158 index it went to.
    std::vector<std::pair<unsigned, unsigned>> IndirectWrites() const {
        std::vector<std::pair<unsigned, unsigned>> out;
        unsigned index = 0;
        for (const auto& e : Exchanges(cmd::BbpWrite)) {
            const unsigned reg = GetBe16(e.payload.data()), v = e.payload[2];
            if (reg == 158) index = v;
            if (reg == 159) out.emplace_back(index, v);
        }
        return out;
    }
    CDeviceCommands dev;
    agent::TxRxSelfCalDevice* selfCal = nullptr;
};

TEST_F(CalibrationTest, TxPowerSpinKeepsTheSixBitRange) {
    const struct {
        int k;
        const char* text;
        int delta;
        int expected; // -1: refused
        std::uint32_t alc;
    } cases[] = {{0, "2F", kUp, -1, 0x2F2F0000},
                 {0, "00", kDown, -1, 0x2F2F0000},
                 {0, "2E", kUp, 0x2F, 0x2F2F002F},
                 {1, "10", kDown, 0x0F, 0x2F2F0F00},
                 {1, "FF", kUp, 0, 0x2F2F0000}};
    for (const auto& c : cases) {
        board->MacWrite(0x13B0, 0x2F2F0000);
        const auto p = StepTxPower(dev, c.k, c.text, c.delta);
        EXPECT_EQ(p ? int(*p) : -1, c.expected) << c.text;
        EXPECT_EQ(board->MacRead(0x13B0), c.alc) << c.text;
        if (p) {
            EXPECT_EQ(TxRxRadio().alcRegisterDefault, c.alc);
            EXPECT_EQ(c.k == 0 ? State().txPower0 : State().txPower1, *p);
        }
    }
}

TEST_F(CalibrationTest, TxPowerCalibratePlacesTheByteByOffset) {
    const struct {
        int k, channel;
        const char* text;
        std::uint16_t word;
        std::uint16_t expected;
    } cases[] = {{0, 1, "10", 0x52, 0xAB10},
                 {0, 2, "10", 0x52, 0x10CD},
                 {1, 1, "2F", 0x60, 0xAB2F},
                 {0, 1, "30", 0x52, 0xABCD}};
    for (const auto& c : cases) {
        board->SetEepromWord(c.word, 0xABCD);
        CalibrateTxPower(dev, c.k, c.channel, c.text);
        EXPECT_EQ(board->EepromWord(c.word), c.expected) << c.k << " ch " << c.channel << " " << c.text;
    }
}

TEST_F(CalibrationTest, FrequencyAndRssiOffsetSpins) {
    board->Rf(0, 12) = 0x10;
    EXPECT_FALSE(StepFreqOffset(dev, "FF", kRight)) << "an unprogrammed trim stays";
    EXPECT_FALSE(StepFreqOffset(dev, "FF", kLeft));
    EXPECT_FALSE(StepFreqOffset(dev, "00", kRight));
    EXPECT_EQ(StepFreqOffset(dev, "10", kLeft), 0x11);
    EXPECT_EQ(board->Rf(0, 12), 0x11);
    EXPECT_EQ(State().freqOffset, 0x11);

    EXPECT_FALSE(StepRssiOffset("0F", kUp)) << "at most 15";
    EXPECT_EQ(StepRssiOffset("0E", kUp), 15);
    EXPECT_EQ(StepRssiOffset("00", kDown), -1);
    EXPECT_FALSE(StepRssiOffset("80", kDown)) << "-129 would wrap to +127";
}

TEST_F(CalibrationTest, IqCompensationSpinsKeepTheOtherField) {
    board->SetIndirect158(0x28, 0xA5);
    board->SetIndirect158(0x29, 0x80);
    EXPECT_FALSE(StepIqCompensation(dev, IqTrim::Tx0Gain, "07", kUp));
    EXPECT_FALSE(StepIqCompensation(dev, IqTrim::Tx0Gain, "F8", kDown));
    EXPECT_FALSE(StepIqCompensation(dev, IqTrim::Tx0Phase, "1F", kUp));
    EXPECT_EQ(board->Indirect158(0x28), 0xA5);
    EXPECT_EQ(StepIqCompensation(dev, IqTrim::Tx0Gain, "00", kDown), -1);
    EXPECT_EQ(board->Indirect158(0x28), 0xAF);
    EXPECT_EQ(StepIqCompensation(dev, IqTrim::Tx0Phase, "E0", kUp), -31);
    EXPECT_EQ(board->Indirect158(0x29), 0x80 | (0xE1 & 0x3F));

    board->SetIndirect158(3, 0x9A);
    EnableIqCompensation(dev, true);
    EXPECT_EQ(board->Indirect158(3), 0x6A);
    EnableIqCompensation(dev, false);
    EXPECT_EQ(board->Indirect158(3), 0);
}

TEST_F(CalibrationTest, MismatchCalibrations) {
    const struct {
        bool tx;
        std::uint8_t gainRegister, verdict;
        std::uint8_t v;
        const char* text; // empty: no message
    } cases[] = {
        {false, 0x00, 0x1F, 28,
         "RF Rx MisMatch Calibration :\n\nBBP R159 = 0x0000001F\nbit0 = 1, the VGA gain is too low\n"
         "bit1 = 1, the residual DC is too high"},
        {false, 0x04, 28, 60, ""},
        {true, 0x04, 0x01, 92,
         "RF Tx MisMatch Calibration :\n\nBBP R159 = 0x00000001\nbit0 = 1, the VGA gain is too low"},
        {true, 0x00, 0x02, 28,
         "RF Tx MisMatch Calibration :\n\nBBP R159 = 0x00000002\nbit1 = 1, the residual DC is too high"},
        {false, 0x00, 0x04, 28, "RF Rx MisMatch Calibration :\n\nBBP R159 = 0x00000004\n"},
    };
    for (const auto& c : cases) {
        board->BbpWrite(c.tx ? 4 : 1, c.gainRegister);
        (c.tx ? selfCal->txVerdict : selfCal->rxVerdict) = c.verdict;
        board->ClearLog();
        prompter.Clear();
        EXPECT_EQ(RunMismatchCalibration(dev, c.tx), c.verdict);
        EXPECT_EQ(prompter.Texts(), std::string(c.text).empty() ? std::vector<std::string>{}
                                                                : std::vector<std::string>{c.text});
        using W = std::vector<std::pair<unsigned, unsigned>>;
        const W expected = c.tx ? W{{3, 238}, {4, 15}, {5, c.v}, {6, 85}, {7, 85}, {0, 133}, {0, 4}}
                                : W{{3, 14}, {4, 3}, {5, c.v}, {6, 85}, {7, 85}, {0, 131}, {0, 3}};
        EXPECT_EQ(IndirectWrites(), expected);
    }
    board->ClearLog();
    RunCompensation(dev);
    EXPECT_EQ(IndirectWrites(), (std::vector<std::pair<unsigned, unsigned>>{{4, 15}, {4, 3}, {4, 12}}));
}

TEST_F(CalibrationTest, WriteBackLandsWhereTheEepromSourceSays) {
    UseEfuseGeometry();
    State().suppressEfuseQuestion = true;
    auto* fuse = board->Device<agent::EfuseDevice>();
    board->SetEepromWord(0x3A, 0x1200);
    State().eepromSource = EepromSourceKind::EepromCommands;
    CalibrateFreqOffset(dev, "2B");
    EXPECT_EQ(board->EepromWord(0x3A), 0x122B);

    State().eepromSource = EepromSourceKind::Efuse;
    CalibrateRssiOffset(dev, 1, "F3", false);
    EXPECT_EQ(fuse->LogicalWord(0x46) >> 8, 0xF3);

    State().eepromSource = EepromSourceKind::Buffer;
    State().eepromBuffer[0x48] = 0x11;
    State().eepromBuffer[0x49] = 0x22;
    board->ClearLog();
    CalibrateRssiOffset(dev, 2, "05", false);
    EXPECT_EQ(State().eepromBuffer[0x48], 0x05);
    EXPECT_EQ(State().eepromBuffer[0x49], 0x22);
    EXPECT_EQ(board->LogSize(), 0u) << "the buffer needs no frame";
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(CalibrationTest, QuestionsGuardTheirWriteBacks) {
    board->Device<agent::TxRxCountersDevice>()->temperatureCode = 0x2C;
    board->SetEepromWord(0x76, 0x0011);
    board->SetEepromWord(0x36, 0x0000);
    prompter.Script({MsgResult::Cancel, MsgResult::Cancel});
    CalibrateTemperature(dev, false);
    CalibrateIqCompensation(dev, {"01", "02", "03", "04"}, 1);
    EXPECT_EQ(EepromWrites(), 0u) << "Cancel writes nothing";
    ASSERT_EQ(prompter.Texts().size(), 2u);
    EXPECT_EQ(prompter.Texts()[0], "The Calibrated reference temp. = 0x2C\n\nWrite to EEPROM ?");

    pause.Clear();
    CalibrateTemperature(dev, false);
    EXPECT_EQ(pause.Pauses(), std::vector<unsigned>{200});
    EXPECT_EQ(board->EepromWord(0x76), 0x2C11);
    EXPECT_EQ(board->EepromWord(0x36), 0x0002) << "temperature compensation on";

    // IQ: negative values in 6-bit form; one word set per band.
    const struct {
        int channel;
        std::uint16_t tx0Word, tx1Word;
    } bands[] = {{36, 0x144, 0x14A}, {100, 0x146, 0x14C}, {149, 0x148, 0x14E}};
    prompter.Clear();
    board->SetEepromWord(0x132, 0x5566);
    board->SetEepromWord(0x134, 0x7788);
    CalibrateIqCompensation(dev, {"FF", "02", "03", "E0"}, 1);
    EXPECT_EQ(prompter.Last(),
              "Tx0Gain = 0x3F,\nTx0Phase = 0x2\nTx1Gain = 0x3,\nTx1Phase = 0x20\n\nWrite to EEPROM ?");
    EXPECT_EQ(board->EepromWord(0x130), 0x023F);
    EXPECT_EQ(board->EepromWord(0x132), 0x0366);
    EXPECT_EQ(board->EepromWord(0x134), 0x7720);
    EXPECT_EQ(board->EepromWord(0x13C), 0xEF0F);
    for (const auto& b : bands) {
        CalibrateIqCompensation(dev, {"01", "02", "03", "04"}, b.channel);
        EXPECT_EQ(board->EepromWord(b.tx0Word), 0x0201) << b.channel;
        EXPECT_EQ(board->EepromWord(b.tx1Word), 0x0403) << b.channel;
    }
}

TEST_F(CalibrationTest, ReadOutsDpdBusyModeAndRegisterBox) {
    RunMismatchCalibration(dev, true);
    RunMismatchCalibration(dev, false);
    prompter.Clear();
    ShowCalibrationResult(dev);
    EXPECT_EQ(prompter.Last(), "Result : \r\n\r\nTx_gain = 0x03\r\nTx_phase = 0x3E\r\n\r\nRx_gain = 0x01\r\n"
                               "Rx_phase = 0x02\r\n");
    EXPECT_EQ(ReadCalDbgBus(dev), "0x333231");

    std::vector<Dac> applied;
    TriggerDpd(dev, 2, Dac::Dac1, [&applied](Dac d) { applied.push_back(d); });
    EXPECT_EQ(applied, (std::vector<Dac>{Dac::Both, Dac::Dac1}));
    EXPECT_TRUE(selfCal->dpdOn);
    EXPECT_EQ(selfCal->dpdArgument, 2u);
    DisableDpd(dev);
    EXPECT_FALSE(selfCal->dpdOn);
    board->ClearLog();
    SetBusyMode(dev, true);
    EXPECT_TRUE(selfCal->busyMode);
    EXPECT_EQ(Exchanges(cmd::BusyMode).at(0).payload, (std::vector<std::uint8_t>{1, 0, 0, 0}));

    EXPECT_FALSE(RegisterBoxAccess(dev, false, true, 0, "200", "3C"));
    EXPECT_EQ(board->BbpRead(200), 0x3C);
    EXPECT_EQ(RegisterBoxAccess(dev, false, false, 0, "200", ""), 0x3C);
    EXPECT_FALSE(RegisterBoxAccess(dev, true, true, 5, "17", "A1"));
    EXPECT_EQ(board->Rf(5, 17), 0xA1) << "on the RF pages' bank";
    EXPECT_EQ(RegisterBoxAccess(dev, true, false, 5, "17", "00"), 0xA1);
}

} // namespace

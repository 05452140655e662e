#include "agent/bist_engine.h"
#include "calibration/core/rf_bist.h"
#include "device/program_state.h"
#include "tests/support/board_fixture.h"

#include <algorithm>

using namespace vq;
using agent::BistEngineDevice;

namespace {

class RfBistTest : public test::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        engine = board->Device<BistEngineDevice>();
    }
    // Runs a test loop; `stopAfter` texts clear the running flag (0: never).
    std::vector<std::string> Run(void (*loop)(CDeviceCommands&, const BistSettings&, const std::atomic<bool>&,
                                              const BistShow&),
                                 int stopAfter = 0) {
        std::vector<std::string> texts;
        std::atomic<bool> running{true};
        loop(dev, settings, running, [&](const std::string& t) {
            texts.push_back(t);
            if (stopAfter && int(texts.size()) >= stopAfter) running = false;
        });
        return texts;
    }
    unsigned Pauses(unsigned ms) const {
        const auto p = pause.Pauses();
        return unsigned(std::count(p.begin(), p.end(), ms));
    }
    BistEngineDevice* engine = nullptr;
    CDeviceCommands dev;
    BistSettings settings;
};

TEST_F(RfBistTest, TxSettingsByModeRateBandwidthAndLength) {
    struct Case {
        int mode, rate, bandwidth;
        long long length;
        std::vector<std::pair<unsigned, unsigned>> expect; // register, value
    };
    const Case cases[] = {
        {1, 7, 1, 1058, {{2, 0x40}, {5, 0x0C}, {6, 0x10}, {7, 0x22}, {4, 0x00}}},
        {0, 5, 0, 0x123, {{2, 0x00}, {10, 0xFE}, {12, 0x01}, {13, 0x23}, {4, 0x08}}},
        {0, 2, 1, 10, {{10, 0xF6}}},
        {2, 16, 2, 0x234, {{2, 0x80}, {14, 0x90}, {15, 0x34}, {16, 0x02}, {4, 0x10}}},
        {3, 7, 1, 100, {{2, 0xC0}, {14, 0x07}}},
    };
    for (const Case& c : cases) {
        for (std::uint8_t reg : {2, 4})
            board->BbpWrite(reg, 0x00);
        board->BbpWrite(10, 0xFF); // the rate fields are read-modify-write: other bits stay
        board->BbpWrite(14, 0xFF);
        settings.mode = c.mode, settings.rate = c.rate, settings.bandwidth = c.bandwidth, settings.length = c.length;
        settings.txPath = 1;
        RfBist::ApplyTxSettings(dev, settings);
        for (auto [reg, value] : c.expect)
            EXPECT_EQ(board->BbpRead(std::uint8_t(reg)), value) << "mode " << c.mode << " R" << reg;
        EXPECT_EQ(board->BbpRead(1) & 0x18, 0x08);
    }
}

TEST_F(RfBistTest, TxRepeatsAndTimeOut) {
    settings.repeat = 3;
    settings.payload = 0x5A;
    auto texts = Run(&RfBist::RunTxTest);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(engine->started[0], 3u);
    EXPECT_EQ(engine->lastPayload, 0x5A);
    EXPECT_EQ(Pauses(200), 3u);
    EXPECT_EQ(texts[0], "Done ==> TEST-1 : TX Only\r\n\r\nBBP R143 = 0x10\r\nThe internal TSSI is 0x2A\r\n");

    // Repeat 0 runs until the flag is cleared: it ends after the pass under way.
    settings.repeat = 0;
    engine->txResult = 0x20;
    texts = Run(&RfBist::RunTxTest, 5);
    EXPECT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[4], "Failed ==> TEST-1 : TX Only\r\n\r\nBBP R143 = 0x20\r\n");

    engine->neverFinish = true;
    pause.Clear();
    texts = Run(&RfBist::RunTxTest);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Transmit TimeOut ==> TEST-1 : TX Only\r\n\r\nTest TimeOut !\r\nBBP R143 = 0x10\r\n");
    EXPECT_EQ(Pauses(10), 300u);
}

TEST_F(RfBistTest, RxVerdictsAndConversions) {
    struct Case {
        std::uint8_t status;
        const char* start;
    };
    const Case cases[] = {{0x01, "Done"}, {0x05, "Done"}, {0x0D, "Done"}, {0x02, "Failed"}, {0x07, "Failed"}};
    engine->evmRaw = 100;
    engine->ltfRaw = 10;
    for (const Case& c : cases) {
        engine->rxResult = c.status;
        const auto texts = Run(&RfBist::RunRxTest, 1);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rfind(c.start, 0), 0u) << texts[0];
    }
    engine->rxResult = 0x05;
    EXPECT_EQ(Run(&RfBist::RunRxTest, 1)[0], "Done ==> TEST-2 : RX Only\r\n\r\nBBP R143 = 0x05\r\nRF EVM = "
                                             "-18.810000dB\r\n\r\nRx LTF Power = 3.763000dB\r\n");
    engine->neverFinish = true;
    EXPECT_EQ(Run(&RfBist::RunRxTest)[0],
              "Receive TimeOut ==> TEST-2 : RX Only\r\n\r\nTest TimeOut !\r\nBBP R143 = 0x01\r\n");
}

TEST_F(RfBistTest, RecordAndPlayback) {
    board->SetRawMac(0x440, 0xFFFFFFFF);
    std::string text;
    EXPECT_TRUE(RfBist::RecordOnce(dev, settings, text));
    EXPECT_EQ(text, "Done ==> TEST-3 Loopback : \r\nLoopback in DAC Record mode\r\n\r\nBBP R143 = 0x10\r\n");
    EXPECT_EQ(board->RawMac(0x440) & 0x40000000u, 0u); // the capture engine's arm bit cleared
    EXPECT_EQ(engine->started[2], 1u);

    engine->tssi = 0xE5;
    auto playback = [&](int stopAfter) {
        std::vector<std::string> texts;
        std::atomic<bool> running{true};
        RfBist::RunPlayback(dev, running, [&](const std::string& t) {
            texts.push_back(t);
            if (int(texts.size()) >= stopAfter) running = false;
        });
        return texts;
    };
    auto texts = playback(2);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], "Done ==> TEST-3 Loopback : \r\nLoopback in DAC Playback mode\r\n\r\nInternalTSSI = "
                        "0x05\r\nRF EVM = -18.810000dB\r\nRx LTF Power = 18.815000dB\r\n");
    engine->playbackResult = 0x05; // anything but 1 fails the playback and ends it
    texts = playback(10);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Failed ==> TEST-3 Loopback : \r\nLoopback in DAC Playback mode\r\n\r\nBBP R143 = 0x05\r\n");

    engine->neverFinish = true;
    EXPECT_FALSE(RfBist::RecordOnce(dev, settings, text));
    EXPECT_EQ(text, "Transmit TimeOut ==> TEST-3 Loopback : \r\nLoopback in DAC Record mode\r\n\r\nBBP R143 = 0x10\r\n");
}

TEST_F(RfBistTest, PreparationsUseTheCurrentRfBank) {
    State().rfBank = 6;
    settings.txPath = 1;
    settings.loop = BistLoop::InternalRf;
    RfBist::TxPreparation(dev, settings);
    EXPECT_EQ(board->Rf(6, 27), 0xC3);
    EXPECT_EQ(board->Rf(6, 48), 0x90);
    EXPECT_EQ(board->BbpRead(47), 0x94);
    RfBist::LoopbackPreparation(dev, settings);
    EXPECT_EQ(board->Rf(6, 36), 32);
    EXPECT_EQ(board->RawMac(0x440) & 0x40000000u, 0x40000000u);
    EXPECT_EQ(board->RawMac(0x1328) & ~0xFFF4DDFFu, 0u);
    board->Rf(6, 4) = 0x12;
    board->Rf(6, 63) = 0x34;
    EXPECT_EQ(RfBist::PllVcoCheck(dev), "Done ==> TEST-4 : PLL/VCO Test\r\n\r\nRF R4 = 0x12\r\nRF R63 = 0x34\r\n");
    EXPECT_EQ(board->Rf(6, 3) & 0x80, 0x80);
    RfBist::ContinuousOn(dev, true);
    EXPECT_EQ(board->BbpRead(244), 0x2A);
    RfBist::ContinuousOff(dev);
    EXPECT_EQ(board->BbpRead(244), 0x00);
}

} // namespace

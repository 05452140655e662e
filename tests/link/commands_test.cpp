#include "tests/support/board_fixture.h"

#include "agent/txrx_counters.h"

#include <algorithm>
#include <iterator>

using namespace vq;

namespace {

class CommandsTest : public vq::test::BoardTest {
  protected:
    std::vector<std::uint8_t> LastPayload() const { return board->Log().back().payload; }
    CDeviceCommands dev;
};

} // namespace

TEST_F(CommandsTest, MacReadWriteAndMultiRead) {
    EXPECT_EQ(dev.MacWrite(0x2000, 0xDEADBEEF), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 0, 0x20, 0, 0xDE, 0xAD, 0xBE, 0xEF}));
    std::uint32_t v = 0;
    EXPECT_EQ(dev.MacRead(0x2000, v), 0);
    EXPECT_EQ(v, 0xDEADBEEFu);
    EXPECT_EQ(board->Log().back().commandId, cmd::MacRead);
    std::uint32_t words[4] = {9, 9, 9, 9};
    EXPECT_EQ(dev.MacMultiRead(0x2000, words, 6), 1); // 6 bytes ask for one word
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 0, 0x20, 0, 0, 1}));
    EXPECT_EQ(words[0], 0xDEADBEEFu);
    EXPECT_EQ(words[1], 9u);
    EXPECT_EQ(dev.MacMultiRead(0x2000, words, 0), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 0, 0x20, 0, 0, 0}));
    EXPECT_EQ(words[1], 9u);
}

TEST_F(CommandsTest, BbpRegisterTakenModulo256AndReadAll) {
    EXPECT_EQ(dev.BbpWrite(300, 0x5A), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 44, 0x5A}));
    std::uint8_t b = 0;
    EXPECT_EQ(dev.BbpRead(300, b), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 44}));
    EXPECT_EQ(b, 0x5A);
    std::uint8_t table[256] = {};
    EXPECT_EQ(dev.BbpReadAll(table), 0);
    EXPECT_EQ(table[44], 0x5A);
    EXPECT_EQ(table[0], 0x94);
}

TEST_F(CommandsTest, R66FansOutOverReceivePaths) {
    State().antennaConfig = 0x33;
    board->ClearLog();
    std::uint8_t v = 0x20;
    dev.BbpAccess(1, 66, v);
    auto log = board->Log();
    ASSERT_EQ(log.size(), 9u);
    const std::uint16_t expect[9] = {8, 9, 9, 8, 9, 9, 8, 9, 9};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(log[i].commandId, expect[i]) << i;
    EXPECT_EQ(log[4].payload, (std::vector<std::uint8_t>{0, 27, 0x20}));
    EXPECT_EQ(log[7].payload, (std::vector<std::uint8_t>{0, 27, 0x40}));
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(board->R66(p), 0x20);
    EXPECT_EQ(board->RawBbp(27) & 0x60, 0x40); // left on the last path

    State().antennaConfig = 0x30;
    board->ClearLog();
    dev.BbpAccess(1, 66, v);
    EXPECT_EQ(board->LogSize(), 0u);
    dev.BbpAccess(2, 10, v);
    EXPECT_EQ(board->LogSize(), 0u);
}

TEST_F(CommandsTest, RfAccessThroughControlRegister) {
    std::uint8_t v = 0xA5;
    dev.RfAccess(1, 5, 33, v);
    EXPECT_EQ(board->Rf(5, 33), 0xA5);
    auto log = board->Log();
    // Poll read of 0x500, then the write with bank/register/data/write/start bits.
    EXPECT_EQ(log[log.size() - 2].commandId, cmd::MacRead);
    EXPECT_EQ(log.back().payload, (std::vector<std::uint8_t>{0, 0, 5, 0, 0x01, 0x61, 0xA5, 0x11}));
    std::uint8_t r = 0;
    board->Rf(7, 63) = 0x3C;
    dev.RfAccess(0, 7, 63, r);
    EXPECT_EQ(r, 0x3C);
    std::uint8_t bulk[64] = {};
    EXPECT_EQ(dev.RfReadBulk(5, bulk, 64), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 5, 0, 0, 0, 64}));
    EXPECT_EQ(bulk[33], 0xA5);
}

TEST_F(CommandsTest, EepromCommandsAndBuffer) {
    std::uint16_t w = 0;
    EXPECT_EQ(dev.EepromRead(0x34, w), 0);
    EXPECT_EQ(w, 0x0022);
    EXPECT_EQ(dev.EepromWrite(0x36, 0xBEEF), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 0x36, 0xBE, 0xEF}));
    EXPECT_EQ(board->EepromWord(0x36), 0xBEEF);
    std::uint16_t words[3] = {};
    EXPECT_EQ(dev.EepromReadBulk(0x34, words, 5), 0); // odd count: rounded up to 3 words
    EXPECT_EQ(words[2], 0xFFFF);
    EXPECT_EQ(words[1], 0xBEEF);
    const std::uint16_t out[2] = {0x1111, 0x2222};
    EXPECT_EQ(dev.EepromWriteBulk(0x100, out, 4), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{1, 0, 0, 4, 0x11, 0x11, 0x22, 0x22}));
    EXPECT_EQ(board->EepromWord(0x102), 0x2222);
    std::uint16_t all[256];
    for (int i = 0; i < 256; ++i)
        all[i] = std::uint16_t(i * 3);
    EXPECT_EQ(dev.EepromWriteAll(all), 0);
    EXPECT_EQ(board->EepromWord(0x1FE), 255 * 3);

    State().eepromSource = EepromSourceKind::Buffer;
    board->ClearLog();
    EXPECT_EQ(dev.EepromWrite(0x10, 0xABCD), 0);
    EXPECT_EQ(dev.EepromRead(0x10, w), 0);
    EXPECT_EQ(w, 0xABCD);
    EXPECT_EQ(State().eepromBuffer[0x10], 0xCD);
    EXPECT_EQ(board->LogSize(), 0u); // buffer mode sends nothing
}

TEST_F(CommandsTest, CountersAndTestControl) {
    auto* engine = board->Device<vq::agent::TxRxCountersDevice>();
    ASSERT_NE(engine, nullptr);
    engine->transmitted = 0x01020304;
    engine->rssi[0] = 61;
    engine->rssi[2] = 0x80000001; // the whole word, high bit included
    engine->snr[1] = 97;
    std::uint32_t count = 77;
    EXPECT_EQ(dev.GetTxTransmitCounter(count), 0);
    EXPECT_EQ(count, 0x01020304u);
    std::uint32_t rx[16];
    std::fill(std::begin(rx), std::end(rx), 0xEEEEEEEEu);
    EXPECT_EQ(dev.GetRxCounter(rx, 60), 0);
    EXPECT_EQ(rx[10], 61u);
    EXPECT_EQ(rx[11], engine->rssi[1]);
    EXPECT_EQ(rx[12], 0x80000001u);
    EXPECT_EQ(rx[13], engine->snr[0]);
    EXPECT_EQ(rx[14], 97u);
    EXPECT_EQ(rx[15], 0xEEEEEEEEu); // 60 bytes: fifteen words, no more
    EXPECT_EQ(dev.ResetCounter(), 0);
    EXPECT_EQ(dev.GetTxTransmitCounter(count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(dev.GetRxCounter(rx, 60), 0);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(rx[i], 0u) << "word " << i;
    const std::uint8_t tx[4] = {1, 2, 3, 4};
    dev.StartTx(4, tx);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{1, 2, 3, 4})); // copied unchanged
    prompter.Clear(); // the board may refuse a payload this short; only the transport matters here
    dev.StopTx();
    EXPECT_EQ(dev.StartRx(), 0);
    EXPECT_EQ(dev.StopRx(), 0);
    EXPECT_EQ(dev.Calibration(7, 0x0102), 0);
    EXPECT_EQ(LastPayload(), (std::vector<std::uint8_t>{0, 0, 0, 7, 0, 0, 1, 2}));
    dev.TssiCompensation(1);
    dev.TemperatureCompensation(2);
    EXPECT_EQ(dev.BusyMode(4, tx), 0);
    dev.StartAte();
    EXPECT_TRUE(board->ateMode);
    dev.StopAte();
    EXPECT_FALSE(board->ateMode);
    for (const auto& t : prompter.Texts())
        ADD_FAILURE() << t;
}

TEST_F(CommandsTest, FailureTextsAndUntouchedOutputs) {
    board->faults.failCommand = cmd::MacRead;
    board->faults.failStatus = 0x8001;
    std::uint32_t v = 0x55;
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x55u);
    EXPECT_EQ(prompter.Last(), "MAC Read : Error Message => Receive packet status failed.....32769");
    board->faults.failCommand = cmd::Calibration;
    dev.Calibration(1, 2);
    EXPECT_EQ(prompter.Last(), "Calibration : Error Message => Receive packet status failed.....32769");
    board->faults.failCommand = -1;
    board->poweredOn = false;
    std::uint8_t p[4] = {};
    EXPECT_NE(dev.BusyMode(4, p), 0);
    EXPECT_EQ(prompter.Last(), "BusyMode : Wait response packet timeout => -1");
    std::uint16_t w = 0x4242;
    EXPECT_NE(dev.EepromRead(0, w), 0);
    EXPECT_EQ(w, 0x4242);
    EXPECT_EQ(prompter.Last(), "EEPROM Read : Error Message => -1");
    prompter.Clear();
    dev.StopAte(); // silent
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(CommandsTest, AgentIgnoresMalformedRequests) {
    auto& t = static_cast<vq::agent::InProcTransport&>(*Link().Transport());
    std::uint8_t junk[20] = {};
    EXPECT_TRUE(board->HandleFrame(junk, sizeof junk).empty());
    std::uint8_t badMagic[60] = {};
    PutBe16(badMagic + 12, kEtherType);
    EXPECT_TRUE(board->HandleFrame(badMagic, sizeof badMagic).empty());
    // A length field larger than the frame: the payload is cut at the frame's end.
    std::uint8_t lying[30] = {};
    PutBe16(lying + 12, kEtherType);
    PutBe32(lying + 14, kMagic);
    PutBe16(lying + 18, 8);
    PutBe16(lying + 20, cmd::MacWrite);
    PutBe16(lying + 22, 4000);
    auto out = board->HandleFrame(lying, sizeof lying);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NE(GetBe16(out[0].data() + 26), 0);
    (void)t;
}

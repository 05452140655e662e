// vq9447-cli against the in-process simulated board: argument checks before
// anything is sent, each command family, the session's start and end on the
// wire, JSON results, failures and interruption.

#include "agent/board_model.h"
#include "agent/capture_memory.h"
#include "base/instance_lock.h"
#include "base/services.h"
#include "cli/core/cli.h"
#include "link/commands.h"
#include "measure/core/ostra.h"
#include "tests/support/board_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

using namespace vq;
using vq::agent::BoardModel;

namespace {

class CliTest : public ::testing::Test, protected test::ScratchFiles {
  protected:
    CliTest() : ScratchFiles("vq_cli_") {}
    void TearDown() override { cli::ClearStop(); }

    struct Result {
        int status;
        std::string out, err;
    };
    Result Cli(std::vector<std::string> args, std::function<void(BoardModel&)> before = nullptr) {
        std::ostringstream out, err;
        cli::Environment env;
        env.lockDirectory = dir.string();
        env.pause = &pause;
        // The board's clock moves with the pauses the tool asks for, so the
        // transmit and receive counters advance as on a real bench.
        pause.onSleep = [this](unsigned ms) { clockUs += 1000ull * ms; };
        env.onSimulatedBoard = [&](const std::shared_ptr<BoardModel>& b) {
            board = b;
            b->SetClock([this] { return clockUs.load(); });
            if (before) before(*b);
        };
        board.reset();
        const int status = cli::Run(args, out, err, env);
        return {status, out.str(), err.str()};
    }
    std::vector<std::uint16_t> Ids() const {
        std::vector<std::uint16_t> ids;
        for (const auto& e : board->Log())
            ids.push_back(e.commandId);
        return ids;
    }

    RecordingPause pause;
    std::atomic<std::uint64_t> clockUs{1000000};
    std::shared_ptr<BoardModel> board;
};

TEST_F(CliTest, BadInputIsRefusedBeforeAnythingIsSent) {
    WriteFile(Path("s.txt"), "0 1000\n");
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--simulated", "mac", "read", "0x1001"}, "not a multiple of 4"},
        {{"--simulated", "mac", "read", "0xZZ"}, "not a hexadecimal number"},
        {{"--simulated", "mac", "write", "0x1000", "0x100000000"}, "not a hexadecimal number"},
        {{"--simulated", "mac", "read", "0xFFFFFFFC", "2"}, "passes the end"},
        {{"--simulated", "bbp", "read", "256"}, "from 0 to 255"},
        {{"--simulated", "rf", "read", "16", "0"}, "RF bank"},
        {{"--simulated", "rf", "write", "0", "64", "1"}, "RF register"},
        {{"--simulated", "rf", "write", "0", "1", "100"}, "not a hexadecimal number"},
        {{"--simulated", "bbp", "read", std::string(5000, '9')}, "must be a number"},
        {{"--simulated", "script", "mac", Path("missing.txt")}, "does not exist"},
        {{"--simulated", "script", "phy", Path("s.txt")}, "not one of mac, bbp, rf"},
        {{"--simulated", "regfile", "mac", "save", Path("x.mac")}, "replayed, not saved"},
        {{"--simulated", "mac", "save-region", "nowhere", Path("x.bin")}, "no MAC region"},
        {{"--simulated", "mac", "save-region", "cis", "/no/such/dir/x.bin"}, "does not exist"},
        {{"--simulated", "--efuse", "eeprom", "write-word", "4", "1234"}, "add --yes"},
        {{"--simulated", "eeprom", "write-word", "5", "1234"}, "not even"},
        {{"--simulated", "eeprom", "set-mac", "mac", "00112233445"}, "12 hexadecimal digits"},
        {{"--simulated", "tx", "--channel", "15", "--mode", "OFDM", "--rate", "0", "--bandwidth", "20", "--count",
          "1"},
         "channel"},
        {{"--simulated", "tx", "--channel", "1", "--mode", "VHT", "--rate", "0", "--bandwidth", "20", "--count",
          "1"},
         "is not one of CCK"},
        {{"--simulated", "tx", "--channel", "1", "--mode", "CCK", "--rate", "99", "--bandwidth", "20", "--count",
          "1"},
         "rate index"},
        {{"--simulated", "tx", "--channel", "1"}, "is missing"},
        {{"--simulated", "mac", "read", "0x1000", "--", "frobnicate"}, "unknown command"},
        {{"--simulated", "mac", "read", "0x1000", "--"}, "nothing after"},
        {{"--simulated", "--interface", "vq-test-none", "mac", "read", "0x1000"}, "exactly one of"},
        {{"mac", "read", "0x1000"}, "exactly one of"},
        {{"--simulated"}, "no command"},
        {{"--simulated", "--bogus", "mac", "read", "0"}, "unknown option"},
    };
    for (const auto& c : cases) {
        const Result r = Cli(c.args);
        EXPECT_EQ(r.status, cli::kExitUsage) << c.args.back();
        EXPECT_NE(r.err.find(c.error), std::string::npos) << c.args.back() << ": " << r.err;
        EXPECT_EQ(board, nullptr) << "a board was opened for " << c.args.back();
    }
}

TEST_F(CliTest, RegisterCommandsReadAndWriteTheBoard) {
    const Result r = Cli({"--simulated", "mac", "write", "0x2000", "0xCAFE0001", "--", "mac", "read", "0x2000", "2",
                          "--", "bbp", "write", "70", "0x5A", "--", "bbp", "read", "70", "--", "rf", "write", "4",
                          "12", "3C", "--", "rf", "read", "4", "12"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0x00002000: 0xCAFE0001 written\n"
                     "0x00002000: 0xCAFE0001\n"
                     "0x00002004: 0x00000000\n"
                     "R70: 0x5A written\n"
                     "R70: 0x5A\n"
                     "4 012 3C written\n"
                     "4 012 3C\n");
    EXPECT_EQ(board->RawBbp(70), 0x5A);
    EXPECT_EQ(board->Rf(4, 12), 0x3C);
    // Two words in one MAC Multi-Read; the session ends with the enables and Stop ATE.
    const auto ids = Ids();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), cmd::MacMultiRead), 1);
    ASSERT_GE(ids.size(), 4u);
    EXPECT_EQ(ids.front(), cmd::StartAte);
    EXPECT_EQ(ids[1], cmd::MacRead); // the version register
    EXPECT_EQ(ids.back(), cmd::StopAte);
    EXPECT_EQ(board->RawMac(0x1004) & 0xC, 0xCu);
}

TEST_F(CliTest, JsonGivesOneObjectPerResultWithStableKeys) {
    const Result r = Cli({"--simulated", "--json", "mac", "read", "0x1000", "--", "rf", "read", "0", "12", "--",
                          "eeprom", "read", "4", "6"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> got;
    for (std::string l; std::getline(lines, l);)
        got.push_back(l);
    ASSERT_EQ(got.size(), 3u) << r.out;
    EXPECT_EQ(got[0].rfind("{\"command\":\"mac read\",\"address\":\"0x00001000\",\"value\":\"0x", 0), 0u) << got[0];
    EXPECT_EQ(got[1].rfind("{\"command\":\"rf read\",\"bank\":0,\"register\":12,\"value\":\"0x", 0), 0u) << got[1];
    EXPECT_EQ(got[2].rfind("{\"command\":\"eeprom read\",\"offset\":\"0x0004\",\"data\":\"", 0), 0u) << got[2];
    EXPECT_EQ(got[2].size(), std::string("{\"command\":\"eeprom read\",\"offset\":\"0x0004\",\"data\":\"\"}").size() + 12);
}

TEST_F(CliTest, FilesRoundTripThroughThePageFormats) {
    // An RF dump is an RF register file: change a register, load the dump, read it back.
    Result r = Cli({"--simulated", "rf", "write", "5", "7", "A5", "--", "rf", "dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string dump = r.out.substr(r.out.find('\n') + 1);
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 16 * 64);
    EXPECT_NE(dump.find("5 007 A5\n"), std::string::npos);
    WriteFile(Path("rf.txt"), dump);
    r = Cli({"--simulated", "regfile", "rf", "load", Path("rf.txt"), "--", "rf", "read", "5", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1024 lines applied, 0 skipped."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("5 007 A5\n"), std::string::npos) << r.out;

    // BBP register file saved and loaded; a MAC script logs each access and its summary.
    r = Cli({"--simulated", "bbp", "write", "80", "33", "--", "regfile", "bbp", "save", Path("b.bbp")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string bbpFile = ReadFile(Path("b.bbp"));
    EXPECT_EQ(std::count(bbpFile.begin(), bbpFile.end(), '\n'), 1280);
    WriteFile(Path("m.txt"), "1 2000 12345678\n0 2000\ngarbage 1 2\n");
    r = Cli({"--simulated", "script", "mac", Path("m.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("W:\tMAC 0x2000\t= 0x12345678"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("R:\tMAC 0x2000\t= 0x12345678"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 lines applied, 1 skipped (first: line 3"), std::string::npos) << r.out;
}

TEST_F(CliTest, EepromSourcesAndTheEfuseGate) {
    // Buffer: a content file prepared offline, no EEPROM frame on the wire.
    std::string content(512, '\0');
    WriteFile(Path("in.bin"), content);
    Result r = Cli({"--simulated", "--buffer", "eeprom", "load", Path("in.bin"), "--", "eeprom", "set-mac", "mac",
                    "00:0C:43:12:34:56", "--", "eeprom", "save", Path("out.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string saved = ReadFile(Path("out.bin"));
    ASSERT_EQ(saved.size(), 512u);
    EXPECT_EQ(saved.substr(4, 6), std::string("\x00\x0C\x43\x12\x34\x56", 6));
    for (std::uint16_t id : Ids())
        EXPECT_TRUE(id != cmd::EepromWrite && id != cmd::EepromWriteBulk && id != cmd::EepromWriteAll) << id;

    // EEPROM commands: the word lands in the board's EEPROM.
    r = Cli({"--simulated", "eeprom", "write-word", "0x40", "0xBEEF", "--", "eeprom", "read", "0x40", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(board->EepromWord(0x40), 0xBEEF);
    EXPECT_NE(r.out.find("0x0040: EF BE"), std::string::npos) << r.out;

    // eFuse: refused without --yes before the session opens, written with it.
    r = Cli({"--simulated", "--efuse", "eeprom", "write-word", "0x40", "0x1234"});
    EXPECT_EQ(r.status, cli::kExitUsage);
    EXPECT_EQ(board, nullptr);
    r = Cli({"--simulated", "--efuse", "--yes", "eeprom", "write-word", "0x40", "0x1234", "--", "eeprom", "read",
             "0x40", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("0x0040: 34 12"), std::string::npos) << r.out;
}

TEST_F(CliTest, CountedTransmissionAndReception) {
    const Result r = Cli({"--simulated", "--json", "tx", "--channel", "6", "--mode", "OFDM", "--rate", "7",
                          "--bandwidth", "20", "--count", "500", "--power", "0x10", "--", "rx", "--seconds", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string tx, rx1, rx2;
    std::getline(lines, tx);
    std::getline(lines, rx1);
    std::getline(lines, rx2);
    EXPECT_EQ(tx.rfind("{\"command\":\"tx\",\"channel\":6,\"count\":500,\"transmitted\":500", 0), 0u) << tx;
    EXPECT_NE(rx1.find("\"second\":1,"), std::string::npos) << rx1;
    EXPECT_NE(rx2.find("\"u2m_data_total\":"), std::string::npos) << rx2;
    EXPECT_NE(rx2.find("\"rssi0\":\""), std::string::npos) << rx2;
    // Path 0's trim in the TX power register; one StartTX with the count in it.
    EXPECT_EQ(board->RawMac(0x13B0) & 0x3F, 0x10u);
    const auto ids = Ids();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), cmd::StartTx), 1);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), cmd::StartRx), 1);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), cmd::StopRx), 1);
}

TEST_F(CliTest, FailuresStopTheRunWithTheirStatus) {
    // A bad status: the command's own text on standard error, status 1, the
    // commands after it not run, the board still restored.
    Result r = Cli({"--simulated", "bbp", "read", "3", "--", "mac", "write", "0x2000", "1"},
                   [](BoardModel& b) { b.faults.failCommand = cmd::BbpRead; });
    EXPECT_EQ(r.status, cli::kExitBoardFailed);
    EXPECT_NE(r.err.find("BBP Read : Error Message => Receive packet status failed"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(board->RawMac(0x2000), 0u);
    EXPECT_EQ(Ids().back(), cmd::StopAte);

    // Another copy holds the machine-wide lock.
    SingleInstanceLock other(kInstanceLockName, dir.string());
    ASSERT_TRUE(other.Acquire());
    r = Cli({"--simulated", "mac", "read", "0x1000"});
    EXPECT_EQ(r.status, cli::kExitNoAdapter);
    EXPECT_EQ(r.err, "VQ9447 QA is already running\n");
    other.Release();

    // An adapter that does not exist.
    r = Cli({"--interface", "vq-no-such-if", "mac", "read", "0x1000"});
    EXPECT_EQ(r.status, cli::kExitNoAdapter);
    EXPECT_NE(r.err.find("cannot open adapter vq-no-such-if"), std::string::npos) << r.err;

    // Interrupted before the first command: nothing of it runs, the session still ends as Exit does.
    r = Cli({"--simulated", "mac", "write", "0x2000", "1"}, [](BoardModel&) { cli::RequestStop(2); });
    EXPECT_EQ(r.status, cli::kExitInterrupted);
    EXPECT_EQ(board->RawMac(0x2000), 0u);
    EXPECT_EQ(Ids().back(), cmd::StopAte);
}

TEST_F(CliTest, CapturesAndTheFftCycle) {
    // Numbered files, each a whole capture in the capture data format.
    Result r = Cli({"--simulated", "capture", Path("cap"), "--times", "2", "--offset", "100"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved " + Path("cap") + "_00001.txt\nsaved " + Path("cap") + "_00002.txt\n");
    const std::string first = ReadFile(Path("cap") + "_00001.txt");
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 2 * 4096 - 1);
    EXPECT_EQ(Cli({"--simulated", "capture", Path("c"), "--feq", "--adc6"}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"--simulated", "capture", Path("c"), "--offset", "2000"}).status, cli::kExitUsage);

    // The FFT cycle measures the loopback packet with libOstra.so.
    OstraLibrary::SetCandidates({QStringLiteral(VQ_OSTRA_FILE)});
    r = Cli({"--simulated", "--json", "fft"}, [](BoardModel& b) {
        agent::OfdmPacketOptions o;
        o.snrDb = 20;
        b.Device<agent::CaptureMemoryDevice>()->ofdmLoopback = o;
    });
    OstraLibrary::SetCandidates({});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto at = r.out.find("\"rx_evm_db\":");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_NEAR(std::stod(r.out.substr(at + 12)), -20.0, 1.5) << r.out;
}

TEST_F(CliTest, NoiseSweepAndIqSearches) {
    Result r = Cli({"--simulated", "--json", "noise"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 14 * 2) << r.out; // two receive paths
    EXPECT_NE(r.out.find("{\"command\":\"noise\",\"channel\":14,\"path\":1,\"dbm\":-"), std::string::npos) << r.out;

    r = Cli({"--simulated", "iqcal", "loft", "--log-dir", dir.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Full LOFT: minimum"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Ypwr="), std::string::npos) << r.out;
    EXPECT_EQ(Cli({"--simulated", "iqcal", "loft", "--alc", "4"}).status, cli::kExitUsage);
}

TEST_F(CliTest, HelpPerCommand) {
    Result r = Cli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: vq9447-cli"), std::string::npos);
    r = Cli({"tx", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("SYNOPSIS\n    vq9447-cli [OPTIONS] tx --channel N"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("OFDM: 0=\""), std::string::npos) << r.out;
}

} // namespace

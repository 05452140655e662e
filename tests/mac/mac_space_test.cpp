#include "mac_test_support.h"
#include "registers/core/mac_space.h"

using namespace vq;
using mactest::Access;

namespace {

class MacSpaceTest : public mactest::MacFixture {
  protected:
    MacSpace space;
    CDeviceCommands dev;
};

constexpr std::uint16_t R = cmd::MacRead, W = cmd::MacWrite, M = cmd::MacMultiRead;

} // namespace

TEST_F(MacSpaceTest, FiveByteContentFileWritesTwoWordsTheLastCompletedWithFF) {
    space.SelectRegion(kMacRegionPacketBuf);
    const std::string file = Path("five.bin");
    WriteFile(file, std::string("\x01\x02\x03\x04\x05", 5));
    board->ClearLog();
    ASSERT_TRUE(space.WriteContentFile(dev, file));
    EXPECT_EQ(Writes(), (std::vector<Access>{{W, 0x8000, 0x04030201}, {W, 0x8004, 0xFFFFFF05}}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(space.Content()), 8),
              std::string("\x01\x02\x03\x04\x05\xFF\xFF\xFF", 8));
    EXPECT_EQ(pause.Pauses(), (std::vector<unsigned>{5}));
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(MacSpaceTest, ContentFileLongerThanTheRegionStopsAtItsEnd) {
    space.SelectRegion(kMacRegionCis);
    WriteFile(Path("long.bin"), std::string(300, '\x5A'));
    board->ClearLog();
    space.WriteContentFile(dev, Path("long.bin"));
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 64u);
    EXPECT_EQ(writes.back().address, 0x76FCu);
    EXPECT_EQ(board->RawMac(0x7700), 0u);
}

TEST_F(MacSpaceTest, RegionReadsInKilobyteChunksAndCisAsOneRead) {
    space.SelectRegion(kMacRegionCis);
    board->ClearLog();
    space.ReadRegion(dev);
    EXPECT_EQ(MacAccesses(), (std::vector<Access>{{M, 0x7600, 256}}));
    std::uint8_t cis[256];
    agent::MacMemoryDevice::DefaultCis(cis);
    EXPECT_EQ(std::memcmp(space.DumpBytes(), cis, 256), 0);

    space.SelectRegion(kMacRegionMacRegister);
    board->ClearLog();
    space.ReadRegion(dev);
    EXPECT_EQ(
        MacAccesses(),
        (std::vector<Access>{{M, 0x1000, 1024}, {M, 0x1400, 1024}, {M, 0x1800, 1024}, {M, 0x1C00, 1024}}));
    EXPECT_EQ(space.DumpWords()[0], 0x94470101u); // MAC version
    EXPECT_EQ(space.DumpBytes()[0], 0x01);        // words kept in host order
}

TEST_F(MacSpaceTest, ProgramMemoryIsReadWithBit16OfMac400SetAroundIt) {
    board->SetRawMac(0x400, 0x3);
    space.SelectRegion(kMacRegionProgramMemory);
    board->ClearLog();
    space.ReadRegion(dev);
    std::vector<Access> expected{{R, 0x400, 0}, {W, 0x400, 0x10003}};
    for (std::uint32_t k = 0; k < 8; ++k)
        expected.push_back({M, 0x2000 + k * 1024, 1024});
    expected.push_back({R, 0x400, 0});
    expected.push_back({W, 0x400, 0x3});
    EXPECT_EQ(MacAccesses(), expected);
}

TEST_F(MacSpaceTest, MemoryTestOnlyOnSharedMemoryAndPacketBuffer) {
    WriteFile(Path("pattern.bin"), std::string("\x11\x22\x33\x44\x55\x66\x77\x88", 8));
    space.contentFileName = Path("pattern.bin");
    space.SelectRegion(kMacRegionMacRegister);
    board->ClearLog();
    EXPECT_EQ(space.MemoryTest(dev), MacSpace::TestResult::NotApplicable);
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_TRUE(prompter.Texts().empty());

    space.SelectRegion(kMacRegionSharedMemory);
    board->SetLogging(false);
    int passes = 0;
    EXPECT_EQ(space.MemoryTest(dev, 100, [&](int pass) { passes = pass; }), MacSpace::TestResult::Passed);
    EXPECT_EQ(passes, 100);
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"Memory compare ok!"}));
    EXPECT_EQ(board->RawMac(0x4004), 0x88776655u);
}

TEST_F(MacSpaceTest, CorruptedWordFailsTheMemoryTestAtOnce) {
    WriteFile(Path("pattern.bin"), std::string(64, '\xA5'));
    space.contentFileName = Path("pattern.bin");
    space.SelectRegion(kMacRegionPacketBuf);
    memory->CorruptWord(0x8020, 0x100);
    board->SetLogging(false);
    int passes = 0;
    EXPECT_EQ(space.MemoryTest(dev, 100, [&](int pass) { passes = pass; }), MacSpace::TestResult::Failed);
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"Memory compare failed!"}));
    EXPECT_EQ(space.DumpWords()[8], 0xA5A5A4A5u);
}

TEST_F(MacSpaceTest, MissingFilesGiveTheirMessagesOnce) {
    space.SelectRegion(kMacRegionPacketBuf);
    EXPECT_FALSE(space.WriteContentFile(dev, Path("absent.bin")));
    EXPECT_EQ(prompter.Last(), "HW Memory content File not found!");
    prompter.Clear();
    // No content file chosen: one message, no pass and no compare message.
    EXPECT_EQ(space.MemoryTest(dev), MacSpace::TestResult::NoContentFile);
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"HW Memory content File not found!"}));
    prompter.Clear();
    EXPECT_FALSE(space.RunRegisterFile(dev, Path("absent.mac"), nullptr));
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"MAC Register File not found!"}));
    prompter.Clear();
    EXPECT_FALSE(space.RunScript(dev, Path("absent.txt"), nullptr));
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(MacSpaceTest, SavedContentFileAndDumpHoldTheRegion) {
    space.SelectRegion(kMacRegionCis);
    space.ReadRegion(dev);
    ASSERT_TRUE(space.SaveContentFile(Path("cis.bin")));
    const std::string bytes = ReadFile(Path("cis.bin"));
    ASSERT_EQ(bytes.size(), 256u);
    EXPECT_EQ(std::memcmp(bytes.data(), space.DumpBytes(), 256), 0);
    ASSERT_TRUE(space.SaveDumpText(Path("cis.txt")));
    const std::string text = ReadFile(Path("cis.txt"));
    char first[16];
    std::snprintf(first, sizeof first, "0x%08X\n", space.DumpWords()[0]);
    EXPECT_EQ(text.substr(0, 11), first);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 64);
    EXPECT_EQ(text.size(), 64u * 11u);
}

TEST_F(MacSpaceTest, RegisterFileKeywordsBbpFanOutAndFilesBesideIt) {
    WriteFile(Path("my content.bin"), std::string("\x0A\x0B\x0C\x0D", 4));
    WriteFile(Path("set.mac"), "; board set-up\n"
                               "bank 5\n"
                               "0x10 0x1234 ; a word of the packet buffer\n"
                               "BBPSET 66 0x20\n"
                               "LOADFILE my content.bin\n"
                               "\n"
                               "BANK 1\n"
                               "0x1004 0x0000000C\n"
                               "0x8 ; a single token does nothing\n"
                               "BANK 9\n"
                               "12g 5\n"
                               "LOADFILE absent.bin\n");
    std::vector<int> banks;
    board->ClearLog();
    RunnerSummary summary;
    ASSERT_TRUE(space.RunRegisterFile(
        dev, Path("set.mac"), [&](int b) { banks.push_back(b); }, &summary));
    EXPECT_EQ(summary.Text(), "6 lines applied, 4 skipped (first: line 9, no value).");
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"HW Memory content File not found!"}));
    EXPECT_EQ(banks, (std::vector<int>{5, 1}));
    EXPECT_EQ(space.RegionIndex(), 1);
    EXPECT_EQ(Writes(),
              (std::vector<Access>{{W, 0x8010, 0x1234}, {W, 0x8000, 0x0D0C0B0A}, {W, 0x1004, 0xC}}));
    // R66 once per receive path.
    EXPECT_EQ(board->R66(0), 0x20);
    EXPECT_EQ(board->R66(1), 0x20);
    EXPECT_EQ(board->R66(2), 0x00);
    for (const auto& e : board->Log())
        EXPECT_NE(e.commandId, cmd::MacMultiRead); // BANK does not read
}

TEST_F(MacSpaceTest, ScriptWritesAndReadsWithAbsoluteAddresses) {
    WriteFile(Path("script.txt"), "1 0x1004 0xC\n0 1000\n");
    space.SelectRegion(kMacRegionPacketBuf);
    std::vector<std::string> log;
    ASSERT_TRUE(space.RunScript(dev, Path("script.txt"), [&](const std::string& l) { log.push_back(l); }));
    EXPECT_EQ(log,
              (std::vector<std::string>{"W:\tMAC 0x1004\t= 0x0000000C\n", "R:\tMAC 0x1000\t= 0x94470101\n",
                                        "2 lines applied, 0 skipped."}));
    EXPECT_EQ(board->RawMac(0x1004), 0xCu);
}

TEST_F(MacSpaceTest, ScriptGarbageSendsNothingAndOneLineSaysWhat) {
    // Prose once read MAC 0xA and 0xF; a 5000-digit number came back as
    // twenty log lines. Each input line is one line of the run now.
    WriteFile(Path("garbage.txt"), "a quick brown\n"
                                   "fox jumps\n"
                                   "\n"
                                   "; comment\n" +
                                       std::string(5000, '7') + "\n" + "1 0x1004 0xC\n" + "0 1004 zz\n" +
                                       "1 1008\n");
    std::vector<std::string> log;
    board->ClearLog();
    ASSERT_TRUE(space.RunScript(dev, Path("garbage.txt"), [&](const std::string& l) { log.push_back(l); }));
    EXPECT_EQ(log,
              (std::vector<std::string>{"W:\tMAC 0x1004\t= 0x0000000C\n", "R:\tMAC 0x1004\t= 0x0000000C\n",
                                        "2 lines applied, 4 skipped (first: line 1, the first word is not "
                                        "a number)."}));
    EXPECT_EQ(MacAccesses(), (std::vector<Access>{{cmd::MacWrite, 0x1004, 0xC}, {cmd::MacRead, 0x1004, 0}}));
}

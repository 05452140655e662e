#include "formats/text_files.h"
#include "registers/core/bbp_files.h"

#include "bbp_test_support.h"

#include <algorithm>
#include <random>

using namespace vq;
using namespace vq::bbp;
using bbptest::BbpFixture;

namespace {

std::string F(const char* format, unsigned v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

struct RegisterCase {
    const char* line;
    bool ok;
    int reg;
    int value;
};

} // namespace

TEST(BbpText, FormatsAndFieldTexts) {
    EXPECT_EQ(RegisterLine(5, 0x0A), "005 = 0A\n");
    EXPECT_EQ(ScriptLogLine(false, 3, 0x0b), "R:\tBBP R3\t= 0x0B\n");
    EXPECT_EQ(PapdLine(0x0c), "0x0C\n");
    EXPECT_EQ(CaptureValueText(0x05) + CaptureValueText(0x00) + CaptureValueText(0x80), "+5\t0\t-128\t");
    EXPECT_EQ(WithTxtIfMissing("/d/regs"), "/d/regs.txt");
    EXPECT_EQ(WithTxtIfMissing("/d/a.txt.old"), "/d/a.txt.old");
    EXPECT_EQ(WithTxtAlways("/d/papd.txt"), "/d/papd.txt.txt");
    EXPECT_EQ(RegisterFromText("12a"), 12u);
    EXPECT_EQ(RegisterFromText("abc"), 0u);
    EXPECT_EQ(RegisterFromText("-1"), 255u);
    EXPECT_EQ(RegisterFromText("99999999999999999999"), 255u); // (10^20 - 1) mod 256, no overflow
    EXPECT_EQ(ValueFromText("5a"), 0x5A);
    EXPECT_EQ(ValueFromText("zz"), 0);
}

TEST(BbpText, RegisterFileLines) {
    const RegisterCase cases[] = {
        {"   \t012 =   3f", true, 12, 0x3F}, {"014 = 123", true, 14, 0x12}, // two digits at most
        {"158=0A", true, 158, 0x0A},         {"4294967296300 = 02", true, 4294967296300ull % 256, 0x02},
        {"  ;010 = ab", false, 0, 0},        {"015 0A", false, 0, 0},   // no "="
        {"016 = zz", false, 0, 0},           {"R16 = 0A", false, 0, 0}, // no decimal register number
        {"16a = 0A", false, 0, 0},           {"-16 = 0A", false, 0, 0},
    };
    for (const auto& c : cases) {
        std::uint8_t r = 0xEE, v = 0xEE;
        EXPECT_EQ(ParseRegisterLine(c.line, r, v), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(std::pair(int(r), int(v)), std::pair(c.reg, c.value)) << c.line;
        }
    }
}

TEST(BbpText, ScriptAndPapdLines) {
    int op = 0;
    ScriptStep s;
    ASSERT_TRUE(ParseScriptLine("7 300 0x1Ff", op, s)); // any non-zero operation writes; low 8 bits
    EXPECT_TRUE(s.write);
    EXPECT_EQ(std::pair(int(s.reg), int(s.value)), std::pair(44, 0xFF));
    ASSERT_TRUE(ParseScriptLine("256 9 1", op, s)); // operation's low 8 bits are 0: a read
    EXPECT_FALSE(s.write);
    // A line without a leading number is not an access; incomplete lines are
    // not run with stale values.
    const std::pair<const char*, const char*> bad[] = {
        {"; 0 5", skip::kNotANumber},   {"", skip::kNotANumber},        {"1 66", skip::kNoValue},
        {"1 66 zz", skip::kNoValue},    {"0", skip::kNoRegister},       {"1,66,20", skip::kNotANumber},
        {"abc 1 2", skip::kNotANumber}, {"1a 66 2", skip::kNotANumber},
    };
    for (const auto& [line, why] : bad) {
        const char* got = nullptr;
        EXPECT_FALSE(ParseScriptLine(line, op, s, &got)) << line;
        EXPECT_STREQ(got, why) << line;
    }
    EXPECT_TRUE(ParseScriptLine("99999999999999999999999 1 2", op, s)); // huge numbers wrap

    std::uint8_t v = 0;
    EXPECT_TRUE(ParsePapdLine("entry x 7", v));
    EXPECT_EQ(v, 0x07);
    EXPECT_FALSE(ParsePapdLine("3C", v));
    EXPECT_FALSE(ParsePapdLine("0x", v));
}

// ---- Sequences against the simulated board --------------------------------

class BbpFilesTest : public BbpFixture {
  protected:
    // Random register contents, R66 on every path and both indirect tables.
    void Scramble(unsigned seed) {
        std::mt19937 rng(seed);
        for (unsigned r = 0; r < 256; ++r)
            board->RawBbp(std::uint8_t(r)) = std::uint8_t(rng());
        board->RawBbp(4) = 0x50;        // PAPD table not mapped
        board->RawBbp(27) = 0x40 | 0x1; // R27 selects path 2 (the last one a 3-path write leaves)
        for (unsigned j = 0; j < 256; ++j) {
            board->SetIndirect158(std::uint8_t(j), std::uint8_t(rng()));
            board->SetIndirect195(std::uint8_t(j), std::uint8_t(rng()));
        }
        std::uint8_t path2 = std::uint8_t(rng());
        for (int path = 0; path < 3; ++path) {
            board->RawBbp(27) = std::uint8_t(0x01 | (path << 5));
            board->BbpWrite(66, path == 2 ? path2 : std::uint8_t(rng()));
        }
    }
};

TEST_F(BbpFilesTest, SaveThenLoadRestoresRegistersAndBothTables) {
    Scramble(2);
    const std::string path = Path("regs.txt");
    ASSERT_TRUE(SaveRegisterFile(dev, path));
    // 256 reads, then per table 256 index writes and data reads.
    EXPECT_EQ(CountCommands(cmd::BbpRead), 256u + 512u);
    EXPECT_EQ(CountCommands(cmd::BbpWrite), 512u);
    const auto lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 1280u);
    EXPECT_EQ(lines[0], "000 = " + F("%02X", board->RawBbp(0)));
    EXPECT_EQ(lines[255], "255 = " + F("%02X", board->RawBbp(255)));
    EXPECT_EQ(lines[256 + 2 * 7], "158 = 07");
    EXPECT_EQ(lines[257 + 2 * 7], "159 = " + F("%02X", board->Indirect158(7)));
    EXPECT_EQ(lines[768 + 2 * 255], "195 = FF");
    EXPECT_EQ(lines[769 + 2 * 255], "196 = " + F("%02X", board->Indirect195(255)));

    std::uint8_t saved[256], t158[256], t195[256];
    for (unsigned r = 0; r < 256; ++r) {
        saved[r] = board->BbpRead(std::uint8_t(r));
        t158[r] = board->Indirect158(std::uint8_t(r));
        t195[r] = board->Indirect195(std::uint8_t(r));
    }
    const std::uint8_t r66 = board->R66(2);
    Scramble(3); // everything changes in between
    ASSERT_NE(board->Indirect158(7), t158[7]);
    ASSERT_TRUE(LoadRegisterFile(dev, path));

    for (unsigned r = 0; r < 256; ++r) {
        if (r != 66) {
            EXPECT_EQ(board->BbpRead(std::uint8_t(r)), saved[r]) << "R" << r;
        }
        EXPECT_EQ(board->Indirect158(std::uint8_t(r)), t158[r]) << r;
        EXPECT_EQ(board->Indirect195(std::uint8_t(r)), t195[r]) << r;
    }
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(board->R66(p), r66) << "path " << p;
    // A second save gives the same file, except the index registers' own lines:
    // a save leaves them at the last index.
    ASSERT_TRUE(SaveRegisterFile(dev, Path("again.txt")));
    auto first = lines, second = Lines(ReadFile(Path("again.txt")));
    for (int r : {158, 159, 195, 196})
        first[r] = second[r] = "";
    EXPECT_EQ(second, first);
}

TEST_F(BbpFilesTest, LoaderSkipsCommentsBlanksAndLinesWithoutValue) {
    WriteFile(Path("in.txt"), "; saved by hand\n"
                              "\n"
                              "   \t \n"
                              "010 = ab\r\n"
                              "011 = CD\n"
                              "   012 = 3f\n"
                              "013\n"
                              "014 =\n"
                              "  ; 015 = 11\n"
                              "016 = 0e"); // last line without line end
    board->ClearLog();
    RunnerSummary summary;
    ASSERT_TRUE(LoadRegisterFile(dev, Path("in.txt"), &summary));
    EXPECT_EQ(BbpWrites(),
              (std::vector<std::pair<int, int>>{{10, 0xAB}, {11, 0xCD}, {12, 0x3F}, {16, 0x0E}}));
    // Comments and blank lines are neither applied nor skipped.
    EXPECT_EQ(summary.Text(), "4 lines applied, 2 skipped (first: line 7, no value).");
    EXPECT_FALSE(LoadRegisterFile(dev, Path("missing.txt")));
}

TEST_F(BbpFilesTest, ScriptWritesR66OnEveryPathAndLogs) {
    WriteFile(Path("s.txt"), "1 66 20\n0 66\n\n1 70 0x7f\n0 300\nbogus\n1 5\n");
    board->RawBbp(44) = 0x44;
    std::vector<std::string> log = {"old"};
    board->ClearLog();
    ASSERT_TRUE(RunScript(dev, Path("s.txt"), log));
    for (int path = 0; path < 3; ++path)
        EXPECT_EQ(board->R66(path), 0x20) << "path " << path;
    EXPECT_EQ(board->RawBbp(70), 0x7F);
    EXPECT_EQ(log, (std::vector<std::string>{"W:\tBBP R66\t= 0x20\n", "R:\tBBP R66\t= 0x20\n",
                                             "W:\tBBP R70\t= 0x7F\n", "R:\tBBP R44\t= 0x44\n",
                                             "4 lines applied, 2 skipped (first: line 6, the first word is "
                                             "not a number)."}));
    // The R66 write: three R27 reads, three R27 writes, three R66 writes; the
    // incomplete "1 5" sends nothing.
    const auto writes = BbpWrites();
    ASSERT_EQ(writes.size(), 7u);
    EXPECT_EQ(std::count(writes.begin(), writes.end(), std::pair<int, int>{66, 0x20}), 3);
    EXPECT_EQ(writes.back(), (std::pair<int, int>{70, 0x7F}));

    // A script that cannot be opened leaves the log alone.
    EXPECT_FALSE(RunScript(dev, Path("missing.txt"), log));
    EXPECT_EQ(log.size(), 5u);
}

TEST_F(BbpFilesTest, PapdDumpThenWriteLeavesTableAndR4) {
    board->RawBbp(4) = 0x5A;
    board->BbpWrite(188, 0x99); // outside R4 = 16, R188 is a plain register
    std::uint8_t before[256];
    for (unsigned i = 0; i < 256; ++i)
        before[i] = papd->Papd(std::uint8_t(i));
    const std::string path = Path("papd.txt");
    ASSERT_TRUE(DumpPapdTable(dev, path));
    const auto lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 256u);
    EXPECT_EQ(lines[200], F("0x%02X", before[200]));
    ASSERT_TRUE(WritePapdTable(dev, path));
    EXPECT_EQ(board->RawBbp(4), 0x5A);
    EXPECT_EQ(board->RawBbp(188), 0x99);
    for (unsigned i = 0; i < 256; ++i)
        EXPECT_EQ(papd->Papd(std::uint8_t(i)), before[i]) << i;

    // An edited file changes the table; lines without a value use up no entry.
    WriteFile(path, "0x11\n\nno value here\n0X22\n");
    RunnerSummary summary;
    ASSERT_TRUE(WritePapdTable(dev, path, &summary));
    EXPECT_EQ(summary.Text(), "2 lines applied, 1 skipped (first: line 3, no value).");
    EXPECT_EQ(std::vector<int>({papd->Papd(0), papd->Papd(1), papd->Papd(2)}),
              std::vector<int>({0x11, 0x22, before[2]}));
    // Lines past the table's end do not wrap onto entry 0.
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += i < 256 ? "0xAA\n" : "0x55\n";
    WriteFile(path, text);
    ASSERT_TRUE(WritePapdTable(dev, path, &summary));
    EXPECT_EQ(papd->Papd(0), 0xAA);
    EXPECT_EQ(summary.Text(), "256 lines applied, 44 skipped (first: line 257, past the end of the table).");
}

TEST_F(BbpFilesTest, CaptureDumpsHandshakeAndFiles) {
    int toggles = 0;
    board->ClearLog();
    const std::string base = Path("cap.bbp");
    ASSERT_TRUE(DumpCapture(dev, CaptureKind::Adc, base, [&] {
        ++toggles;
        EXPECT_FALSE(papd->CaptureBusy());
    }));
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(BbpWrites(), (std::vector<std::pair<int, int>>{{59, 4}, {59, 0}}));
    // The board finishes after three R59 reads, each after a 1 ms pause.
    EXPECT_EQ(pause.Pauses(), (std::vector<unsigned>{1, 1, 1}));
    EXPECT_EQ(CountCommands(cmd::BbpRead), 3u + 0xC000u);
    const std::string bin = ReadFile(base + ".bin");
    ASSERT_EQ(bin.size(), 0xC000u);
    for (unsigned n : {0u, 777u, 0xBFFFu})
        EXPECT_EQ(std::uint8_t(bin[n]), papd->CaptureByte(n)) << n;
    const auto lines = Lines(ReadFile(base + ".txt"));
    ASSERT_EQ(lines.size(), 0xC000u / 6);
    std::string want;
    for (unsigned k = 0; k < 6; ++k)
        want += CaptureValueText(std::uint8_t(bin[6 * 4000 + k]));
    EXPECT_EQ(lines[4000], want);

    // FEQ with a capture that never completes: 501 polls, then the read-out anyway.
    papd->neverFinish = true;
    board->ClearLog();
    pause.Clear();
    ASSERT_TRUE(DumpCapture(dev, CaptureKind::Feq, base, nullptr));
    EXPECT_EQ(BbpWrites(), (std::vector<std::pair<int, int>>{{59, 6}, {59, 2}}));
    EXPECT_EQ(pause.Pauses().size(), 501u);
    EXPECT_EQ(std::filesystem::file_size(base + ".bin"), 0xC000u);
    EXPECT_FALSE(DumpCapture(dev, CaptureKind::Adc, Path("no/such/dir/x"), nullptr));
}

TEST_F(BbpFilesTest, BadFilesNeitherCrashNorMisfire) {
    std::mt19937 rng(7);
    std::string junk(20000, '\0');
    for (char& c : junk)
        c = char(rng());
    WriteFile(Path("junk"), junk);
    std::vector<std::string> log;
    EXPECT_TRUE(LoadRegisterFile(dev, Path("junk")));
    EXPECT_TRUE(RunScript(dev, Path("junk"), log));
    EXPECT_TRUE(WritePapdTable(dev, Path("junk")));

    // A comment longer than a line buffer stays one comment: its tail is not a
    // register line of its own.
    std::string longComment = ";" + std::string(300, ' ');
    for (int i = 0; i < 50; ++i)
        longComment += "001 = 55 ";
    // A 200-digit register number wraps modulo 256 (255); a line whose "=" lies
    // past the line limit has no value.
    WriteFile(Path("long.txt"), longComment + "\n" + std::string(200, '9') + " = 12\n" +
                                    std::string(100000, '7') + " = 13\n002 = 66\n");
    board->ClearLog();
    EXPECT_TRUE(LoadRegisterFile(dev, Path("long.txt")));
    EXPECT_EQ(BbpWrites(), (std::vector<std::pair<int, int>>{{255, 0x12}, {2, 0x66}}));
    EXPECT_EQ(board->RawBbp(1), 0);
}

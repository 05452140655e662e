#include "registers/core/rf_files.h"
#include "rf_test_support.h"

#include <string>
#include <vector>

using namespace vq;
using namespace vq::rf;

namespace {

class RfFileSequences : public vq::test::RfBoardTest {
  protected:
    void Fill(std::uint8_t seed) {
        for (unsigned b = 0; b < 16; ++b)
            for (unsigned r = 0; r < 64; ++r)
                board->Rf(b, r) = std::uint8_t(seed + 7 * b + 3 * r);
    }
};

struct VectorLog : IScriptLog {
    std::vector<std::string> lines;
    int clears = 0;
    void Clear() override {
        lines.clear();
        ++clears;
    }
    void Add(const std::string& text) override { lines.push_back(text); }
};

} // namespace

TEST_F(RfFileSequences, SaveChangeLoadRestoresTheSavedBanks) {
    Fill(0x11);
    board->Rf(4, 12) = 0x3C;
    board->Rf(0, 4) = 0x05; // VCO calibration bit clear when saved
    const std::string file = Path("regs.txt");
    ASSERT_TRUE(SaveRfRegisters(dev, file));
    const QStringList lines = Lines(file);
    ASSERT_EQ(lines.size(), 320);
    EXPECT_EQ(lines[0], "0 000 " + QString::asprintf("%02X", board->Rf(0, 0)));
    EXPECT_EQ(lines[64 + 12], "4 012 3C");
    EXPECT_TRUE(lines[319].startsWith("7 063 "));

    std::uint8_t saved[16][64];
    for (unsigned b = 0; b < 16; ++b)
        for (unsigned r = 0; r < 64; ++r)
            saved[b][r] = board->Rf(b, r);
    Fill(0x80);
    pause.Clear();
    RunnerSummary summary;
    ASSERT_TRUE(LoadRfRegisters(dev, file, &summary));
    EXPECT_EQ(summary.Text(), "320 lines applied, 0 skipped.");
    for (int b : kSavedBanks)
        for (unsigned r = 0; r < 64; ++r) {
            const std::uint8_t expect = (b == 0 && r == 4) ? std::uint8_t(saved[0][4] | 0x80) : saved[b][r];
            EXPECT_EQ(board->Rf(b, r), expect) << b << " " << r;
        }
    // Banks not in the file keep their current content.
    EXPECT_EQ(board->Rf(1, 0), std::uint8_t(0x80 + 7));
    EXPECT_EQ(pause.Pauses(), std::vector<unsigned>{5});
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(RfFileSequences, LoadOfAMissingFileDoesNothing) {
    board->ClearLog();
    EXPECT_FALSE(LoadRfRegisters(dev, Path("missing.txt")));
    EXPECT_FALSE(SaveRfRegisters(dev, Path("no/such/dir/x.txt")));
    VectorLog log;
    EXPECT_FALSE(RunRfScript(dev, Path("missing.txt"), log));
    EXPECT_EQ(log.clears, 0);
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_TRUE(pause.Pauses().empty());
}

TEST_F(RfFileSequences, ScriptWithWriteReadMalformedAndEmptyLines) {
    board->Rf(4, 7) = 0x5A;
    board->Rf(0, 12) = 0x21;
    const std::string file = Path("script.txt");
    Write(file, "1 2 5 3F\n"
                "0 4 7\n"
                "1 3 x 77\n" // no register: skipped, not run with the previous R7 and 0x3F
                "\n"
                "; comment\n"
                "0 0 12\r\n");
    VectorLog log;
    log.lines.push_back("old");
    ASSERT_TRUE(RunRfScript(dev, file, log));
    EXPECT_EQ(log.clears, 1);
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{"W:\tBank02, RF R5\t= 0x3F\n", "R:\tBank04, RF R7\t= 0x5A\n",
                                        "R:\tBank00, RF R12\t= 0x21\n",
                                        "3 lines applied, 1 skipped (first: line 3, no register number)."}));
    EXPECT_EQ(board->Rf(2, 5), 0x3F);
    EXPECT_EQ(board->Rf(4, 7), 0x5A);
    EXPECT_EQ(board->Rf(3, 7), 0x00);
    EXPECT_EQ(State().rfBank, 0);
}

TEST_F(RfFileSequences, AteDumpAndReadWriteTest) {
    Fill(0x40);
    const std::string dump = Path("dump.txt");
    ASSERT_TRUE(DumpBankForAte(dev, dump, 5));
    const QStringList lines = Lines(dump);
    ASSERT_EQ(lines.size(), 64);
    EXPECT_EQ(lines[9], QString::asprintf("5  009 = %02X", board->Rf(5, 9)));

    const std::string test = Path("test.txt");
    ASSERT_TRUE(TestRegisterReadWrite(dev, test, 6, 2));
    const QStringList t = Lines(test);
    ASSERT_EQ(t.size(), 3 + 2 * 257);
    EXPECT_EQ(t[0], "; RF R/W Test File!!");
    EXPECT_EQ(t[1], "");
    EXPECT_EQ(t[2], "Reg:  WRITE :  READ :");
    EXPECT_EQ(t[3], "R0\t00\t00");
    EXPECT_EQ(t[3 + 0xA5], "R0\tA5\tA5");
    EXPECT_EQ(t[3 + 256], QString(36, '='));
    EXPECT_EQ(t[4 + 256], "R1\t00\t00");
    EXPECT_EQ(board->Rf(6, 1), 0xFF);
    EXPECT_EQ(board->Rf(6, 2), std::uint8_t(0x40 + 42 + 6));
}

#include "calibration/papd/papd_test_page.h"

#include "agent/bbp_papd.h"
#include "base/format.h"
#include "calibration/papd/core/papd_memory.h"
#include "tests/support/gui_board_fixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <algorithm>

using namespace vq;
using namespace vq::papd;

namespace {

class PapdTest : public test::GuiBoardTest, protected test::ScratchFiles {
  protected:
    PapdTest() : ScratchFiles("vq_papd_") {}
    void SetUp() override {
        GuiBoardTest::SetUp();
        mem = board->Device<agent::BbpPapdDevice>();
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> out;
        std::size_t start = 0;
        for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
            out.push_back(text.substr(start, nl - start));
        return out;
    }
    agent::BbpPapdDevice* mem = nullptr;
    CDeviceCommands dev;
};

} // namespace

TEST(PapdFormats, PackersAndTableLines) {
    EXPECT_EQ(PackPbfWord({1, 2, 3, 4}), 0x03002001u);
    EXPECT_EQ(PackPbfWord({5, 6, 7, 8}), 0x07006005u);
    EXPECT_EQ(PackSharedWord({1, 2, 3, 4}, {5, 6, 7, 8}), 0x00800040u);
    // Out-of-field bits are cut; bits 8..9 of the third values go to the shared word.
    EXPECT_EQ(PackPbfWord({0x7FF, 0x7FFF, 0x1FF, 0}), 0xFF3FF3FFu);
    EXPECT_EQ(PackSharedWord({0, 0, 0x3FF, 0x7FFF}, {0, 0, 0x200, 0xFFFF}), 0x3FF23FF3u);
    EXPECT_EQ(PackPbfWord({-1, -1, -1, -1}), 0xFF3FF3FFu);
    EXPECT_EQ(TableLine(0x80FF017Fu), "127\t1\t-1\t-128\n");
    std::array<int, 4> v{};
    EXPECT_TRUE(ParseTableLine("  1 -2\t3 +4 trailing", v));
    EXPECT_EQ(v, (std::array<int, 4>{1, -2, 3, 4}));
    EXPECT_FALSE(ParseTableLine("1 2 3", v));
}

TEST_F(PapdTest, DumpsLineCountsAndBanks) {
    board->SetRawMac(0x8000, 0x11111111);
    dev.MacWrite(0x400, 0x20000); // second PBF half
    dev.MacWrite(0x8000, 0x22222222);
    dev.MacWrite(0x400, 0x80000); // second shared part
    dev.MacWrite(0x4000, 0x33333333);
    dev.MacWrite(0x400, 0);
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> dump;
        std::size_t lines;
        std::vector<std::pair<std::size_t, std::string>> probes;
    } cases[] = {
        {"pbf",
         [&](auto& p) { return ReadPbf(dev, p, false); },
         16384,
         {{0, "11111111"}, {8192, "22222222"}}},
        {"pbf-papd", [&](auto& p) { return ReadPbf(dev, p, true); }, 10923, {{8192, "22222222"}}},
        {"table",
         [&](auto& p) { return ReadTable(dev, p, true); },
         10923,
         {{0, "17\t17\t17\t17"}, {8192, "34\t34\t34\t34"}}},
        {"scope", [&](auto& p) { return ReadDataScope(dev, p); }, 5000, {{0, "00"}, {9, "07"}}},
        {"shared", [&](auto& p) { return ReadSharedMemory(dev, p, false); }, 6144, {{4096, "33333333"}}},
        {"shared-papd", [&](auto& p) { return ReadSharedMemory(dev, p, true); }, 4096, {}},
    };
    for (const Case& c : cases) {
        const std::string path = Path(c.name);
        ASSERT_TRUE(c.dump(path)) << c.name;
        const auto lines = Lines(ReadFile(path));
        EXPECT_EQ(lines.size(), c.lines) << c.name;
        for (const auto& [n, text] : c.probes)
            EXPECT_EQ(lines.at(n), text) << c.name << " line " << n;
        EXPECT_EQ(board->RawMac(0x400) & 0x80000, 0u) << c.name; // shared memory back on its first part
    }
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(PapdTest, LoadsSwitchHalvesAndWrap) {
    // PBF: 8192 words fill the first half, the next ones the second half, which wraps.
    std::string pbf;
    for (unsigned i = 0; i < 8192 + 8192 + 2; ++i)
        pbf += Format("%X\n", i);
    WriteFile(Path("pbf"), pbf + "\nnot a number\n");
    ASSERT_TRUE(WritePbf(dev, Path("pbf")));
    EXPECT_EQ(board->RawMac(0x8000 + 4 * 8191), 8191u);
    EXPECT_EQ(mem->PbfSecond(0), 16384u); // the wrapped line
    EXPECT_EQ(mem->PbfSecond(1), 16385u);
    EXPECT_EQ(mem->PbfSecond(8191), 8192u + 8191u);

    WriteFile(Path("scope"), "1FF\n0x12\n");
    ASSERT_TRUE(WriteDataScope(dev, Path("scope")));
    EXPECT_EQ(mem->Scope(0), 0xFF);
    EXPECT_EQ(mem->Scope(1), 0x12);

    std::string shared;
    for (unsigned i = 0; i < 4097; ++i)
        shared += Format("%08X\n", i + 1);
    WriteFile(Path("shared"), shared);
    ASSERT_TRUE(WriteSharedMemory(dev, Path("shared")));
    EXPECT_EQ(board->RawMac(0x4000 + 4 * 4095), 4096u);
    EXPECT_EQ(mem->SharedSecond(0), 4097u);
    EXPECT_EQ(board->RawMac(0x400) & 0x80000, 0u);

    // The combined table, with an odd last line that pairs with itself.
    board->SetRawMac(0x400, 0xE0000 | 0x5);
    WriteFile(Path("table"), "1 2 3 4\n5 6 7 8\n9 10 11 12\n");
    ASSERT_TRUE(WriteTable(dev, Path("table")));
    EXPECT_EQ(board->RawMac(0x8000), 0x03002001u);
    EXPECT_EQ(board->RawMac(0x8004), 0x07006005u);
    EXPECT_EQ(board->RawMac(0x4000), 0x00800040u);
    EXPECT_EQ(board->RawMac(0x8008), PackPbfWord({9, 10, 11, 12}));
    EXPECT_EQ(board->RawMac(0x800C), PackPbfWord({9, 10, 11, 12}));
    EXPECT_EQ(board->RawMac(0x4004), PackSharedWord({9, 10, 11, 12}, {9, 10, 11, 12}));
    EXPECT_EQ(board->RawMac(0x400), 0x5u);

    EXPECT_FALSE(WritePbf(dev, Path("missing")));
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(PapdTest, FailedReadLeavesTheFile) {
    const std::string path = Path("old.txt");
    WriteFile(path, "old\n");
    board->poweredOn = false;
    EXPECT_FALSE(ReadPbf(dev, path, false));
    EXPECT_EQ(ReadFile(path), "old\n");
    const auto texts = prompter.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts.back().find("was not written"), std::string::npos);
}

TEST_F(PapdTest, PageDialogs) {
    CPAPDTESTPage page;
    EXPECT_EQ(page.Caption(), "PAPD Test Page");
    QStringList groups;
    for (auto* g : page.findChildren<QGroupBox*>())
        groups << g->title();
    EXPECT_EQ(groups,
              QStringList({"Read / Write PBF Side", "Read / Write Data Scope Side", "Share Memory", ""}));
    EXPECT_EQ(page.PapdMode()->text(), "PAPD Mode");
    struct Case {
        const char* button;
        bool save;
        const char* filter;
        const char* title;
    } cases[] = {
        {"pbfRead", true, "PBF Files(*.txt)|*.txt||", "Open Script File"},
        {"pbfWrite", false, "PBF Files(*.txt)|*.txt||", "Open Script File"},
        {"scopeRead", true, "Data scope Files(*.txt)|*.txt||", "Open Script File"},
        {"scopeWrite", false, "Data scope Files(*.txt)|*.txt||", "Open Script File"},
        {"sharedRead", true, "ShareMemory Files(*.txt)|*.txt||", "Open Script File"},
        {"sharedWrite", false, "ShareMemory Files(*.txt)|*.txt||", "Open Script File"},
        {"tableRead", true, "Files(*.txt)|*.txt||", "Open File"},
        {"tableWrite", false, "Files(*.txt)|*.txt||", "Open File"},
    };
    for (const Case& c : cases) {
        dialogs.calls.clear();
        dialogs.answers = {QString()};
        page.findChild<QPushButton*>(c.button)->click();
        ASSERT_EQ(dialogs.calls.size(), 1u) << c.button;
        EXPECT_EQ(dialogs.calls[0].save, c.save) << c.button;
        EXPECT_EQ(dialogs.calls[0].filter, c.filter) << c.button;
        EXPECT_EQ(dialogs.calls[0].title, c.title) << c.button;
    }
    // ".txt" added to a name without extension; "PAPD Mode" shortens the dump.
    page.PapdMode()->setChecked(true);
    dialogs.answers = {QString::fromStdString(Path("dump"))};
    page.findChild<QPushButton*>("tableRead")->click();
    EXPECT_EQ(Lines(ReadFile(Path("dump.txt"))).size(), 10923u);
}

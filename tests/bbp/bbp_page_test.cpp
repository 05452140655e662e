#include "registers/bbp/bbp_page.h"

#include "bbp_test_support.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QValidator>

using namespace vq;
using bbptest::BbpFixture;

namespace {

QPushButton* FindButton(QWidget* page, const QString& text) {
    for (auto* b : page->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

bool HasGroup(QWidget* page, const QString& title) {
    for (auto* g : page->findChildren<QGroupBox*>())
        if (g->title() == title) return true;
    return false;
}

bool AcceptsText(QLineEdit* edit, QString text) {
    if (!edit->validator()) return true;
    int pos = 0;
    return edit->validator()->validate(text, pos) != QValidator::Invalid;
}

class BbpPageTest : public BbpFixture {};

} // namespace

TEST_F(BbpPageTest, ControlsCaptionsAndFields) {
    CBBPPage p1;
    CBBPPage2 p2;
    CBBPPage3 p3;
    EXPECT_EQ(QStringList({p1.Caption(), p2.Caption(), p3.Caption()}),
              QStringList({"BBP Page 1", "BBP Page 2", "BBP Page 3"}));
    for (unsigned r = 0; r < 256; ++r) {
        EXPECT_EQ(p1.RegisterField(r) != nullptr, r <= 111) << r;
        EXPECT_EQ(p2.RegisterField(r) != nullptr, r >= 112 && r <= 136) << r;
        const bool shown = (r >= 137 && r <= 199) || (r >= 248 && r <= 250);
        ASSERT_EQ(p3.RegisterField(r) != nullptr, shown || r >= 251) << r;
        if (shown || r >= 251) {
            EXPECT_EQ(p3.RegisterLabel(r)->isVisibleTo(&p3), shown) << r;
        }
    }
    EXPECT_EQ(p1.RegisterLabel(0)->text(), "R0 (0x00)");
    EXPECT_EQ(p1.RegisterLabel(111)->text(), "R111 (0x6F)");
    EXPECT_FALSE(p3.RegisterField(255)->isVisibleTo(&p3));
    EXPECT_TRUE(p1.RegisterField(42)->isReadOnly());
    for (const char* g : {"Single Read/Write", "Mode", "BBP registers", "PAPD"})
        EXPECT_TRUE(HasGroup(&p1, g)) << g;
    EXPECT_EQ(p1.ReadRadio()->text() + p1.WriteRadio()->text() + p1.RwButton()->text(), "&READ&WRITER/W");
    EXPECT_EQ(p1.ReadAllButton()->text(), "Read &ALL");
    EXPECT_EQ(p2.ReadAllButton()->text(), "Read &All");
    EXPECT_EQ(p3.ReadAllButton()->text(), "Read &All");
    for (const char* b : {"Load Bbp Regs", "Save Bbp Regs", "Load Script", "Dump", "Write"})
        EXPECT_TRUE(FindButton(&p1, b) && FindButton(&p1, b)->isEnabled()) << b;
    for (const char* b : {"Dump ADC", "Dump FEQ"}) {
        ASSERT_NE(FindButton(&p1, b), nullptr) << b;
        EXPECT_FALSE(FindButton(&p1, b)->isEnabled() || FindButton(&p1, b)->isVisibleTo(&p1)) << b;
    }
    ASSERT_NE(FindButton(&p2, "Load File"), nullptr);
    EXPECT_FALSE(FindButton(&p2, "Load File")->isEnabled());
    // Digits only in the register number on pages 1 and 2.
    EXPECT_TRUE(AcceptsText(p1.RegisterIdEdit(), "123"));
    EXPECT_FALSE(AcceptsText(p1.RegisterIdEdit(), "1a"));
    EXPECT_FALSE(AcceptsText(p2.RegisterIdEdit(), "x"));
    EXPECT_TRUE(AcceptsText(p3.RegisterIdEdit(), "1a"));
}

TEST_F(BbpPageTest, ActivationReadsR0OnceThenRefreshesByOneReadAll) {
    board->RawBbp(5) = 0xA5;
    board->RawBbp(130) = 0x3C;
    board->RawBbp(250) = 0x0F;
    CBBPPage p1;
    board->ClearLog();
    p1.Activate();
    auto log = board->Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].commandId, cmd::BbpRead);
    EXPECT_EQ(log[0].payload, (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(log[1].commandId, cmd::BbpReadAll);
    EXPECT_EQ(p1.RegisterField(5)->text(), "A5");
    EXPECT_EQ(p1.RegisterField(0)->text(), "94");
    EXPECT_EQ(p1.RegisterIdEdit()->text(), "000");
    EXPECT_EQ(p1.ValueEdit()->text(), "00");
    EXPECT_TRUE(p1.ValueEdit()->isReadOnly());
    EXPECT_EQ(p1.RegisterIdEdit()->maxLength(), 3);
    EXPECT_EQ(p1.ValueEdit()->maxLength(), 2);
    board->ClearLog();
    p1.Activate(); // later activations only refresh
    ASSERT_EQ(board->LogSize(), 1u);
    EXPECT_EQ(board->Log()[0].commandId, cmd::BbpReadAll);

    CBBPPage2 p2;
    board->ClearLog();
    p2.Activate();
    EXPECT_EQ(board->LogSize(), 2u);
    EXPECT_EQ(p2.RegisterField(130)->text(), "3C");

    CBBPPage3 p3;
    board->ClearLog();
    p3.Activate();
    ASSERT_EQ(board->LogSize(), 1u); // page 3 does not read R0
    EXPECT_EQ(p3.RegisterField(250)->text(), "0F");
}

TEST_F(BbpPageTest, FailedReadAllShowsZeros) {
    board->RawBbp(5) = 0xA5;
    CBBPPage p1;
    p1.Activate();
    ASSERT_EQ(p1.RegisterField(5)->text(), "A5");
    board->faults.failCommand = cmd::BbpReadAll;
    p1.OnReadAll();
    EXPECT_EQ(p1.RegisterField(5)->text(), "00");
    EXPECT_EQ(p1.RegisterField(0)->text(), "00");
    EXPECT_EQ(prompter.Last(), "BBP Read-All : Error Message => Receive packet status failed.....32769");
}

TEST_F(BbpPageTest, RegisterNumberModulo256AndWriteDoesNotRefresh) {
    CBBPPage p1;
    p1.Activate();
    board->RawBbp(44) = 0x12;
    p1.RegisterIdEdit()->setText("300");
    p1.OnRw(); // read mode
    EXPECT_EQ(p1.ValueEdit()->text(), "12");
    EXPECT_EQ(board->Log().back().payload, (std::vector<std::uint8_t>{0, 44}));

    p1.WriteRadio()->click();
    EXPECT_EQ(p1.Mode(), 1);
    EXPECT_FALSE(p1.ValueEdit()->isReadOnly());
    p1.ValueEdit()->setText("5a");
    board->ClearLog();
    p1.RwButton()->click();
    EXPECT_EQ(board->RawBbp(44), 0x5A);
    ASSERT_EQ(board->LogSize(), 1u); // one BBP Write, no Read-All
    EXPECT_EQ(board->Log()[0].payload, (std::vector<std::uint8_t>{0, 44, 0x5A}));
    EXPECT_EQ(p1.RegisterField(44)->text(), "00"); // the grid still shows the value read before the change
    p1.ReadAllButton()->click();
    EXPECT_EQ(p1.RegisterField(44)->text(), "5A");

    // R66 written from the page reaches every receive path.
    p1.RegisterIdEdit()->setText("66");
    p1.ValueEdit()->setText("3");
    p1.OnRw();
    for (int path = 0; path < 3; ++path)
        EXPECT_EQ(board->R66(path), 0x03);

    p1.ReadRadio()->click();
    EXPECT_EQ(p1.Mode(), 0);
    EXPECT_TRUE(p1.ValueEdit()->isReadOnly());

    // A failed read keeps the value shown.
    p1.RegisterIdEdit()->setText("44");
    board->faults.failCommand = cmd::BbpRead;
    p1.ValueEdit()->setText("77");
    p1.OnRw();
    EXPECT_EQ(p1.ValueEdit()->text(), "77");
    EXPECT_EQ(prompter.Last(), "BBP Read : Error Message => Receive packet status failed.....32769");
}

TEST_F(BbpPageTest, PageOneFileActions) {
    CBBPPage p1;
    p1.Activate();
    auto file = [&](const char* name) { return QString::fromStdString(Path(name)); };

    // Script: log list filled, last line selected, grid refreshed.
    WriteFile(Path("s.txt"), "1 66 20\n1 7 c3\n0 7\n");
    dialogs.answers = {file("s.txt")};
    FindButton(&p1, "Load Script")->click();
    EXPECT_EQ(dialogs.calls.back().title, "Open BBP Script File");
    EXPECT_EQ(dialogs.calls.back().filter, "BBP script Files(*.txt)|*.txt||");
    EXPECT_EQ(dialogs.calls.back().directory, ProgramDirectory());
    ASSERT_EQ(p1.ScriptLog()->count(), 4);
    EXPECT_EQ(p1.LogCount(), 4);
    EXPECT_EQ(p1.ScriptLog()->item(0)->text(), "W:\tBBP R66\t= 0x20");
    EXPECT_EQ(p1.ScriptLog()->item(3)->text(), "3 lines applied, 0 skipped.");
    EXPECT_EQ(p1.ScriptLog()->currentRow(), 3);
    EXPECT_EQ(p1.RegisterField(7)->text(), "C3");
    // A cancelled dialog or a missing script leaves the log.
    dialogs.answers = {QString(), file("none.txt")};
    p1.OnLoadScript();
    p1.OnLoadScript();
    EXPECT_EQ(p1.LogCount(), 4);

    // Save: ".txt" appended, create and replace questions; No keeps the file.
    board->RawBbp(9) = 0x99;
    dialogs.answers = {file("regs")};
    FindButton(&p1, "Save Bbp Regs")->click();
    EXPECT_TRUE(dialogs.calls.back().save);
    EXPECT_EQ(dialogs.calls.back().title, "Open Script File");
    EXPECT_EQ(dialogs.calls.back().filter, "BBP Files(*.txt)|*.txt||");
    EXPECT_EQ(prompter.Last(), "regs.txt\nThis file does not exist.\nDo you want to create it?");
    EXPECT_EQ(Lines(ReadFile(Path("regs.txt"))).size(), 1280u);
    prompter.Script({MsgResult::No});
    board->RawBbp(9) = 0x11;
    dialogs.answers = {file("regs.txt")};
    p1.OnSaveBbpRegs();
    EXPECT_EQ(prompter.Last(), "regs.txt already exists.\nDo you want to replace it?");
    EXPECT_EQ(Lines(ReadFile(Path("regs.txt")))[9], "009 = 99");
    // Load: written back and shown.
    dialogs.answers = {file("regs.txt")};
    FindButton(&p1, "Load Bbp Regs")->click();
    EXPECT_EQ(dialogs.calls.back().title, "Open BBP File");
    EXPECT_EQ(board->RawBbp(9), 0x99);
    EXPECT_EQ(p1.StatusLine()->text(), "regs.txt: 1280 lines applied, 0 skipped.");
    EXPECT_EQ(p1.RegisterField(9)->text(), "99");

    // PAPD: ".txt" always appended to the dump's name; the write restores the table.
    const std::uint8_t r4 = board->RawBbp(4), e10 = papd->Papd(10);
    dialogs.answers = {file("papd")};
    FindButton(&p1, "Dump")->click();
    EXPECT_EQ(dialogs.calls.back().title, "Open File");
    EXPECT_EQ(dialogs.calls.back().filter, "txt Files(*.txt)|*.txt||");
    EXPECT_EQ(p1.StatusLine()->text(), "papd.txt: saved.");
    papd->SetPapd(10, std::uint8_t(e10 ^ 0xFF));
    dialogs.answers = {file("papd.txt")};
    FindButton(&p1, "Write")->click();
    EXPECT_FALSE(dialogs.calls.back().save);
    EXPECT_EQ(papd->Papd(10), e10);
    EXPECT_EQ(board->RawBbp(4), r4);
    EXPECT_EQ(p1.StatusLine()->text(), "papd.txt: 256 lines applied, 0 skipped.");

    // The hidden ADC dump, reached through its action.
    dialogs.answers = {file("cap.bbp")};
    p1.OnDumpAdc();
    EXPECT_EQ(dialogs.calls.back().filter, "BBP Register File (*.bbp)|*.bbp||");
    EXPECT_EQ(std::filesystem::file_size(Path("cap.bbp.bin")), 0xC000u);
    EXPECT_TRUE(std::filesystem::exists(Path("cap.bbp.txt")));
}

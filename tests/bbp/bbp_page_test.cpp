#include "registers/bbp/bbp_page.h"

#include "bbp_test_support.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
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

TEST_F(BbpPageTest, PageOneControlsAndFields) {
    CBBPPage page;
    EXPECT_EQ(page.Caption(), "BBP Page 1");
    for (unsigned r = 0; r < 256; ++r)
        EXPECT_EQ(page.RegisterField(r) != nullptr, r <= 111) << r;
    EXPECT_EQ(page.RegisterLabel(0)->text(), "R0 (0x00)");
    EXPECT_EQ(page.RegisterLabel(111)->text(), "R111 (0x6F)");
    EXPECT_TRUE(page.RegisterField(42)->isReadOnly());
    EXPECT_EQ(page.RegisterField(42)->text(), "00");
    for (const char* g : {"Single Read/Write", "Mode", "BBP registers", "PAPD"})
        EXPECT_TRUE(HasGroup(&page, g)) << g;
    EXPECT_EQ(page.ReadRadio()->text(), "&READ");
    EXPECT_EQ(page.WriteRadio()->text(), "&WRITE");
    EXPECT_EQ(page.RwButton()->text(), "R/W");
    EXPECT_EQ(page.ReadAllButton()->text(), "Read &ALL");
    bool registerIdLabel = false;
    for (auto* l : page.findChildren<QLabel*>())
        registerIdLabel |= l->text() == "Register ID";
    EXPECT_TRUE(registerIdLabel);
    for (const char* b : {"Load Bbp Regs", "Save Bbp Regs", "Load Script", "Dump", "Write"}) {
        ASSERT_NE(FindButton(&page, b), nullptr) << b;
        EXPECT_TRUE(FindButton(&page, b)->isEnabled()) << b;
    }
    EXPECT_NE(page.ScriptLog(), nullptr);
    for (const char* b : {"Dump ADC", "Dump FEQ"}) {
        ASSERT_NE(FindButton(&page, b), nullptr) << b;
        EXPECT_FALSE(FindButton(&page, b)->isEnabled()) << b;
        EXPECT_FALSE(FindButton(&page, b)->isVisibleTo(&page)) << b;
    }
    EXPECT_TRUE(AcceptsText(page.RegisterIdEdit(), "123"));
    EXPECT_FALSE(AcceptsText(page.RegisterIdEdit(), "1a"));
}

TEST_F(BbpPageTest, PagesTwoAndThree) {
    CBBPPage2 p2;
    EXPECT_EQ(p2.Caption(), "BBP Page 2");
    for (unsigned r = 0; r < 256; ++r)
        EXPECT_EQ(p2.RegisterField(r) != nullptr, r >= 112 && r <= 136) << r;
    EXPECT_EQ(p2.ReadAllButton()->text(), "Read &All");
    ASSERT_NE(FindButton(&p2, "Load File"), nullptr);
    EXPECT_FALSE(FindButton(&p2, "Load File")->isEnabled());
    EXPECT_FALSE(AcceptsText(p2.RegisterIdEdit(), "x"));

    CBBPPage3 p3;
    EXPECT_EQ(p3.Caption(), "BBP Page 3");
    for (unsigned r = 0; r < 256; ++r) {
        const bool shown = (r >= 137 && r <= 199) || (r >= 248 && r <= 250);
        const bool present = shown || r >= 251;
        ASSERT_EQ(p3.RegisterField(r) != nullptr, present) << r;
        if (present) {
            EXPECT_EQ(p3.RegisterField(r)->isVisibleTo(&p3), shown) << r;
            EXPECT_EQ(p3.RegisterLabel(r)->isVisibleTo(&p3), shown) << r;
        }
    }
    EXPECT_EQ(p3.RegisterLabel(255)->text(), "R255 (0xFF)");
    EXPECT_EQ(p3.ReadAllButton()->text(), "Read &All");
    EXPECT_TRUE(AcceptsText(p3.RegisterIdEdit(), "1a")); // page 3 takes any characters
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

TEST_F(BbpPageTest, ScriptFillsLogAndRefreshes) {
    CBBPPage p1;
    p1.Activate();
    WriteFile(Path("s.txt"), "1 66 20\n1 7 c3\n0 7\n");
    dialogs.answers = {QString::fromStdString(Path("s.txt"))};
    FindButton(&p1, "Load Script")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_FALSE(dialogs.calls[0].save);
    EXPECT_EQ(dialogs.calls[0].title, "Open BBP Script File");
    EXPECT_EQ(dialogs.calls[0].filter, "BBP script Files(*.txt)|*.txt||");
    EXPECT_EQ(dialogs.calls[0].directory, ProgramDirectory());
    ASSERT_EQ(p1.ScriptLog()->count(), 3);
    EXPECT_EQ(p1.LogCount(), 3);
    EXPECT_EQ(p1.ScriptLog()->item(0)->text(), "W:\tBBP R66\t= 0x20");
    EXPECT_EQ(p1.ScriptLog()->item(2)->text(), "R:\tBBP R7\t= 0xC3");
    EXPECT_EQ(p1.ScriptLog()->currentRow(), 2);
    EXPECT_EQ(p1.RegisterField(7)->text(), "C3");
    EXPECT_EQ(board->Log().back().commandId, cmd::BbpReadAll);

    // A second run replaces the log; a cancelled dialog or a missing file leaves it.
    WriteFile(Path("s.txt"), "0 7\n");
    dialogs.answers = {QString::fromStdString(Path("s.txt")), QString(),
                       QString::fromStdString(Path("none.txt"))};
    p1.OnLoadScript();
    p1.OnLoadScript();
    p1.OnLoadScript();
    EXPECT_EQ(p1.ScriptLog()->count(), 1);
    EXPECT_EQ(p1.LogCount(), 1);
}

TEST_F(BbpPageTest, SaveAndLoadRegistersFromThePage) {
    CBBPPage p1;
    p1.Activate();
    board->RawBbp(9) = 0x99;
    dialogs.answers = {QString::fromStdString(Path("regs"))};
    p1.OnSaveBbpRegs();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(dialogs.calls[0].save);
    EXPECT_EQ(dialogs.calls[0].title, "Open Script File");
    EXPECT_EQ(dialogs.calls[0].filter, "BBP Files(*.txt)|*.txt||");
    ASSERT_TRUE(std::filesystem::exists(Path("regs.txt"))); // ".txt" appended
    EXPECT_EQ(Lines(ReadFile(Path("regs.txt"))).size(), 1280u);
    EXPECT_NE(prompter.Last().find("does not exist"), std::string::npos);

    // Replacing asks first; No keeps the file.
    prompter.Script({MsgResult::No});
    board->RawBbp(9) = 0x11;
    dialogs.answers = {QString::fromStdString(Path("regs.txt"))};
    p1.OnSaveBbpRegs();
    EXPECT_NE(prompter.Last().find("already exists"), std::string::npos);
    EXPECT_EQ(Lines(ReadFile(Path("regs.txt")))[9], "009 = 99");

    dialogs.answers = {QString::fromStdString(Path("regs.txt"))};
    p1.OnLoadBbpRegs();
    EXPECT_EQ(dialogs.calls.back().title, "Open BBP File");
    EXPECT_EQ(board->RawBbp(9), 0x99);
    EXPECT_EQ(p1.RegisterField(9)->text(), "99"); // refreshed after loading
}

TEST_F(BbpPageTest, PapdButtonsAndHiddenDump) {
    CBBPPage p1;
    p1.Activate();
    const std::uint8_t r4 = board->RawBbp(4);
    dialogs.answers = {QString::fromStdString(Path("papd"))};
    FindButton(&p1, "Dump")->click();
    EXPECT_EQ(dialogs.calls.back().title, "Open File");
    EXPECT_EQ(dialogs.calls.back().filter, "txt Files(*.txt)|*.txt||");
    ASSERT_TRUE(std::filesystem::exists(Path("papd.txt")));
    const std::uint8_t e10 = papd->Papd(10);
    papd->SetPapd(10, std::uint8_t(e10 ^ 0xFF));
    dialogs.answers = {QString::fromStdString(Path("papd.txt"))};
    FindButton(&p1, "Write")->click();
    EXPECT_FALSE(dialogs.calls.back().save);
    EXPECT_EQ(papd->Papd(10), e10);
    EXPECT_EQ(board->RawBbp(4), r4);

    dialogs.answers = {QString::fromStdString(Path("cap.bbp"))};
    p1.OnDumpAdc();
    EXPECT_EQ(dialogs.calls.back().filter, "BBP Register File (*.bbp)|*.bbp||");
    EXPECT_EQ(std::filesystem::file_size(Path("cap.bbp.bin")), 0xC000u);
    EXPECT_TRUE(std::filesystem::exists(Path("cap.bbp.txt")));
}

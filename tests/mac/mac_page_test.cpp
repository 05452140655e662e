#include "controls/hex_edit.h"
#include "mac_test_support.h"
#include "registers/mac/mac_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>

using namespace vq;
using mactest::Access;

namespace {

class MacPageTest : public mactest::MacFixture {
  protected:
    void SetUp() override {
        MacFixture::SetUp();
        page = std::make_unique<CMACPage>();
        page->Activate();
    }
    void TearDown() override {
        page.reset();
        MacFixture::TearDown();
    }
    QPushButton* Button(const QString& text) const {
        for (QPushButton* b : page->findChildren<QPushButton*>())
            if (b->text() == text) return b;
        return nullptr;
    }
    void Select(int index) {
        page->RegionList()->setCurrentIndex(index);
        emit page->RegionList()->activated(index);
    }
    std::unique_ptr<CMACPage> page;
};

} // namespace

TEST_F(MacPageTest, StartShowsControlsAndRegionZero) {
    EXPECT_EQ(page->Caption(), QStringLiteral("MAC"));
    for (const char* caption : {"R/W", "Read &ALL", "Load File", "Save As...", "Script File", "RW/TEST",
                                "Dump", "Load Script", "Reset NIC"})
        EXPECT_NE(Button(caption), nullptr) << caption;
    EXPECT_FALSE(page->ResetNicButton()->isEnabled());
    EXPECT_TRUE(page->ResetNicButton()->isHidden());
    EXPECT_EQ(page->RegionList()->count(), 7);
    EXPECT_EQ(page->RegionList()->itemText(6), QStringLiteral("CIS                      (offset:0x7600)"));
    EXPECT_EQ(page->BaseAddressEdit()->text(), QStringLiteral("(00000000) (00000000)"));
    EXPECT_EQ(page->OffsetEdit()->maxLength(), 8);
    EXPECT_TRUE(page->ValueEdit()->isReadOnly());
    EXPECT_EQ(page->HexView()->Length(), 4096);
    EXPECT_FALSE(page->HexView()->AllowLengthChange());
    EXPECT_EQ(page->HexView()->Data(), page->Space().DumpBytes());
}

TEST_F(MacPageTest, RegionSelectionAndActivationReRead) {
    board->ClearLog();
    Select(kMacRegionCis);
    EXPECT_EQ(MacAccesses(), (std::vector<Access>{{cmd::MacMultiRead, 0x7600, 256}}));
    EXPECT_EQ(page->HexView()->Length(), 256);
    board->SetRawMac(0x7600, 0x12345678);
    page->Activate();
    EXPECT_EQ(page->Space().DumpWords()[0], 0x12345678u);
}

TEST_F(MacPageTest, SingleReadAndWriteAddTheRegionOffset) {
    Select(kMacRegionMacRegister);
    page->OffsetEdit()->setText("4");
    page->OnRw();
    EXPECT_EQ(page->ValueEdit()->text(), QStringLiteral("0000000C"));
    page->WriteRadio()->click();
    EXPECT_FALSE(page->ValueEdit()->isReadOnly());
    page->OffsetEdit()->setText("10z");
    page->ValueEdit()->setText("ABCD");
    board->ClearLog();
    page->OnRw();
    EXPECT_EQ(MacAccesses(), (std::vector<Access>{{cmd::MacWrite, 0x1010, 0xABCD}})); // no re-read
    page->ReadRadio()->click();
    EXPECT_TRUE(page->ValueEdit()->isReadOnly());
}

TEST_F(MacPageTest, LoadFileRemembersItAndReReadsAfterFiftyMilliseconds) {
    Select(kMacRegionPacketBuf);
    WriteFile(Path("five.bin"), std::string("\x01\x02\x03\x04\x05", 5));
    dialogs.answers = {QString::fromStdString(Path("five.bin"))};
    pause.Clear();
    Button("Load File")->click();
    EXPECT_EQ(dialogs.calls.back().filter, QStringLiteral("HW Memory content File (*.bin)|*.bin||"));
    EXPECT_EQ(dialogs.calls.back().directory, ProgramDirectory());
    EXPECT_EQ(page->Space().contentFileName, Path("five.bin"));
    EXPECT_EQ(pause.Pauses(), (std::vector<unsigned>{5, 50}));
    EXPECT_EQ(page->Space().DumpWords()[1], 0xFFFFFF05u);
    // A missing file: its message, and the region is read all the same.
    dialogs.answers = {QString::fromStdString(Path("absent.bin"))};
    board->ClearLog();
    Button("Load File")->click();
    EXPECT_EQ(prompter.Last(), "HW Memory content File not found!");
    EXPECT_EQ(MacAccesses().size(), 32u);
}

TEST_F(MacPageTest, RegisterFileSelectsTheRegionInTheList) {
    WriteFile(Path("my content.bin"), std::string("\x0A\x0B\x0C\x0D", 4));
    WriteFile(Path("set.mac"), "bank 5\nBBPSET 66 0x20\nLOADFILE my content.bin\n");
    dialogs.answers = {QString::fromStdString(Path("set"))}; // no dot: ".mac" is appended
    Button("Script File")->click();
    EXPECT_EQ(dialogs.calls.back().filter, QStringLiteral("MAC Register File (*.mac)|*.mac||"));
    EXPECT_EQ(page->RegionList()->currentIndex(), kMacRegionPacketBuf);
    EXPECT_EQ(page->HexView()->Length(), 32768);
    EXPECT_EQ(page->Space().DumpWords()[0], 0x0D0C0B0Au);
    EXPECT_EQ(board->R66(1), 0x20);
    EXPECT_EQ(page->StatusLine()->text(), QStringLiteral("set.mac: 3 lines applied, 0 skipped."));
    dialogs.answers = {QString::fromStdString(Path("absent.mac"))};
    Button("Script File")->click();
    EXPECT_EQ(prompter.Last(), "MAC Register File not found!");
}

TEST_F(MacPageTest, ScriptLogListsEveryLine) {
    WriteFile(Path("script.txt"), "1 0x1004 0xC\n0 1000\n");
    dialogs.answers = {QString::fromStdString(Path("script.txt"))};
    Button("Load Script")->click();
    EXPECT_EQ(dialogs.calls.back().title, QStringLiteral("Open MAC Script File"));
    EXPECT_EQ(dialogs.calls.back().filter, QStringLiteral("MAC script Files(*.txt)|*.txt||"));
    ASSERT_EQ(page->ScriptLog()->count(), 3);
    EXPECT_EQ(page->LogCount(), 3);
    EXPECT_EQ(page->ScriptLog()->item(0)->text(), QStringLiteral("W:\tMAC 0x1004\t= 0x0000000C"));
    EXPECT_EQ(page->ScriptLog()->item(1)->text(), QStringLiteral("R:\tMAC 0x1000\t= 0x94470101"));
    EXPECT_EQ(page->ScriptLog()->item(2)->text(), QStringLiteral("2 lines applied, 0 skipped."));
    EXPECT_EQ(page->ScriptLog()->currentRow(), 2);
    // A script that cannot be opened leaves the log as it is, silently.
    dialogs.answers = {QString::fromStdString(Path("absent.txt"))};
    Button("Load Script")->click();
    EXPECT_EQ(page->ScriptLog()->count(), 3);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(MacPageTest, MemoryTestButtonDoesNothingOnTheMacRegisterRegion) {
    Select(kMacRegionMacRegister);
    board->ClearLog();
    Button("RW/TEST")->click();
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_TRUE(prompter.Texts().empty());
    // On the shared memory it runs its passes and reports.
    WriteFile(Path("p.bin"), std::string(16, '\x3C'));
    page->Space().contentFileName = Path("p.bin");
    Select(kMacRegionSharedMemory);
    board->SetLogging(false);
    Button("RW/TEST")->click();
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"Memory compare ok!"}));
}

namespace {

// Notes, with each message, whether the memory test's progress dialog still
// stood in front of it and what its bar showed.
struct ProgressWatchingPrompter : IPrompter {
    explicit ProgressWatchingPrompter(QWidget* page) : page(page) {}
    MsgResult Show(const std::string& text, MsgIcon, MsgButtons) override {
        const auto* progress = page->findChild<QProgressDialog*>();
        seen.push_back({text, progress && progress->isVisible(), progress ? progress->value() : -2});
        return MsgResult::Ok;
    }
    QWidget* page;
    std::vector<std::tuple<std::string, bool, int>> seen; // text, dialog visible, bar value
};

} // namespace

TEST_F(MacPageTest, MemoryTestBarEndsFullCancelStopsAfterThePassAndTheResultComesInFront) {
    WriteFile(Path("p.bin"), std::string(16, '\x3C'));
    page->Space().contentFileName = Path("p.bin");
    Select(kMacRegionSharedMemory);
    board->SetLogging(false);
    ProgressWatchingPrompter watcher(page.get());
    SetPrompter(&watcher);
    // {Cancel pressed during pass, passes run (one 5 ms pause per content file write)}
    for (const auto [cancelInPass, passes] : {std::pair{0, 100}, std::pair{3, 3}}) {
        SCOPED_TRACE(cancelInPass);
        watcher.seen.clear();
        int writes = 0;
        pause.onSleep = [&](unsigned ms) {
            if (ms == 5 && ++writes == cancelInPass) {
                auto* cancel = page->findChild<QProgressDialog*>()->findChild<QPushButton*>();
                EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
                cancel->click();
            }
        };
        Button("RW/TEST")->click();
        pause.onSleep = nullptr;
        EXPECT_EQ(writes, passes);
        // One result, with nothing in front of it; after all passes the bar is full, not reset to empty.
        const std::tuple<std::string, bool, int> want{"Memory compare ok!", false, cancelInPass ? 3 : 100};
        EXPECT_EQ(watcher.seen, (std::vector<std::tuple<std::string, bool, int>>{want}));
    }
    SetPrompter(&prompter);
}

TEST_F(MacPageTest, SaveAsAndDumpAppendTheirExtensions) {
    Select(kMacRegionCis);
    page->HexView()->SetCaret(0, kHexColHigh);
    page->HexView()->setFocus();
    dialogs.answers = {QString::fromStdString(Path("cis")), QString::fromStdString(Path("words"))};
    Button("Save As...")->click();
    EXPECT_EQ(dialogs.calls.back().filter, QStringLiteral("HW Memory content content File (*.bin)|*.bin||"));
    EXPECT_EQ(ReadFile(Path("cis.bin")).size(), 256u);
    EXPECT_EQ(page->StatusLine()->text().toStdString(), "Saved " + Path("cis.bin") + ".");
    Button("Dump")->click();
    EXPECT_EQ(dialogs.calls.back().title, QStringLiteral("Open File"));
    EXPECT_EQ(dialogs.calls.back().filter, QStringLiteral("MAC Files(*.txt)|*.txt||"));
    EXPECT_EQ(ReadFile(Path("words.txt")).size(), 64u * 11u);
    EXPECT_EQ(prompter.Messages().back().buttons, MsgButtons::YesNo); // asked before creating
    // Declining the replacement keeps the old file.
    WriteFile(Path("words.txt"), "keep");
    prompter.Script({MsgResult::No});
    dialogs.answers = {QString::fromStdString(Path("words.txt"))};
    Button("Dump")->click();
    EXPECT_EQ(ReadFile(Path("words.txt")), "keep");
    // A save that fails says so on the page as well as in its message.
    dialogs.answers = {QString::fromStdString(Path("no/such/folder/x.bin"))};
    Button("Save As...")->click();
    EXPECT_EQ(page->StatusLine()->text().toStdString(), Path("no/such/folder/x.bin") + " was not saved.");
    EXPECT_NE(prompter.Last().find("Cannot save " + Path("no/such/folder/x.bin")), std::string::npos);
}

// Start-up and shut-down of the application object, the Select Adapter dialog
// and the single-instance rule.
#include "app_helpers.h"

#include "agent/capture_memory.h"

#include "app/command_line.h"
#include "base/instance_lock.h"
#include "app/page_list.h"
#include "app/property_sheet.h"
#include "app/select_adapter_dialog.h"
#include "agent/efuse.h"
#include "device/device_commands.h"
#include "device/efuse.h"
#include "registers/eeprom/eeprom_page.h"
#include "ui/qa_page.h"
#include "ui/ui_services.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>

using namespace vq;
using vqtest::ShellTest;
using vqtest::StreamCapture;

namespace {

bool ClickOk(CSelectAdapterDlg& d) {
    d.OkButton()->click();
    return d.result() == QDialog::Accepted;
}

std::vector<std::uint8_t> Be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

// The captions a sheet with these options must show: the table's wanted rows
// that this build has, in table order.
QStringList ExpectedCaptions(const CQACommandLineInfo& o, bool* allBuilt = nullptr) {
    QStringList out;
    bool all = true;
    for (const PageSlot& s : PageTable()) {
        if (!SlotWanted(s, o)) continue;
        if (s.create)
            out << s.caption;
        else
            all = false;
    }
    if (allBuilt) *allBuilt = all;
    return out;
}

CQACommandLineInfo Parsed(const QStringList& args) {
    CQACommandLineInfo o;
    o.Parse(args);
    return o;
}

// Records the cursor shown while the board handles Start ATE.
class CursorProbe : public agent::BoardDevice {
  public:
    int shapeAtStartAte = -2;
    bool Command(agent::BoardModel&, std::uint16_t id, const std::uint8_t*, std::size_t, std::uint16_t&,
                 std::vector<std::uint8_t>&) override {
        if (id == cmd::StartAte)
            shapeAtStartAte =
                QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1;
        return false;
    }
};

} // namespace

TEST(CommandLine, LettersAnywhereInAnyArgument) {
    auto o = Parsed({"-frip"});
    EXPECT_TRUE(o.pcie && o.rfBist && o.iqCal && o.papd);
    o = Parsed({"-xf"});
    EXPECT_TRUE(o.pcie);
    EXPECT_FALSE(o.rfBist || o.iqCal || o.papd);
    o = Parsed({"/r", "zip"}); // "zip" holds i and p
    EXPECT_TRUE(o.rfBist && o.iqCal && o.papd);
    EXPECT_FALSE(o.pcie);
    o = Parsed({"-FRIP", "-", "/", "xyz"}); // upper case does not count
    EXPECT_FALSE(o.pcie || o.rfBist || o.iqCal || o.papd);
    o.pcie = true;
    o.Apply();
    EXPECT_TRUE(State().optPcie);
    EXPECT_FALSE(State().optRfBist);
    ResetState();
}

TEST(CommandLine, QtOptionsAreNotStartUpOptions) {
    // The test program was started with "-platform offscreen" (p, f, r in it).
    const QStringList args = ApplicationArguments();
    EXPECT_FALSE(args.contains("-platform"));
    EXPECT_FALSE(args.contains("offscreen"));
    const auto o = Parsed(args);
    EXPECT_FALSE(o.pcie || o.rfBist || o.iqCal || o.papd);
}

TEST(PageTable, FifteenSlotsInSheetOrder) {
    QStringList captions;
    std::string letters;
    for (const PageSlot& s : PageTable()) {
        captions << s.caption;
        letters += s.option ? s.option : '.';
    }
    EXPECT_EQ(captions, (QStringList{"TX/RX", "RF BIST", "IQ Calibration", "PAPD Test Page", "EEPROM", "MAC",
                                     "BBP Page 1", "BBP Page 2", "BBP Page 3", "RF Page 1", "RF Page 2",
                                     "PCIe Error Reporting", "Noise Level", "FFT Graph", "About"}));
    EXPECT_EQ(letters, ".rip.......fff.");
}

TEST_F(ShellTest, PageListsFollowTheOptions) {
    struct Case {
        QStringList args;
        int fullCount;
    } cases[] = {{{}, 9}, {{"-frip"}, 15}, {{"-xf"}, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        vq::ResetLink();
        vq::ResetState();
        auto& a = MakeApp(c.args);
        a.runAdapterDialog = ClickOk;
        ASSERT_TRUE(a.InitInstance());
        bool allBuilt = false;
        const QStringList expected = ExpectedCaptions(a.CommandLine(), &allBuilt);
        CQAPropertySheet* sheet = a.PropertySheet();
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->Captions(), expected);
        for (int i = 0; i < sheet->PageCount(); ++i)
            EXPECT_EQ(sheet->Page(i)->Caption(), expected[i]);
        if (allBuilt) {
            EXPECT_EQ(sheet->PageCount(), c.fullCount);
        }
        EXPECT_EQ(sheet->Captions().first(), ExpectedCaptions({}).first());
        EXPECT_EQ(sheet->Captions().last(), "About");
        a.ExitInstance();
    }
    // "-xf" adds the pages of f only.
    const auto o = Parsed({"-xf"});
    EXPECT_TRUE(o.pcie && !o.rfBist && !o.iqCal && !o.papd);
}

// Written out rather than derived from the page list: a page that drops out
// of the list (a lost entry, a creator pointing elsewhere) fails here.
TEST_F(ShellTest, EveryBuiltPageOfTheListIsOnTheSheet) {
    const QStringList built = {"TX/RX",      "EEPROM",    "MAC",       "BBP Page 1", "BBP Page 2",
                               "BBP Page 3", "RF Page 1", "RF Page 2", "About"};
    const QStringList classes = {"vq::CTXRXPage", "vq::CEEPROMPage", "vq::CMACPage",
                                 "vq::CBBPPage",  "vq::CBBPPage2",   "vq::CBBPPage3",
                                 "vq::CRFPage",   "vq::CRFPage2",    "vq::CAboutPage"};
    // With the letters: RF BIST and IQ Calibration after TX/RX (r, i), then PAPD (p); PCIe, Noise Level and
    // FFT Graph before About (f).
    QStringList lettered = built, letteredClasses = classes;
    lettered.insert(1, "PAPD Test Page");
    letteredClasses.insert(1, "vq::CPAPDTESTPage");
    lettered.insert(1, "IQ Calibration");
    letteredClasses.insert(1, "vq::CIQCalibrationPage");
    lettered.insert(1, "RF BIST");
    letteredClasses.insert(1, "vq::CRFBISTPage");
    for (const char* c : {"PCIe Error Reporting", "Noise Level", "FFT Graph"})
        lettered.insert(lettered.size() - 1, c);
    for (const char* c : {"vq::CPCIeErrorReportPage", "vq::CNoiseLevelPage", "vq::CFftGraphPage"})
        letteredClasses.insert(letteredClasses.size() - 1, c);
    struct Case {
        QStringList args;
        const char* unlisted; // VQ9447_UNLISTED_PAGES, null: unset
        QStringList captions;
        QStringList classNames;
    } cases[] = {
        {{}, nullptr, built, classes},
        {{"-frip"}, nullptr, lettered, letteredClasses}, // the letters never reach the unlisted pages
        {{"-frip"}, "0", lettered, letteredClasses},
        {{}, "1", built + QStringList{"PCI Config", "Sniffer", " NHM Test Page", "Calibration"},
         classes + QStringList{"vq::CPCIConfigPage", "vq::CSnifferPage", "vq::CNHMPage", "vq::CRfCalibration"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString() + (c.unlisted ? c.unlisted : "-"));
        if (c.unlisted)
            qputenv("VQ9447_UNLISTED_PAGES", c.unlisted);
        else
            qunsetenv("VQ9447_UNLISTED_PAGES");
        vq::ResetLink();
        vq::ResetState();
        auto& a = MakeApp(c.args);
        a.runAdapterDialog = ClickOk;
        ASSERT_TRUE(a.InitInstance());
        CQAPropertySheet* sheet = a.PropertySheet();
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->Captions(), c.captions);
        QStringList names;
        for (int i = 0; i < sheet->PageCount(); ++i)
            names << sheet->Page(i)->metaObject()->className();
        EXPECT_EQ(names, c.classNames);
        a.ExitInstance();
    }
    qunsetenv("VQ9447_UNLISTED_PAGES");
}

TEST_F(ShellTest, SecondCopyIsRefusedAndSendsNothing) {
    SingleInstanceLock first(kInstanceLockName, lockDir);
    ASSERT_TRUE(first.Acquire());
    auto board = agent::AttachSimulatedBoard(); // a link that must stay silent
    bool dialogRan = false;
    auto& a = MakeApp();
    a.runAdapterDialog = [&](CSelectAdapterDlg&) { return dialogRan = true; };
    EXPECT_FALSE(a.InitInstance());
    a.ExitInstance();
    EXPECT_FALSE(dialogRan);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"VQ9447 QA is already running"});
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_TRUE(first.Held());
    // The refused copy did not take the lock from the first one.
    SingleInstanceLock third(kInstanceLockName, lockDir);
    EXPECT_FALSE(third.Acquire());
    first.Release();
    EXPECT_TRUE(third.Acquire());
}

TEST_F(ShellTest, LockHeldByAnotherProcessIsFreedWhenItDies) {
    SingleInstanceLock probe(kInstanceLockName, lockDir);
    const std::string path = probe.Path();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Raw system calls only between fork and _exit.
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0666);
        char ok = (fd >= 0 && ::flock(fd, LOCK_EX) == 0) ? 1 : 0;
        (void)!::write(ready[1], &ok, 1);
        for (;;)
            ::pause();
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);
    EXPECT_FALSE(probe.Acquire());
    EXPECT_TRUE(probe.Error().empty()) << probe.Error();
    // A copy that crashes leaves the file behind but not the lock.
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(probe.Acquire());
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(ShellTest, CancelEndsWithoutAnyFrame) {
    auto board = agent::AttachSimulatedBoard();
    auto& a = MakeApp();
    a.runAdapterDialog = [](CSelectAdapterDlg& d) {
        d.CancelButton()->click();
        return d.result() == QDialog::Accepted;
    };
    EXPECT_FALSE(a.InitInstance());
    EXPECT_EQ(a.PropertySheet(), nullptr);
    EXPECT_TRUE(Link().noAdapter);
    EXPECT_EQ(a.ExitInstance(), 0);
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_FALSE(Link().IsOpen());
    SingleInstanceLock next(kInstanceLockName, lockDir);
    EXPECT_TRUE(next.Acquire()); // released at exit
}

TEST_F(ShellTest, StartUpAndShutDownExchanges) {
    auto probe = std::make_shared<CursorProbe>();
    backend.extraDevice = probe;
    auto& a = MakeApp();
    a.runAdapterDialog = ClickOk; // the simulated board is preselected
    ASSERT_TRUE(a.InitInstance());
    auto board = a.SimulatedBoard();
    ASSERT_TRUE(board);
    const auto log = board->Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].commandId, cmd::StartAte);
    EXPECT_EQ(log[0].sequence, 0);
    EXPECT_EQ(log[1].commandId, cmd::MacRead);
    EXPECT_EQ(log[1].payload, Be32(0x1000));
    EXPECT_EQ(probe->shapeAtStartAte, int(Qt::WaitCursor));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(State().chipRevision, 0x60000000u);
    EXPECT_EQ(State().efuseUpperByte, 1019);
    EXPECT_EQ(State().efuseLowerByte, 960);
    EXPECT_EQ(State().efuseBlocks, 60);
    EXPECT_EQ(State().eepromSource.load(), EepromSourceKind::EepromCommands);
    EXPECT_TRUE(board->ateMode);

    // Closing the sheet alone sends nothing of the shut-down; ExitInstance does.
    a.PropertySheet()->ExitButton()->click();
    board->ClearLog();
    board->SetRawMac(0x1004, 0x00000001);
    EXPECT_EQ(a.ExitInstance(), 0);
    const auto bye = board->Log();
    ASSERT_EQ(bye.size(), 3u);
    EXPECT_EQ(bye[0].commandId, cmd::MacRead);
    EXPECT_EQ(bye[0].payload, Be32(0x1004));
    EXPECT_EQ(bye[1].commandId, cmd::MacWrite);
    std::vector<std::uint8_t> write = Be32(0x1004), value = Be32(0x0000000D);
    write.insert(write.end(), value.begin(), value.end());
    EXPECT_EQ(bye[1].payload, write);
    EXPECT_EQ(bye[2].commandId, cmd::StopAte);
    EXPECT_FALSE(board->ateMode);
    EXPECT_FALSE(Link().IsOpen());
    SingleInstanceLock next(kInstanceLockName, lockDir);
    EXPECT_TRUE(next.Acquire());
}

TEST_F(ShellTest, FailedRegisterReadAtExitIsNotWrittenBack) {
    auto& a = MakeApp();
    a.runAdapterDialog = ClickOk;
    ASSERT_TRUE(a.InitInstance());
    auto board = a.SimulatedBoard();
    a.PropertySheet()->close();
    board->ClearLog();
    prompter.Clear();
    board->faults.failCommand = cmd::MacRead;
    a.ExitInstance();
    const auto bye = board->Log();
    ASSERT_EQ(bye.size(), 2u);
    EXPECT_EQ(bye[0].commandId, cmd::MacRead);
    EXPECT_EQ(bye[1].commandId, cmd::StopAte);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{BadStatusText("MAC Read", 0x8001)});
}

TEST_F(ShellTest, EfuseChoiceRoutesEepromToEfuse) {
    auto& a = MakeApp();
    a.runAdapterDialog = [](CSelectAdapterDlg& d) {
        EXPECT_TRUE(d.EepromRadio()->isChecked());
        d.EfuseRadio()->click();
        d.EepromRadio()->click();
        d.EfuseRadio()->click();
        return ClickOk(d);
    };
    ASSERT_TRUE(a.InitInstance());
    EXPECT_EQ(State().eepromSource.load(), EepromSourceKind::Efuse);
    a.ExitInstance();

    vq::ResetLink();
    vq::ResetState();
    auto& b = MakeApp();
    b.runAdapterDialog = [](CSelectAdapterDlg& d) {
        d.EfuseRadio()->click();
        d.EepromRadio()->click();
        return ClickOk(d);
    };
    ASSERT_TRUE(b.InitInstance());
    EXPECT_EQ(State().eepromSource.load(), EepromSourceKind::EepromCommands);
    b.ExitInstance();
}

TEST_F(ShellTest, InicModeFollowsTheLastClick) {
    backend.devices = {{"sim0", "Bench adapter"}};
    CSelectAdapterDlg d(backend, false);
    ASSERT_TRUE(d.Start());
    EXPECT_FALSE(d.InicBox()->isChecked());
    EXPECT_EQ(Link().requestType, 8);
    for (int i = 0; i < 5; ++i) {
        d.InicBox()->click();
        const bool on = d.InicBox()->isChecked();
        EXPECT_EQ(Link().requestType, on ? 5 : 8);
        EXPECT_EQ(Link().responseType, on ? 0x8005 : 0x8008);
    }
    d.InicBox()->click(); // sixth click: cleared
    EXPECT_EQ(Link().requestType, 8);
    EXPECT_EQ(Link().responseType, 0x8008);
    d.InicBox()->click();
    ASSERT_TRUE(ClickOk(d));
    // The board answers the iNic variant.
    std::uint32_t v = 0;
    CDeviceCommands dev;
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(ShellTest, AdapterListEntriesAndPreselection) {
    backend.devices = {{"a0", "First NIC"}, {"b0", "Second NIC"}, {"c0", "Third NIC"}};
    {
        CSelectAdapterDlg d(backend, false);
        ASSERT_TRUE(d.Start());
        ASSERT_EQ(d.AdapterCombo()->count(), 3);
        EXPECT_EQ(d.AdapterCombo()->itemText(0), "1. First NIC");
        EXPECT_EQ(d.AdapterCombo()->itemText(2), "3. Third NIC");
        EXPECT_EQ(d.AdapterCombo()->currentIndex(), 0);
        EXPECT_EQ(d.windowTitle(), "Select Adapter");
        EXPECT_EQ(d.InicBox()->text(), "iNicMode");
        EXPECT_EQ(d.EepromRadio()->text(), "BufferMode or EEPROM");
        EXPECT_EQ(d.EfuseRadio()->text(), "efuse");
        EXPECT_EQ(d.OkButton()->text(), "OK");
        EXPECT_EQ(d.CancelButton()->text(), "Cancel");
        bool labelFound = false;
        for (QLabel* l : d.findChildren<QLabel*>())
            labelFound |= l->text() == "Select the network adapter  :";
        EXPECT_TRUE(labelFound);
    }
    CSelectAdapterDlg d(backend, true);
    ASSERT_TRUE(d.Start());
    ASSERT_EQ(d.AdapterCombo()->count(), 4);
    EXPECT_EQ(d.AdapterCombo()->itemText(3), "4. Simulated VQ9447 board");
    EXPECT_EQ(d.AdapterCombo()->currentIndex(), 3);
    d.AdapterCombo()->setCurrentIndex(1);
    ASSERT_TRUE(ClickOk(d));
    EXPECT_EQ(backend.opened, std::vector<std::string>{"b0"});
    EXPECT_FALSE(d.SimulatedBoard());
}

TEST_F(ShellTest, DialogDiagnosticsOnTheStandardStreams) {
    // No devices: the notice on stdout, then OK refused as out of range.
    {
        StreamCapture out(stdout);
        CSelectAdapterDlg d(backend, false);
        ASSERT_TRUE(d.Start());
        EXPECT_EQ(d.AdapterCombo()->count(), 0);
        EXPECT_FALSE(ClickOk(d));
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(out.Text(),
                  "\nNo interfaces found! Make sure WinPcap is installed.\n\nAdapter number out of range.\n");
        EXPECT_EQ(d.StatusText(), "Adapter number out of range.");
    }
    // An adapter that cannot be opened keeps the dialog and its list; another entry still works.
    backend.devices = {{"vq-missing0", "Gone NIC"}, {"sim0", "Bench NIC"}};
    {
        StreamCapture err(stderr);
        CSelectAdapterDlg d(backend, false);
        ASSERT_TRUE(d.Start());
        EXPECT_FALSE(ClickOk(d));
        const std::string text = err.Text();
        EXPECT_EQ(text.rfind("\nUnable to open the adapter. vq-missing0 is not supported by WinPcap\n", 0),
                  0u)
            << text;
        EXPECT_TRUE(
            d.StatusText().startsWith("Unable to open the adapter. vq-missing0 is not supported by WinPcap"))
            << d.StatusText().toStdString();
        EXPECT_FALSE(Link().IsOpen());
        ASSERT_EQ(d.AdapterCombo()->count(), 2);
        EXPECT_EQ(d.AdapterCombo()->itemText(0), "1. Gone NIC");
        d.AdapterCombo()->setCurrentIndex(1);
        EXPECT_TRUE(ClickOk(d));
        EXPECT_EQ(backend.opened, (std::vector<std::string>{"vq-missing0", "sim0"}));
        EXPECT_TRUE(Link().IsOpen());
    }
    // Enumeration failure: stderr and exit status 1 without the simulated board.
    backend.failEnumeration = true;
    {
        StreamCapture err(stderr);
        auto& a = MakeApp({}, false);
        bool dialogRan = false;
        a.runAdapterDialog = [&](CSelectAdapterDlg&) { return dialogRan = true; };
        EXPECT_FALSE(a.InitInstance());
        EXPECT_EQ(a.ExitInstance(), 1);
        EXPECT_FALSE(dialogRan);
        EXPECT_EQ(err.Text(), "Error in pcap_findalldevs: no capture devices today\n");
    }
    // With the simulated board the dialog still offers it.
    {
        StreamCapture err(stderr);
        CSelectAdapterDlg d(backend, true);
        EXPECT_TRUE(d.Start());
        ASSERT_EQ(d.AdapterCombo()->count(), 1);
        EXPECT_EQ(d.AdapterCombo()->itemText(0), "1. Simulated VQ9447 board");
        EXPECT_TRUE(ClickOk(d));
        EXPECT_TRUE(d.SimulatedBoard());
    }
}

TEST_F(ShellTest, TerminationDuringTheDialogEndsLikeCancel) {
    auto board = agent::AttachSimulatedBoard();
    auto& a = MakeApp();
    a.runAdapterDialog = [&](CSelectAdapterDlg& d) {
        a.RequestTermination(); // what Ctrl+C does while the dialog is up
        return d.result() == QDialog::Accepted;
    };
    EXPECT_FALSE(a.InitInstance());
    a.ExitInstance();
    EXPECT_EQ(board->LogSize(), 0u);
}

TEST_F(ShellTest, TerminationWithTheSheetUpRestoresTheBoard) {
    auto& a = MakeApp();
    a.runAdapterDialog = ClickOk;
    ASSERT_TRUE(a.InitInstance());
    auto board = a.SimulatedBoard();
    board->ClearLog();
    a.RequestTermination();
    // Nothing closes under a handler that may be on the stack: the sheet goes
    // in the shut-down, after the event loops have ended.
    EXPECT_FALSE(a.PropertySheet()->Closed());
    EXPECT_EQ(board->LogSize(), 0u);
    a.ExitInstance();
    ASSERT_EQ(board->LogSize(), 3u);
    EXPECT_EQ(board->Log()[2].commandId, cmd::StopAte);
    EXPECT_FALSE(Link().IsOpen());
}

TEST_F(ShellTest, ExitDuringAnFftCaptureEndsTheCaptureBeforeStopAte) {
    auto& a = MakeApp({"-f"});
    a.runAdapterDialog = ClickOk;
    ASSERT_TRUE(a.InitInstance());
    auto board = a.SimulatedBoard();
    CQAPropertySheet* sheet = a.PropertySheet();
    const int fft = int(sheet->Captions().indexOf("FFT Graph"));
    ASSERT_GE(fft, 0);
    ASSERT_TRUE(sheet->SetActivePage(fft));
    QPushButton* start = sheet->Page(fft)->findChild<QPushButton*>("start");
    ASSERT_NE(start, nullptr);
    // A trigger that never comes keeps the thread polling, 1 ms a poll here.
    auto* memory = board->Device<agent::CaptureMemoryDevice>();
    memory->neverTrigger = true;
    pause.onSleep = [](unsigned) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    board->ClearLog();
    start->click();
    // Up to 10 s by the clock: a loaded machine runs the thread's polls slowly.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (board->LogSize() < 30 && std::chrono::steady_clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    ASSERT_GE(board->LogSize(), 30u);
    a.PropertySheet()->ExitButton()->click();
    a.ExitInstance();
    const std::size_t frames = board->LogSize();
    EXPECT_EQ(board->Log().back().commandId, cmd::StopAte);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(board->LogSize(), frames);
    EXPECT_FALSE(Link().IsOpen());
}

namespace {

// A real message box that gets the terminal's signal while it is up, as a
// Ctrl+C on a device error box or a question would. What the page looks like
// once the box has returned to its handler is recorded.
class SignalInBoxPrompter : public QtPrompter {
  public:
    std::function<void()> beforeBox, afterBox;
    std::vector<std::string> texts;
    std::vector<MsgResult> answers;
    bool boxHung = false;

    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override {
        texts.push_back(text);
        if (raised_) return QtPrompter::Show(text, icon, buttons);
        raised_ = true;
        if (beforeBox) beforeBox();
        QTimer::singleShot(0, [] { ::raise(SIGTERM); });
        // A box nobody closes fails the test instead of hanging it.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            boxHung = true;
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
        watchdog.start(5000);
        const MsgResult answer = QtPrompter::Show(text, icon, buttons);
        answers.push_back(answer);
        if (afterBox) afterBox();
        return answer;
    }

  private:
    bool raised_ = false;
};

} // namespace

TEST_F(ShellTest, SignalWhileAPageBoxIsUpEndsAfterTheHandlerReturns) {
    QTemporaryDir files;
    const QString content = files.filePath("content.bin");
    {
        QFile f(content);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(512, char(0x5A)));
    }
    struct Case {
        const char* name;
        bool efuse;
        int button;   // EEPROM page control id: "Read ALL" or "Load File"
        bool boardOff; // a dropped response puts up the device error box
    } cases[] = {{"Read ALL, board silent", false, 1008, true},
                 {"Load File, eFuse burn question", true, 1007, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vq::ResetLink();
        vq::ResetState();
        SignalInBoxPrompter boxes;
        SetPrompter(&boxes);
        ScriptedFileDialogs dialogs;
        dialogs.answers = {content};
        SetFileDialogs(&dialogs);

        auto& a = MakeApp();
        a.runAdapterDialog = [&](CSelectAdapterDlg& d) {
            if (c.efuse) d.EfuseRadio()->click();
            return ClickOk(d);
        };
        std::vector<std::uint8_t> fuseBefore;
        bool closedUnderBox = true, imageGoneUnderBox = true, handlerReturned = false;
        QTimer::singleShot(0, [&] {
            CQAPropertySheet* sheet = a.PropertySheet();
            ASSERT_NE(sheet, nullptr);
            ASSERT_TRUE(sheet->SetActivePage(sheet->Captions().indexOf("EEPROM")));
            auto* page = qobject_cast<CEEPROMPage*>(sheet->ActivePage());
            ASSERT_NE(page, nullptr);
            auto board = a.SimulatedBoard();
            auto* fuse = board->Device<agent::EfuseDevice>();
            fuseBefore.assign(fuse->fuse, fuse->fuse + agent::EfuseDevice::kSize);
            if (c.boardOff) board->poweredOn = false;
            boxes.beforeBox = [board] { board->poweredOn = true; };
            boxes.afterBox = [&, sheet, page] {
                closedUnderBox = sheet->Closed();
                imageGoneUnderBox = page->Image() == nullptr;
            };
            page->ControlAs<QPushButton>(c.button)->click();
            handlerReturned = true;
        });
        EXPECT_EQ(a.Run(), 0);

        ASSERT_EQ(boxes.answers.size(), 1u);
        EXPECT_FALSE(boxes.boxHung) << "the box stayed up after the signal";
        EXPECT_TRUE(handlerReturned);
        EXPECT_FALSE(closedUnderBox) << "the sheet closed inside the box's event loop";
        EXPECT_FALSE(imageGoneUnderBox) << "the content image was freed under its handler";
        // A question closed by the program's end was not agreed to: nothing burned.
        EXPECT_EQ(boxes.answers[0], c.efuse ? MsgResult::Cancel : MsgResult::Ok);
        auto board = a.SimulatedBoard();
        auto* fuse = board->Device<agent::EfuseDevice>();
        EXPECT_TRUE(std::equal(fuseBefore.begin(), fuseBefore.end(), fuse->fuse));
        // Then the shut-down of "Exit".
        EXPECT_EQ(a.PropertySheet(), nullptr);
        const auto log = board->Log();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[log.size() - 3].commandId, cmd::MacRead);
        EXPECT_EQ(log[log.size() - 3].payload, Be32(0x1004));
        EXPECT_EQ(log[log.size() - 2].commandId, cmd::MacWrite);
        EXPECT_EQ(log.back().commandId, cmd::StopAte);
        EXPECT_FALSE(board->ateMode);
        EXPECT_FALSE(Link().IsOpen());
        EXPECT_FALSE(TerminationPending());
        SetFileDialogs(nullptr);
        SetPrompter(&prompter);
        app.reset();
    }
}

TEST(ConsolePrompter, RefusesEveryQuestionUnlessToldToAgree) {
    struct Case {
        MsgButtons buttons;
        MsgResult refused, agreed;
    } cases[] = {{MsgButtons::Ok, MsgResult::Ok, MsgResult::Ok},
                 {MsgButtons::OkCancel, MsgResult::Cancel, MsgResult::Ok},
                 {MsgButtons::YesNo, MsgResult::No, MsgResult::Yes},
                 {MsgButtons::YesNoCancel, MsgResult::Cancel, MsgResult::Yes}};
    StreamCapture err(stderr);
    ConsolePrompter console, agreeing(true);
    for (const Case& c : cases) {
        EXPECT_EQ(console.Show("q", MsgIcon::Question, c.buttons), c.refused);
        EXPECT_EQ(agreeing.Show("q", MsgIcon::Question, c.buttons), c.agreed);
    }
    // The program-wide default is the refusing one, and the eFuse burn asks it.
    SetPrompter(nullptr);
    EXPECT_EQ(ShowMessage(EfuseWriteQuestion(10, 9), MsgIcon::Question, MsgButtons::OkCancel), MsgResult::Cancel);
    const std::string text = err.Text();
    EXPECT_NE(text.find(EfuseWriteQuestion(10, 9) + " [Cancel]"), std::string::npos) << text;
}

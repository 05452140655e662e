// The page sheet: activation notices, buttons, services between pages; the
// About page; dragging by the body; the signal bridge.
#include "app_helpers.h"

#include "app/about_page.h"
#include "app/property_sheet.h"
#include "app/select_adapter_dialog.h"
#include "app/termination.h"
#include "ui/window_drag.h"
#include "tests/support/test_sheet.h"
#include "ui/qa_page.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

using namespace vq;

namespace {

class FakePage : public QAPage {
  public:
    FakePage(const QString& caption, std::vector<std::string>& events) : QAPage(caption), events_(events) {}
    bool allowLeave = true;
    bool OnKillActive() override {
        events_.push_back("kill:" + Caption().toStdString());
        return allowLeave;
    }
    void OnDestroyPage() override { events_.push_back("destroy:" + Caption().toStdString()); }

  protected:
    void OnInitDialog() override { events_.push_back("init:" + Caption().toStdString()); }
    void OnSetActive() override { events_.push_back("active:" + Caption().toStdString()); }

  private:
    std::vector<std::string>& events_;
};

class FakeTxRx {
  public:
    std::vector<std::string> calls;
    // Threads that touched the page (its flags included).
    mutable std::vector<QThread*> threads;
    bool rx = false, tx = false;
    void ToggleRx() {
        Touch();
        calls.push_back("rx");
        rx = !rx;
    }
    void ToggleTx() {
        Touch();
        calls.push_back("tx");
        tx = !tx;
    }
    bool IsRxRunning() const {
        Touch();
        return rx;
    }
    bool IsTxRunning() const {
        Touch();
        return tx;
    }
    void Touch() const { threads.push_back(QThread::currentThread()); }
    void PollCounters() { calls.push_back("poll"); }
    bool HasWindow() const { return true; }
    void SelectChannel(int i) { calls.push_back("channel" + std::to_string(i)); }
    void SelectBandwidth(int i) { calls.push_back("bw" + std::to_string(i)); }
    void SelectRxPath(int i) { calls.push_back("path" + std::to_string(i)); }
    void SetOneRxPath(bool on) { calls.push_back(on ? "one" : "all"); }
    void SetChannelListIndex(int i) { calls.push_back("list" + std::to_string(i)); }
    void ShowSharedValues(std::uint8_t, std::uint8_t, std::uint8_t) { calls.push_back("shared"); }
};

class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

void Press(QWidget* w, QPoint local, QEvent::Type type, Qt::MouseButtons buttons) {
    const QPointF global = w->mapToGlobal(QPointF(local));
    QMouseEvent e(type, QPointF(local), global, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

TEST(PropertySheet, PagesInitialiseOnFirstShowingAndHearWhenLeft) {
    std::vector<std::string> ev;
    auto* a = new FakePage("A", ev);
    auto* b = new FakePage("B", ev);
    auto* c = new FakePage("C", ev);
    CQAPropertySheet sheet(std::vector<QAPage*>{a, b, c});
    EXPECT_TRUE(ev.empty()); // nothing before the sheet is shown
    sheet.show();
    EXPECT_EQ(ev, (std::vector<std::string>{"init:A", "active:A"}));
    ev.clear();
    EXPECT_TRUE(sheet.SetActivePage(2));
    EXPECT_TRUE(sheet.SetActivePage(0));
    EXPECT_EQ(ev, (std::vector<std::string>{"kill:A", "init:C", "active:C", "kill:C", "active:A"}));
    ev.clear();
    a->allowLeave = false; // a page may keep itself shown
    EXPECT_FALSE(sheet.SetActivePage(1));
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 0);
    EXPECT_EQ(sheet.ActivePage(), a);
    EXPECT_FALSE(b->Initialised());
    a->allowLeave = true;
    ev.clear();
    bool closed = false;
    QObject::connect(&sheet, &CQAPropertySheet::closed, [&] { closed = true; });
    sheet.ExitButton()->click();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(ev, (std::vector<std::string>{"destroy:A", "destroy:B", "destroy:C"}));
}

TEST(PropertySheet, TitleButtonsAndIcon) {
    std::vector<std::string> ev;
    CQAPropertySheet sheet(std::vector<QAPage*>{new FakePage("A", ev)});
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), "VQ9447 QA V1.0.6.0");
    EXPECT_FALSE(sheet.windowIcon().isNull());
    EXPECT_TRUE(sheet.isWindow());
    QStringList visible, all;
    for (QPushButton* b : sheet.findChildren<QPushButton*>()) {
        if (qobject_cast<QAPage*>(b->parentWidget())) continue;
        all << b->text();
        if (b->isVisible()) visible << b->text();
    }
    EXPECT_EQ(visible, QStringList{"Exit"});
    EXPECT_FALSE(all.contains("Apply"));
    EXPECT_FALSE(sheet.OkButton()->isVisible());
}

TEST(PropertySheet, ServicesReachTheRegisteredPagesWhileTheSheetLives) {
    FakeTxRx txrx;
    const ISheetServices* sheetServices = nullptr;
    {
        std::vector<std::string> ev;
        auto* tx = new CTXRXPage;
        auto* rf = new CRFPage;
        CQAPropertySheet sheet(std::vector<QAPage*>{new FakePage("A", ev), tx, rf});
        sheetServices = &sheet.Services();
        EXPECT_EQ(&Sheet(), sheetServices);
        // The sheet finds its TX/RX page and RF page 1 by their type.
        EXPECT_EQ(sheet.Services().txrx, tx);
        EXPECT_EQ(sheet.Services().rf, rf);

        // The same dispatch over a stand-in TX/RX page and no RF page.
        PageServices<FakeTxRx, vq::test::NoRfPage> services;
        services.txrx = &txrx;
        services.ToggleReceiveTest();
        services.ToggleTransmitTest();
        services.StopRunningTests();   // both run: receive first, then transmit
        services.StopRunningReceive(); // nothing runs any more
        services.PollCounters();
        services.SelectChannel(3);
        services.SelectBandwidth(2);
        services.SelectReceivePath(1);
        services.OneReceivePath(true);
        services.ShareChannel(4);
        services.ShowSharedValues(false, 1, 2, 3); // no RF page: nothing
        EXPECT_EQ(txrx.calls, (std::vector<std::string>{"rx", "tx", "rx", "tx", "poll", "channel3", "bw2",
                                                        "path1", "one", "list4"}));
        sheet.show();
        Sheet().CloseMainWindow();
        EXPECT_TRUE(sheet.isVisible()); // closes from the event loop, not inside the caller
        QApplication::processEvents();
        EXPECT_TRUE(sheet.Closed());
    }
    // Without a sheet the services go nowhere.
    EXPECT_NE(&Sheet(), sheetServices);
    txrx.calls.clear();
    Sheet().ToggleReceiveTest();
    Sheet().CloseMainWindow();
    EXPECT_TRUE(txrx.calls.empty());
}

TEST(PropertySheet, ServicesCalledFromAWorkerRunWholeOnTheUiThread) {
    struct Case {
        const char* name;
        std::function<void(ISheetServices&)> call;
        bool rx, tx; // running before
        std::vector<std::string> calls;
    } cases[] = {
        {"stop running tests", [](ISheetServices& s) { s.StopRunningTests(); }, true, true, {"rx", "tx"}},
        {"stop running receive", [](ISheetServices& s) { s.StopRunningReceive(); }, true, false, {"rx"}},
        {"nothing to stop", [](ISheetServices& s) { s.StopRunningTests(); }, false, false, {}},
        {"toggle transmit", [](ISheetServices& s) { s.ToggleTransmitTest(); }, false, false, {"tx"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTxRx txrx;
        txrx.rx = c.rx;
        txrx.tx = c.tx;
        PageServices<FakeTxRx, vq::test::NoRfPage> services;
        services.txrx = &txrx;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            c.call(services);
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        worker.join();
        EXPECT_EQ(txrx.calls, c.calls);
        EXPECT_FALSE(txrx.threads.empty());
        for (QThread* t : txrx.threads)
            EXPECT_EQ(t, QApplication::instance()->thread());
    }
}

TEST(FileDialogs, StartInTheProgramFolderThenInTheLastFolderOfTheirKind) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath("bins");
    QDir(root.path()).mkpath("texts");
    const QString bins = root.filePath("bins"), texts = root.filePath("texts");
    const QString binKind = "EEPROM content File (*.bin)|*.bin||", txtKind = "Text (*.txt)|*.txt||";
    const QString start = ProgramDirectory();
    QSettings stored(root.filePath("settings.ini"), QSettings::IniFormat);
    {
        FolderMemory session(&stored);
        EXPECT_EQ(session.StartFolder(binKind, start), start);
        session.Remember(binKind, bins + "/a.bin");
        session.Remember(txtKind, texts + "/a.txt");
        EXPECT_EQ(session.StartFolder(binKind, start), bins);
        EXPECT_EQ(session.StartFolder(txtKind, start), texts);
    }
    FolderMemory next(&stored); // the next session
    EXPECT_EQ(next.StartFolder(binKind, start), bins);
    EXPECT_EQ(next.StartFolder("Other (*.x)|*.x||", start), start);
    QDir(texts).removeRecursively();
    EXPECT_EQ(next.StartFolder(txtKind, start), start); // a folder that is gone

    // The Qt dialogs start there and remember what was chosen.
    {
        QFile f(bins + "/b.bin");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QSettings fresh(root.filePath("fresh.ini"), QSettings::IniFormat);
    QtFileDialogs dialogs(&fresh);
    QStringList shownIn;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        shownIn << d->directory().absolutePath();
        d->selectFile(bins + "/b.bin");
        QMetaObject::invokeMethod(d, "accept");
    });
    answer.start(10);
    EXPECT_EQ(dialogs.OpenFile("Load File", start, binKind), bins + "/b.bin");
    EXPECT_EQ(dialogs.SaveFile("Save As", start, binKind), bins + "/b.bin");
    answer.stop();
    EXPECT_EQ(shownIn, (QStringList{QDir(start).absolutePath(), bins}));
    // No dialog once the program is ending.
    BeginTermination();
    EXPECT_TRUE(dialogs.OpenFile("Load File", start, binKind).isEmpty());
    EndTermination();
}

TEST(AboutPage, VersionsTextAndWebLink) {
    CAboutPage page;
    EXPECT_EQ(page.Caption(), "About");
    EXPECT_FALSE(page.Banner()->pixmap().isNull());
    QStringList labels;
    for (QLabel* l : page.findChildren<QLabel*>())
        if (!l->text().isEmpty()) labels << l->text();
    EXPECT_TRUE(labels.contains("VQ9447 QA UI            :"));
    EXPECT_TRUE(labels.contains("VQ9447 QA Firmware :"));
    bool uiVersion = false;
    for (QLineEdit* e : page.findChildren<QLineEdit*>())
        uiVersion |= e->text() == "Release Version 1.0.6.0";
    EXPECT_TRUE(uiVersion);
    EXPECT_TRUE(page.FirmwareField()->text().isEmpty());
    page.Activate();
    EXPECT_EQ(page.FirmwareField()->text(), " Release Version          0");

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    EXPECT_EQ(page.WebButton()->text(), QString::fromLatin1(kProjectUrl));
    page.WebButton()->click();
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], QUrl(QString::fromLatin1(kProjectUrl)));
}

TEST(BodyDrag, PressOnTheBodyMovesTheWindowButNotOnAButton) {
    vqtest::FakeBackend backend;
    backend.devices = {{"sim0", "Bench NIC"}};
    CSelectAdapterDlg dialog(backend, false);
    ASSERT_TRUE(dialog.Start());
    dialog.move(100, 100);
    dialog.show();
    QApplication::processEvents();
    const QPoint start = dialog.pos();
    const QPoint body(4, 4); // the dialog's margin
    ASSERT_EQ(dialog.childAt(body), nullptr);
    Press(&dialog, body, QEvent::MouseButtonPress, Qt::LeftButton);
    auto* drag = dialog.findChild<BodyDrag*>();
    ASSERT_NE(drag, nullptr);
    if (!drag->Dragging()) GTEST_SKIP() << "the platform moves the window itself";
    Press(&dialog, body + QPoint(30, 20), QEvent::MouseMove, Qt::LeftButton);
    Press(&dialog, body + QPoint(30, 20), QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(dialog.pos(), start + QPoint(30, 20));
    EXPECT_FALSE(drag->Dragging());
    // A press on a control stays the control's.
    QPushButton* cancel = dialog.CancelButton();
    Press(cancel, QPoint(3, 3), QEvent::MouseButtonPress, Qt::LeftButton);
    EXPECT_FALSE(drag->Dragging());
    Press(cancel, QPoint(3, 3), QEvent::MouseButtonRelease, Qt::NoButton);
}

TEST(Termination, SignalArrivesThroughTheEventLoop) {
    TerminationNotifier notifier;
    ASSERT_TRUE(notifier.Installed());
    int received = 0;
    QObject::connect(&notifier, &TerminationNotifier::terminationRequested, [&](int n) { received = n; });
    ::raise(SIGTERM); // would end the process without the handler
    QElapsedTimer t;
    t.start();
    while (!received && t.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(received, SIGTERM);
}

#include "sheet_test.moc"

#include "agent/aux_adc.h"
#include "agent/bist_engine.h"
#include "agent/measurement_engine.h"
#include "base/format.h"
#include "calibration/iq_calibration_page.h"
#include "calibration/progress_run.h"
#include "calibration/rf_bist_page.h"
#include "calibration/rf_calibration_page.h"
#include "txrx/txrx_page.h"
#include "tests/support/gui_board_fixture.h"
#include "tests/support/test_sheet.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <atomic>

#include <chrono>
#include <thread>

using namespace vq;

namespace {

class CalibrationPageTest : public test::GuiBoardTest, public test::ScratchFiles {
  protected:
    CalibrationPageTest() : ScratchFiles("calpage") {}
    static void Click(QWidget* w) {
        ASSERT_NE(w, nullptr);
        static_cast<QPushButton*>(w)->click();
    }
    static QString Text(QWidget* w) { return static_cast<QLineEdit*>(w)->text(); }
    // Serves the UI thread until `done` or two seconds.
    static bool Until(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }
    test::TestSheet<> sheet;
};

TEST_F(CalibrationPageTest, IqPageSearchesBehindTheProgressDialog) {
    board->BbpWrite(62, 0x77);
    CIQCalibrationPage page;
    page.Activate();
    EXPECT_EQ(page.Calibration().Saved()[1], 0x77);
    const std::pair<int, const char*> start[] = {{1257, "10"}, {1279, "00"}, {1258, "0"}, {1276, "0"}, {1278, ""}};
    for (auto [id, text] : start)
        EXPECT_EQ(Text(page.Control(id)), text) << id;
    EXPECT_EQ(static_cast<QComboBox*>(page.Control(1267))->currentText(), " Tx0");

    // "Calibration": one measurement in the three read-only fields.
    auto* engine = board->Device<agent::MeasurementEngineDevice>();
    engine->noise = 0;
    Click(page.Control(1494));
    EXPECT_EQ(Text(page.Control(1258)).toInt(), engine->lastYi);
    EXPECT_EQ(Text(page.Control(1260)), QString::fromStdString(Format("%.3f", PowerDb(engine->lastYi, engine->lastYq))));

    // "RF ALC" 7 is refused before a register is touched.
    static_cast<QLineEdit*>(page.Control(1279))->setText("7");
    board->ClearLog();
    Click(page.Control(1496));
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_EQ(prompter.Last(), IqCalibration::AlcRefusal());
    static_cast<QLineEdit*>(page.Control(1279))->setText("1");

    // "Full LOFT" on the worker: the dialog counts the points and shows the log.
    page.Calibration().logDirectory = dir.string();
    // At the fifth reset the worker looks at the dialog through the UI
    // thread: the four reports before it have been shown by then.
    QString stage;
    int logLines = 0;
    std::atomic<bool> looked{false};
    int resets = 0;
    pause.onSleep = [&](unsigned) {
        if (++resets != 5) return;
        QMetaObject::invokeMethod(
            &page,
            [&] {
                stage = page.Progress()->StageLabel()->text();
                logLines = page.Progress()->LogView()->blockCount();
                looked = true;
            },
            Qt::QueuedConnection);
        for (int i = 0; i < 400 && !looked; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    prompter.Clear();
    Click(page.Control(1496));
    pause.onSleep = nullptr;
    EXPECT_EQ(Text(page.Control(1257)), "10");
    const auto texts = prompter.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[2].rfind("Full LOFT Cal done,Minimum 0xAC=0x05, 0xAD=0x3C, Ypwr= ", 0), 0u) << texts[2];
    EXPECT_EQ(stage, "LOFT AC: point 4 of 24");
    EXPECT_EQ(logLines, 4);
    EXPECT_EQ(board->BbpRead(23), 0x12); // ALC 1
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Cancel after the point under way: the log holds what was measured. The
    // third reset presses Cancel on the UI thread and waits until it is seen.
    prompter.Clear();
    resets = 0;
    pause.onSleep = [&](unsigned) {
        if (++resets != 3) return;
        QMetaObject::invokeMethod(
            &page, [&] { page.Progress()->CancelButton()->click(); }, Qt::QueuedConnection);
        for (int i = 0; i < 400 && !page.Progress()->Cancelled(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    Click(page.Control(1202));
    pause.onSleep = nullptr;
    ASSERT_EQ(prompter.Texts().size(), 1u);
    EXPECT_EQ(prompter.Last(), "IQCal 28 stopped after 3 of 16 points; the log holds the points measured.");
    EXPECT_EQ(Text(page.Control(1257)), "20");

    // "Load Script": the log list with one line per access, the last selected.
    WriteFile(Path("s.txt"), "1 64 2A\n0 64\n");
    dialogs.answers.push_back(QString::fromStdString(Path("s.txt")));
    Click(page.Control(1495));
    ASSERT_GE(page.ScriptLog()->count(), 2);
    EXPECT_EQ(page.ScriptLog()->item(0)->text(), "W:\tBBP R64\t= 0x2A");
    EXPECT_EQ(page.ScriptLog()->item(1)->text(), "R:\tBBP R64\t= 0x2A");
    EXPECT_EQ(page.ScriptLog()->currentRow(), page.ScriptLog()->count() - 1);
    EXPECT_EQ(dialogs.calls.back().title, "Open BBP Script File");
}

TEST_F(CalibrationPageTest, BistPageWorkersAndResultBox) {
    CRFBISTPage page;
    page.Activate();
    EXPECT_FALSE(page.TxPath()->isEnabled());
    EXPECT_EQ(page.Mode()->currentText(), "OFDM");
    EXPECT_EQ(page.Bandwidth()->currentText(), "20 MHz");
    EXPECT_EQ(page.Length()->text(), "1058");
    const std::tuple<int, int, int> rule[] = {{0, 8, 3}, {1, 8, 7}, {2, 17, 7}, {3, 17, 7}};
    for (auto [mode, count, selected] : rule) {
        page.Mode()->setCurrentIndex(mode);
        EXPECT_EQ(page.Rate()->count(), count);
        EXPECT_EQ(page.Rate()->currentIndex(), selected);
    }
    page.Mode()->setCurrentIndex(1);

    // TX test, Repeat 1: the worker's text reaches the box with its line breaks.
    Click(page.Button("Init"));
    Click(page.StartButton(CRFBISTPage::Tx));
    EXPECT_EQ(page.StartButton(CRFBISTPage::Tx)->text(), "Stop ...");
    ASSERT_TRUE(Until([&] { return page.Idle(CRFBISTPage::Tx) && page.StartButton(CRFBISTPage::Tx)->text() == "Start"; }));
    EXPECT_EQ(page.Result()->toPlainText(), "Done ==> TEST-1 : TX Only\n\nBBP R143 = 0x10\nThe internal TSSI is 0x2A\n");
    EXPECT_EQ(board->BbpRead(6), 0x10);
    EXPECT_EQ(board->BbpRead(7), 0x22);

    // RX runs until pressed again; closing the program ends it before the link goes.
    Click(page.StartButton(CRFBISTPage::Rx));
    ASSERT_TRUE(Until([&] { return board->Device<agent::BistEngineDevice>()->started[1] >= 3; }));
    page.OnDestroyPage();
    EXPECT_TRUE(page.Idle(CRFBISTPage::Rx));
    EXPECT_FALSE(page.Running(CRFBISTPage::Rx));

    Click(page.Button("TEST-5 : Transmitter Carrier-leakage Test"));
    EXPECT_TRUE(page.ContinuousOn(0));
    EXPECT_EQ(board->BbpRead(244), 0x20);
    Click(page.Button("Stop Testing ..."));
    EXPECT_EQ(page.Button("TEST-5 : Transmitter Carrier-leakage Test") != nullptr, true);
    EXPECT_EQ(board->BbpRead(244), 0x00);
}

TEST_F(CalibrationPageTest, RfCalibrationPageShowsWhatIsDefined) {
    CRfCalibration page;
    page.Activate();
    EXPECT_EQ(page.Text(1257), "1.23");
    EXPECT_EQ(page.Text(1258), "0");
    EXPECT_EQ(page.Text(1282), "0x06");
    EXPECT_EQ(page.Text(1283), "0x18");
    static_cast<QRadioButton*>(page.Control(1488))->click();
    EXPECT_EQ(page.Text(1282), "0x01");
    EXPECT_EQ(page.Text(1283), "0x1F");

    // r1 = 20, r2 = 10 after the baseline: D - r1 = 0. The rest is shown,
    // R7 keeps its value and the page says why.
    auto* adc = board->Device<agent::AuxAdcDevice>();
    const int codes[12] = {5, 25, 15, 60, 0, 0, 0, 30, 20, 20, 20, 20};
    for (int i = 0; i < 12; ++i)
        adc->volts[i] = codes[i] * adc->lsb;
    board->Rf(0, 7) = 0x11;
    Click(page.Control(1487));
    EXPECT_EQ(board->Rf(0, 7), 0x11);
    EXPECT_EQ(page.Text(1259), "");
    EXPECT_EQ(page.StatusLine()->text().toStdString(), RfCalibration::UndefinedRpwoText());
    EXPECT_EQ(page.Text(1280), "-5");            // S2D vref (D / K - r1) / K
    EXPECT_EQ(page.Text(1281), "0.03603515625"); // ADC8 VCM, r7 = 25
}

} // namespace

namespace {

// "RECAL" on its worker toggles the real TX/RX page's transmit test through
// the sheet (a marshalled call to the UI thread): twelve toggles leave it as it was.
TEST_F(CalibrationPageTest, RecalTogglesTheTxRxPageFromItsWorker) {
    test::TestSheet<CTXRXPage> txSheet;
    CTXRXPage txrx;
    txSheet.txrx = &txrx;
    txrx.Activate();
    CRfCalibration page;
    page.Activate();
    board->ClearLog();
    Click(page.Control(1487));
    EXPECT_EQ(CountCommands(cmd::StartTx), 6u);
    EXPECT_FALSE(txrx.IsTxRunning());
    EXPECT_EQ(page.Text(1257), "1.23");
    Click(page.Control(1489)); // TX AUX "CAL": one reading leaves it toggled
    EXPECT_TRUE(txrx.IsTxRunning());
    txrx.ToggleTx();
}

} // namespace

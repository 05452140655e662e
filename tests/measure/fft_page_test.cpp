// The FFT graph page on the simulated board: its views and bandwidth rules,
// the capture thread's results on the page, the EVM library and the ADC file.
#include "agent/capture_memory.h"
#include "measure/core/ostra.h"
#include "measure/fft_graph_page.h"
#include "tests/support/gui_board_fixture.h"
#include "tests/support/test_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

using namespace vq;

namespace {

struct FakeTxRxPage : test::NoTxRxPage {
    std::vector<std::string> calls;
    bool HasWindow() const { return true; }
    void SelectChannel(int i) { calls.push_back("channel " + std::to_string(i)); }
    void SelectBandwidth(int i) { calls.push_back("bw " + std::to_string(i)); }
    void SelectRxPath(int i) { calls.push_back("rx " + std::to_string(i)); }
    void SetOneRxPath(bool on) { calls.push_back(on ? "one on" : "one off"); }
};

class FftPageTest : public test::GuiBoardTest {
  protected:
    void SetUp() override {
        GuiBoardTest::SetUp();
        sheet.txrx = &txrx;
        State().antennaConfig = 0x22;
        OstraLibrary::SetCandidates({QStringLiteral(VQ_TEST_OSTRA)});
    }
    void TearDown() override {
        OstraLibrary::SetCandidates({});
        GuiBoardTest::TearDown();
    }
    template <class T> T* Ctl(const char* name) {
        T* w = page.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static bool Until(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }
    // One or more cycles, then stop and let the results and the end reach the page.
    void CaptureOnce() {
        const unsigned before = board->Device<agent::CaptureMemoryDevice>()->captures;
        Ctl<QPushButton>("start")->click();
        ASSERT_TRUE(page.Capturing());
        ASSERT_TRUE(Until([&] { return board->Device<agent::CaptureMemoryDevice>()->captures > before; }));
        Ctl<QPushButton>("start")->click();
        ASSERT_TRUE(Until([&] { return !page.CaptureRunning(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(Ctl<QPushButton>("start")->text(), "Start &Capture");
    }
    void ConstantSource(int i, int q) {
        board->Device<agent::CaptureMemoryDevice>()->SetBasebandSource(
            [i, q](std::vector<std::complex<float>>& out) { std::fill(out.begin(), out.end(), std::complex<float>(i, q)); });
    }

    FakeTxRxPage txrx;
    test::TestSheet<FakeTxRxPage> sheet;
    CFftGraphPage page;
};

} // namespace

TEST_F(FftPageTest, ViewsBandwidthAndChannelFollowTheirRules) {
    State().channelIndex = 5;
    page.Activate();
    EXPECT_EQ(page.Data().title, "The noise is larger than golden noise power by");
    EXPECT_EQ(page.Data().xLegend, "Frequency (MHz)");
    EXPECT_EQ(page.FrequencyOffsetMHz(), 2437);
    EXPECT_EQ(page.Graph().Model().XLabels().front().text, "2417");
    EXPECT_FALSE(Ctl<QPushButton>("saveAdc")->isEnabled());
    EXPECT_FALSE(Ctl<QCheckBox>("showI")->isEnabled());
    EXPECT_EQ(Ctl<QComboBox>("rxPath")->count(), 2);
    EXPECT_EQ(Ctl<QComboBox>("rxPath")->currentText(), "RX 0");
    EXPECT_EQ(txrx.calls, (std::vector<std::string>{"rx 1", "bw 1", "one on", "bw 1"}));

    // Time domain: "BW" 40 disables "200 µs" and moves the range to 100 µs; back at 20 it is enabled again.
    Ctl<QRadioButton>("time")->click();
    EXPECT_EQ(page.Data().yMax, 140);
    EXPECT_EQ(page.Data().xMax, 200);
    EXPECT_FALSE(Ctl<QComboBox>("bandwidth")->isEnabled());
    EXPECT_FALSE(Ctl<QCheckBox>("golden")->isEnabled());
    EXPECT_TRUE(page.Graph().Model().XLabels().front().text == "0");
    const struct {
        int index;
        bool enabled200;
        double xMax;
        const char* checked;
    } steps[] = {{2, false, 100, "range100"}, {1, true, 100, "range100"}};
    for (const auto& s : steps) {
        page.OnBandwidthChanged(s.index);
        EXPECT_EQ(Ctl<QRadioButton>("range200")->isEnabled(), s.enabled200) << s.index;
        EXPECT_DOUBLE_EQ(page.Data().xMax, s.xMax) << s.index;
        EXPECT_TRUE(Ctl<QRadioButton>(s.checked)->isChecked());
    }
    Ctl<QRadioButton>("range50")->click();
    EXPECT_DOUBLE_EQ(page.Data().xMin, 0);
    EXPECT_DOUBLE_EQ(page.Data().xMax, 50);

    // Frequency domain at 40 MHz: -40..40; the channel moves the labels.
    Ctl<QRadioButton>("frequency")->click();
    page.OnBandwidthChanged(2);
    EXPECT_DOUBLE_EQ(page.Data().xMin, -40);
    EXPECT_DOUBLE_EQ(page.Data().xMax, 40);
    txrx.calls.clear();
    page.OnChannelChanged(13);
    EXPECT_EQ(page.FrequencyOffsetMHz(), 2484);
    EXPECT_EQ(page.Graph().Model().XLabels().back().text, "2524");
    EXPECT_EQ(txrx.calls, (std::vector<std::string>{"channel 13"}));
    EXPECT_TRUE(page.OnKillActive());
    EXPECT_EQ(txrx.calls.back(), "one off");
}

TEST_F(FftPageTest, CapturesReachTheGraphAndTheEvmText) {
    page.Activate();
    ConstantSource(4, 8);
    Ctl<QCheckBox>("golden")->setChecked(true);
    CaptureOnce();
    EXPECT_EQ(page.Data().count, 512);
    EXPECT_EQ(page.Data().param, 2);
    EXPECT_TRUE(page.Graph().Model().extraText.ends_with(" dB"));
    EXPECT_TRUE(Ctl<QPushButton>("saveAdc")->isEnabled());
    EXPECT_EQ(Ctl<QLabel>("evm")->text(), "xxx.xxx dB"); // no EVM in the frequency domain

    // Time domain with the library: its figure, then not-a-number; Q alone is drawn red.
    Ctl<QRadioButton>("time")->click();
    Ctl<QRadioButton>("manual")->click();
    Ctl<QCheckBox>("showI")->setChecked(false);
    Ctl<QCheckBox>("showQ")->setChecked(true);
    CaptureOnce();
    EXPECT_EQ(Ctl<QLabel>("evm")->text(), "-24.000000 dB");
    EXPECT_EQ(page.Data().count, 8000);
    EXPECT_EQ(page.Data().param, 1);
    EXPECT_EQ(page.Data().points[10].y, 8);
    EXPECT_TRUE(page.Graph().Model().qOnly);
    ConstantSource(0, 0);
    CaptureOnce();
    EXPECT_EQ(Ctl<QLabel>("evm")->text(), "-.------ dB");

    // Without the library the text stays; the traces still come.
    OstraLibrary::SetCandidates({QDir::temp().filePath("no-such-dir/libOstra.so")});
    Ctl<QLabel>("evm")->setText("xxx.xxx dB");
    ConstantSource(-3, 1);
    CaptureOnce();
    EXPECT_EQ(Ctl<QLabel>("evm")->text(), "xxx.xxx dB");
    EXPECT_EQ(page.Data().points[0].y, 1);
    EXPECT_TRUE(prompter.Messages().empty());

    // The last capture as an ".adc" file.
    QTemporaryDir dir;
    dialogs.answers.push_back(dir.filePath("last"));
    Ctl<QPushButton>("saveAdc")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "Open Script File");
    EXPECT_EQ(dialogs.calls[0].filter, "adc Files(*.adc)|*.adc||");
    QFile f(dir.filePath("last.adc"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes.count('\n'), 8192);
    EXPECT_TRUE(bytes.startsWith("-3\t1\n-3\t1\n"));
}

TEST_F(FftPageTest, RegisterBoxReachesBbpAndTheCurrentRfBank) {
    page.Activate();
    State().rfBank = 5;
    board->Rf(5, 12) = 0x3C;
    board->BbpWrite(3, 0x1B);
    const struct {
        const char* kind;
        const char* direction;
        const char* id;
        const char* value;
        const char* shown;
    } steps[] = {{"rf", "read", "12", "", "3C"},   {"rf", "write", "13", "A5", "A5"},
                 {"bbp", "read", "3", "", "1B"},  {"bbp", "write", "70", "4", "4"}};
    for (const auto& s : steps) {
        Ctl<QRadioButton>(s.kind)->click();
        Ctl<QRadioButton>(s.direction)->click();
        EXPECT_EQ(Ctl<QLineEdit>("registerValue")->isReadOnly(), std::string(s.direction) == "read");
        Ctl<QLineEdit>("registerId")->setText(s.id);
        Ctl<QLineEdit>("registerValue")->setText(s.value);
        Ctl<QPushButton>("readWrite")->click();
        EXPECT_EQ(Ctl<QLineEdit>("registerValue")->text(), s.shown) << s.kind << " " << s.id;
    }
    EXPECT_EQ(board->Rf(5, 13), 0xA5);
    EXPECT_EQ(board->Rf(0, 13), 0);
    EXPECT_EQ(board->BbpRead(70), 0x04);

    // "All Rx Path": R3 loses bits 0 and 1, then the RX Path choice goes to the TX/RX page again.
    txrx.calls.clear();
    Ctl<QCheckBox>("allRxPath")->click();
    EXPECT_EQ(board->BbpRead(3), 0x18);
    EXPECT_EQ(txrx.calls, (std::vector<std::string>{"rx 1"}));
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(FftPageTest, ClosingDuringACaptureEndsTheThreadFirst) {
    page.Activate();
    board->Device<agent::CaptureMemoryDevice>()->neverTrigger = true;
    pause.onSleep = [](unsigned) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    Ctl<QPushButton>("start")->click();
    ASSERT_TRUE(Until([&] { return CountCommands(cmd::MacRead) > 20; }));
    page.OnDestroyPage();
    EXPECT_FALSE(page.CaptureRunning());
    const std::size_t frames = board->LogSize();
    QCoreApplication::processEvents();
    EXPECT_EQ(board->LogSize(), frames);
    // The wait was cut short: no ring read of the aborted cycle.
    EXPECT_EQ(CountCommands(cmd::MacMultiRead), 0u);
}

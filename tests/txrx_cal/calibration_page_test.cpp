// The TX/RX page's calibration controls, the capture settings dialog and the
// capture run from the page.
#include "device/program_state.h"
#include "tests/support/gui_board_fixture.h"
#include "tests/support/txrx_fixture.h"
#include "tests/txrx_cal/capture_board.h"
#include "txrx/capture_setting_dialog.h"
#include "txrx/core/capture_run.h"
#include "txrx/core/txrx_radio.h"
#include "txrx/txrx_page.h"
#include "ui/ui_services.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPushButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <filesystem>

using namespace vq;

namespace {

class CalibrationPageTest : public test::TxRxBoardTest, public test::ScratchFiles {
  protected:
    CalibrationPageTest() : ScratchFiles("txrx_cal_") {}
    void SetUp() override {
        TxRxBoardTest::SetUp();
        SetFileDialogs(&dialogs);
        State().antennaConfig = 0x22;
        stub = std::make_shared<test::CaptureStub>();
        board->InsertDevice(stub);
        page = std::make_unique<CTXRXPage>();
    }
    void TearDown() override {
        page.reset();
        CTXRXPage::SetDialogRunner(nullptr);
        SetFileDialogs(nullptr);
        TxRxBoardTest::TearDown();
    }
    void Click(int id) { qobject_cast<QAbstractButton*>(page->Control(id))->click(); }
    // The dialog's run: `edit` changes it, then "Start Capture" (or Cancel).
    void AnswerDialog(std::function<void(CCaptureModeSetting&)> edit, bool start = true) {
        CTXRXPage::SetDialogRunner([edit, start](QDialog& d) {
            auto& dialog = static_cast<CCaptureModeSetting&>(d);
            if (edit) edit(dialog);
            if (!start) return int(QDialog::Rejected);
            dialog.startCapture->click();
            return dialog.result();
        });
    }

    ScriptedFileDialogs dialogs;
    std::shared_ptr<test::CaptureStub> stub;
    std::unique_ptr<CTXRXPage> page;
};

TEST_F(CalibrationPageTest, CaptureDialogChoices) {
    CaptureSetting() = CaptureSettings{false, false, true, true, 1, 9};
    CCaptureModeSetting d;
    EXPECT_EQ(d.windowTitle(), "Capture Setting");
    const CaptureSettings& s = CaptureSetting();
    EXPECT_TRUE(s.autoTrigger && s.adcMode && !s.adc6 && !s.txSide) << "start values";
    EXPECT_TRUE(d.autoTrigger->isChecked() && d.adcMode->isChecked() && d.rx->isChecked() &&
                d.adc8->isChecked());
    EXPECT_FALSE(d.tx->isEnabled() || d.rx->isEnabled());
    EXPECT_TRUE(d.fftOutput->isHidden());
    EXPECT_EQ(d.offset->text(), "200");
    EXPECT_EQ(d.captureTimes->text(), "1");

    d.adc6->click();
    EXPECT_TRUE(s.adc6 && d.tx->isEnabled() && d.rx->isEnabled());
    d.tx->click();
    EXPECT_TRUE(s.txSide);
    d.feqMode->click();
    EXPECT_FALSE(s.adcMode);
    EXPECT_FALSE(s.Adc6Used()) << "the ADC choices count only in ADC mode";
    for (QWidget* w : {(QWidget*)d.adc8, (QWidget*)d.adc6, (QWidget*)d.tx, (QWidget*)d.rx})
        EXPECT_FALSE(w->isEnabled());
    d.adcMode->click();
    EXPECT_TRUE(d.adc6->isEnabled() && d.tx->isEnabled()) << "ADC6 still checked";
    d.adc8->click();
    EXPECT_FALSE(s.adc6 || d.tx->isEnabled());
    d.manualTrigger->click();
    EXPECT_FALSE(s.autoTrigger);

    d.offset->setText("1ff");
    d.captureTimes->setText("12");
    d.startCapture->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(s.triggerOffset, 0x1FFu);
    EXPECT_EQ(s.captureTimes, 12u);
}

TEST_F(CalibrationPageTest, CaptureModeRun) {
    // Cancel in the dialog, then in the file question: nothing is captured.
    AnswerDialog(nullptr, false);
    Click(1331);
    AnswerDialog(nullptr);
    dialogs.answers = {""};
    Click(1331);
    EXPECT_EQ(stub->arms, 0u);
    EXPECT_TRUE(prompter.Texts().empty());

    page->ToggleRx();
    AnswerDialog([](CCaptureModeSetting& d) { d.captureTimes->setText("3"); });
    dialogs.answers = {QString::fromStdString(Path("cap"))};
    Click(1331);
    EXPECT_FALSE(page->IsRxRunning()) << "the receive test stops first";
    EXPECT_EQ(dialogs.calls.back().filter, "CaptureData File (*.txt)|*.cap||");
    EXPECT_EQ(stub->arms, 3u);
    for (const char* name : {"cap_00001.txt", "cap_00002.txt", "cap_00003.txt"})
        EXPECT_TRUE(std::filesystem::exists(Path(name))) << name;
    EXPECT_EQ(prompter.Last(), "Capture data done!");
}

TEST_F(CalibrationPageTest, FixedIqCapturesWriteTheirFiles) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    for (const auto& [button, file, start] : {std::tuple{1213, "RxIQ.adc", 131}, {1214, "TxIQ.adc", 133}}) {
        board->ClearLog();
        Click(button);
        EXPECT_TRUE(std::filesystem::exists(Path(file))) << file;
        EXPECT_EQ(board->Indirect158(0), start) << "calibration started before the capture";
    }
    std::filesystem::current_path(cwd);
    EXPECT_EQ(stub->arms, 2u);
    EXPECT_FALSE(CaptureSetting().autoTrigger);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
}

TEST_F(CalibrationPageTest, TrimControlsOnThePage) {
    const struct {
        int edit, spin;
        const char* before;
        int delta;
        const char* after;
    } spins[] = {{1029, 1170, "2F", -1, "2F"}, {1029, 1170, "00", 1, "00"}, {1029, 1170, "2E", -1, "2F"},
                 {1257, 1172, "05", 1, "04"},  {1032, 1171, "FF", 1, "FF"}, {1032, 1171, "20", 1, "21"},
                 {1258, 1271, "0F", -1, "0F"}, {1260, 1274, "00", 1, "FF"}, {1276, 1270, "07", -1, "07"},
                 {1284, 1473, "00", 1, "FF"}};
    for (const auto& s : spins) {
        page->SetText(s.edit, s.before);
        page->SpinStep(s.spin, s.delta);
        EXPECT_EQ(page->Text(s.edit), s.after) << s.spin << " " << s.before;
    }
    EXPECT_EQ(board->Rf(0, 12), 0x21);

    // TX power 0 "Calibrate" on channel 2: the high byte of word 0x52.
    board->SetEepromWord(0x52, 0x00AA);
    page->SetSelection(1019, 1);
    State().channelIndex = 1;
    page->SetText(1029, "10");
    Click(1179);
    EXPECT_EQ(board->EepromWord(0x52), 0x10AA);

    // The register box: RF on the RF pages' bank; READ keeps the value read-only.
    auto* value = qobject_cast<QLineEdit*>(page->Control(2031));
    EXPECT_TRUE(value->isReadOnly());
    State().rfBank = 6;
    board->Rf(6, 40) = 0x5C;
    Click(2029);
    page->SetText(2030, "40");
    Click(1998);
    EXPECT_EQ(page->Text(2031), "5C");
    Click(2032);
    EXPECT_FALSE(value->isReadOnly());
    page->SetText(2031, "77");
    Click(1998);
    EXPECT_EQ(board->Rf(6, 40), 0x77);

    // DPD is triggered only while its box is checked.
    EXPECT_FALSE(page->Enabled(1218));
    Click(1504);
    EXPECT_TRUE(page->Enabled(1218));
    Click(1504);
    EXPECT_FALSE(page->Enabled(1218));
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
}

TEST_F(CalibrationPageTest, ControlsAndTheirGroups) {
    auto group = [this](int id) {
        for (QWidget* w = page->Control(id); w; w = w->parentWidget())
            if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
        return QString();
    };
    const struct {
        int id;
        const char* caption;
        const char* group;
    } controls[] = {{1179, "Calibrate", "RF"},           {1181, "Calibrate", "RF"},
                    {1203, "Cal Temp.", "RF"},           {1192, "Calibrate", "RSSI / SNR"},
                    {1471, "Enable", "IQ Compensation"}, {1217, "Calibrate", "IQ Compensation"},
                    {1998, "R / W", "Register Setting"}, {2028, "BBP", "Register Setting"},
                    {2033, "READ", "Register Setting"},  {1331, "Capture Mode", "Test Control"},
                    {1501, "Busy Mode", "Test Control"}, {1218, "DPD", "Test Control"}};
    for (const auto& c : controls) {
        EXPECT_EQ(page->Text(c.id), c.caption) << c.id;
        EXPECT_EQ(group(c.id), c.group) << c.id;
    }
    for (int id : {1420, 1381, 1202, 1213, 1214, 1215, 1216, 1282})
        EXPECT_FALSE(page->IsShown(id)) << id;
    // Start-up option i shows the calibration buttons at the first showing.
    State().optIqCal = true;
    page->Activate();
    for (int id : {1213, 1214, 1215, 1216, 1282})
        EXPECT_TRUE(page->IsShown(id)) << id;
    for (int id : {1420, 1381, 1202})
        EXPECT_FALSE(page->IsShown(id)) << id;
    Click(1216);
    EXPECT_EQ(page->Text(1282), "0x333231");
    if (qEnvironmentVariableIsSet("VQ_TXRX_CAL_SCREENSHOT")) {
        page->resize(page->sizeHint());
        page->grab().save(qEnvironmentVariable("VQ_TXRX_CAL_SCREENSHOT"));
        CCaptureModeSetting d;
        d.resize(d.sizeHint());
        d.grab().save(qEnvironmentVariable("VQ_TXRX_CAL_SCREENSHOT") + ".dialog.png");
    }
}

} // namespace

// The TX/RX page's calibration controls: TX power, frequency offset and RSSI
// offset trims with their "Calibrate" buttons, the temperature reference, IQ
// compensation, the self-calibration buttons, DPD, busy mode, the register
// box and the capture run. The work is done by txrx/core.
#include "txrx/txrx_page.h"

#include "base/services.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "txrx/capture_setting_dialog.h"
#include "txrx/core/capture_run.h"
#include "txrx/core/txrx_calibration.h"
#include "ui/ui_services.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace vq {

namespace {

namespace id {
constexpr int Channel = 1019, TempCom = 1189, BothDacs = 1349, Dac0 = 1350, Dac1 = 1351;
constexpr int TxPower0 = 1029, TxPower0Spin = 1170, TxPower0Cal = 1179;
constexpr int TxPower1 = 1257, TxPower1Spin = 1172, TxPower1Cal = 1191;
constexpr int FreqOffset = 1032, FreqOffsetSpin = 1171, FreqOffsetCal = 1181;
constexpr int Offset0 = 1258, Offset1 = 1259, Offset2 = 1260;
constexpr int Offset0Spin = 1271, Offset1Spin = 1296, Offset2Spin = 1274;
constexpr int Offset0Cal = 1192, Offset1Cal = 1193, Offset2Cal = 1201;
constexpr int CalTemp = 1203, CaptureMode = 1331;
constexpr int Tx0Gain = 1276, Tx0GainSpin = 1270, Tx1Gain = 1283, Tx1GainSpin = 1472;
constexpr int Tx0Phase = 1278, Tx0PhaseSpin = 1273, Tx1Phase = 1284, Tx1PhaseSpin = 1473;
constexpr int IqEnable = 1471, IqCal = 1217;
constexpr int RxMisMatch = 1420, TxMisMatch = 1381, Compensation = 1202;
constexpr int RxCalibration = 1213, TxCalibration = 1214, Result = 1215, CalDbgBus = 1216,
              CalDbgBusValue = 1282;
constexpr int DpdEnable = 1504, Dpd = 1218, BusyMode = 1501;
constexpr int RegBbp = 2028, RegRf = 2029, RegRead = 2033, RegWrite = 2032, RegId = 2030, RegValue = 2031,
              RegRw = 1998;
} // namespace id

const int kOffsets[3] = {id::Offset0, id::Offset1, id::Offset2};

} // namespace

void CTXRXPage::BuildCalibrationControls(QGroupBox* rfBox, QGroupBox* signalBox, QGroupBox* testBox,
                                         QGridLayout* top) {
    auto reg = [this](int cid, auto* w) {
        controls_[cid] = w;
        return w;
    };
    auto button = [&](int cid, const QString& text) { return reg(cid, new QPushButton(text)); };
    auto edit = [&](int cid, int maxLength) {
        auto* e = reg(cid, new QLineEdit);
        e->setMaxLength(maxLength);
        e->setFixedWidth(40);
        return e;
    };
    // A spin control's two arrows; the handler gets the Windows delta (-1 for
    // the upper arrow of a vertical spin, +1 for the left arrow of a horizontal one).
    auto spin = [&](int cid, Qt::Orientation orientation) {
        auto* w = reg(cid, new QWidget);
        auto* l = orientation == Qt::Vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(w))
                                              : static_cast<QBoxLayout*>(new QHBoxLayout(w));
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        const bool vertical = orientation == Qt::Vertical;
        for (int k = 0; k < 2; ++k) {
            auto* arrow = new QToolButton;
            arrow->setArrowType(vertical ? (k == 0 ? Qt::UpArrow : Qt::DownArrow)
                                         : (k == 0 ? Qt::LeftArrow : Qt::RightArrow));
            arrow->setFixedSize(vertical ? QSize(18, 11) : QSize(14, 20));
            const int delta = vertical ? (k == 0 ? -1 : 1) : (k == 0 ? 1 : -1);
            connect(arrow, &QToolButton::clicked, this, [this, cid, delta] { SpinStep(cid, delta); });
            l->addWidget(arrow);
        }
        return w;
    };

    // TX power, frequency offset and "Cal Temp." in the RF group.
    auto* rf = static_cast<QGridLayout*>(rfBox->layout());
    const struct {
        int spinId, buttonId;
        Qt::Orientation orientation;
    } rfRows[3] = {{id::TxPower0Spin, id::TxPower0Cal, Qt::Vertical},
                   {id::TxPower1Spin, id::TxPower1Cal, Qt::Vertical},
                   {id::FreqOffsetSpin, id::FreqOffsetCal, Qt::Horizontal}};
    for (int row = 0; row < 3; ++row) {
        rf->addWidget(spin(rfRows[row].spinId, rfRows[row].orientation), row, 2);
        rf->addWidget(button(rfRows[row].buttonId, "Calibrate"), row, 3);
    }
    rf->addWidget(button(id::CalTemp, "Cal Temp."), 6, 2, 1, 2);

    // RSSI offsets in the RSSI group.
    auto* sg = static_cast<QGridLayout*>(signalBox->layout());
    const int rssiSpins[3] = {id::Offset0Spin, id::Offset1Spin, id::Offset2Spin};
    const int rssiButtons[3] = {id::Offset0Cal, id::Offset1Cal, id::Offset2Cal};
    for (int row = 0; row < 3; ++row) {
        sg->addWidget(spin(rssiSpins[row], Qt::Vertical), row, 4);
        sg->addWidget(button(rssiButtons[row], "Calibrate"), row, 5);
    }

    // Capture, DPD and busy mode with the test controls.
    auto* tg = static_cast<QGridLayout*>(testBox->layout());
    tg->addWidget(button(id::CaptureMode, "Capture Mode"), 8, 0);
    auto* dpdRow = new QHBoxLayout;
    dpdRow->addWidget(reg(id::DpdEnable, new QCheckBox));
    dpdRow->addWidget(button(id::Dpd, "DPD"));
    tg->addLayout(dpdRow, 8, 1);
    tg->addWidget(reg(id::BusyMode, new QCheckBox("Busy Mode")), 9, 0);

    // IQ compensation and the self-calibrations.
    auto* iqBox = new QGroupBox("IQ Compensation");
    auto* iq = new QGridLayout(iqBox);
    iq->addWidget(new QLabel("Gain"), 0, 1, 1, 2);
    iq->addWidget(new QLabel("Phase"), 0, 3, 1, 2);
    const struct {
        const char* caption;
        int gain, gainSpin, phase, phaseSpin;
    } iqRows[2] = {{"Tx0", id::Tx0Gain, id::Tx0GainSpin, id::Tx0Phase, id::Tx0PhaseSpin},
                   {"Tx1", id::Tx1Gain, id::Tx1GainSpin, id::Tx1Phase, id::Tx1PhaseSpin}};
    for (int row = 0; row < 2; ++row) {
        iq->addWidget(new QLabel(iqRows[row].caption), row + 1, 0);
        iq->addWidget(edit(iqRows[row].gain, 2), row + 1, 1);
        iq->addWidget(spin(iqRows[row].gainSpin, Qt::Vertical), row + 1, 2);
        iq->addWidget(edit(iqRows[row].phase, 2), row + 1, 3);
        iq->addWidget(spin(iqRows[row].phaseSpin, Qt::Vertical), row + 1, 4);
    }
    iq->addWidget(reg(id::IqEnable, new QCheckBox("Enable")), 3, 0, 1, 2);
    iq->addWidget(button(id::IqCal, "Calibrate"), 3, 3, 1, 2);
    const struct {
        int cid;
        const char* caption;
    } selfCal[7] = {{id::RxMisMatch, "RF Rx MisMatch"},    {id::TxMisMatch, "RF Tx MisMatch"},
                    {id::Compensation, "Compensation"},    {id::RxCalibration, "Rx Calibration"},
                    {id::TxCalibration, "Tx Calibration"}, {id::Result, "Result"},
                    {id::CalDbgBus, "CalDbgBus"}};
    for (int i = 0; i < 7; ++i) {
        auto* b = button(selfCal[i].cid, selfCal[i].caption);
        iq->addWidget(b, 4 + i / 3, 5 + i % 3);
        b->hide();
    }
    auto* dbg = reg(id::CalDbgBusValue, new QLineEdit);
    dbg->setReadOnly(true);
    iq->addWidget(dbg, 6, 6, 1, 2);
    dbg->hide();
    iq->setColumnStretch(8, 1);
    for (int cid : {id::Tx0Gain, id::Tx0Phase, id::Tx1Gain, id::Tx1Phase})
        SetText(cid, "00");

    // The register box.
    auto* regBox = new QGroupBox("Register Setting");
    auto* rg = new QGridLayout(regBox);
    auto radioPair = [&](int a, const char* ca, int b, const char* cb, int row) {
        auto* group = new QButtonGroup(this);
        auto* first = reg(a, new QRadioButton(ca));
        auto* second = reg(b, new QRadioButton(cb));
        group->addButton(first);
        group->addButton(second);
        rg->addWidget(first, row, 0);
        rg->addWidget(second, row, 1);
        first->setChecked(true);
    };
    radioPair(id::RegBbp, "BBP", id::RegRf, "RF", 0);
    radioPair(id::RegRead, "READ", id::RegWrite, "WRITE", 1);
    rg->addWidget(new QLabel("ID"), 2, 0);
    rg->addWidget(edit(id::RegId, 3), 2, 1);
    rg->addWidget(new QLabel("Valiue"), 3, 0);
    rg->addWidget(edit(id::RegValue, 2), 3, 1);
    rg->addWidget(button(id::RegRw, "R / W"), 4, 0, 1, 2);
    rg->setColumnStretch(2, 1);
    qobject_cast<QLineEdit*>(Control(id::RegValue))->setReadOnly(true);

    top->addWidget(iqBox, 2, 0, 1, 3);
    top->addWidget(regBox, 2, 3);

    SetEnabled(id::Dpd, false);
}

void CTXRXPage::ConnectCalibrationActions() {
    auto clicked = [this](int cid, auto handler) {
        connect(qobject_cast<QAbstractButton*>(Control(cid)), &QAbstractButton::clicked, this, handler);
    };
    clicked(id::TxPower0Cal, [this] { OnCalibrateTxPower(0); });
    clicked(id::TxPower1Cal, [this] { OnCalibrateTxPower(1); });
    clicked(id::FreqOffsetCal, [this] {
        CDeviceCommands dev;
        CalibrateFreqOffset(dev, Text(id::FreqOffset).toStdString());
    });
    for (int path = 0; path < 3; ++path) {
        const int buttons[3] = {id::Offset0Cal, id::Offset1Cal, id::Offset2Cal};
        clicked(buttons[path], [this, path] {
            CDeviceCommands dev;
            CalibrateRssiOffset(dev, path, Text(kOffsets[path]).toStdString(),
                                IsFiveGhzChannel(CurrentChannelNumber()));
        });
    }
    clicked(id::CalTemp, [this] {
        CDeviceCommands dev;
        CalibrateTemperature(dev, IsFiveGhzChannel(CurrentChannelNumber()));
    });
    clicked(id::IqEnable, [this](bool on) {
        CDeviceCommands dev;
        EnableIqCompensation(dev, on);
    });
    clicked(id::IqCal, [this] {
        CDeviceCommands dev;
        const IqTexts texts{Text(id::Tx0Gain).toStdString(), Text(id::Tx0Phase).toStdString(),
                            Text(id::Tx1Gain).toStdString(), Text(id::Tx1Phase).toStdString()};
        CalibrateIqCompensation(dev, texts, CurrentChannelNumber());
    });
    clicked(id::RxMisMatch, [] {
        CDeviceCommands dev;
        RunMismatchCalibration(dev, false);
    });
    clicked(id::TxMisMatch, [] {
        CDeviceCommands dev;
        RunMismatchCalibration(dev, true);
    });
    clicked(id::Compensation, [] {
        CDeviceCommands dev;
        RunCompensation(dev);
    });
    clicked(id::RxCalibration, [this] { OnIqCalibrationCapture(false); });
    clicked(id::TxCalibration, [this] { OnIqCalibrationCapture(true); });
    clicked(id::Result, [] {
        CDeviceCommands dev;
        ShowCalibrationResult(dev);
    });
    clicked(id::CalDbgBus, [this] {
        CDeviceCommands dev;
        SetText(id::CalDbgBusValue, QString::fromStdString(ReadCalDbgBus(dev)));
    });
    clicked(id::DpdEnable, [this](bool on) {
        SetEnabled(id::Dpd, on);
        if (on) return;
        CDeviceCommands dev;
        DisableDpd(dev);
    });
    clicked(id::Dpd, [this] { OnDpd(); });
    clicked(id::BusyMode, [this](bool on) {
        CDeviceCommands dev;
        SetBusyMode(dev, on);
    });
    clicked(id::RegRead, [this] { qobject_cast<QLineEdit*>(Control(id::RegValue))->setReadOnly(true); });
    clicked(id::RegWrite, [this] { qobject_cast<QLineEdit*>(Control(id::RegValue))->setReadOnly(false); });
    clicked(id::RegRw, [this] { OnRegisterBox(); });
    clicked(id::CaptureMode, [this] { OnCaptureMode(); });
}

void CTXRXPage::SpinStep(int spinId, int delta) {
    CDeviceCommands dev;
    auto show = [this](int cid, unsigned value) { SetText(cid, QString::asprintf("%02X", value & 0xFF)); };
    switch (spinId) {
    case id::TxPower0Spin:
    case id::TxPower1Spin: {
        const int k = spinId == id::TxPower0Spin ? 0 : 1;
        const int edit = k == 0 ? id::TxPower0 : id::TxPower1;
        if (auto p = StepTxPower(dev, k, Text(edit).toStdString(), delta)) {
            show(edit, *p);
            if (Selection(id::Channel) >= 0) State().channelIndex = Selection(id::Channel);
        }
        return;
    }
    case id::FreqOffsetSpin:
        if (auto o = StepFreqOffset(dev, Text(id::FreqOffset).toStdString(), delta)) show(id::FreqOffset, *o);
        return;
    case id::Offset0Spin:
    case id::Offset1Spin:
    case id::Offset2Spin: {
        const int edit = spinId == id::Offset0Spin   ? id::Offset0
                         : spinId == id::Offset1Spin ? id::Offset1
                                                     : id::Offset2;
        if (auto o = StepRssiOffset(Text(edit).toStdString(), delta)) show(edit, std::uint8_t(*o));
        return;
    }
    default:
        break;
    }
    const struct {
        int spin, edit;
        IqTrim trim;
    } iq[4] = {{id::Tx0GainSpin, id::Tx0Gain, IqTrim::Tx0Gain},
               {id::Tx1GainSpin, id::Tx1Gain, IqTrim::Tx1Gain},
               {id::Tx0PhaseSpin, id::Tx0Phase, IqTrim::Tx0Phase},
               {id::Tx1PhaseSpin, id::Tx1Phase, IqTrim::Tx1Phase}};
    for (const auto& t : iq)
        if (t.spin == spinId) {
            if (auto v = StepIqCompensation(dev, t.trim, Text(t.edit).toStdString(), delta))
                show(t.edit, std::uint8_t(*v));
        }
}

void CTXRXPage::OnCalibrateTxPower(int k) {
    CDeviceCommands dev;
    CalibrateTxPower(dev, k, CurrentChannelNumber(),
                     Text(k == 0 ? id::TxPower0 : id::TxPower1).toStdString());
}

void CTXRXPage::OnDpd() {
    DeviceSequence sequence;
    CDeviceCommands dev;
    TxRxRadioSettings checked;
    ReadRadioControls(checked);
    TriggerDpd(dev, DacChoice(), checked.dac, [this](Dac dac) {
        TxRxRadioSettings s;
        ReadRadioControls(s);
        s.dac = dac;
        TxRxRadio().ApplyDacChoice(s);
    });
}

void CTXRXPage::OnRegisterBox() {
    const bool rf = Checked(id::RegRf);
    const bool write = Checked(id::RegWrite);
    CDeviceCommands dev;
    const auto value = RegisterBoxAccess(dev, rf, write, unsigned(State().rfBank),
                                         Text(id::RegId).toStdString(), Text(id::RegValue).toStdString());
    if (value) SetText(id::RegValue, QString::asprintf("%02X", *value));
}

void CTXRXPage::OnCaptureMode() {
    RunCapture(false, false);
}

void CTXRXPage::OnIqCalibrationCapture(bool tx) {
    {
        CDeviceCommands dev;
        StartIqCalibration(dev, tx);
    }
    RunCapture(true, tx);
}

void CTXRXPage::RunCapture(bool fixedIq, bool tx) {
    // The counter poll must not talk to the board while it captures.
    if (rxRunning_) ToggleRx();
    if (txRunning_) ToggleTx();
    CaptureSettings& s = CaptureSetting();
    std::vector<std::string> paths;
    if (fixedIq) {
        s = FixedIqCaptureSettings(s);
        paths = {FixedIqCaptureFile(tx)};
    } else {
        CCaptureModeSetting dialog(this);
        if (RunDialog(dialog) != QDialog::Accepted) return;
        const QString name = FileDialogs().SaveFile("Save Capture Data", ProgramDirectory(),
                                                    "CaptureData File (*.txt)|*.cap||");
        if (name.isEmpty()) return;
        paths = CaptureFileNames(name.toStdString(), s.captureTimes);
    }
    bool saved = false;
    {
        DeviceSequence sequence;
        WaitCursor wait;
        CDeviceCommands dev;
        saved = RunCaptures(dev, s, paths);
    }
    if (saved && !fixedIq) ShowMessage(kCaptureDoneText);
}

} // namespace vq

#include "txrx/capture_setting_dialog.h"

#include "txrx/core/capture_run.h"
#include "txrx/core/txrx_model.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vq {

CCaptureModeSetting::CCaptureModeSetting(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Capture Setting");
    CaptureSettings& s = CaptureSetting();
    s.autoTrigger = true;
    s.adcMode = true;
    s.adc6 = false;
    s.txSide = false;

    // One exclusive pair of radio buttons in a layout.
    auto pair = [this](QRadioButton*& first, const char* a, QRadioButton*& second, const char* b,
                       QBoxLayout* layout) {
        first = new QRadioButton(a);
        second = new QRadioButton(b);
        auto* group = new QButtonGroup(this);
        group->addButton(first);
        group->addButton(second);
        layout->addWidget(first);
        layout->addWidget(second);
        first->setChecked(true);
    };

    auto* top = new QGridLayout(this);
    auto* trigger = new QVBoxLayout;
    pair(autoTrigger, "Auto Trigger Mode", manualTrigger, "Manual Trigger Mode", trigger);
    top->addLayout(trigger, 0, 0);
    auto* mode = new QVBoxLayout;
    pair(adcMode, "ADC Mode", feqMode, "FEQ Mode", mode);
    top->addLayout(mode, 0, 1);

    auto* outputBox = new QGroupBox("ADC Output");
    auto* outputs = new QVBoxLayout(outputBox);
    pair(adc8, "ADC8", adc6, "ADC6", outputs);
    top->addWidget(outputBox, 1, 0);
    auto* sideBox = new QGroupBox("Tx/Rx");
    auto* sides = new QVBoxLayout(sideBox);
    pair(rx, "Rx", tx, "Tx", sides);
    top->addWidget(sideBox, 1, 1);

    auto* offsetBox = new QGroupBox("Trigger Offset");
    auto* offsets = new QHBoxLayout(offsetBox);
    offsets->addWidget(new QLabel("Offset"));
    offset = new QLineEdit("200");
    offsets->addWidget(offset);
    top->addWidget(offsetBox, 2, 0);
    auto* times = new QHBoxLayout;
    times->addWidget(new QLabel("Capture Times"));
    captureTimes = new QLineEdit("1");
    times->addWidget(captureTimes);
    top->addLayout(times, 2, 1);

    fftOutput = new QCheckBox("FFT Output");
    fftOutput->hide();
    top->addWidget(fftOutput, 3, 0);
    auto* buttons = new QHBoxLayout;
    startCapture = new QPushButton("Start Capture");
    startCapture->setDefault(true);
    cancel = new QPushButton("Cancel");
    buttons->addStretch();
    buttons->addWidget(startCapture);
    buttons->addWidget(cancel);
    top->addLayout(buttons, 4, 0, 1, 2);
    SetSideEnabled(false);

    connect(autoTrigger, &QRadioButton::clicked, this, [] { CaptureSetting().autoTrigger = true; });
    connect(manualTrigger, &QRadioButton::clicked, this, [] { CaptureSetting().autoTrigger = false; });
    connect(adcMode, &QRadioButton::clicked, this, [this] { OnAdcMode(); });
    connect(feqMode, &QRadioButton::clicked, this, [this] { OnFeqMode(); });
    connect(adc8, &QRadioButton::clicked, this, [this] { OnAdc8(); });
    connect(adc6, &QRadioButton::clicked, this, [this] { OnAdc6(); });
    connect(tx, &QRadioButton::clicked, this, [] { CaptureSetting().txSide = true; });
    connect(rx, &QRadioButton::clicked, this, [] { CaptureSetting().txSide = false; });
    connect(startCapture, &QPushButton::clicked, this, [this] { OnStartCapture(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CCaptureModeSetting::SetSideEnabled(bool on) {
    tx->setEnabled(on);
    rx->setEnabled(on);
}

void CCaptureModeSetting::OnAdcMode() {
    CaptureSetting().adcMode = true;
    adc8->setEnabled(true);
    adc6->setEnabled(true);
    // The TX/RX side exists only for the ADC6 output.
    if (adc6->isChecked()) SetSideEnabled(true);
}

void CCaptureModeSetting::OnFeqMode() {
    CaptureSetting().adcMode = false;
    adc8->setEnabled(false);
    adc6->setEnabled(false);
    SetSideEnabled(false);
}

void CCaptureModeSetting::OnAdc8() {
    CaptureSetting().adc6 = false;
    SetSideEnabled(false);
}

void CCaptureModeSetting::OnAdc6() {
    CaptureSetting().adc6 = true;
    SetSideEnabled(true);
}

void CCaptureModeSetting::OnStartCapture() {
    CaptureSetting().triggerOffset = ParseHex(offset->text().toStdString());
    CaptureSetting().captureTimes = std::uint32_t(ParseDecimal(captureTimes->text().toStdString()));
    accept();
}

} // namespace vq

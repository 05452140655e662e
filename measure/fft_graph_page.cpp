#include "measure/fft_graph_page.h"

#include "base/format.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "formats/text_files.h"
#include "measure/core/fft_tables.h"
#include "txrx/core/txrx_model.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

namespace vq {

namespace {

const char* const kFrequencyTitle = "The noise is larger than golden noise power by";
const char* const kPowerLegend = "Power Spectrum Magnitude (dB)";
constexpr int kTimeRanges[4] = {200, 100, 50, 20};
constexpr int kGraphLeft = 10, kGraphTop = 20, kGraphWidth = 870, kGraphHeight = 450;

template <class T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

CFftGraphPage::CFftGraphPage(QWidget* parent) : QAPage(QStringLiteral("FFT Graph"), parent) {
    BuildControls();
}

CFftGraphPage::~CFftGraphPage() {
    EndCapture();
}

void CFftGraphPage::BuildControls() {
    setMinimumSize(890, 700);
    auto label = [this](const char* text, int x, int y, int w = 90) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setGeometry(x, y, w, 22);
        return l;
    };
    // Left column: channel, receive paths, bandwidth, pause.
    label("Channel", 10, 485, 60);
    channel_ = Named(new QComboBox(this), "channel");
    channel_->setGeometry(75, 482, 150, 24);
    label("RX Path", 10, 515, 60);
    rxPath_ = Named(new QComboBox(this), "rxPath");
    rxPath_->setGeometry(75, 512, 80, 24);
    allRxPath_ = Named(new QCheckBox(QStringLiteral("All Rx Path"), this), "allRxPath");
    allRxPath_->setGeometry(75, 542, 120, 22);
    label("BW", 10, 572, 60);
    bandwidth_ = Named(new QComboBox(this), "bandwidth");
    bandwidth_->addItems({"10", "20", "40"});
    bandwidth_->setGeometry(75, 569, 80, 24);
    pause_ = Named(new QSlider(Qt::Horizontal, this), "pause");
    pause_->setRange(0, 5);
    pause_->setPageStep(1);
    pause_->setTickPosition(QSlider::TicksBelow);
    pause_->setGeometry(10, 610, 215, 30);

    // Domain and traces.
    auto* domain = new QGroupBox(QStringLiteral("Domain"), this);
    domain->setGeometry(240, 480, 150, 80);
    frequency_ = Named(new QRadioButton(QStringLiteral("&Frequency"), domain), "frequency");
    frequency_->setGeometry(10, 22, 130, 22);
    time_ = Named(new QRadioButton(QStringLiteral("&Time"), domain), "time");
    time_->setGeometry(10, 48, 130, 22);
    golden_ = Named(new QCheckBox(QStringLiteral("Golden Unit"), this), "golden");
    golden_->setGeometry(250, 568, 130, 22);
    showI_ = Named(new QCheckBox(QStringLiteral("I"), this), "showI");
    showI_->setGeometry(250, 596, 50, 22);
    showQ_ = Named(new QCheckBox(QStringLiteral("Q"), this), "showQ");
    showQ_->setGeometry(310, 596, 50, 22);

    // Trigger and time range.
    label("Trigger Offset", 405, 485, 100);
    triggerOffset_ = Named(new QLineEdit(this), "triggerOffset");
    triggerOffset_->setGeometry(510, 482, 70, 24);
    auto* mode = new QGroupBox(QStringLiteral("Trigger Mode"), this);
    mode->setGeometry(405, 512, 175, 52);
    autoMode_ = Named(new QRadioButton(QStringLiteral("Auto"), mode), "auto");
    autoMode_->setGeometry(10, 22, 70, 22);
    manualMode_ = Named(new QRadioButton(QStringLiteral("Manual"), mode), "manual");
    manualMode_->setGeometry(85, 22, 85, 22);
    auto* range = new QGroupBox(QStringLiteral("Time Range"), this);
    range->setGeometry(405, 570, 175, 78);
    for (int k = 0; k < 4; ++k) {
        range_[k] = new QRadioButton(QString::fromUtf8("%1 µs").arg(kTimeRanges[k]), range);
        range_[k]->setObjectName(QStringLiteral("range%1").arg(kTimeRanges[k]));
        range_[k]->setGeometry(10 + (k % 2) * 85, 22 + (k / 2) * 26, 80, 22);
    }

    // Register box.
    auto* reg = new QGroupBox(QStringLiteral("Register Setting"), this);
    reg->setGeometry(595, 480, 285, 110);
    bbp_ = Named(new QRadioButton(QStringLiteral("BBP"), reg), "bbp");
    bbp_->setGeometry(10, 22, 60, 22);
    rf_ = Named(new QRadioButton(QStringLiteral("RF"), reg), "rf");
    rf_->setGeometry(75, 22, 60, 22);
    read_ = Named(new QRadioButton(QStringLiteral("READ"), reg), "read");
    read_->setGeometry(145, 22, 65, 22);
    write_ = Named(new QRadioButton(QStringLiteral("WRITE"), reg), "write");
    write_->setGeometry(210, 22, 70, 22);
    auto* kind = new QButtonGroup(reg);
    kind->addButton(bbp_);
    kind->addButton(rf_);
    auto* direction = new QButtonGroup(reg);
    direction->addButton(read_);
    direction->addButton(write_);
    auto* idLabel = new QLabel(QStringLiteral("ID"), reg);
    idLabel->setGeometry(10, 52, 25, 22);
    registerId_ = Named(new QLineEdit(reg), "registerId");
    registerId_->setMaxLength(3);
    registerId_->setGeometry(35, 50, 50, 24);
    auto* valueLabel = new QLabel(QStringLiteral("Value"), reg);
    valueLabel->setGeometry(95, 52, 40, 22);
    registerValue_ = Named(new QLineEdit(reg), "registerValue");
    registerValue_->setMaxLength(2);
    registerValue_->setGeometry(135, 50, 45, 24);
    readWrite_ = Named(new QPushButton(QStringLiteral("R / W"), reg), "readWrite");
    readWrite_->setGeometry(190, 48, 85, 28);
    bbp_->setChecked(true);
    read_->setChecked(true);
    registerValue_->setReadOnly(true);

    // Capture.
    saveAdc_ = Named(new QPushButton(QStringLiteral("Save ADC Data"), this), "saveAdc");
    saveAdc_->setGeometry(595, 600, 135, 30);
    start_ = Named(new QPushButton(QStringLiteral("Start &Capture"), this), "start");
    start_->setGeometry(745, 600, 135, 30);
    label("RX EVM", 595, 645, 60);
    evm_ = Named(new QLabel(QStringLiteral("xxx.xxx dB"), this), "evm");
    evm_->setGeometry(660, 645, 150, 22);

    connect(channel_, qOverload<int>(&QComboBox::activated), this, &CFftGraphPage::OnChannelChanged);
    connect(rxPath_, qOverload<int>(&QComboBox::activated), this, &CFftGraphPage::OnRxPathChanged);
    connect(bandwidth_, qOverload<int>(&QComboBox::activated), this, &CFftGraphPage::OnBandwidthChanged);
    connect(frequency_, &QRadioButton::clicked, this, &CFftGraphPage::OnFrequencyView);
    connect(time_, &QRadioButton::clicked, this, &CFftGraphPage::OnTimeView);
    connect(autoMode_, &QRadioButton::clicked, this, [this] {
        autoTrigger_ = true;
        UpdateControls();
    });
    connect(manualMode_, &QRadioButton::clicked, this, [this] {
        autoTrigger_ = false;
        UpdateControls();
    });
    for (int k = 0; k < 4; ++k)
        connect(range_[k], &QRadioButton::clicked, this, [this, k] { OnTimeRange(kTimeRanges[k]); });
    connect(allRxPath_, &QCheckBox::clicked, this, &CFftGraphPage::OnAllRxPath);
    connect(read_, &QRadioButton::clicked, this, [this] { registerValue_->setReadOnly(true); });
    connect(write_, &QRadioButton::clicked, this, [this] { registerValue_->setReadOnly(false); });
    connect(readWrite_, &QPushButton::clicked, this, &CFftGraphPage::OnRegisterAccess);
    connect(saveAdc_, &QPushButton::clicked, this, &CFftGraphPage::OnSaveAdcData);
    connect(start_, &QPushButton::clicked, this, &CFftGraphPage::OnStartStop);
    // What the capture thread reads follows the controls.
    for (QCheckBox* box : {golden_, showI_, showQ_})
        connect(box, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    connect(triggerOffset_, &QLineEdit::textChanged, this, [this] { UpdateControls(); });
    connect(pause_, &QSlider::valueChanged, this, [this] { UpdateControls(); });
}

void CFftGraphPage::OnInitDialog() {
    pause_->setRange(0, 5);
    pause_->setValue(1);
    graph_.Create(this, kGraphLeft, kGraphTop, kGraphWidth, kGraphHeight, 0);
    data_ = GraphData{};
    data_.type = kMultiSeriesPlot;
    data_.style = 1;
    data_.title = kFrequencyTitle;
    data_.xLegend = "Frequency";
    data_.yLegend = kPowerLegend;
    data_.xMin = -20;
    data_.xMax = 20;
    data_.yMin = -20;
    data_.yMax = 60;
    ApplyData();

    const ChannelList& channels = CurrentChannelList();
    for (const std::string& text : channels.labels)
        channel_->addItem(QString::fromStdString(text));
    channel_->setCurrentIndex(State().channelIndex);
    frequencyOffsetMHz_ = CentreFrequencyMHz(State().channelIndex);

    // "RX 1" .. "RX n-1", then "RX 0"; the last one selected.
    const int paths = State().RxPathCount();
    if (paths >= 1 && paths <= 3) {
        for (int n = 1; n < paths; ++n)
            rxPath_->addItem(QStringLiteral("RX %1").arg(n));
        rxPath_->addItem(QStringLiteral("RX 0"));
        rxPath_->setCurrentIndex(rxPath_->count() - 1);
        OnRxPathChanged(rxPath_->currentIndex());
    }
    saveAdc_->setEnabled(false);
    bandwidth_->setCurrentIndex(1);
    OnBandwidthChanged(1);
    triggerOffset_->setText(QStringLiteral("200"));
    frequency_->setChecked(true);
    OnFrequencyView();
    autoMode_->setChecked(true);
    autoTrigger_ = true;
    range_[0]->setChecked(true);
    showI_->setChecked(true);
    UpdateControls();
}

void CFftGraphPage::OnSetActive() {
    channel_->setCurrentIndex(State().channelIndex);
    // The channel may have changed on another page: the labels follow it.
    frequencyOffsetMHz_ = CentreFrequencyMHz(State().channelIndex);
    graph_.SetFrequencyLabels(frequencyDomain_, frequencyOffsetMHz_);
    graph_.Redraw();
    Sheet().OneReceivePath(true);
    bandwidth_->setCurrentIndex(State().bandwidthIndex);
    OnBandwidthChanged(bandwidth_->currentIndex());
}

bool CFftGraphPage::OnKillActive() {
    Sheet().OneReceivePath(false);
    return true;
}

void CFftGraphPage::OnDestroyPage() {
    EndCapture();
}

void CFftGraphPage::EndCapture() {
    loop_.Abort();
    // The thread may wait for this thread (a message box); serve it meanwhile.
    loop_.Join([] { QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); });
}

void CFftGraphPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    graph_.Paint(painter);
}

void CFftGraphPage::ApplyData() {
    graph_.SetData(&data_);
}

void CFftGraphPage::UpdateControls() {
    std::lock_guard<std::mutex> lock(controlsMutex_);
    controls_.frequencyDomain = frequencyDomain_;
    controls_.autoTrigger = autoTrigger_;
    controls_.triggerOffset = triggerOffset_->text().toStdString();
    controls_.showI = showI_->isChecked();
    controls_.showQ = showQ_->isChecked();
    controls_.golden = golden_->isChecked();
    controls_.bandwidthIndex = bandwidth_->currentIndex();
    controls_.pauseSteps = pause_->value();
}

CaptureControls CFftGraphPage::Controls() const {
    std::lock_guard<std::mutex> lock(controlsMutex_);
    return controls_;
}

// ---- Events ---------------------------------------------------------------------

void CFftGraphPage::OnChannelChanged(int index) {
    Sheet().SelectChannel(index);
    Sheet().ShareChannel(index);
    frequencyOffsetMHz_ = CentreFrequencyMHz(index);
    graph_.SetFrequencyLabels(frequencyDomain_, frequencyOffsetMHz_);
    graph_.Redraw();
}

void CFftGraphPage::OnRxPathChanged(int index) {
    if (index < 0) return; // no list for a path count outside 1..3
    Sheet().SelectReceivePath(index);
}

void CFftGraphPage::OnBandwidthChanged(int index) {
    Sheet().SelectBandwidth(index);
    if (index == 2) {
        bandwidthMHz_ = 40;
        if (!frequencyDomain_) {
            range_[0]->setEnabled(false);
            if (range_[0]->isChecked()) {
                range_[1]->setChecked(true);
                data_.xMax = 100;
                ApplyData();
            }
        }
    } else {
        bandwidthMHz_ = index == 0 ? 10 : 20;
        if (!frequencyDomain_) {
            range_[0]->setEnabled(true);
            range_[1]->setEnabled(true);
        }
    }
    if (frequencyDomain_) ApplyFrequencyRange();
    UpdateControls();
}

void CFftGraphPage::ApplyFrequencyRange() {
    data_.xMin = -bandwidthMHz_;
    data_.xMax = bandwidthMHz_;
    data_.yMin = -20;
    data_.yMax = 60;
    ApplyData();
}

void CFftGraphPage::TimeViewControls(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(showI_), static_cast<QWidget*>(showQ_),
                       static_cast<QWidget*>(autoMode_), static_cast<QWidget*>(manualMode_)})
        w->setEnabled(on);
    for (QRadioButton* r : range_)
        r->setEnabled(on);
}

int CFftGraphPage::CheckedTimeRange() const {
    for (int k = 0; k < 4; ++k)
        if (range_[k]->isChecked()) return kTimeRanges[k];
    return kTimeRanges[0];
}

void CFftGraphPage::OnFrequencyView() {
    frequencyDomain_ = true;
    golden_->setEnabled(true);
    bandwidth_->setEnabled(true);
    TimeViewControls(false);
    graph_.SetQOnly(false);
    graph_.SetFrequencyLabels(true, frequencyOffsetMHz_);
    data_.title = kFrequencyTitle;
    data_.xLegend = "Frequency (MHz)";
    data_.yLegend = kPowerLegend;
    data_.points = nullptr;
    data_.count = 0;
    ApplyFrequencyRange();
    UpdateControls();
}

void CFftGraphPage::OnTimeView() {
    frequencyDomain_ = false;
    TimeViewControls(true);
    golden_->setEnabled(false);
    graph_.SetFrequencyLabels(false, frequencyOffsetMHz_);
    bandwidth_->setCurrentIndex(1);
    OnBandwidthChanged(1);
    bandwidth_->setEnabled(false);
    data_.title.clear();
    data_.xLegend = "Time (micro second)";
    data_.yLegend = "Value of ADC";
    data_.xMin = 0;
    data_.xMax = CheckedTimeRange();
    data_.yMin = -140;
    data_.yMax = 140;
    data_.points = nullptr;
    data_.count = 0;
    ApplyData();
    UpdateControls();
}

void CFftGraphPage::OnTimeRange(int microseconds) {
    data_.xMax = microseconds;
    ApplyData();
}

void CFftGraphPage::OnAllRxPath() {
    rxPath_->setEnabled(true);
    {
        DeviceSequence sequence;
        CDeviceCommands dev;
        std::uint8_t r3 = 0;
        if (dev.BbpAccess(0, 3, r3) == 0) {
            r3 &= ~0x03;
            dev.BbpAccess(1, 3, r3);
        }
    }
    OnRxPathChanged(rxPath_->currentIndex());
}

void CFftGraphPage::OnRegisterAccess() {
    const unsigned id = unsigned(ParseDecimal(registerId_->text().toStdString()));
    std::uint8_t value = std::uint8_t(ParseHex(registerValue_->text().toStdString()));
    const bool reading = read_->isChecked();
    int failed = 0;
    {
        DeviceSequence sequence;
        CDeviceCommands dev;
        if (bbp_->isChecked())
            failed = dev.BbpAccess(reading ? 0 : 1, id, value);
        else
            failed = dev.RfAccess(reading ? 0 : 1, unsigned(State().rfBank), id, value);
    }
    if (reading && failed == 0) registerValue_->setText(QString::fromStdString(Hex2(value)));
}

void CFftGraphPage::OnSaveAdcData() {
    const QString name = FileDialogs().SaveFile(QStringLiteral("Open Script File"), ProgramDirectory(),
                                                QStringLiteral("adc Files(*.adc)|*.adc||"));
    if (name.isEmpty()) return;
    std::string path = name.toStdString();
    if (!path.ends_with(".adc")) path += ".adc";
    if (!ConfirmReplace(path)) return;
    SaveAdcFile(path, lastCapture_);
}

void CFftGraphPage::OnStartStop() {
    if (loop_.Capturing()) {
        // The thread ends after its cycle and gives the button back.
        loop_.Stop();
        start_->setEnabled(false);
        return;
    }
    if (loop_.Running()) return;
    saveAdc_->setEnabled(false);
    channel_->setEnabled(false);
    bandwidth_->setEnabled(false);
    UpdateControls();
    // The TX/RX page's counter timer must not send commands during captures.
    Sheet().StopRunningTests();
    CaptureLoop::Handlers h;
    h.controls = [this] { return Controls(); };
    // Results reach this thread by queued calls; none arrives once the page is gone.
    h.spectrum = [this](SpectrumResult r) {
        QMetaObject::invokeMethod(this, [this, r = std::move(r)]() mutable { ShowSpectrum(std::move(r)); },
                                  Qt::QueuedConnection);
    };
    h.traces = [this](TraceResult r) {
        QMetaObject::invokeMethod(this, [this, r = std::move(r)]() mutable { ShowTraces(std::move(r)); },
                                  Qt::QueuedConnection);
    };
    h.evm = [this](std::string text) {
        QMetaObject::invokeMethod(this, [this, text] { evm_->setText(QString::fromStdString(text)); },
                                  Qt::QueuedConnection);
    };
    h.captured = [this](std::vector<std::uint32_t> words) {
        QMetaObject::invokeMethod(this, [this, w = std::move(words)]() mutable { lastCapture_ = std::move(w); },
                                  Qt::QueuedConnection);
    };
    h.finished = [this] { QMetaObject::invokeMethod(this, [this] { CaptureEnded(); }, Qt::QueuedConnection); };
    if (loop_.Start(std::move(h))) start_->setText(QStringLiteral("Stop &Capture"));
}

void CFftGraphPage::ShowSpectrum(SpectrumResult r) {
    if (!frequencyDomain_) return; // a capture made for the other view
    points_.resize(r.points.size());
    for (std::size_t k = 0; k < r.points.size(); ++k)
        points_[k] = {r.points[k].x, r.points[k].y};
    data_.points = points_.data();
    data_.count = kFftSize;
    data_.param = r.series;
    ApplyData();
    graph_.SetExtraText(NoiseFigureText(r.noiseFigure));
}

void CFftGraphPage::ShowTraces(TraceResult r) {
    if (frequencyDomain_) return;
    points_.resize(r.points.size());
    for (std::size_t k = 0; k < r.points.size(); ++k)
        points_[k] = {r.points[k].x, r.points[k].y};
    qOnly_ = r.qOnly;
    graph_.SetQOnly(qOnly_);
    data_.points = points_.data();
    data_.count = r.count;
    data_.param = r.series;
    ApplyData();
}

void CFftGraphPage::CaptureEnded() {
    if (loop_.Capturing()) return; // a new run already started
    start_->setText(QStringLiteral("Start &Capture"));
    start_->setEnabled(true);
    saveAdc_->setEnabled(true);
    channel_->setEnabled(true);
    bandwidth_->setEnabled(true);
}

} // namespace vq

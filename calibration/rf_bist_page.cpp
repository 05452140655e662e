#include "calibration/rf_bist_page.h"

#include "base/numbers.h"
#include "device/sequence.h"
#include "ui/ui_services.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace vq {

namespace {

const char* const kStartCaption[] = {"Start", "Start", "Playback Start"};
const char* const kContinuousCaption[] = {"TEST-5 : Transmitter Carrier-leakage Test",
                                          "TEST-6 : RF Debug Output Test"};
constexpr char kStopCaption[] = "Stop ...";

QStringList ToQt(const std::vector<std::string>& v) {
    QStringList l;
    for (const auto& s : v)
        l << QString::fromStdString(s);
    return l;
}

} // namespace

CRFBISTPage::CRFBISTPage(QWidget* parent) : QAPage(QStringLiteral("RF BIST"), parent) {
    for (int t = 0; t < kTests; ++t) {
        running_[t] = false;
        busy_[t] = false;
    }
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    top->addLayout(left);

    auto* settings = new QGroupBox(tr("Settings"), this);
    auto* sg = new QGridLayout(settings);
    auto combo = [this](const QStringList& items) {
        auto* c = new QComboBox(this);
        c->addItems(items);
        return c;
    };
    txPath_ = combo({QStringLiteral("Tx 0"), QStringLiteral("Tx 1")});
    rxPath_ = combo({QStringLiteral("Rx 0"), QStringLiteral("Rx 1")});
    mode_ = combo({QStringLiteral("CCK"), QStringLiteral("OFDM"), QStringLiteral("HT MixMode"),
                   QStringLiteral("HT GreenField")});
    rate_ = new QComboBox(this);
    bandwidth_ = combo({QStringLiteral("10 MHz"), QStringLiteral("20 MHz"), QStringLiteral("40 MHz")});
    repeat_ = new QLineEdit(this);
    length_ = new QLineEdit(this);
    payload_ = new QLineEdit(this);
    payload_->setMaxLength(2);
    payload_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,2}"), this));
    const std::pair<const char*, QWidget*> rows[] = {{"TX Path", txPath_}, {"RX Path", rxPath_},
                                                     {"Mode", mode_},      {"Rate", rate_},
                                                     {"BW", bandwidth_},   {"Repeat", repeat_},
                                                     {"Length", length_},  {"Payload", payload_}};
    int row = 0;
    for (auto [label, w] : rows) {
        sg->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        sg->addWidget(w, row++, 1);
    }
    left->addWidget(settings);

    auto caption = [this](const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setEnabled(false); // a group caption
        return b;
    };
    auto button = [this](const QString& text, void (CRFBISTPage::*slot)()) {
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* tests = new QGridLayout;
    tests->addWidget(caption(QStringLiteral("TEST-1 : TX Only")), 0, 0);
    tests->addWidget(button(QStringLiteral("Init"), &CRFBISTPage::OnTxInit), 0, 1);
    tests->addWidget(start_[Tx] = button(QStringLiteral("Start"), &CRFBISTPage::OnTxStart), 0, 2);
    tests->addWidget(caption(QStringLiteral("TEST-2 : RX Only")), 1, 0);
    tests->addWidget(button(QStringLiteral("Init"), &CRFBISTPage::OnRxInit), 1, 1);
    tests->addWidget(start_[Rx] = button(QStringLiteral("Start"), &CRFBISTPage::OnRxStart), 1, 2);
    tests->addWidget(caption(QStringLiteral("TEST-3 : Loopback")), 2, 0);
    loops_ = new QButtonGroup(this);
    auto* loopBox = new QVBoxLayout;
    int li = 0;
    for (const char* text : {"External Loop-back", "Internal RF Loop-back", "BB Loop-back"}) {
        auto* r = new QRadioButton(QString::fromLatin1(text), this);
        loops_->addButton(r, li++);
        loopBox->addWidget(r);
    }
    tests->addLayout(loopBox, 3, 0);
    auto* record = new QVBoxLayout;
    record->addWidget(button(QStringLiteral("Record Init"), &CRFBISTPage::OnRecordInit));
    record->addWidget(button(QStringLiteral("Record Start"), &CRFBISTPage::OnRecordStart));
    record->addWidget(start_[Playback] = button(QStringLiteral("Playback Start"), &CRFBISTPage::OnPlaybackStart));
    tests->addLayout(record, 3, 1, 1, 2);
    tests->addWidget(button(QStringLiteral("TEST-4 : PLL/VCO Test"), &CRFBISTPage::OnPllVco), 4, 0, 1, 3);
    tests->addWidget(continuousButton_[0] = button(QString::fromLatin1(kContinuousCaption[0]),
                                                   &CRFBISTPage::OnCarrierLeakage),
                     5, 0, 1, 3);
    tests->addWidget(continuousButton_[1] =
                         button(QString::fromLatin1(kContinuousCaption[1]), &CRFBISTPage::OnDebugOutput),
                     6, 0, 1, 3);
    left->addLayout(tests);
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(tr("Test Result :"), this));
    result_ = new QPlainTextEdit(this);
    result_->setReadOnly(true);
    right->addWidget(result_, 1);
    top->addLayout(right, 1);

    connect(mode_, &QComboBox::currentIndexChanged, this, [this] { OnModeChanged(); });
}

CRFBISTPage::~CRFBISTPage() {
    StopWorkers();
}

void CRFBISTPage::OnInitDialog() {
    txPath_->setCurrentIndex(0);
    txPath_->setEnabled(false);
    rxPath_->setCurrentIndex(0);
    rxPath_->setEnabled(false);
    {
        const QSignalBlocker block(mode_);
        mode_->setCurrentIndex(1);
    }
    OnModeChanged();
    bandwidth_->setCurrentIndex(1);
    repeat_->setText(QStringLiteral("1"));
    length_->setText(QStringLiteral("1058"));
    payload_->setText(QStringLiteral("FF"));
    loops_->button(0)->setChecked(true);
    result_->clear();
}

QPushButton* CRFBISTPage::Button(const QString& caption) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == caption) return b;
    return nullptr;
}

QRadioButton* CRFBISTPage::LoopRadio(int i) const {
    return qobject_cast<QRadioButton*>(loops_->button(i));
}

void CRFBISTPage::OnModeChanged() {
    const int mode = mode_->currentIndex();
    rate_->clear();
    rate_->addItems(ToQt(BistRateNames(mode)));
    rate_->setCurrentIndex(BistDefaultRate(mode));
}

BistSettings CRFBISTPage::Settings() const {
    static const NumberFormat decimal{10, Blanks::Any, true};
    static const NumberFormat hex{16};
    BistSettings s;
    s.txPath = txPath_->currentIndex();
    s.rxPath = rxPath_->currentIndex();
    s.mode = mode_->currentIndex();
    s.rate = rate_->currentIndex() < 0 ? 0 : rate_->currentIndex();
    s.bandwidth = bandwidth_->currentIndex();
    s.repeat = NumberPrefix(repeat_->text().toStdString(), decimal);
    s.length = NumberPrefix(length_->text().toStdString(), decimal);
    s.payload = std::uint8_t(NumberPrefix(payload_->text().toStdString(), hex));
    s.loop = BistLoop(loops_->checkedId() < 0 ? 0 : loops_->checkedId());
    return s;
}

void CRFBISTPage::ShowResult(const std::string& text) {
    QString t = QString::fromStdString(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result_->setPlainText(t);
}

void CRFBISTPage::OnTxInit() {
    result_->clear();
    CDeviceCommands dev;
    RfBist::TxPreparation(dev, Settings());
}

void CRFBISTPage::OnRxInit() {
    result_->clear();
    CDeviceCommands dev;
    RfBist::RxPreparation(dev);
}

void CRFBISTPage::OnRecordInit() {
    CDeviceCommands dev;
    RfBist::LoopbackPreparation(dev, Settings());
}

void CRFBISTPage::OnTxStart() { Toggle(Tx); }
void CRFBISTPage::OnRxStart() { Toggle(Rx); }
void CRFBISTPage::OnPlaybackStart() { Toggle(Playback); }

void CRFBISTPage::Toggle(Test t) {
    if (running_[t]) {
        running_[t] = false; // the worker ends after the pass under way
        start_[t]->setText(QString::fromLatin1(kStartCaption[t]));
        return;
    }
    if (busy_[t]) return; // the last pass of a stopped run is still under way
    if (worker_[t].joinable()) worker_[t].join();
    running_[t] = true;
    busy_[t] = true;
    start_[t]->setText(QString::fromLatin1(kStopCaption));
    const BistSettings s = Settings();
    worker_[t] = std::thread([this, t, s] {
        CDeviceCommands dev;
        auto show = [this](const std::string& text) {
            QMetaObject::invokeMethod(this, [this, text] { ShowResult(text); }, Qt::QueuedConnection);
        };
        switch (t) {
        case Tx: RfBist::RunTxTest(dev, s, running_[t], show); break;
        case Rx: RfBist::RunRxTest(dev, s, running_[t], show); break;
        default: RfBist::RunPlayback(dev, running_[t], show); break;
        }
        running_[t] = false;
        busy_[t] = false;
        QMetaObject::invokeMethod(this, [this, t] { Ended(t); }, Qt::QueuedConnection);
    });
}

void CRFBISTPage::Ended(Test t) {
    if (busy_[t]) return; // a new run started meanwhile
    start_[t]->setText(QString::fromLatin1(kStartCaption[t]));
}

void CRFBISTPage::OnRecordStart() {
    result_->clear();
    std::string text;
    bool finished;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        finished = RfBist::RecordOnce(dev, Settings(), text);
    }
    if (!finished) running_[Playback] = false;
    ShowResult(text);
}

void CRFBISTPage::OnPllVco() {
    result_->clear();
    std::string text;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        text = RfBist::PllVcoCheck(dev);
    }
    ShowResult(text);
}

void CRFBISTPage::OnCarrierLeakage() { ToggleContinuous(0); }
void CRFBISTPage::OnDebugOutput() { ToggleContinuous(1); }

void CRFBISTPage::ToggleContinuous(int which) {
    CDeviceCommands dev;
    if (!continuous_[which]) {
        result_->clear();
        RfBist::ContinuousOn(dev, which == 1);
        continuousButton_[which]->setText(QStringLiteral("Stop Testing ..."));
        continuous_[which] = true;
    } else {
        RfBist::ContinuousOff(dev);
        continuousButton_[which]->setText(QString::fromLatin1(kContinuousCaption[which]));
        continuous_[which] = false;
    }
}

void CRFBISTPage::StopWorkers() {
    for (auto& r : running_)
        r = false;
    // A worker may be waiting for the UI thread (a message box): serve it
    // until every worker has ended.
    for (int t = 0; t < kTests; ++t) {
        while (busy_[t].load())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (worker_[t].joinable()) worker_[t].join();
    }
}

void CRFBISTPage::OnDestroyPage() {
    StopWorkers();
}

} // namespace vq

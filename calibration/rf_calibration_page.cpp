#include "calibration/rf_calibration_page.h"

#include "calibration/progress_run.h"
#include "device/sequence.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vq {

namespace {

namespace id {
constexpr int Vbg = 1257, Temperature = 1258, Rpwo = 1259, LdoRxRf = 1260, LdoRxLo = 1276, LdoTxRf = 1277,
              LdoTxLo = 1278, S2dVos = 1279, S2dVref = 1280, AdcVcm = 1281;
constexpr int Tssi = 1401, IqCal = 1488, Atten = 1282, Agc = 1283, Dac1 = 1284, Dac3 = 1285, AdcI = 1286;
constexpr int TxAuxCal = 1489, Recal = 1487, AbbCal = 1490;
} // namespace id

template <class W> W* Named(W* w, int cid) {
    w->setObjectName(QString::number(cid));
    return w;
}

} // namespace

CRfCalibration::CRfCalibration(QWidget* parent) : QAPage(QStringLiteral("Calibration"), parent) {
    auto* top = new QHBoxLayout(this);

    auto* r = new QGroupBox(tr("R Calibration"), this);
    auto* rg = new QGridLayout(r);
    const std::tuple<int, const char*, const char*> rows[] = {
        {id::Vbg, "VBG", "V"},           {id::Temperature, "Temperature", "C"}, {id::Rpwo, "rpwo variation", "%"},
        {id::LdoRxRf, "LDO RxRF", "V"},  {id::LdoRxLo, "LDO RxLo", "V"},        {id::LdoTxRf, "LDO TxRF", "V"},
        {id::LdoTxLo, "LDO TxLo", "V"},  {id::S2dVos, "S2D vos", "V"},          {id::S2dVref, "S2D vref", "V"},
        {id::AdcVcm, "ADC8 VCM", "V"}};
    int row = 0;
    for (auto [cid, label, unit] : rows) {
        auto* e = Named(new QLineEdit(this), cid);
        e->setReadOnly(true);
        e->setMinimumWidth(150);
        rg->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        rg->addWidget(e, row, 1);
        rg->addWidget(new QLabel(QString::fromLatin1(unit), this), row, 2);
        ++row;
    }
    auto* recal = Named(new QPushButton(tr("RECAL"), this), id::Recal);
    connect(recal, &QPushButton::clicked, this, &CRfCalibration::OnRecal);
    rg->addWidget(recal, row++, 1);
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setWordWrap(true);
    rg->addWidget(status_, row, 0, 1, 3);
    top->addWidget(r, 0, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    top->addLayout(right);
    auto* aux = new QGroupBox(tr("TX AUX Calibration"), this);
    auto* ag = new QGridLayout(aux);
    auto* mode = new QGroupBox(tr("Cancellation Mode"), aux);
    auto* mg = new QHBoxLayout(mode);
    tssi_ = Named(new QRadioButton(tr("TSSI"), mode), id::Tssi);
    iqCal_ = Named(new QRadioButton(tr("I/Q Cal"), mode), id::IqCal);
    mg->addWidget(tssi_);
    mg->addWidget(iqCal_);
    connect(tssi_, &QRadioButton::clicked, this, &CRfCalibration::OnTssi);
    connect(iqCal_, &QRadioButton::clicked, this, &CRfCalibration::OnIqCal);
    ag->addWidget(mode, 0, 0, 1, 2);
    const std::pair<int, const char*> texts[] = {{id::Atten, "TX AUX Atten"},   {id::Agc, "TX AUX AGC"},
                                                 {id::Dac1, "WIFI.ABB.I.DAC1"}, {id::Dac3, "WIFI.ABB.I.DAC3"},
                                                 {id::AdcI, "ADC8.I"}};
    row = 1;
    for (auto [cid, label] : texts) {
        auto* e = Named(new QLineEdit(this), cid);
        e->setReadOnly(true);
        ag->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        ag->addWidget(e, row++, 1);
    }
    auto* cal = Named(new QPushButton(tr("CAL"), this), id::TxAuxCal);
    connect(cal, &QPushButton::clicked, this, &CRfCalibration::OnTxAuxCal);
    ag->addWidget(cal, row, 1);
    right->addWidget(aux);

    auto* abb = new QGroupBox(tr("ABB RX Offset Full Cancellation"), this);
    auto* bg = new QHBoxLayout(abb);
    auto* abbCal = Named(new QPushButton(tr("CAL"), this), id::AbbCal);
    connect(abbCal, &QPushButton::clicked, this, &CRfCalibration::OnAbbCal);
    bg->addWidget(abbCal);
    right->addWidget(abb);
    right->addStretch(1);
    top->addStretch(1);

    // Each ADC reading toggles the TX/RX page's transmit test and polls its counters.
    cal_.toggleTx = [] { Sheet().ToggleTransmitTest(); };
    cal_.pollCounters = [] { Sheet().PollCounters(); };
    ShowValues();
}

CRfCalibration::~CRfCalibration() {
    OnDestroyPage();
}

QWidget* CRfCalibration::Control(int cid) const {
    return findChild<QWidget*>(QString::number(cid));
}

QString CRfCalibration::Text(int cid) const {
    auto* e = qobject_cast<QLineEdit*>(Control(cid));
    return e ? e->text() : QString();
}

void CRfCalibration::SetText(int cid, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(Control(cid))) e->setText(text);
}

void CRfCalibration::OnInitDialog() {
    k_ = 2.0;
    tssi_->setChecked(true);
    OnTssi();
}

void CRfCalibration::OnDestroyPage() {
    destroyed_ = true;
    if (run_) run_->Stop();
}

void CRfCalibration::ShowValues() {
    const std::pair<int, double> shown[] = {
        {id::Vbg, values_.vbg},         {id::Temperature, values_.temperature}, {id::Rpwo, values_.rpwo},
        {id::LdoRxRf, values_.ldoRxRf}, {id::LdoRxLo, values_.ldoRxLo},         {id::LdoTxRf, values_.ldoTxRf},
        {id::LdoTxLo, values_.ldoTxLo}, {id::S2dVos, values_.s2dVos},           {id::S2dVref, values_.s2dVref},
        {id::AdcVcm, values_.adcVcm}};
    for (auto [cid, v] : shown)
        SetText(cid, QString::fromStdString(RfCalNumber(v)));
}

void CRfCalibration::OnRecal() {
    if (run_) return;
    ProgressRun run(this, QStringLiteral("RECAL"));
    run_ = &run;
    RecalResult result;
    setCursor(Qt::WaitCursor);
    const double k = k_;
    run.Run([&] {
        CDeviceCommands dev;
        result = cal_.Recal(dev, k, [&run](int done) {
            run.Report(QStringLiteral("RECAL"), done, 12, {QStringLiteral("r%1 read").arg(done - 1)});
            return !run.Cancelled();
        });
    });
    unsetCursor();
    run_ = nullptr;
    if (destroyed_) return;
    if (!result.complete) {
        status_->setText(tr("RECAL stopped before its twelve readings: nothing was calculated or written."));
        return;
    }
    values_ = result.calc.values;
    ShowValues();
    if (!result.calc.rpwoDefined) {
        // Nothing can be formed from D / (D - r1) here: the field stays empty
        // and the radio keeps its old correction.
        SetText(id::Rpwo, QString());
        status_->setText(QString::fromStdString(RfCalibration::UndefinedRpwoText()));
    } else {
        status_->clear();
    }
}

void CRfCalibration::OnTssi() {
    SetText(id::Atten, QStringLiteral("0x06"));
    SetText(id::Agc, QStringLiteral("0x18"));
}

void CRfCalibration::OnIqCal() {
    SetText(id::Atten, QStringLiteral("0x01"));
    SetText(id::Agc, QStringLiteral("0x1F"));
}

void CRfCalibration::OnTxAuxCal() {
    TxAuxResult r;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        r = cal_.TxAuxCal(dev, iqCal_->isChecked() ? kTxAuxIqCal : kTxAuxTssi);
    }
    SetText(id::Dac1, QString::fromStdString(r.dac1));
    SetText(id::Dac3, QString::fromStdString(r.dac3));
    SetText(id::AdcI, QString::fromStdString(r.adc));
}

void CRfCalibration::OnAbbCal() {
    CDeviceCommands dev;
    RfCalibration::AbbRxOffsetCal(dev);
}

} // namespace vq

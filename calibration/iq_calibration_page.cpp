#include "calibration/iq_calibration_page.h"

#include "base/format.h"
#include "base/numbers.h"
#include "calibration/progress_run.h"
#include "device/sequence.h"
#include "registers/core/bbp_files.h"
#include "ui/ui_services.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vq {

namespace {

namespace id {
constexpr int TxPath = 1267, AuxLoopback = 1418, Idx = 1257, Calibration = 1494, Reset = 1493;
constexpr int Yi = 1258, Yq = 1259, Ypwr = 1260, RfVga = 1278, RfAlc = 1279;
constexpr int LoftAc = 1420, LoftAd = 1381, FullLoft = 1496, Ac = 1276, Ad = 1277;
constexpr int Iq28 = 1202, Iq29 = 1203, FullIq = 1497, Rx0Iq = 1500, Log = 1468, LoadScript = 1495;
} // namespace id

const NumberFormat kDecimal{10, Blanks::Any, true};

int Decimal(const QString& text) {
    return int(NumberPrefix(text.toStdString(), kDecimal));
}

template <class W> W* Named(W* w, int cid) {
    w->setObjectName(QString::number(cid));
    return w;
}

} // namespace

CIQCalibrationPage::CIQCalibrationPage(QWidget* parent) : QAPage(QStringLiteral("IQ Calibration"), parent) {
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    top->addLayout(left);

    auto edit = [this](int cid, bool readOnly) {
        auto* e = Named(new QLineEdit(this), cid);
        e->setReadOnly(readOnly);
        e->setFixedWidth(90);
        return e;
    };
    auto button = [this](int cid, const QString& caption, void (CIQCalibrationPage::*slot)()) {
        auto* b = Named(new QPushButton(caption, this), cid);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };

    auto* measure = new QGroupBox(tr("Measurement"), this);
    auto* mg = new QGridLayout(measure);
    txPath_ = Named(new QComboBox(this), id::TxPath);
    txPath_->addItems({QStringLiteral(" Tx0"), QStringLiteral(" Tx1")});
    mg->addWidget(new QLabel(tr("TX path"), this), 0, 0);
    mg->addWidget(txPath_, 0, 1);
    mg->addWidget(button(id::AuxLoopback, tr("Aux Loopback"), &CIQCalibrationPage::OnAuxLoopback), 0, 2);
    mg->addWidget(new QLabel(tr("idx"), this), 1, 0);
    mg->addWidget(edit(id::Idx, false), 1, 1);
    mg->addWidget(button(id::Calibration, tr("Calibration"), &CIQCalibrationPage::OnCalibration), 1, 2);
    mg->addWidget(button(id::Reset, tr("Reset"), &CIQCalibrationPage::OnReset), 2, 2);
    const std::pair<int, const char*> results[] = {{id::Yi, "Yi"}, {id::Yq, "Yq"}, {id::Ypwr, "Ypwr"}};
    int row = 2;
    for (auto [cid, label] : results) {
        mg->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        mg->addWidget(edit(cid, true), row, 1);
        ++row;
    }
    mg->addWidget(new QLabel(tr("RF VGA"), this), row, 0);
    mg->addWidget(edit(id::RfVga, false), row++, 1);
    mg->addWidget(new QLabel(tr("RF ALC"), this), row, 0);
    mg->addWidget(edit(id::RfAlc, false), row++, 1);
    left->addWidget(measure);

    auto* loft = new QGroupBox(tr("LOFT"), this);
    auto* lg = new QGridLayout(loft);
    lg->addWidget(button(id::LoftAc, tr("LOFT AC"), &CIQCalibrationPage::OnLoftAc), 0, 0);
    lg->addWidget(button(id::LoftAd, tr("LOFT AD"), &CIQCalibrationPage::OnLoftAd), 0, 1);
    lg->addWidget(button(id::FullLoft, tr("Full LOFT"), &CIQCalibrationPage::OnFullLoft), 0, 2);
    lg->addWidget(new QLabel(tr("AC/B1"), this), 1, 0);
    lg->addWidget(edit(id::Ac, false), 1, 1);
    lg->addWidget(new QLabel(tr("AD/B2"), this), 2, 0);
    lg->addWidget(edit(id::Ad, false), 2, 1);
    left->addWidget(loft);

    auto* iq = new QGroupBox(tr("IQ"), this);
    auto* ig = new QHBoxLayout(iq);
    ig->addWidget(button(id::Iq28, tr("IQCal 28"), &CIQCalibrationPage::OnIqCal28));
    ig->addWidget(button(id::Iq29, tr("IQCal 29"), &CIQCalibrationPage::OnIqCal29));
    ig->addWidget(button(id::FullIq, tr("Full IQ"), &CIQCalibrationPage::OnFullIq));
    ig->addWidget(button(id::Rx0Iq, tr("Rx0 IQ"), &CIQCalibrationPage::OnRx0Iq));
    left->addWidget(iq);
    left->addStretch(1);

    auto* script = new QVBoxLayout;
    top->addLayout(script, 1);
    log_ = Named(new QListWidget(this), id::Log);
    script->addWidget(log_, 1);
    script->addWidget(button(id::LoadScript, tr("Load Script"), &CIQCalibrationPage::OnLoadScript), 0,
                      Qt::AlignLeft);
}

CIQCalibrationPage::~CIQCalibrationPage() {
    OnDestroyPage();
}

QWidget* CIQCalibrationPage::Control(int cid) const {
    return findChild<QWidget*>(QString::number(cid));
}

QString CIQCalibrationPage::Text(int cid) const {
    auto* e = qobject_cast<QLineEdit*>(Control(cid));
    return e ? e->text() : QString();
}

void CIQCalibrationPage::SetText(int cid, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(Control(cid))) e->setText(text);
}

void CIQCalibrationPage::OnInitDialog() {
    logCount_ = 0;
    {
        DeviceSequence sequence;
        CDeviceCommands dev;
        cal_.SaveRegisters(dev);
    }
    SetText(id::Idx, QStringLiteral("10"));
    SetText(id::RfAlc, QStringLiteral("00"));
    for (int cid : {id::Yi, id::Yq, id::Ypwr, id::Ac, id::Ad})
        SetText(cid, QStringLiteral("0"));
    txPath_->setCurrentIndex(0);
}

void CIQCalibrationPage::OnDestroyPage() {
    destroyed_ = true;
    if (run_) run_->Stop();
}

void CIQCalibrationPage::OnReset() {
    CDeviceCommands dev;
    cal_.Reset(dev);
}

void CIQCalibrationPage::OnCalibration() {
    const Measurement m = [this] {
        DeviceSequence sequence;
        CDeviceCommands dev;
        return IqCalibration::Calibrate(dev, Decimal(Text(id::Idx)));
    }();
    SetText(id::Yi, QString::fromStdString(Format("%d", m.yi)));
    SetText(id::Yq, QString::fromStdString(Format("%d", m.yq)));
    SetText(id::Ypwr, QString::fromStdString(Format("%.3f", m.ypwr)));
}

void CIQCalibrationPage::OnAuxLoopback() {
    CDeviceCommands dev;
    IqCalibration::AuxLoopback(dev);
}

bool CIQCalibrationPage::ReadSettings(IqSettings& s) const {
    // "RF ALC" indexes four-entry gain tables: anything else is refused
    // before a register is touched.
    const ScannedNumber alc = ScanNumber(Text(id::RfAlc).toStdString(), 0, kDecimal);
    if (!alc.found || !AlcValid(int(alc.value))) {
        ShowMessage(IqCalibration::AlcRefusal(), MsgIcon::Warning);
        return false;
    }
    s.alc = int(alc.value);
    s.rfVga = Decimal(Text(id::RfVga));
    s.tx1 = txPath_->currentIndex() == 1;
    s.ac = Decimal(Text(id::Ac));
    s.ad = Decimal(Text(id::Ad));
    return true;
}

void CIQCalibrationPage::OnLoftAc() { RunSearch(Search::LoftAc); }
void CIQCalibrationPage::OnLoftAd() { RunSearch(Search::LoftAd); }
void CIQCalibrationPage::OnFullLoft() { RunSearch(Search::FullLoft); }
void CIQCalibrationPage::OnIqCal28() { RunSearch(Search::Iq28); }
void CIQCalibrationPage::OnIqCal29() { RunSearch(Search::Iq29); }
void CIQCalibrationPage::OnFullIq() { RunSearch(Search::FullIq); }
void CIQCalibrationPage::OnRx0Iq() { RunSearch(Search::Rx0); }

void CIQCalibrationPage::RunSearch(Search which) {
    if (run_) return;
    IqSettings s;
    if (!ReadSettings(s)) return;
    const bool loft = which == Search::LoftAc || which == Search::LoftAd || which == Search::FullLoft;
    const int index = which == Search::Rx0 ? IqCalibration::kRxIqIndex
                      : loft               ? IqCalibration::kLoftIndex
                                           : IqCalibration::kTxIqIndex;
    SetText(id::Idx, QString::number(index));

    static const char* const kTitles[] = {"LOFT AC", "LOFT AD", "Full LOFT", "IQCal 28", "IQCal 29",
                                          "Full IQ", "Rx0 IQ"};
    ProgressRun run(this, QString::fromLatin1(kTitles[int(which)]));
    run_ = &run;
    std::vector<IqNote> notes;
    auto progress = [&run, this](const IqProgress& p) {
        QStringList lines;
        for (const auto& l : p.lines)
            lines << QString::fromStdString(l);
        run.Report(QString::fromStdString(p.stage), p.point, p.total, lines);
        return !run.Cancelled();
    };
    // The page shows the wait cursor while the points are measured; the
    // progress dialog keeps the arrow so that Cancel can be pressed.
    setCursor(Qt::WaitCursor);
    run.Run([&] {
        CDeviceCommands dev;
        switch (which) {
        case Search::LoftAc: cal_.LoftSearch(dev, LoftAxis::AC, s, notes, progress); break;
        case Search::LoftAd: cal_.LoftSearch(dev, LoftAxis::AD, s, notes, progress); break;
        case Search::FullLoft: cal_.FullLoft(dev, s, notes, progress); break;
        case Search::Iq28: cal_.TxIqSearch(dev, TxIqAxis::R28, s, notes, progress); break;
        case Search::Iq29: cal_.TxIqSearch(dev, TxIqAxis::R29, s, notes, progress); break;
        case Search::FullIq: cal_.FullTxIq(dev, s, notes, progress); break;
        case Search::Rx0: cal_.FullRxIq(dev, s, notes, progress); break;
        }
    });
    unsetCursor();
    run_ = nullptr;
    if (destroyed_) return; // the program is closing: no boxes after the link is gone
    for (const IqNote& n : notes)
        ShowMessage(n.text, n.error ? MsgIcon::Critical : MsgIcon::Information);
}

void CIQCalibrationPage::OnLoadScript() {
    const QString path = FileDialogs().OpenFile(QStringLiteral("Open BBP Script File"), ProgramDirectory(),
                                                QStringLiteral("BBP script Files(*.txt)|*.txt||"));
    if (path.isEmpty()) return;
    std::vector<std::string> lines;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        if (!bbp::RunScript(dev, QFile::encodeName(path).toStdString(), lines)) return;
    }
    log_->clear();
    logCount_ = 0;
    for (const std::string& line : lines) {
        QString text = QString::fromStdString(line);
        if (text.endsWith('\n')) text.chop(1);
        log_->addItem(text);
        log_->setCurrentRow(log_->count() - 1);
        ++logCount_;
    }
}

} // namespace vq

#include "registers/rf/rf_page.h"

#include "base/format.h"
#include "device/device_commands.h"
#include "device/sequence.h"
#include "device/program_state.h"
#include "formats/text_files.h"
#include "registers/core/rf_files.h"
#include "registers/core/rf_values.h"
#include "registers/core/synth_table.h"
#include "registers/rf/rf_widgets.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vq {

namespace {

const char* const kScriptFilter = "RF script Files(*.txt)|*.txt||";
const char* const kRegisterFilter = "rf Files(*.txt)|*.txt||";
const char* const kTestFilter = "txt Files(*.txt)|*.txt||";

using rf::Named;

QLineEdit* Edit(QWidget* parent, int id, int maxLength, int width) {
    auto* e = Named(new QLineEdit(parent), id);
    if (maxLength > 0) e->setMaxLength(maxLength);
    e->setFixedWidth(width);
    return e;
}

QString Qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Log list of the script runner: each line goes in at the current count and is selected.
class ListLog : public rf::IScriptLog {
  public:
    ListLog(QListWidget* list, int& count) : list_(list), count_(count) {}
    void Clear() override {
        list_->clear();
        count_ = 0;
    }
    void Add(const std::string& text) override {
        QString line = Qs(text);
        while (line.endsWith('\n'))
            line.chop(1);
        list_->insertItem(count_, line);
        list_->setCurrentRow(count_);
        ++count_;
    }

  private:
    QListWidget* list_;
    int& count_;
};

} // namespace

CRFPage::CRFPage(QWidget* parent)
    : CRFBankPage(QStringLiteral("RF Page 1"), 0, {1267, 1398, 1399, 1400, 1401, 1402}, parent) {
    auto* bottom = new QHBoxLayout();
    outer_->addLayout(bottom);

    // Chip info.
    auto* chipGroup = new QGroupBox(QStringLiteral("Chip Info"), this);
    auto* chipBox = new QVBoxLayout(chipGroup);
    chipInfo_ = Named(new QLabel(chipGroup), 1278);
    chipInfo_->setMinimumWidth(150);
    chipBox->addWidget(chipInfo_);
    chipBox->addStretch();
    bottom->addWidget(chipGroup);

    // Channel and synthesizer values.
    auto* channelGroup = new QGroupBox(QStringLiteral("Channel"), this);
    auto* ch = new QGridLayout(channelGroup);
    channelCombo_ = Named(new QComboBox(channelGroup), 1172);
    connect(channelCombo_, &QComboBox::activated, this, &CRFPage::OnChannelSelected);
    ch->addWidget(channelCombo_, 0, 0, 1, 4);
    ch->addWidget(new QLabel(QStringLiteral("VCO (GHz)"), channelGroup), 1, 0);
    vcoEdit_ = Edit(channelGroup, 1171, 0, 90);
    vcoEdit_->setReadOnly(true);
    vcoEdit_->installEventFilter(this);
    ch->addWidget(vcoEdit_, 1, 1, 1, 3);
    ch->addWidget(new QLabel(QStringLiteral("N ="), channelGroup), 2, 0);
    nEdit_ = Edit(channelGroup, 1175, 0, 60);
    ch->addWidget(nEdit_, 2, 1);
    ch->addWidget(new QLabel(QStringLiteral("K ="), channelGroup), 2, 2);
    kEdit_ = Edit(channelGroup, 1180, 0, 60);
    ch->addWidget(kEdit_, 2, 3);
    ch->addWidget(new QLabel(QStringLiteral("D = "), channelGroup), 3, 0);
    dEdit_ = Edit(channelGroup, 1258, 0, 60);
    ch->addWidget(dEdit_, 3, 1);
    ch->addWidget(new QLabel(QStringLiteral("Ksd = "), channelGroup), 3, 2);
    ksdEdit_ = Edit(channelGroup, 1259, 0, 70);
    ch->addWidget(ksdEdit_, 3, 3);
    for (auto* e : {nEdit_, kEdit_, dEdit_, ksdEdit_})
        e->setReadOnly(true);
    bottom->addWidget(channelGroup);

    // TX power and crystal trims.
    auto* trimGroup = new QGroupBox(this);
    auto* tr = new QGridLayout(trimGroup);
    tr->addWidget(new QLabel(QStringLiteral("TX Power 0 (Hex)"), trimGroup), 0, 0);
    txPower0Edit_ = Edit(trimGroup, 1257, 2, 36);
    connect(txPower0Edit_, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t == t.toUpper()) return;
        const int pos = txPower0Edit_->cursorPosition();
        txPower0Edit_->setText(t.toUpper());
        txPower0Edit_->setCursorPosition(pos);
    });
    tr->addWidget(txPower0Edit_, 0, 1);
    txPower0Spin_ = Named(new rf::SpinArrows(Qt::Vertical, trimGroup), 1295);
    connect(txPower0Spin_, &rf::SpinArrows::Stepped, this, [this](int d) { OnTxPowerSpin(0, d); });
    tr->addWidget(txPower0Spin_, 0, 2);
    tr->addWidget(new QLabel(QStringLiteral("(0.5dB)"), trimGroup), 0, 3);
    tr->addWidget(new QLabel(QStringLiteral("TX Power 1 (Hex)"), trimGroup), 1, 0);
    txPower1Edit_ = Edit(trimGroup, 1280, 2, 36);
    tr->addWidget(txPower1Edit_, 1, 1);
    txPower1Spin_ = Named(new rf::SpinArrows(Qt::Vertical, trimGroup), 1270);
    connect(txPower1Spin_, &rf::SpinArrows::Stepped, this, [this](int d) { OnTxPowerSpin(1, d); });
    tr->addWidget(txPower1Spin_, 1, 2);
    tr->addWidget(new QLabel(QStringLiteral("(0.5dB)"), trimGroup), 1, 3);
    tr->addWidget(new QLabel(QStringLiteral("Freq. Offset"), trimGroup), 2, 0);
    freqOffsetEdit_ = Edit(trimGroup, 1294, 2, 36);
    tr->addWidget(freqOffsetEdit_, 2, 1);
    freqOffsetSpin_ = Named(new rf::SpinArrows(Qt::Horizontal, trimGroup), 1273);
    connect(freqOffsetSpin_, &rf::SpinArrows::Stepped, this, &CRFPage::OnFreqOffsetSpin);
    tr->addWidget(freqOffsetSpin_, 2, 2, 1, 2, Qt::AlignLeft);
    tr->setRowStretch(3, 1);
    bottom->addWidget(trimGroup);

    // Script runner and register files.
    auto* scriptBox = new QGridLayout();
    logList_ = Named(new QListWidget(this), 1468);
    logList_->setMinimumWidth(340);
    logList_->setFixedHeight(120);
    scriptBox->addWidget(logList_, 0, 0, 3, 1);
    loadScriptButton_ = Named(new QPushButton(QStringLiteral("Load Script"), this), 1483);
    connect(loadScriptButton_, &QPushButton::clicked, this, &CRFPage::OnLoadScript);
    scriptBox->addWidget(loadScriptButton_, 0, 1);
    saveButton_ = Named(new QPushButton(QStringLiteral("Save Rf Regs"), this), 1193);
    connect(saveButton_, &QPushButton::clicked, this, &CRFPage::OnSaveRfRegs);
    scriptBox->addWidget(saveButton_, 1, 1);
    loadButton_ = Named(new QPushButton(QStringLiteral("Load Rf Regs"), this), 1916);
    connect(loadButton_, &QPushButton::clicked, this, &CRFPage::OnLoadRfRegs);
    scriptBox->addWidget(loadButton_, 2, 1);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setWordWrap(true);
    status_->setMaximumWidth(460);
    scriptBox->addWidget(status_, 3, 0, 1, 2);
    bottom->addLayout(scriptBox);
    bottom->addStretch();
    outer_->addStretch(1);

    // Controls of the page that are not shown; the two buttons keep their actions.
    rEdit_ = Edit(this, 1178, 0, 60);
    powerDownCombo_ = Named(new QComboBox(this), 1285);
    powerDownCombo_->addItems({QStringLiteral("Power Enable"), QStringLiteral("Power Down")});
    sdmCombo_ = Named(new QComboBox(this), 1484);
    sdmCombo_->addItems({QStringLiteral("  NO"), QStringLiteral("  YES")});
    crystalCombo_ = Named(new QComboBox(this), 1485);
    crystalCombo_->addItems({QStringLiteral("  40"), QStringLiteral("  26"), QStringLiteral("  20")});
    rdivCombo_ = Named(new QComboBox(this), 1486);
    rdivCombo_->addItems(
        {QStringLiteral("  1"), QStringLiteral("  2"), QStringLiteral("  3"), QStringLiteral("  0.5")});
    dumpButton_ = Named(new QPushButton(QStringLiteral("Dump For ATE"), this), 1412);
    connect(dumpButton_, &QPushButton::clicked, this, &CRFPage::OnDumpForAte);
    testButton_ = Named(new QPushButton(QStringLiteral("TEST R / W"), this), 1403);
    connect(testButton_, &QPushButton::clicked, this, &CRFPage::OnTestReadWrite);
    testButton_->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{rEdit_, powerDownCombo_, sdmCombo_, crystalCombo_,
                                                      rdivCombo_, dumpButton_, testButton_})
        w->hide();
}

CRFPage::~CRFPage() = default;

void CRFPage::ControlsToValues() {
    CRFBankPage::ControlsToValues();
    vco_ = vcoEdit_->text();
    n_ = nEdit_->text();
    k_ = kEdit_->text();
    d_ = dEdit_->text();
    ksd_ = ksdEdit_->text();
    txPower0_ = txPower0Edit_->text();
    txPower1_ = txPower1Edit_->text();
    freqOffset_ = freqOffsetEdit_->text();
}

void CRFPage::ValuesToControls() {
    CRFBankPage::ValuesToControls();
    vcoEdit_->setText(vco_);
    nEdit_->setText(n_);
    kEdit_->setText(k_);
    dEdit_->setText(d_);
    ksdEdit_->setText(ksd_);
    txPower0Edit_->setText(txPower0_);
    txPower1Edit_->setText(txPower1_);
    freqOffsetEdit_->setText(freqOffset_);
}

void CRFPage::Show(QLineEdit* edit, QString& value, const QString& text) {
    value = text;
    edit->setText(text);
}

void CRFPage::ShowSynthValues(int index) {
    const ChannelSynthEntry* e = SynthEntry(index);
    if (!e) return;
    Show(nEdit_, n_, QString::asprintf("%d", int(e->n)));
    Show(kEdit_, k_, QString::asprintf("%d", int(e->k)));
    Show(dEdit_, d_, QString::asprintf("%d", int(e->d)));
    Show(ksdEdit_, ksd_, QString::asprintf("0x%X", unsigned(e->ksd)));
}

void CRFPage::ShowChipInfo() {
    const ProgramState& st = State();
    chipInfo_->setText(QString::asprintf("VQ9447 :: %d T %d R", st.TxPathCount(), st.RxPathCount()));
    const bool twoPaths = st.TxPathCount() >= 2;
    txPower1Edit_->setEnabled(twoPaths);
    txPower1Spin_->setEnabled(twoPaths);
}

void CRFPage::OnInitDialog() {
    sdmCombo_->setCurrentIndex(0);
    crystalCombo_->setCurrentIndex(2);
    rdivCombo_->setCurrentIndex(0);
    powerDownCombo_->setCurrentIndex(0);

    InitAccessControls();

    vcoValue_ = 3.216;
    Show(vcoEdit_, vco_, QString::asprintf("%.5f", vcoValue_));
    Show(txPower0Edit_, txPower0_, QStringLiteral("0"));
    Show(txPower1Edit_, txPower1_, QStringLiteral("0"));
    Show(freqOffsetEdit_, freqOffset_, QString());

    ShowChipInfo();

    channelCombo_->clear();
    for (int i = 0; i < rf::kChannelCount; ++i)
        channelCombo_->addItem(Qs(rf::ChannelCaption(i)));
    channelCombo_->setCurrentIndex(State().channelIndex);

    Refresh();
    ValuesToControls();
}

void CRFPage::OnSetActive() {
    const ProgramState& st = State();
    Sheet().ShareChannel(st.channelIndex);
    ShowSharedValues(st.txPower0, st.txPower1, st.freqOffset);

    ControlsToValues();
    ShowSynthValues(st.channelIndex);
    ValuesToControls();

    ShowCurrentBank();
}

bool CRFPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == vcoEdit_ && event->type() == QEvent::FocusOut) OnVcoKillFocus();
    return QAPage::eventFilter(watched, event);
}

void CRFPage::SetChannelListIndex(int index) {
    channelCombo_->setCurrentIndex(index);
}

void CRFPage::ShowSharedValues(std::uint8_t txPower0, std::uint8_t txPower1, std::uint8_t freqOffset) {
    Show(txPower0Edit_, txPower0_, Qs(Hex2(txPower0)));
    if (State().TxPathCount() >= 2) Show(txPower1Edit_, txPower1_, Qs(Hex2(txPower1)));
    Show(freqOffsetEdit_, freqOffset_, Qs(Hex2(freqOffset)));
}

void CRFPage::OnChannelSelected(int index) {
    const ChannelSynthEntry* e = SynthEntry(index);
    if (!e) return;
    DeviceSequence sequence; // the TX/RX page's channel set-up and the bank read
    ProgramState& st = State();
    st.channelIndex = index;
    channelCombo_->setCurrentIndex(index);

    vcoValue_ = e->vco;
    Show(vcoEdit_, vco_, QString::asprintf("%.3f", vcoValue_));
    ShowSynthValues(index);

    Sheet().ShareChannel(index);
    Sheet().SelectChannel(index);

    Show(txPower0Edit_, txPower0_, Qs(Hex2(st.txPower0)));
    if (st.TxPathCount() >= 2) Show(txPower1Edit_, txPower1_, Qs(Hex2(st.txPower1)));

    ControlsToValues();
    ValuesToControls();
    Refresh();
}

void CRFPage::OnVcoKillFocus() {
    ControlsToValues();
    vcoValue_ = vco_.toDouble();
    ValuesToControls();
}

void CRFPage::OnTxPowerSpin(int path, int delta) {
    ControlsToValues();
    const QString& text = path == 0 ? txPower0_ : txPower1_;
    const auto next = rf::TxPowerStep(rf::HexByte(text.toStdString()), delta);
    if (!next) return;
    ProgramState& st = State();
    st.channelIndex = channelCombo_->currentIndex();
    DeviceSequence sequence;
    CDeviceCommands dev;
    std::uint32_t reg = 0;
    // The register also holds the other path's trim: write only what was read.
    if (dev.MacRead(rf::kTxPowerRegister, reg) == 0)
        dev.MacWrite(rf::kTxPowerRegister, rf::WithTxPower(reg, path, *next));
    if (path == 0) {
        st.txPower0 = *next;
        Show(txPower0Edit_, txPower0_, Qs(Hex2(*next)));
    } else {
        st.txPower1 = *next;
        Show(txPower1Edit_, txPower1_, Qs(Hex2(*next)));
    }
    ValuesToControls();
    Refresh();
}

void CRFPage::OnFreqOffsetSpin(int delta) {
    const auto next = rf::FreqOffsetStep(rf::HexByte(freqOffsetEdit_->text().toStdString()), delta);
    if (!next) return;
    DeviceSequence sequence;
    CDeviceCommands dev;
    std::uint8_t value = 0;
    dev.RfAccess(0, rf::kFreqOffsetBank, rf::kFreqOffsetRegister, value);
    value = *next;
    dev.RfAccess(1, rf::kFreqOffsetBank, rf::kFreqOffsetRegister, value);
    State().freqOffset = *next;
    Show(freqOffsetEdit_, freqOffset_, Qs(Hex2(*next)));
    ValuesToControls();
    Refresh();
}

void CRFPage::OnLoadScript() {
    const QString path = FileDialogs().OpenFile(QStringLiteral("Open RF Script File"), ProgramDirectory(),
                                                QString::fromLatin1(kScriptFilter));
    if (path.isEmpty()) return;
    DeviceSequence sequence; // the script and the bank read
    CDeviceCommands dev;
    ListLog log(logList_, logCount_);
    bool done;
    {
        WaitCursor wait;
        done = rf::RunRfScript(dev, path.toStdString(), log);
    }
    if (done) Refresh();
}

void CRFPage::ShowStatus(const QString& path, const std::string& text) {
    status_->setText(QFileInfo(path).fileName() + QStringLiteral(": ") + Qs(text));
}

void CRFPage::ShowSaved(const QString& path, bool saved) {
    ShowStatus(path, saved ? "saved." : "not saved.");
}

void CRFPage::OnSaveRfRegs() {
    QString path = FileDialogs().SaveFile(QStringLiteral("Open Script File"), ProgramDirectory(),
                                          QString::fromLatin1(kRegisterFilter));
    if (path.isEmpty()) return;
    path = Qs(rf::WithTxtExtension(path.toStdString()));
    if (!ConfirmReplace(path.toStdString())) return;
    CDeviceCommands dev;
    bool saved;
    {
        WaitCursor wait;
        saved = rf::SaveRfRegisters(dev, path.toStdString());
    }
    ShowSaved(path, saved);
}

void CRFPage::OnLoadRfRegs() {
    const QString path = FileDialogs().OpenFile(QStringLiteral("Open Script File"), ProgramDirectory(),
                                                QString::fromLatin1(kRegisterFilter));
    if (path.isEmpty()) return;
    DeviceSequence sequence; // the file and the bank read
    CDeviceCommands dev;
    RunnerSummary summary;
    bool done;
    {
        WaitCursor wait;
        done = rf::LoadRfRegisters(dev, path.toStdString(), &summary);
    }
    if (!done) return;
    ShowStatus(path, summary.Text());
    Refresh();
}

void CRFPage::OnDumpForAte() {
    QString path = FileDialogs().SaveFile(QStringLiteral("Open Script File"), ProgramDirectory(),
                                          QString::fromLatin1(kRegisterFilter));
    if (path.isEmpty()) return;
    path = Qs(rf::WithTxtExtension(path.toStdString()));
    CDeviceCommands dev;
    bool saved;
    {
        WaitCursor wait;
        saved = rf::DumpBankForAte(dev, path.toStdString(), State().rfBank);
    }
    ShowSaved(path, saved);
}

void CRFPage::OnTestReadWrite() {
    QString path = FileDialogs().SaveFile(QStringLiteral("Open Txt File"), ProgramDirectory(),
                                          QString::fromLatin1(kTestFilter));
    if (path.isEmpty()) return;
    path = Qs(WithExtensionIfNone(path.toStdString(), ".txt"));
    CDeviceCommands dev;
    bool saved;
    {
        WaitCursor wait;
        saved = rf::TestRegisterReadWrite(dev, path.toStdString(), State().rfBank);
    }
    ShowSaved(path, saved);
}

} // namespace vq

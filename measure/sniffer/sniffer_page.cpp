#include "measure/sniffer/sniffer_page.h"

#include "base/format.h"
#include "controls/hex_edit.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "measure/sniffer/core/packet_files.h"
#include "txrx/core/txrx_model.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"
#include "ui/window_drag.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace vq {

using namespace sniffer;

namespace {

constexpr std::uint32_t kMacRxFilterControl = 0x1400;

std::string Path(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

} // namespace

// ---- List model -------------------------------------------------------------

SnifferListModel::SnifferListModel(SnifferCapture& capture, QObject* parent)
    : QAbstractTableModel(parent), capture_(capture), generation_(capture.ListGeneration()) {}

int SnifferListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int SnifferListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant SnifferListModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto& rows = capture_.Rows();
    if (index.row() >= int(rows.size())) return {};
    const ListRow& row = rows[std::size_t(index.row())];
    return QString::fromLatin1(ColumnText(capture_.Store().Record(row.storeIndex), row, index.column()).c_str());
}

QVariant SnifferListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(ColumnAt(section).heading);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void SnifferListModel::Sync() {
    const int rows = int(capture_.Rows().size());
    if (generation_ != capture_.ListGeneration()) {
        beginResetModel();
        generation_ = capture_.ListGeneration();
        shown_ = rows;
        endResetModel();
    } else if (rows > shown_) {
        beginInsertRows(QModelIndex(), shown_, rows - 1);
        shown_ = rows;
        endInsertRows();
    }
}

// ---- Page -------------------------------------------------------------------

namespace {
// Filter check boxes in the page's order, with their initial state.
struct CheckInfo {
    const char* caption;
    bool initial;
};
constexpr CheckInfo kChecks[] = {
    {"SW CRC Error", true}, {"CRC Error", true},  {"Beacon", true},         {"11b", true},
    {"OFDM", true},         {"Others", true},     {"PHY Error", true},      {"Wrap Around", false},
    {"Sw CRC Check", false}, {"Timestamp", false}, {"Hide Sniffer Data", false},
};
} // namespace

CSnifferPage::CSnifferPage(QWidget* parent)
    : QAPage(QStringLiteral("Sniffer"), parent), store_(ProgramFrameStore()), capture_(store_) {
    auto* top = new QVBoxLayout(this);
    auto* filters = new QGridLayout;
    top->addLayout(filters);
    int i = 0;
    for (const CheckInfo& c : kChecks) {
        auto* box = new QCheckBox(QString::fromLatin1(c.caption), this);
        box->setChecked(c.initial);
        filters->addWidget(box, i / 6, i % 6);
        ++i;
    }
    Check(QStringLiteral("PHY Error"))->hide();

    auto* macRow = new QHBoxLayout;
    top->addLayout(macRow);
    macRow->addWidget(new QLabel(QStringLiteral("MAC Addr."), this));
    mac_ = new QLineEdit(QStringLiteral("000000000000"), this);
    macRow->addWidget(mac_);
    sweep_ = new QCheckBox(this);
    macRow->addWidget(sweep_);
    macRow->addWidget(new QLabel(QStringLiteral("From Ch"), this));
    from_ = new QComboBox(this);
    macRow->addWidget(from_);
    macRow->addWidget(new QLabel(QStringLiteral("to Ch"), this));
    to_ = new QComboBox(this);
    macRow->addWidget(to_);
    macRow->addWidget(new QLabel(QStringLiteral("Per-Channel wait "), this));
    wait_ = new QLineEdit(this);
    wait_->setMaximumWidth(60);
    macRow->addWidget(wait_);
    macRow->addWidget(new QLabel(QStringLiteral("ms"), this));
    macRow->addStretch();

    auto* buttons = new QHBoxLayout;
    top->addLayout(buttons);
    start_ = new QPushButton(QStringLiteral("Start &Capture"), this);
    auto* save = new QPushButton(QStringLiteral("Save File..."), this);
    auto* load = new QPushButton(QStringLiteral("Load File..."), this);
    auto* savePacket = new QPushButton(QStringLiteral("Save Packet..."), this);
    for (QPushButton* b : {start_, save, load, savePacket}) buttons->addWidget(b);
    buttons->addWidget(new QLabel(QStringLiteral("SW CRC Err Cnt:"), this));
    swCount_ = new QLabel(QStringLiteral("0"), this);
    swCount_->setMinimumWidth(60);
    buttons->addWidget(swCount_);
    buttons->addWidget(new QLabel(QStringLiteral("Total Cnt:"), this));
    totalCount_ = new QLabel(QStringLiteral("0"), this);
    totalCount_->setMinimumWidth(60);
    buttons->addWidget(totalCount_);
    for (const char* hidden : {"packets/s", "errors/s"}) {
        auto* l = new QLabel(QString::fromLatin1(hidden), this);
        l->hide();
        buttons->addWidget(l);
    }
    buttons->addStretch();

    model_ = new SnifferListModel(capture_, this);
    list_ = new QTableView(this);
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    // The column widths are those of a dialog font: the list uses that size.
    QFont small = list_->font();
    small.setPointSize(8);
    list_->setFont(small);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (int c = 0; c < kColumnCount; ++c) list_->setColumnWidth(c, ColumnAt(c).width);
    top->addWidget(list_, 1);

    // A press on the page's body moves the main window.
    new BodyDrag(this);

    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(100);
    sweepTimer_ = new QTimer(this);
    connect(pollTimer_, &QTimer::timeout, this, [this] { OnTimer(kTimerPoll); });
    connect(sweepTimer_, &QTimer::timeout, this, [this] { OnTimer(kTimerSweep); });
    connect(start_, &QPushButton::clicked, this, &CSnifferPage::OnStartCapture);
    connect(save, &QPushButton::clicked, this, &CSnifferPage::OnSaveFile);
    connect(load, &QPushButton::clicked, this, &CSnifferPage::OnLoadFile);
    connect(from_, &QComboBox::activated, this, &CSnifferPage::OnFromChanged);
    connect(to_, &QComboBox::activated, this, &CSnifferPage::OnToChanged);
    connect(list_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) OnRowDoubleClicked(index.row());
    });
}

CSnifferPage::~CSnifferPage() {
    if (capture_.capturing) {
        pollTimer_->stop();
        sweepTimer_->stop();
        capture_.EndCapture();
    }
}

QCheckBox* CSnifferPage::Check(const QString& caption) const {
    for (QCheckBox* b : findChildren<QCheckBox*>())
        if (b->text() == caption) return b;
    return nullptr;
}

CaptureOptions CSnifferPage::Options() const {
    auto on = [this](const char* caption) { return Check(QString::fromLatin1(caption))->isChecked(); };
    CaptureOptions o;
    o.swCrcError = on("SW CRC Error");
    o.crcError = on("CRC Error");
    o.beacon = on("Beacon");
    o.cck11b = on("11b");
    o.ofdm = on("OFDM");
    o.others = on("Others");
    o.phyError = on("PHY Error");
    o.wrapAround = on("Wrap Around");
    o.swCrcCheck = on("Sw CRC Check");
    o.timestamp = on("Timestamp");
    o.hideData = on("Hide Sniffer Data");
    o.macFilter = mac_->text().toLatin1().toStdString();
    return o;
}

void CSnifferPage::OnInitDialog() {
    mac_->setMaxLength(12);
    capture_.ResetCounters();
    const ChannelList& channels = CurrentChannelList();
    for (QComboBox* list : {from_, to_}) {
        list->clear();
        for (const std::string& label : channels.labels) list->addItem(QString::fromStdString(label));
    }
    from_->setCurrentIndex(0);
    to_->setCurrentIndex(to_->count() - 1);
    wait_->setText(QStringLiteral("140"));
}

void CSnifferPage::OnSetActive() {
    Sheet().ShareChannel(State().channelIndex);
    CDeviceCommands().MacWrite(kMacRxFilterControl, 0);
}

bool CSnifferPage::OnKillActive() {
    CDeviceCommands().MacWrite(kMacRxFilterControl, 3);
    return true;
}

void CSnifferPage::OnDestroyPage() {
    if (!capture_.capturing) return;
    pollTimer_->stop();
    sweepTimer_->stop();
    capture_.EndCapture();
}

bool CSnifferPage::TimerActive(int id) const {
    return id == kTimerPoll ? pollTimer_->isActive() : id == kTimerSweep && sweepTimer_->isActive();
}

int CSnifferPage::TimerPeriod(int id) const {
    return id == kTimerPoll ? pollTimer_->interval() : id == kTimerSweep ? sweepTimer_->interval() : 0;
}

void CSnifferPage::OnStartCapture() {
    DeviceSequence sequence;
    capture_.ResetCounters();
    if (!capture_.capturing)
        StartCapture();
    else
        StopCapture();
}

void CSnifferPage::StartCapture() {
    capture_.EnableReceiver();
    if (sweep_->isChecked()) {
        bool ok = false;
        const int wait = wait_->text().trimmed().toInt(&ok);
        sweepWaitMs_ = ok ? wait : 0;
        for (QWidget* w : std::initializer_list<QWidget*>{sweep_, from_, to_}) w->setEnabled(false);
        sweepFrom_ = from_->currentIndex();
        sweepTo_ = to_->currentIndex();
        sweepCurrent_ = sweepFrom_;
        Sheet().SelectChannel(sweepCurrent_);
        // A dwell below the window timer's 10 ms floor runs at the floor.
        sweepTimer_->start(sweepWaitMs_ < 10 ? 10 : sweepWaitMs_);
    }
    capture_.BeginCapture();
    model_->Sync();
    start_->setText(QStringLiteral("Stop &Capture"));
    pollTimer_->stop();
    if (!capture_.AllocateReceiveBuffer()) ShowMessage("Memory allocation failed!");
    pollTimer_->start(100);
    if (Check(QStringLiteral("Timestamp"))->isChecked()) capture_.EnableTimestamps();
    capture_.StartDelivery();
}

void CSnifferPage::StopCapture() {
    capture_.DisableReceiver();
    if (sweep_->isChecked()) {
        sweepTimer_->stop();
        Sheet().SelectChannel(State().channelIndex);
        for (QWidget* w : std::initializer_list<QWidget*>{from_, to_, sweep_}) w->setEnabled(true);
    }
    start_->setText(QStringLiteral("Start &Capture"));
    pollTimer_->stop();
    capture_.EndCapture();
}

void CSnifferPage::OnTimer(int id) {
    if (DeviceSequence::AnyOpen()) return; // never between two steps of another sequence
    if (id == kTimerSweep) {
        if (!sweep_->isChecked()) return;
        DeviceSequence sequence;
        if (sweepCurrent_ + 1 <= sweepTo_) {
            ++sweepCurrent_;
            Sheet().SelectChannel(sweepCurrent_);
        } else if (capture_.capturing) {
            StopCapture();
        }
        return;
    }
    if (id != kTimerPoll || !capture_.capturing) return;
    const SnifferCapture::TickEnd end = capture_.PollTick(Options());
    if (end == SnifferCapture::TickEnd::ReadFailed) return;
    model_->Sync();
    if (end == SnifferCapture::TickEnd::StoreFull) {
        DeviceSequence sequence;
        StopCapture();
    }
    ShowCounters();
}

void CSnifferPage::ShowCounters() {
    swCount_->setText(QString::number(capture_.swCrcErrors));
    totalCount_->setText(QString::number(capture_.totalFrames));
}

void CSnifferPage::OnFromChanged(int index) {
    if (to_->currentIndex() < from_->currentIndex()) {
        ShowMessage("FromCh must smaller than ToCh ! Set to Init Ch");
        from_->setCurrentIndex(0);
    }
}

void CSnifferPage::OnToChanged(int index) {
    if (to_->currentIndex() < from_->currentIndex()) {
        ShowMessage("ToCh must larger than ToCh ! Set to Final Ch");
        to_->setCurrentIndex(to_->count() - 1);
    }
}

void CSnifferPage::OnSaveFile() {
    const QString chosen = FileDialogs().SaveFile(QStringLiteral("Save As"), ProgramDirectory(),
                                                  QString::fromLatin1(kPacketFileFilter));
    if (chosen.isEmpty()) return;
    const std::string path = WithPacketExtension(Path(chosen));
    if (IsPcapName(path))
        SavePcapFile(path, store_);
    else
        SavePacketFile(path, store_);
}

void CSnifferPage::OnLoadFile() {
    const QString chosen = FileDialogs().OpenFile(QStringLiteral("Open"), ProgramDirectory(),
                                                  QString::fromLatin1(kPacketFileFilter));
    if (chosen.isEmpty()) return;
    const LoadResult result = LoadPacketFile(WithPacketExtension(Path(chosen)), store_);
    if (!result.opened) {
        ShowMessage("Packet File not opened!");
        return;
    }
    capture_.DecodeLoaded(result.loaded, Options());
    model_->Sync();
    ShowCounters();
    if (!result.message.empty()) ShowMessage(result.message);
}

void CSnifferPage::OnRowDoubleClicked(int row) {
    const auto& rows = capture_.Rows();
    if (row < 0 || row >= int(rows.size())) return;
    CSnifferDataDialog dialog(store_.Record(rows[std::size_t(row)].storeIndex), this);
    if (runDialog)
        runDialog(dialog);
    else
        dialog.exec();
}

// ---- Sniffer Data dialog ----------------------------------------------------

CSnifferDataDialog::CSnifferDataDialog(const std::uint8_t* r, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Sniffer Data"));
    // The frame bytes: a QoS data frame without the receiver's two pad bytes
    // after its QoS control field.
    const bool qos = IsQosData(r);
    const std::uint8_t* m = Mpdu(r);
    std::vector<std::uint8_t> frame;
    if (qos) {
        frame.assign(m, m + 26);
        frame.insert(frame.end(), m + 28, r + kRecordBytes);
    } else {
        frame.assign(m, r + kRecordBytes);
    }
    const std::size_t txd = qos ? 26 : 24, scatter = qos ? 90 : 88;
    bytes_[0].assign(r, r + kMpduOffset);
    bytes_[1] = frame;
    bytes_[2].assign(frame.begin() + txd, frame.begin() + txd + 64);
    bytes_[3].assign(frame.begin() + scatter, frame.begin() + scatter + 48);

    static const char* const kCaptions[4] = {"Descriptor and Wireless Information", "Buffer",
                                             "Debug Info - TxD (QoS)", "Debug Info - ScatterControl (QoS)"};
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 4; ++i) {
        layout->addWidget(new QLabel(QString::fromLatin1(kCaptions[i]), this));
        views_[i] = new CHexEdit(this);
        views_[i]->SetData(bytes_[i].data(), int(bytes_[i].size()));
        views_[i]->SetReadOnly(true);
        views_[i]->setMinimumHeight(i == 1 ? 200 : 90);
        layout->addWidget(views_[i], i == 1 ? 2 : 1);
    }
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
    resize(640, 640);
    new BodyDrag(this);
}

} // namespace vq

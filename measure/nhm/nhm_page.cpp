#include "measure/nhm/nhm_page.h"

#include "device/program_state.h"
#include "formats/text_files.h"
#include "txrx/core/txrx_model.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

namespace vq {

// ---- The list ---------------------------------------------------------------------

int NhmListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int NhmListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 13;
}

QVariant NhmListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || std::size_t(index.row()) >= rows_.size()) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    if (index.column() == 0) return QString::number(firstNumber_ + index.row());
    return QString::asprintf("%08X", rows_[index.row()][index.column() - 1]);
}

QVariant NhmListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    if (section == 0) return QString();
    if (section == 12) return QStringLiteral("Idle Time");
    return QStringLiteral("IPI%1").arg(section - 1);
}

void NhmListModel::Append(const std::vector<nhm::Measurement>& rows) {
    if (rows.empty()) return;
    while (rows_.size() + rows.size() > kMaxRows && !rows_.empty()) {
        const std::size_t drop = std::min<std::size_t>(nhm::kRingSize, rows_.size());
        beginRemoveRows({}, 0, int(drop) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + std::ptrdiff_t(drop));
        firstNumber_ += drop;
        endRemoveRows();
    }
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + rows.size()) - 1);
    rows_.insert(rows_.end(), rows.begin(), rows.end());
    endInsertRows();
}

void NhmListModel::Clear() {
    beginResetModel();
    rows_.clear();
    firstNumber_ = 1;
    endResetModel();
}

// ---- The page -----------------------------------------------------------------------

CNHMPage::CNHMPage(QWidget* parent) : QAPage(QStringLiteral(" NHM Test Page"), parent) {
    auto* top = new QVBoxLayout(this);
    model_ = new NhmListModel(this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("nhmList"));
    list_->setModel(model_);
    list_->setShowGrid(true);
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->setDefaultSectionSize(18);
    top->addWidget(list_, 1);

    auto* controls = new QGridLayout;
    channel_ = new QComboBox(this);
    channel_->setObjectName(QStringLiteral("channel"));
    period_ = new QLineEdit(this);
    period_->setObjectName(QStringLiteral("period"));
    count_ = new QLineEdit(this);
    count_->setObjectName(QStringLiteral("count"));
    for (QLineEdit* e : {period_, count_})
        e->setFixedWidth(80);
    controls->addWidget(new QLabel(QStringLiteral("Channel"), this), 0, 0);
    controls->addWidget(channel_, 0, 1, 1, 2);
    controls->addWidget(new QLabel(QStringLiteral("Measurement Period"), this), 1, 0);
    controls->addWidget(period_, 1, 1);
    controls->addWidget(new QLabel(QStringLiteral("x 1.024 ms"), this), 1, 2);
    controls->addWidget(new QLabel(QStringLiteral("Measurement Count"), this), 2, 0);
    controls->addWidget(count_, 2, 1);
    start_ = new QPushButton(QStringLiteral("Start NHM Test"), this);
    start_->setObjectName(QStringLiteral("start"));
    save_ = new QPushButton(QStringLiteral("Save to file"), this);
    save_->setObjectName(QStringLiteral("save"));
    controls->addWidget(start_, 0, 4);
    controls->addWidget(save_, 1, 4);
    controls->setColumnStretch(3, 1);
    top->addLayout(controls);

    connect(start_, &QPushButton::clicked, this, &CNHMPage::OnStart);
    connect(save_, &QPushButton::clicked, this, &CNHMPage::OnSave);
    connect(channel_, QOverload<int>::of(&QComboBox::activated), this, &CNHMPage::OnChannelChanged);
}

CNHMPage::~CNHMPage() {
    OnDestroyPage();
}

void CNHMPage::OnInitDialog() {
    list_->horizontalHeader()->setMinimumSectionSize(20);
    list_->setColumnWidth(0, 20);
    for (int c = 1; c < 13; ++c)
        list_->setColumnWidth(c, 70);
    period_->setText(QStringLiteral("100"));
    count_->setText(QStringLiteral("1"));
    channel_->clear();
    for (const std::string& label : CurrentChannelList().labels)
        channel_->addItem(QString::fromStdString(label));
    channel_->setCurrentIndex(State().channelIndex);
}

void CNHMPage::OnSetActive() {
    channel_->setCurrentIndex(State().channelIndex);
}

void CNHMPage::OnChannelChanged(int index) {
    Sheet().SelectChannel(index);
    Sheet().ShareChannel(index);
}

void CNHMPage::SetIdleControls(bool idle) {
    for (QWidget* w : std::initializer_list<QWidget*>{channel_, period_, count_, save_})
        w->setEnabled(idle);
    start_->setText(idle ? QStringLiteral("Start NHM Test") : QStringLiteral("Stop NHM Test"));
}

void CNHMPage::OnStart() {
    if (run_.Running()) {
        run_.Stop(); // the thread lists what it measured and ends after the measurement under way
        return;
    }
    if (!run_.Finished()) return; // a stopped run is still finishing its last measurement
    SetIdleControls(false);
    Sheet().StopRunningReceive();
    model_->Clear();
    const unsigned long period = static_cast<unsigned long>(ParseDecimal(period_->text().toStdString()));
    const unsigned long count = static_cast<unsigned long>(ParseDecimal(count_->text().toStdString()));
    nhm::NhmRun::Hooks hooks;
    // The worker never touches the list: its rows and its end come here queued.
    hooks.rows = [this](std::vector<nhm::Measurement> rows) {
        QMetaObject::invokeMethod(
            this,
            [this, rows = std::move(rows)] {
                model_->Append(rows);
                list_->scrollToBottom();
            },
            Qt::QueuedConnection);
    };
    hooks.finished = [this](bool) {
        QMetaObject::invokeMethod(
            this, [this] { EndRun(); }, Qt::QueuedConnection);
    };
    if (!run_.Start(period, count, std::move(hooks))) SetIdleControls(true);
}

void CNHMPage::EndRun() {
    if (run_.Running()) return; // a newer run has started meanwhile
    run_.Join();
    SetIdleControls(true);
}

void CNHMPage::OnSave() {
    const QString name = FileDialogs().SaveFile(QStringLiteral("Open Log File"), ProgramDirectory(),
                                                QStringLiteral("log Files(*.log)|*.log||"));
    if (name.isEmpty()) return;
    const std::string path = WithExtensionIfNone(QFile::encodeName(name).toStdString(), ".log");
    if (!ConfirmReplace(path)) return;
    const auto& rows = model_->Rows();
    nhm::SaveLog(path, std::vector<nhm::Measurement>(rows.begin(), rows.end()));
}

void CNHMPage::OnDestroyPage() {
    // The program is closing: the worker ends before the link does. It may be
    // waiting for a message box of this thread, so events keep flowing.
    run_.Abort();
    while (!run_.Finished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    run_.Join();
}

} // namespace vq

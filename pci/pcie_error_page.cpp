#include "pci/pcie_error_page.h"

#include "base/services.h"
#include "ui/sheet_services.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vq {

CPCIeErrorReportPage::CPCIeErrorReportPage(QWidget* parent)
    : QAPage(QStringLiteral("PCIe Error Reporting"), parent) {
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    top->addLayout(left);
    top->addLayout(right);
    top->addStretch(1);

    QGroupBox* group = nullptr;
    QFormLayout* form = nullptr;
    const auto& fields = pci::ErrorFields();
    for (int i = 0; i < pci::kFieldCount; ++i) {
        if (!group || group->title() != QLatin1String(fields[i].group)) {
            group = new QGroupBox(QString::fromLatin1(fields[i].group), this);
            form = new QFormLayout(group);
            form->setLabelAlignment(Qt::AlignRight);
            (fields[i].offset == pci::kUncorrectable ? right : left)->addWidget(group);
        }
        auto* field = new QLineEdit(QStringLiteral("0"), group);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        field->setReadOnly(true);
        field->setAlignment(Qt::AlignRight);
        field->setFixedWidth(90);
        form->addRow(QString::fromLatin1(fields[i].caption), field);
        fields_[i] = field;
    }
    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(QStringLiteral("Start &TX"), this);
    start_->setObjectName(QStringLiteral("startTx"));
    reset_ = new QPushButton(QStringLiteral("Reset Counter"), this);
    reset_->setObjectName(QStringLiteral("resetCounter"));
    loopBack_ = new QCheckBox(QStringLiteral("LoopBack"), this); // present, hidden, without action
    loopBack_->hide();
    buttons->addWidget(start_);
    buttons->addWidget(reset_);
    left->addLayout(buttons);
    left->addStretch(1);
    right->addStretch(1);

    connect(start_, &QPushButton::clicked, this, &CPCIeErrorReportPage::OnStartTx);
    connect(reset_, &QPushButton::clicked, this, &CPCIeErrorReportPage::OnResetCounter);
}

CPCIeErrorReportPage::~CPCIeErrorReportPage() {
    poller_.Stop();
    poller_.Join();
}

void CPCIeErrorReportPage::OnInitDialog() {
    poller_.Reset();
    ShowValues(poller_.Values());
}

void CPCIeErrorReportPage::ShowValues(const pci::ErrorValues& values) {
    for (int i = 0; i < pci::kFieldCount; ++i)
        fields_[i]->setText(QString::asprintf("%d", int(values[i])));
}

void CPCIeErrorReportPage::OnResetCounter() {
    if (poller_.Running()) return;
    poller_.Reset();
    ShowValues(poller_.Values());
}

void CPCIeErrorReportPage::OnStartTx() {
    if (poller_.Running()) {
        StopPolling();
        Sheet().ToggleTransmitTest();
        return;
    }
    std::string error;
    std::shared_ptr<pci::IConfigSpace> space = pci::ChooseConfigSpace(error);
    if (!space || !pci::ReachesStatusRegisters(*space, error)) {
        ShowMessage(error, MsgIcon::Critical);
        return;
    }
    reset_->setEnabled(false);
    start_->setText(QStringLiteral("Stop &TX"));
    pci::ErrorPoller::Hooks hooks;
    // The worker never touches the fields: one queued refresh at a time reads its latest values.
    hooks.values = [this](const pci::ErrorValues&) {
        if (updatePending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                updatePending_ = false;
                ShowValues(poller_.Values());
            },
            Qt::QueuedConnection);
    };
    hooks.failed = [this](const std::string& e) {
        QMetaObject::invokeMethod(
            this, [this, e] { Failed(e); }, Qt::QueuedConnection);
    };
    poller_.Start(std::move(space), std::move(hooks));
    Sheet().ToggleTransmitTest();
}

void CPCIeErrorReportPage::StopPolling() {
    poller_.Stop();
    start_->setText(QStringLiteral("Start &TX"));
    reset_->setEnabled(true);
}

void CPCIeErrorReportPage::Failed(const std::string& error) {
    if (start_->text() != QStringLiteral("Stop &TX")) return;
    StopPolling();
    Sheet().ToggleTransmitTest(); // the transmit test started with the polling stops with it
    ShowMessage(error, MsgIcon::Critical);
}

void CPCIeErrorReportPage::OnDestroyPage() {
    poller_.Stop();
    poller_.Join(); // the worker never waits for this thread
}

} // namespace vq

#include "app/select_adapter_dialog.h"

#include "app/artwork.h"
#include "ui/window_drag.h"
#include "device/program_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdio>

namespace vq {

namespace {

constexpr const char* kSimulatedDescription = "Simulated VQ9447 board";

bool LooksLikeMissingPrivilege(const std::string& text) {
    return text.find("ermission") != std::string::npos || text.find("not permitted") != std::string::npos;
}

QString CapabilityHint() {
    return QStringLiteral("Grant the capture capability to the program "
                          "(setcap cap_net_raw,cap_net_admin=eip %1) or run it as root.")
        .arg(QCoreApplication::applicationFilePath());
}

} // namespace

CSelectAdapterDlg::CSelectAdapterDlg(IAdapterBackend& backend, bool simulatorEntry, QWidget* parent)
    : QDialog(parent), backend_(backend), simulatorEntry_(simulatorEntry) {
    setWindowTitle(QStringLiteral("Select Adapter"));
    setWindowIcon(ApplicationIcon());

    auto* label = new QLabel(QStringLiteral("Select the network adapter  :"), this);
    label->setTextFormat(Qt::PlainText);
    adapters_ = new QComboBox(this);
    adapters_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    adapters_->setMinimumWidth(360);
    label->setBuddy(adapters_);

    inic_ = new QCheckBox(QStringLiteral("iNicMode"), this);
    sourceGroup_ = new QGroupBox(this); // no caption: it only frames the two choices
    eepromRadio_ = new QRadioButton(QStringLiteral("BufferMode or EEPROM"), sourceGroup_);
    efuseRadio_ = new QRadioButton(QStringLiteral("efuse"), sourceGroup_);
    eepromRadio_->setChecked(true);
    auto* groupLayout = new QVBoxLayout(sourceGroup_);
    groupLayout->addWidget(eepromRadio_);
    groupLayout->addWidget(efuseRadio_);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setStyleSheet(QStringLiteral("QLabel#statusLine { color: #8a1c12; }"));
    status_->hide();

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);

    auto* options = new QHBoxLayout;
    options->addWidget(inic_, 0, Qt::AlignTop);
    options->addSpacing(24);
    options->addWidget(sourceGroup_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(adapters_);
    layout->addSpacing(6);
    layout->addLayout(options);
    layout->addWidget(status_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(inic_, &QCheckBox::clicked, this, &CSelectAdapterDlg::OnInicClicked);
    connect(eepromRadio_, &QRadioButton::clicked, this, [this] {
        efuseChosen_ = false;
        State().efuseChosen = false;
    });
    connect(efuseRadio_, &QRadioButton::clicked, this, [this] {
        efuseChosen_ = true;
        State().efuseChosen = true;
    });
    connect(ok_, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* drag = new BodyDrag(this);
    drag->Watch(sourceGroup_); // a group box keeps its presses; its frame is body too
}

bool CSelectAdapterDlg::Start() {
    std::string diagnostic;
    count_ = 0;
    simulatedPosition_ = 0;
    adapters_->clear();
    const bool listed = backend_.Enumerate(list_, diagnostic);
    if (!listed) {
        std::fputs(diagnostic.c_str(), stderr);
        std::fflush(stderr);
        ShowStatus(diagnostic);
        // Without the simulated board there is nothing to choose from.
        if (!simulatorEntry_) return false;
        list_ = {};
    }
    listHeld_ = true;
    for (const std::string& entry : list_.entries) {
        ++count_;
        adapters_->addItem(QString::fromStdString(entry));
    }
    const int devices = count_;
    if (simulatorEntry_) {
        simulatedPosition_ = ++count_;
        adapters_->addItem(
            QString::fromStdString(FormatAdapterEntry(simulatedPosition_, kSimulatedDescription)));
    }
    adapters_->setCurrentIndex(simulatedPosition_ ? simulatedPosition_ - 1 : (count_ ? 0 : -1));
    // The status line wraps within the list's width instead of widening the dialog.
    status_->setFixedWidth(qMax(360, adapters_->sizeHint().width()));
    if (devices == 0 && listed) {
        diagnostic = "\nNo interfaces found! Make sure WinPcap is installed.\n";
        std::fputs(diagnostic.c_str(), stdout);
        std::fflush(stdout);
        ShowStatus(diagnostic);
    } else if (devices > 0 && !HasCapturePrivilege()) {
        // Opening any real adapter will fail: say so before the operator tries.
        status_->setText(QStringLiteral("No capture privilege: the network adapters cannot be opened. ") +
                         CapabilityHint());
        status_->show();
    }
    if (count_ > 0) {
        eepromRadio_->setChecked(true);
        efuseChosen_ = false;
        State().efuseChosen = false;
    }
    return true;
}

bool CSelectAdapterDlg::OnOK() {
    const int position = adapters_->currentIndex() + 1; // no selection counts as 0
    if (position < 1 || position > count_) {
        const char* text = "\nAdapter number out of range.\n";
        std::fputs(text, stdout);
        std::fflush(stdout);
        ShowStatus(text);
        return false;
    }
    std::string diagnostic;
    if (position == simulatedPosition_) {
        board_ = backend_.AttachSimulated();
    } else {
        if (!listHeld_ || position > int(list_.devices.size())) return false;
        if (!backend_.Open(list_.devices[position - 1], diagnostic)) {
            ShowStatus(diagnostic);
            return false;
        }
    }
    // The link is set up: the device list is no longer needed.
    list_ = {};
    listHeld_ = false;
    if (!diagnostic.empty()) ShowStatus(diagnostic);
    accept();
    return true;
}

QString CSelectAdapterDlg::StatusText() const {
    return status_->isHidden() ? QString() : status_->text();
}

void CSelectAdapterDlg::ShowStatus(const std::string& diagnostic) {
    // One line per line of the diagnostic (the library's own error comes last).
    QStringList lines = QString::fromStdString(diagnostic).split('\n', Qt::SkipEmptyParts);
    for (QString& l : lines)
        l = l.trimmed();
    lines.removeAll(QString());
    QString text = lines.join('\n');
    if (LooksLikeMissingPrivilege(diagnostic)) text += QStringLiteral("\n") + CapabilityHint();
    status_->setText(text);
    status_->setVisible(!text.isEmpty());
}

void CSelectAdapterDlg::OnInicClicked(bool checked) {
    Link().SetInic(checked);
}

} // namespace vq

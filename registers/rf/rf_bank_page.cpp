#include "registers/rf/rf_bank_page.h"

#include "base/format.h"
#include "device/device_commands.h"
#include "device/sequence.h"
#include "device/program_state.h"
#include "registers/core/rf_files.h"
#include "registers/core/rf_values.h"
#include "registers/rf/rf_widgets.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace vq {

namespace {

using rf::Named;

QLineEdit* ByteEdit(QWidget* parent, int id, const char* pattern) {
    auto* e = Named(new QLineEdit(parent), id);
    e->setMaxLength(2);
    e->setFixedWidth(40);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), e));
    return e;
}

} // namespace

CRFBankPage::CRFBankPage(const QString& caption, int firstRegister, const AccessIds& ids, QWidget* parent)
    : QAPage(caption, parent) {
    outer_ = new QVBoxLayout(this);
    grid_ = new rf::RegisterGrid(firstRegister, this);
    connect(grid_, &rf::RegisterGrid::BitClicked, this, &CRFBankPage::OnBitButton);
    outer_->addWidget(grid_);

    // Bank, single register access and re-read, below the last two rows.
    auto* side = new QWidget(this);
    auto* sideBox = new QVBoxLayout(side);
    sideBox->setContentsMargins(0, 8, 0, 0);
    sideBox->addWidget(new QLabel(QStringLiteral("RF Bank Sel"), side));
    bankCombo_ = Named(new QComboBox(side), ids.bank);
    bankCombo_->setMinimumWidth(180);
    connect(bankCombo_, &QComboBox::activated, this, &CRFBankPage::OnBankSelected);
    sideBox->addWidget(bankCombo_);
    auto* modeGroup = new QGroupBox(QStringLiteral("MODE"), side);
    auto* modeBox = new QHBoxLayout(modeGroup);
    readRadio_ = Named(new QRadioButton(QStringLiteral("&READ"), modeGroup), ids.read);
    writeRadio_ = Named(new QRadioButton(QStringLiteral("&WRITE"), modeGroup), ids.write);
    readRadio_->setChecked(true);
    connect(readRadio_, &QRadioButton::clicked, this, &CRFBankPage::OnModeRead);
    connect(writeRadio_, &QRadioButton::clicked, this, &CRFBankPage::OnModeWrite);
    modeBox->addWidget(readRadio_);
    modeBox->addWidget(writeRadio_);
    sideBox->addWidget(modeGroup);
    auto* access = new QGridLayout();
    access->addWidget(new QLabel(QStringLiteral("Register ID"), side), 0, 0);
    regIdEdit_ = ByteEdit(side, ids.regId, "[0-9]*");
    access->addWidget(regIdEdit_, 0, 1);
    access->addWidget(new QLabel(QStringLiteral("Value"), side), 1, 0);
    valueEdit_ = ByteEdit(side, ids.value, "[0-9A-Fa-f]*");
    access->addWidget(valueEdit_, 1, 1);
    rwButton_ = Named(new QPushButton(QStringLiteral("R / W"), side), ids.readWrite);
    connect(rwButton_, &QPushButton::clicked, this, &CRFBankPage::OnReadWrite);
    access->addWidget(rwButton_, 0, 2, 2, 1);
    access->setColumnStretch(3, 1);
    sideBox->addLayout(access);
    readAllButton_ = Named(new QPushButton(QStringLiteral("Read &All"), side), 1365);
    connect(readAllButton_, &QPushButton::clicked, this, &CRFBankPage::Refresh);
    sideBox->addWidget(readAllButton_);
    sideBox->addStretch();
    grid_->Layout()->addWidget(side, 2, 3, 8, 1, Qt::AlignTop | Qt::AlignLeft);
}

void CRFBankPage::ControlsToValues() {
    regId_ = regIdEdit_->text();
    value_ = valueEdit_->text();
    mode_ = writeRadio_->isChecked() ? 1 : 0;
}

void CRFBankPage::ValuesToControls() {
    regIdEdit_->setText(regId_);
    valueEdit_->setText(value_);
    (mode_ ? writeRadio_ : readRadio_)->setChecked(true);
}

void CRFBankPage::InitAccessControls() {
    bankCombo_->clear();
    for (int b = 0; b < rf::kBankCount; ++b)
        bankCombo_->addItem(QString::fromLatin1(rf::BankName(b)));
    bankCombo_->setCurrentIndex(State().rfBank);
    valueEdit_->setReadOnly(true);
    mode_ = 0;
    readRadio_->setChecked(true);
}

void CRFBankPage::ShowCurrentBank() {
    bankCombo_->setCurrentIndex(State().rfBank);
    Refresh();
}

void CRFBankPage::Refresh() {
    CDeviceCommands dev;
    dev.RfReadBulk(std::uint16_t(State().rfBank), bank_, rf::kRegistersPerBank);
    const int first = grid_->FirstRegister();
    for (int r = first; r < first + rf::kRegistersPerPage; ++r)
        grid_->Show(r, bank_[r]);
    ControlsToValues();
}

void CRFBankPage::OnBitButton(int buttonId) {
    const auto pos = rf::BitFromButtonId(grid_->FirstRegister(), buttonId);
    if (!pos) return;
    QPushButton* button = grid_->BitButton(pos->reg, pos->bit);
    const bool clear = rf::CaptionShowsSet(button->text().toStdString());
    button->setText(clear ? QStringLiteral("0") : QStringLiteral("1"));
    DeviceSequence sequence;
    CDeviceCommands dev;
    rf::ToggleRfBit(dev, State().rfBank, pos->reg, pos->bit, clear);
    Refresh();
}

void CRFBankPage::OnModeRead() {
    mode_ = 0;
    readRadio_->setChecked(true);
    valueEdit_->setReadOnly(true);
}

void CRFBankPage::OnModeWrite() {
    mode_ = 1;
    writeRadio_->setChecked(true);
    valueEdit_->setReadOnly(false);
}

void CRFBankPage::OnReadWrite() {
    ControlsToValues();
    // The number is used as typed: 40 means R40.
    const unsigned reg = unsigned(rf::DecimalNumber(regId_.toStdString())) & 0xFF;
    std::uint8_t value = rf::HexByte(value_.toStdString());
    DeviceSequence sequence;
    CDeviceCommands dev;
    if (mode_ == 0) {
        dev.RfAccess(0, unsigned(State().rfBank), reg, value);
        value_ = QString::fromStdString(Hex2(value));
        ValuesToControls();
    } else {
        dev.RfAccess(1, unsigned(State().rfBank), reg, value);
    }
    Refresh();
}

void CRFBankPage::OnBankSelected(int bank) {
    if (bank < 0 || bank >= rf::kBankCount) return;
    State().rfBank = bank;
    ShowCurrentBank();
}

} // namespace vq

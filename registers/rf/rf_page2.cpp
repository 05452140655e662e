#include "registers/rf/rf_page.h"

#include "link/commands.h"
#include "link/program_state.h"
#include "registers/rf/rf_files.h"
#include "registers/rf/rf_values.h"
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

template <class W> W* Named(W* w, int id) {
    w->setObjectName(QString::number(id));
    return w;
}

} // namespace

CRFPage2::CRFPage2(QWidget* parent) : QAPage(QStringLiteral("RF Page 2"), parent) {
    auto* outer = new QVBoxLayout(this);
    grid_ = new rf::RegisterGrid(32, this);
    connect(grid_, &rf::RegisterGrid::BitClicked, this, &CRFPage2::OnBitButton);
    outer->addWidget(grid_);

    auto* side = new QWidget(this);
    auto* sideBox = new QVBoxLayout(side);
    sideBox->setContentsMargins(0, 8, 0, 0);
    sideBox->addWidget(new QLabel(QStringLiteral("RF Bank Sel"), side));
    bankCombo_ = Named(new QComboBox(side), 1390);
    bankCombo_->setMinimumWidth(180);
    connect(bankCombo_, &QComboBox::activated, this, &CRFPage2::OnBankSelected);
    sideBox->addWidget(bankCombo_);
    auto* modeGroup = new QGroupBox(QStringLiteral("MODE"), side);
    auto* modeBox = new QHBoxLayout(modeGroup);
    readRadio_ = Named(new QRadioButton(QStringLiteral("&READ"), modeGroup), 2010);
    writeRadio_ = Named(new QRadioButton(QStringLiteral("&WRITE"), modeGroup), 1922);
    readRadio_->setChecked(true);
    connect(readRadio_, &QRadioButton::clicked, this, &CRFPage2::OnModeRead);
    connect(writeRadio_, &QRadioButton::clicked, this, &CRFPage2::OnModeWrite);
    modeBox->addWidget(readRadio_);
    modeBox->addWidget(writeRadio_);
    sideBox->addWidget(modeGroup);
    auto* access = new QGridLayout();
    access->addWidget(new QLabel(QStringLiteral("Register ID"), side), 0, 0);
    regIdEdit_ = Named(new QLineEdit(side), 2004);
    regIdEdit_->setMaxLength(2);
    regIdEdit_->setFixedWidth(40);
    regIdEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), regIdEdit_));
    access->addWidget(regIdEdit_, 0, 1);
    access->addWidget(new QLabel(QStringLiteral("Value"), side), 1, 0);
    valueEdit_ = Named(new QLineEdit(side), 2018);
    valueEdit_->setMaxLength(2);
    valueEdit_->setFixedWidth(40);
    valueEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]*"), valueEdit_));
    access->addWidget(valueEdit_, 1, 1);
    rwButton_ = Named(new QPushButton(QStringLiteral("R / W"), side), 1916);
    connect(rwButton_, &QPushButton::clicked, this, &CRFPage2::OnReadWrite);
    access->addWidget(rwButton_, 0, 2, 2, 1);
    access->setColumnStretch(3, 1);
    sideBox->addLayout(access);
    readAllButton_ = Named(new QPushButton(QStringLiteral("Read &All"), side), 1365);
    connect(readAllButton_, &QPushButton::clicked, this, &CRFPage2::Refresh);
    sideBox->addWidget(readAllButton_);
    sideBox->addStretch();
    grid_->Layout()->addWidget(side, 2, 3, 8, 1, Qt::AlignTop | Qt::AlignLeft);
    outer->addStretch();
}

void CRFPage2::ControlsToValues() {
    regId_ = regIdEdit_->text();
    value_ = valueEdit_->text();
    mode_ = writeRadio_->isChecked() ? 1 : 0;
}

void CRFPage2::ValuesToControls() {
    regIdEdit_->setText(regId_);
    valueEdit_->setText(value_);
    (mode_ ? writeRadio_ : readRadio_)->setChecked(true);
}

void CRFPage2::OnInitDialog() {
    bankCombo_->clear();
    for (int b = 0; b < rf::kBankCount; ++b)
        bankCombo_->addItem(QString::fromLatin1(rf::BankName(b)));
    bankCombo_->setCurrentIndex(State().rfBank);
    valueEdit_->setReadOnly(true);
    readRadio_->setChecked(true);
    Refresh();
    ControlsToValues();
}

void CRFPage2::OnSetActive() {
    ValuesToControls();
    bankCombo_->setCurrentIndex(State().rfBank);
    Refresh();
}

void CRFPage2::Refresh() {
    CDeviceCommands dev;
    dev.RfReadBulk(std::uint16_t(State().rfBank), bank_, rf::kRegistersPerBank);
    for (int r = 32; r < rf::kRegistersPerBank; ++r)
        grid_->Show(r, bank_[r]);
    ControlsToValues();
}

void CRFPage2::OnBitButton(int buttonId) {
    const auto pos = rf::BitFromButtonId(32, buttonId);
    if (!pos) return;
    QPushButton* button = grid_->BitButton(pos->reg, pos->bit);
    const bool clear = rf::CaptionShowsSet(button->text().toStdString());
    button->setText(clear ? QStringLiteral("0") : QStringLiteral("1"));
    CDeviceCommands dev;
    rf::ToggleRfBit(dev, State().rfBank, pos->reg, pos->bit, clear);
    Refresh();
}

void CRFPage2::OnModeRead() {
    mode_ = 0;
    readRadio_->setChecked(true);
    valueEdit_->setReadOnly(true);
}

void CRFPage2::OnModeWrite() {
    mode_ = 1;
    writeRadio_->setChecked(true);
    valueEdit_->setReadOnly(false);
}

void CRFPage2::OnReadWrite() {
    ControlsToValues();
    // The number is used as typed: 40 means R40.
    const unsigned reg = unsigned(rf::DecimalNumber(regId_.toStdString())) & 0xFF;
    std::uint8_t value = rf::HexByte(value_.toStdString());
    CDeviceCommands dev;
    if (mode_ == 0) {
        dev.RfAccess(0, unsigned(State().rfBank), reg, value);
        value_ = QString::fromStdString(rf::Hex2(value));
        ValuesToControls();
    } else {
        dev.RfAccess(1, unsigned(State().rfBank), reg, value);
    }
    Refresh();
}

void CRFPage2::OnBankSelected(int bank) {
    if (bank < 0 || bank >= rf::kBankCount) return;
    State().rfBank = bank;
    bankCombo_->setCurrentIndex(bank);
    Refresh();
}

} // namespace vq

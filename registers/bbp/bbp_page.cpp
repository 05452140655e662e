#include "registers/bbp/bbp_page.h"

#include "base/format.h"
#include "device/device_commands.h"
#include "registers/core/bbp_files.h"
#include "ui/ui_services.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace vq {

namespace {
QString HexText(std::uint8_t v) {
    return QString::fromStdString(Hex2(v));
}
} // namespace

CBbpRegisterPage::CBbpRegisterPage(const QString& caption, const QString& readAllCaption,
                                   const QString& registerLabel, bool digitsOnly, bool readR0AtStart,
                                   QWidget* parent)
    : QAPage(caption, parent), readR0AtStart_(readR0AtStart) {
    auto* top = new QHBoxLayout(this);

    auto* registers = new QGroupBox(tr("BBP registers"), this);
    grid_ = new QGridLayout(registers);
    grid_->setHorizontalSpacing(4);
    grid_->setVerticalSpacing(2);
    top->addWidget(registers, 0, Qt::AlignTop);

    auto* panel = new QVBoxLayout;
    top->addLayout(panel);
    top->addStretch(1);

    auto* single = new QGroupBox(tr("Single Read/Write"), this);
    auto* singleLayout = new QVBoxLayout(single);
    auto* mode = new QGroupBox(tr("Mode"), single);
    auto* modeLayout = new QHBoxLayout(mode);
    readRadio_ = new QRadioButton(tr("&READ"), mode);
    writeRadio_ = new QRadioButton(tr("&WRITE"), mode);
    readRadio_->setObjectName("readRadio");
    writeRadio_->setObjectName("writeRadio");
    modeLayout->addWidget(readRadio_);
    modeLayout->addWidget(writeRadio_);
    singleLayout->addWidget(mode);

    auto* fields = new QGridLayout;
    registerId_ = new QLineEdit(single);
    registerId_->setObjectName("registerId");
    value_ = new QLineEdit(single);
    value_->setObjectName("value");
    if (digitsOnly)
        registerId_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
    for (QLineEdit* e : {registerId_, value_})
        e->setFixedWidth(56);
    fields->addWidget(new QLabel(registerLabel, single), 0, 0);
    fields->addWidget(registerId_, 0, 1);
    fields->addWidget(new QLabel(tr("Value"), single), 1, 0);
    fields->addWidget(value_, 1, 1);
    rwButton_ = new QPushButton(tr("R/W"), single);
    rwButton_->setObjectName("rwButton");
    fields->addWidget(rwButton_, 0, 2, 2, 1);
    singleLayout->addLayout(fields);
    panel->addWidget(single);

    readAll_ = new QPushButton(readAllCaption, this);
    readAll_->setObjectName("readAllButton");
    panel->addWidget(readAll_);

    side_ = new QVBoxLayout;
    panel->addLayout(side_);
    panel->addStretch(1);

    readRadio_->setChecked(true);
    value_->setReadOnly(true);
    registerId_->setText("000");
    value_->setText("00");

    connect(readRadio_, &QRadioButton::clicked, this, &CBbpRegisterPage::OnModeRead);
    connect(writeRadio_, &QRadioButton::clicked, this, &CBbpRegisterPage::OnModeWrite);
    connect(rwButton_, &QPushButton::clicked, this, &CBbpRegisterPage::OnRw);
    connect(readAll_, &QPushButton::clicked, this, &CBbpRegisterPage::OnReadAll);
}

void CBbpRegisterPage::AddRegisters(unsigned first, unsigned last, bool visible) {
    // Row = low nibble, one column per high nibble: a register's neighbours in
    // the grid are its neighbours in the address map.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int fieldWidth = QFontMetrics(fixed).horizontalAdvance("WW") + 12;
    for (unsigned r = first; r <= last && r < 256; ++r) {
        const unsigned nibble = r >> 4;
        if (!columns_.count(nibble)) {
            const int pair = int(columns_.size());
            columns_[nibble] = pair;
            if (pair > 0) grid_->setColumnMinimumWidth(3 * pair - 1, 10);
        }
        const int col = 3 * columns_[nibble];
        auto* label = new QLabel(QString::asprintf("R%u (0x%02X)", r, r), this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* field = new QLineEdit(HexText(0), this);
        field->setObjectName(QString::asprintf("R%u", r));
        field->setReadOnly(true);
        field->setMaxLength(2);
        field->setFont(fixed);
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(fieldWidth);
        field->setFocusPolicy(Qt::ClickFocus);
        grid_->addWidget(label, int(r & 15), col);
        grid_->addWidget(field, int(r & 15), col + 1);
        if (!visible) {
            label->hide();
            field->hide();
        }
        cells_[r] = {label, field};
    }
}

QLineEdit* CBbpRegisterPage::RegisterField(unsigned reg) const {
    auto it = cells_.find(reg);
    return it == cells_.end() ? nullptr : it->second.field;
}

QLabel* CBbpRegisterPage::RegisterLabel(unsigned reg) const {
    auto it = cells_.find(reg);
    return it == cells_.end() ? nullptr : it->second.label;
}

void CBbpRegisterPage::OnInitDialog() {
    value_->setReadOnly(true);
    registerId_->setMaxLength(3);
    value_->setMaxLength(2);
    for (auto& [reg, cell] : cells_) {
        cell.field->setText(HexText(0));
        cell.field->setReadOnly(true);
    }
    if (readR0AtStart_) {
        // A first access to the baseband; the value is not used.
        CDeviceCommands dev;
        std::uint8_t v = 0;
        dev.BbpAccess(0, 0, v);
    }
    registerId_->setText("000");
    value_->setText("00");
}

void CBbpRegisterPage::OnSetActive() {
    OnReadAll();
}

void CBbpRegisterPage::OnReadAll() {
    WaitCursor wait;
    std::uint8_t table[256] = {}; // a failed Read-All leaves it zero
    CDeviceCommands dev;
    dev.BbpReadAll(table);
    for (auto& [reg, cell] : cells_)
        cell.field->setText(HexText(table[reg]));
}

void CBbpRegisterPage::OnModeRead() {
    mode_ = 0;
    readRadio_->setChecked(true);
    value_->setReadOnly(true);
}

void CBbpRegisterPage::OnModeWrite() {
    mode_ = 1;
    writeRadio_->setChecked(true);
    value_->setReadOnly(false);
}

void CBbpRegisterPage::OnRw() {
    const unsigned reg = bbp::RegisterFromText(registerId_->text().toStdString());
    std::uint8_t v = bbp::ValueFromText(value_->text().toStdString());
    CDeviceCommands dev;
    if (mode_ == 0) {
        dev.BbpAccess(0, reg, v);
        value_->setText(HexText(v));
    } else {
        dev.BbpAccess(1, reg, v); // the grid shows the new value at the next refresh
    }
}

CBBPPage2::CBBPPage2(QWidget* parent)
    : CBbpRegisterPage(tr("BBP Page 2"), tr("Read &All"), tr("Register"), true, true, parent) {
    AddRegisters(112, 136);
    auto* loadFile = new QPushButton(tr("Load File"), this);
    loadFile->setObjectName("loadFile");
    loadFile->setEnabled(false);
    SidePanel()->addWidget(loadFile);
}

CBBPPage3::CBBPPage3(QWidget* parent)
    : CBbpRegisterPage(tr("BBP Page 3"), tr("Read &All"), tr("Register"), false, false, parent) {
    AddRegisters(137, 199);
    AddRegisters(248, 250);
    AddRegisters(251, 255, false);
}

} // namespace vq

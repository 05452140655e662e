#include "registers/eeprom/eeprom_page.h"

#include "base/services.h"
#include "controls/hex_edit.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <new>

namespace vq {

namespace {

const QString kContentFilter = "EEPROM content File (*.bin)|*.bin||";

// Control ids.
enum : int {
    kType = 1313,
    kMac = 1103,
    kMacSet = 1104,
    kLanMac = 1257,
    kLanMacSet = 1502,
    kWanMac = 1258,
    kWanMacSet = 1503,
    kRead = 1001,
    kWrite = 1002,
    kValueMode = 1145,
    kOffset = 1003,
    kValue = 1009,
    kLength = 1004,
    kRw = 1005,
    kHex = 1006,
    kReadAll = 1008,
    kLoadFile = 1007,
    kSaveAs = 1183,
    kKeepTxPower = 1209,
    kNvmType = 1409,
    kBufferMode = 1275,
    kDisableWarning = 1404,
    kFreeLabel = 1434,
    kFreeValue = 1405,
    kPolarity = 1372,
    kLedMode = 1010,
    kLedSet = 1364,
    kEfuseMode = 1406,
    kLogicalView = 1401,
    kPhysicalView = 1407,
    kCheck = 1408,
};

QString WithBin(const QString& name) {
    return QFileInfo(name).suffix().isEmpty() ? name + ".bin" : name;
}

std::string LocalPath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

} // namespace

CEEPROMPage::CEEPROMPage(QWidget* parent) : QAPage("EEPROM", parent) {
    auto* top = new QHBoxLayout(this);

    // Left column: type, MAC addresses, access, files, eFuse options.
    auto* left = new QVBoxLayout;
    top->addLayout(left);

    auto* types = new QGridLayout;
    types->addWidget(new QLabel("EEPROM Type :"), 0, 0);
    auto* type = new QLabel;
    Add(kType, type);
    types->addWidget(type, 0, 1);
    types->addWidget(new QLabel("NVM Type :"), 1, 0);
    auto* nvm = new QLabel;
    Add(kNvmType, nvm);
    types->addWidget(nvm, 1, 1);
    left->addLayout(types);

    auto* macs = new QGridLayout;
    const struct {
        const char* caption;
        int edit, button;
        void (CEEPROMPage::*slot)();
    } macRows[] = {{"MAC Addr.", kMac, kMacSet, &CEEPROMPage::OnSetMac},
                   {"LAN MAC Addr.", kLanMac, kLanMacSet, &CEEPROMPage::OnSetLanMac},
                   {"WAN MAC Addr.", kWanMac, kWanMacSet, &CEEPROMPage::OnSetWanMac}};
    for (int r = 0; r < 3; ++r) {
        macs->addWidget(new QLabel(macRows[r].caption), r, 0);
        auto* e = new QLineEdit;
        e->setMaxLength(12);
        // Room for the whole address: twelve digits and the frame.
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDDDDDDD")) + 12);
        Add(macRows[r].edit, e);
        macs->addWidget(e, r, 1);
        auto* b = new QPushButton("Set");
        Add(macRows[r].button, b);
        macs->addWidget(b, r, 2);
        connect(b, &QPushButton::clicked, this, macRows[r].slot);
    }
    left->addLayout(macs);

    auto* modeBox = new QGroupBox("Mode");
    auto* modeLayout = new QHBoxLayout(modeBox);
    auto* readRadio = new QRadioButton("&READ");
    auto* writeRadio = new QRadioButton("&WRITE");
    Add(kRead, readRadio);
    Add(kWrite, writeRadio);
    modeLayout->addWidget(readRadio);
    modeLayout->addWidget(writeRadio);
    left->addWidget(modeBox);
    connect(readRadio, &QRadioButton::clicked, this, &CEEPROMPage::OnReadMode);
    connect(writeRadio, &QRadioButton::clicked, this, &CEEPROMPage::OnWriteMode);

    auto* rwBox = new QGroupBox("Read/Write Mode");
    auto* rw = new QGridLayout(rwBox);
    auto* valueMode = new QCheckBox("Value-Mode");
    Add(kValueMode, valueMode);
    rw->addWidget(valueMode, 0, 0, 1, 2);
    connect(valueMode, &QCheckBox::clicked, this, &CEEPROMPage::OnValueMode);
    const struct {
        const char* caption;
        int id;
    } fields[] = {{"Offset", kOffset}, {"Value", kValue}, {"Length", kLength}};
    for (int r = 0; r < 3; ++r) {
        rw->addWidget(new QLabel(fields[r].caption), r + 1, 0);
        auto* e = new QLineEdit;
        Add(fields[r].id, e);
        rw->addWidget(e, r + 1, 1);
    }
    auto* rwButton = new QPushButton("R/W");
    Add(kRw, rwButton);
    rw->addWidget(rwButton, 4, 0, 1, 2);
    connect(rwButton, &QPushButton::clicked, this, &CEEPROMPage::OnRw);
    left->addWidget(rwBox);

    auto* files = new QGridLayout;
    const struct {
        const char* caption;
        int id;
        void (CEEPROMPage::*slot)();
    } buttons[] = {{"Read &ALL", kReadAll, &CEEPROMPage::OnReadAll},
                   {"Load File", kLoadFile, &CEEPROMPage::OnLoadFile},
                   {"Save As...", kSaveAs, &CEEPROMPage::OnSaveAs}};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(buttons[i].caption);
        Add(buttons[i].id, b);
        files->addWidget(b, i / 2, i % 2);
        connect(b, &QPushButton::clicked, this, buttons[i].slot);
    }
    auto* keep = new QCheckBox("Keep Current TxPower");
    Add(kKeepTxPower, keep);
    files->addWidget(keep, 2, 0, 1, 2);
    left->addLayout(files);

    auto* efuse = new QGridLayout;
    auto* bufferMode = new QCheckBox("EEPROM Buffer Mode");
    Add(kBufferMode, bufferMode);
    efuse->addWidget(bufferMode, 0, 0, 1, 2);
    connect(bufferMode, &QCheckBox::clicked, this, &CEEPROMPage::OnBufferMode);
    auto* warning = new QCheckBox("Disable Write Warning");
    Add(kDisableWarning, warning);
    efuse->addWidget(warning, 1, 0, 1, 2);
    connect(warning, &QCheckBox::clicked, this, &CEEPROMPage::OnDisableWriteWarning);
    auto* freeLabel = new QLabel("Free Block:");
    auto* freeValue = new QLabel;
    Add(kFreeLabel, freeLabel);
    Add(kFreeValue, freeValue);
    efuse->addWidget(freeLabel, 2, 0);
    efuse->addWidget(freeValue, 2, 1);
    left->addLayout(efuse);

    // Template controls without a visible role: the eFuse mode mirror, the two
    // views (neither chosen: content access is logical), "Check" and "Save BBP".
    auto* efuseMode = new QCheckBox("eFuse Mode");
    Add(kEfuseMode, efuseMode);
    auto* logicalView = new QRadioButton("Logical View");
    auto* physicalView = new QRadioButton("Physical View");
    logicalView->setAutoExclusive(false);
    physicalView->setAutoExclusive(false);
    Add(kLogicalView, logicalView);
    Add(kPhysicalView, physicalView);
    auto* check = new QPushButton("Check");
    Add(kCheck, check);
    connect(check, &QPushButton::clicked, this, &CEEPROMPage::OnCheck);
    auto* saveBbp = new QPushButton("Save BBP");
    saveBbp->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(efuseMode), static_cast<QWidget*>(logicalView),
                       static_cast<QWidget*>(physicalView), static_cast<QWidget*>(check),
                       static_cast<QWidget*>(saveBbp)}) {
        w->setParent(this);
        w->hide();
    }
    left->addStretch(1);

    // Middle: the content.
    hex_ = new CHexEdit;
    hex_->SetAllowLengthChange(false);
    hex_->SetBytesPerRow(16); // one eFuse block per row
    hex_->setMinimumWidth(640);
    Add(kHex, hex_);
    top->addWidget(hex_, 1);

    // Right column: LED behaviour.
    auto* right = new QVBoxLayout;
    top->addLayout(right);
    auto* pol = new QHBoxLayout;
    pol->addWidget(new QLabel("High or Low Active"));
    auto* polarity = new QComboBox;
    polarity->addItems({"High", "Low"});
    polarity->setCurrentIndex(-1);
    Add(kPolarity, polarity);
    pol->addWidget(polarity);
    right->addLayout(pol);
    connect(polarity, qOverload<int>(&QComboBox::activated), this, &CEEPROMPage::OnPolarityChanged);

    const char* gaStates[] = {"Radio Off", "Radio On and Link Down", "Link to G", "Link to A"};
    const char* actStates[] = {"Radio Off", "Radio On Link Down", "Link to G", "Link to A"};
    const char* groups[] = {"LED G", "LED A", "LED ACT"};
    for (int g = 0; g < 3; ++g) {
        auto* box = new QGroupBox(groups[g]);
        auto* grid = new QGridLayout(box);
        for (int s = 0; s < 4; ++s) {
            const int i = 4 * g + s;
            grid->addWidget(new QLabel(g == 2 ? actStates[s] : gaStates[s]), s, 0);
            auto* combo = new QComboBox;
            for (const std::string& item : LedItems(kLedFields[i].kind))
                combo->addItem(QString::fromStdString(item));
            combo->setCurrentIndex(-1);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            led_[i] = combo;
            Add(kLedFields[i].id, combo);
            grid->addWidget(combo, s, 1);
        }
        right->addWidget(box);
    }
    auto* modeBox2 = new QGroupBox("LED Mode(0x3B)");
    auto* lm = new QHBoxLayout(modeBox2);
    lm->addWidget(new QLabel("LED Mode"));
    auto* ledMode = new QLineEdit;
    Add(kLedMode, ledMode);
    lm->addWidget(ledMode);
    auto* ledSet = new QPushButton("Set");
    Add(kLedSet, ledSet);
    lm->addWidget(ledSet);
    connect(ledSet, &QPushButton::clicked, this, &CEEPROMPage::OnSetLed);
    right->addWidget(modeBox2);
    right->addStretch(1);
}

CEEPROMPage::~CEEPROMPage() {
    ReleaseBuffers();
}

CEEPROMPage::Busy::Busy(CEEPROMPage* page) : page_(page) {
    ++page_->busy_;
}

CEEPROMPage::Busy::~Busy() {
    if (--page_->busy_ == 0 && page_->freePending_) page_->ReleaseBuffers();
}

void CEEPROMPage::Add(int id, QWidget* w) {
    w->setObjectName(QString("IDC_%1").arg(id));
    controls_[id] = w;
}

QWidget* CEEPROMPage::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QLineEdit* CEEPROMPage::Edit(int id) const {
    return ControlAs<QLineEdit>(id);
}

void CEEPROMPage::Gather() {
    logic_.offsetText = Edit(kOffset)->text().toStdString();
    logic_.lengthText = Edit(kLength)->text().toStdString();
    logic_.valueText = Edit(kValue)->text().toStdString();
    logic_.ledModeText = Edit(kLedMode)->text().toStdString();
    logic_.macTexts[0] = Edit(kMac)->text().toStdString();
    logic_.macTexts[1] = Edit(kLanMac)->text().toStdString();
    logic_.macTexts[2] = Edit(kWanMac)->text().toStdString();
    logic_.valueMode = ControlAs<QCheckBox>(kValueMode)->isChecked();
    logic_.keepTxPower = ControlAs<QCheckBox>(kKeepTxPower)->isChecked();
    logic_.polarity = ControlAs<QComboBox>(kPolarity)->currentIndex();
    for (int i = 0; i < 12; ++i)
        logic_.ledItems[i] = led_[i]->currentIndex();
}

void CEEPROMPage::Show() {
    Edit(kOffset)->setText(QString::fromStdString(logic_.offsetText));
    Edit(kLength)->setText(QString::fromStdString(logic_.lengthText));
    Edit(kValue)->setText(QString::fromStdString(logic_.valueText));
    Edit(kLedMode)->setText(QString::fromStdString(logic_.ledModeText));
    Edit(kMac)->setText(QString::fromStdString(logic_.macTexts[0]));
    Edit(kLanMac)->setText(QString::fromStdString(logic_.macTexts[1]));
    Edit(kWanMac)->setText(QString::fromStdString(logic_.macTexts[2]));
    ControlAs<QRadioButton>(kRead)->setChecked(logic_.mode == 0);
    ControlAs<QRadioButton>(kWrite)->setChecked(logic_.mode == 1);
    ControlAs<QCheckBox>(kValueMode)->setChecked(logic_.valueMode);
    ControlAs<QCheckBox>(kKeepTxPower)->setChecked(logic_.keepTxPower);
    ControlAs<QComboBox>(kPolarity)->setCurrentIndex(logic_.polarity);
    for (int i = 0; i < 12; ++i)
        led_[i]->setCurrentIndex(logic_.ledItems[i]);
    ControlAs<QLabel>(kType)->setText(QString::fromStdString(logic_.typeText));
    ControlAs<QLabel>(kFreeValue)->setText(QString::fromStdString(logic_.freeText));
    hex_->Refresh();
}

void CEEPROMPage::ApplyValueModeRule() {
    const bool write = logic_.mode == 1;
    if (ControlAs<QCheckBox>(kValueMode)->isChecked()) {
        Edit(kLength)->setEnabled(false);
        Edit(kValue)->setReadOnly(!write);
    } else {
        Edit(kLength)->setEnabled(write);
        Edit(kValue)->setReadOnly(true);
    }
}

void CEEPROMPage::OnInitDialog() {
    Busy busy(this);
    Edit(kOffset)->setMaxLength(4);
    Edit(kLength)->setMaxLength(4);
    Edit(kValue)->setMaxLength(2);
    Edit(kLedMode)->setMaxLength(2);
    for (int id : {kMac, kLanMac, kWanMac})
        Edit(id)->setMaxLength(12);
    DeviceSequence sequence;
    WaitCursor wait;
    logic_.ReadTypeText();
    logic_.ReadMacAddresses();
    Show();
    Edit(kLength)->setEnabled(false);
    Edit(kValue)->setReadOnly(true);
    for (QComboBox* c : led_)
        c->setEnabled(false);
}

void CEEPROMPage::OnSetActive() {
    Busy busy(this);
    DeviceSequence sequence;
    WaitCursor wait;
    Gather();
    logic_.ShowLedFields();
    logic_.ReadLedMode();

    ReleaseBuffers();
    image_.reset(new (std::nothrow) std::uint8_t[kImageSize]());
    work_.reset(new (std::nothrow) std::uint8_t[kContentSize]());
    if (!image_ || !work_) {
        ReleaseBuffers();
        ShowMessage("Memory allocation failed!");
        Sheet().CloseMainWindow();
        return;
    }
    logic_.image = image_.get();

    const bool efuse = EepromPageLogic::EfuseFamily();
    ControlAs<QCheckBox>(kEfuseMode)->setChecked(efuse);
    ControlAs<QLabel>(kNvmType)->setText(efuse ? "E-fuse" : "EEPROM");
    for (int id : {kFreeLabel, kFreeValue, kDisableWarning, kBufferMode})
        Control(id)->setEnabled(efuse);
    logic_.RefreshFreeBlocks();
    ControlAs<QCheckBox>(kBufferMode)->setChecked(efuse && EepromPageLogic::BufferMode());
    ControlAs<QCheckBox>(kDisableWarning)->setChecked(State().suppressEfuseQuestion);
    hex_->SetData(image_.get(), kContentSize);
    logic_.ReadAll();
    Show();
}

void CEEPROMPage::FreeBuffers() {
    if (busy_ > 0) {
        freePending_ = true;
        return;
    }
    ReleaseBuffers();
}

void CEEPROMPage::ReleaseBuffers() {
    freePending_ = false;
    if (hex_) hex_->SetData(nullptr, 0);
    logic_.image = nullptr;
    image_.reset();
    work_.reset();
}

bool CEEPROMPage::OnKillActive() {
    FreeBuffers();
    return true;
}

void CEEPROMPage::OnDestroyPage() {
    FreeBuffers();
}

void CEEPROMPage::OnReadMode() {
    logic_.mode = 0;
    ControlAs<QRadioButton>(kRead)->setChecked(true);
    Edit(kLength)->setEnabled(false);
    Edit(kValue)->setReadOnly(true);
}

void CEEPROMPage::OnWriteMode() {
    logic_.mode = 1;
    ControlAs<QRadioButton>(kWrite)->setChecked(true);
    ApplyValueModeRule();
}

void CEEPROMPage::OnValueMode() {
    ApplyValueModeRule();
}

void CEEPROMPage::OnRw() {
    if (!image_) return;
    Busy busy(this);
    WaitCursor wait;
    Gather();
    logic_.ReadWrite();
    Show();
}

void CEEPROMPage::OnReadAll() {
    if (!image_) return;
    Busy busy(this);
    WaitCursor wait;
    Gather();
    logic_.ReadAll();
    Show();
}

void CEEPROMPage::OnLoadFile() {
    if (!image_) return;
    Busy busy(this);
    const QString name = FileDialogs().OpenFile("Load File", ProgramDirectory(), kContentFilter);
    if (name.isEmpty()) return;
    WaitCursor wait;
    Gather();
    logic_.LoadFile(LocalPath(WithBin(name)));
    Show();
}

void CEEPROMPage::OnSaveAs() {
    if (!image_) return;
    Busy busy(this);
    const QString name = FileDialogs().SaveFile("Save As", ProgramDirectory(), kContentFilter);
    if (name.isEmpty()) return;
    WaitCursor wait;
    Gather();
    logic_.SaveFile(LocalPath(WithBin(name)));
    Show();
}

void CEEPROMPage::SetMac(int which) {
    Busy busy(this);
    WaitCursor wait;
    Gather();
    logic_.SetMacAddress(which);
    Show();
}

void CEEPROMPage::OnSetMac() {
    SetMac(0);
}
void CEEPROMPage::OnSetLanMac() {
    SetMac(1);
}
void CEEPROMPage::OnSetWanMac() {
    SetMac(2);
}

void CEEPROMPage::OnPolarityChanged(int index) {
    Busy busy(this);
    WaitCursor wait;
    Gather();
    logic_.polarity = index;
    for (QComboBox* c : led_)
        c->setEnabled(true);
    logic_.ShowLedFields();
    Show();
}

void CEEPROMPage::OnSetLed() {
    Busy busy(this);
    WaitCursor wait;
    Gather();
    logic_.SetLed();
    Show();
}

void CEEPROMPage::OnBufferMode() {
    const bool on = ControlAs<QCheckBox>(kBufferMode)->isChecked();
    State().eepromSource = on ? EepromSourceKind::Buffer : EepromSourceKind::Efuse;
    OnReadAll();
}

void CEEPROMPage::OnDisableWriteWarning() {
    State().suppressEfuseQuestion = ControlAs<QCheckBox>(kDisableWarning)->isChecked();
}

void CEEPROMPage::OnCheck() {
    Busy busy(this);
    WaitCursor wait;
    Gather();
    logic_.RefreshFreeBlocks();
    Show();
}

} // namespace vq

#include "txrx/tx_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vq {

namespace {

QStringList NumberList(int last) {
    QStringList l;
    for (int i = 0; i <= last; ++i)
        l << QString::asprintf("%02d", i);
    return l;
}

const int kRingChecks[6] = {1192, 1193, 1194, 1195, 1196, 1255}; // AC0..AC3, MGMT, HCCA
const int kScatChecks[5] = {1200, 1201, 1202, 1203, 1204};
const int kEdca[5][3] = {
    {1059, 1060, 1061}, {1062, 1063, 1065}, {1073, 1082, 1083}, {1087, 1088, 1089}, {1090, 1091, 1092}};

} // namespace

// ---- CSetTxDescriptor -----------------------------------------------------------

CSetTxDescriptor::CSetTxDescriptor(TxDescriptorValues& values, QWidget* parent)
    : QDialog(parent), values_(values) {
    setWindowTitle("Set Tx Descriptor and TX-WI");
    auto* top = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    top->addLayout(columns);

    auto check = [this](int id, const QString& caption) {
        auto* c = new QCheckBox(caption);
        controls_[id] = c;
        return c;
    };
    auto combo = [this](int id, const QStringList& items) {
        auto* c = new QComboBox;
        c->addItems(items);
        controls_[id] = c;
        return c;
    };
    auto edit = [this](int id, int maxLength) {
        auto* e = new QLineEdit;
        if (maxLength > 0) e->setMaxLength(maxLength);
        controls_[id] = e;
        return e;
    };

    // Left column: rings.
    auto* left = new QVBoxLayout;
    columns->addLayout(left);
    auto* ringTypeRow = new QHBoxLayout;
    ringTypeLabel_ = new QLabel("Ring Type");
    ringTypeRow->addWidget(ringTypeLabel_);
    ringTypeRow->addWidget(combo(1071, {"AC0", "AC1", "AC2", "AC3", "Mgmt"}));
    left->addLayout(ringTypeRow);

    ringGroup_ = new QGroupBox("Rings");
    controls_[1198] = ringGroup_;
    auto* rg = new QGridLayout(ringGroup_);
    const char* ringNames[5] = {"AC0", "AC1", "AC2", "AC3", "MGMT"};
    for (int i = 0; i < 5; ++i) {
        rg->addWidget(check(kRingChecks[i], ringNames[i]), i, 0);
        rg->addWidget(check(kScatChecks[i], "Scat"), i, 1);
    }
    left->addWidget(ringGroup_);
    left->addWidget(check(1255, "HCCA"));
    left->addWidget(check(1206, "Data Inc"));
    left->addWidget(check(1205, "Len Random"));
    left->addWidget(check(1207, "AC0 4K Boundary Test"));
    left->addStretch();

    // Middle column: descriptor bits and security.
    auto* txd = new QGroupBox("TX Descriptor");
    auto* tg = new QGridLayout(txd);
    const QStringList bit = {"(0)", "(1)"};
    struct Row {
        int id;
        const char* caption;
        QStringList items;
    } rows[] = {{1035, "IFS", {"Backoff (0)", "SIFS (1)"}},
                {1047, "DROP", bit},
                {1048, "MoreFrag", bit},
                {1049, "ACK", bit},
                {1050, "Timestamp", bit},
                {1051, "Retry_md", bit},
                {1052, "Tkip MIC", {"(0)", "AutoAppend8Bytes(1)"}},
                {1056, "BURST", bit},
                {1084, "IV Offset", NumberList(63)}};
    int r = 0;
    for (const Row& row : rows) {
        tg->addWidget(new QLabel(row.caption), r, 0);
        tg->addWidget(combo(row.id, row.items), r, 1);
        ++r;
    }
    columns->addWidget(txd);

    auto* sec = new QGroupBox("Security");
    auto* sg = new QGridLayout(sec);
    sg->addWidget(new QLabel("Cypher"), 0, 0);
    sg->addWidget(combo(1057, {"(0) NO", "(1) WEP40", "(2) WEP104", "(3) TKIP", "(4) AES-CCMP", "(5) CKIP40",
                               "(6) CKIP104", "(7) Reserved"}),
                  0, 1);
    sg->addWidget(new QLabel("Key Table"), 1, 0);
    sg->addWidget(combo(1053, {"SharedKeyTable(0)", "PairWiseKeyTable(1)"}), 1, 1);
    sg->addWidget(new QLabel("Key Index"), 2, 0);
    sg->addWidget(combo(1055, NumberList(63)), 2, 1);
    sg->addWidget(new QLabel("Key Value"), 3, 0);
    auto* key = edit(1257, 32);
    key->setMinimumWidth(260);
    sg->addWidget(key, 3, 1);
    sg->addWidget(new QLabel("IV"), 4, 0);
    sg->addWidget(edit(1028, 8), 4, 1);
    sg->addWidget(new QLabel("EIV"), 5, 0);
    sg->addWidget(edit(1032, 8), 5, 1);
    sg->addWidget(new QLabel("BA WinSize (6bits)"), 6, 0);
    sg->addWidget(edit(1236, 0), 6, 1);

    // Right column: EDCA parameters per ring.
    auto* right = new QVBoxLayout;
    auto* mid = new QVBoxLayout;
    mid->addWidget(sec);
    mid->addStretch();
    columns->addLayout(mid);
    columns->addLayout(right);
    const char* groupNames[5] = {"AC0 Ring", "AC1 Ring", "AC2 Ring", "AC3 Ring", "MGN Ring"};
    for (int g = 0; g < 5; ++g) {
        acGroups_[g] = new QGroupBox(groupNames[g]);
        auto* gl = new QHBoxLayout(acGroups_[g]);
        const char* names[3] = {"AIFSN", "Cwmin", "Cwmax"};
        for (int k = 0; k < 3; ++k) {
            gl->addWidget(new QLabel(names[k]));
            gl->addWidget(combo(kEdca[g][k], NumberList(15)));
        }
        right->addWidget(acGroups_[g]);
    }
    right->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        TakeValues();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(Combo(1071), &QComboBox::activated, this, &CSetTxDescriptor::OnRingTypeChanged);
    for (int id : kRingChecks)
        connect(Check(id), &QCheckBox::clicked, this, [this, id] { OnRingClicked(id); });
    connect(Check(1207), &QCheckBox::clicked, this, &CSetTxDescriptor::OnBoundaryTest);

    Load();
}

QWidget* CSetTxDescriptor::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}
QCheckBox* CSetTxDescriptor::Check(int id) const {
    return qobject_cast<QCheckBox*>(Control(id));
}
QComboBox* CSetTxDescriptor::Combo(int id) const {
    return qobject_cast<QComboBox*>(Control(id));
}
QLineEdit* CSetTxDescriptor::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}

void CSetTxDescriptor::Load() {
    const TxDescriptorValues& v = values_;
    const bool rings[6] = {v.ac0, v.ac1, v.ac2, v.ac3, v.mgmt, v.hcca};
    for (int i = 0; i < 6; ++i)
        Check(kRingChecks[i])->setChecked(rings[i]);
    for (int i = 0; i < 5; ++i)
        Check(kScatChecks[i])->setChecked(v.scatter[i]);
    Check(1206)->setChecked(v.dataInc);
    Check(1205)->setChecked(v.lenRandom);
    Check(1207)->setChecked(v.boundary4k);
    Combo(1071)->setCurrentIndex(v.ringType);
    Combo(1035)->setCurrentIndex(v.ifs);
    Combo(1047)->setCurrentIndex(v.drop);
    Combo(1048)->setCurrentIndex(v.moreFrag);
    Combo(1049)->setCurrentIndex(v.ack);
    Combo(1050)->setCurrentIndex(v.timestamp);
    Combo(1051)->setCurrentIndex(v.retryMd);
    Combo(1052)->setCurrentIndex(v.tkipMic);
    Combo(1056)->setCurrentIndex(v.burst);
    Combo(1084)->setCurrentIndex(v.ivOffset);
    Combo(1057)->setCurrentIndex(v.cipher);
    Combo(1053)->setCurrentIndex(v.keyTable);
    Combo(1055)->setCurrentIndex(v.keyIndex);
    Edit(1257)->setText(QString::fromStdString(v.keyValue));
    Edit(1028)->setText(QString::fromStdString(v.iv));
    Edit(1032)->setText(QString::fromStdString(v.eiv));
    Edit(1236)->setText(QString::fromStdString(v.baWinSize));
    for (int g = 0; g < 5; ++g) {
        Combo(kEdca[g][0])->setCurrentIndex(v.aifsn[g]);
        Combo(kEdca[g][1])->setCurrentIndex(v.cwmin[g]);
        Combo(kEdca[g][2])->setCurrentIndex(v.cwmax[g]);
    }
    ApplyQosLayout();
    if (v.boundary4k) OnBoundaryTest(true);
}

void CSetTxDescriptor::ApplyQosLayout() {
    const bool qos = values_.qosLayout;
    ringTypeLabel_->setVisible(!qos);
    Combo(1071)->setVisible(!qos);
    for (int id : {1205, 1206, 1255})
        Check(id)->setVisible(qos);
    for (int id : kScatChecks)
        Check(id)->setVisible(qos);
    ringGroup_->setVisible(qos);
    if (qos) {
        for (int g = 0; g < 5; ++g)
            for (int k = 0; k < 3; ++k)
                Combo(kEdca[g][k])->setEnabled(g < 4);
    } else {
        ApplyRingTypeRule(Combo(1071)->currentIndex());
    }
}

// Only the parameters of the chosen ring are editable; the management ring's
// never are.
void CSetTxDescriptor::ApplyRingTypeRule(int ringType) {
    for (int g = 0; g < 5; ++g)
        for (int k = 0; k < 3; ++k)
            Combo(kEdca[g][k])->setEnabled(g < 4 && g == ringType);
}

void CSetTxDescriptor::OnRingTypeChanged(int index) {
    ApplyRingTypeRule(index);
}

void CSetTxDescriptor::OnRingClicked(int id) {
    for (int other : kRingChecks)
        if (other != id && Check(other)->isChecked()) return;
    Check(id)->setChecked(true); // at least one ring stays selected
}

void CSetTxDescriptor::OnBoundaryTest(bool checked) {
    if (checked) {
        Check(1192)->setChecked(true);
        Check(1200)->setChecked(true);
        for (int id : {1193, 1194, 1195, 1196, 1201, 1202, 1203, 1204, 1255})
            Check(id)->setChecked(false);
    }
    for (int id : {1194, 1195, 1196, 1201, 1202, 1203, 1204, 1255})
        Check(id)->setEnabled(!checked);
}

void CSetTxDescriptor::TakeValues() {
    TxDescriptorValues& v = values_;
    bool* rings[6] = {&v.ac0, &v.ac1, &v.ac2, &v.ac3, &v.mgmt, &v.hcca};
    for (int i = 0; i < 6; ++i)
        *rings[i] = Check(kRingChecks[i])->isChecked();
    for (int i = 0; i < 5; ++i)
        v.scatter[i] = Check(kScatChecks[i])->isChecked();
    v.dataInc = Check(1206)->isChecked();
    v.lenRandom = Check(1205)->isChecked();
    v.boundary4k = Check(1207)->isChecked();
    v.ringType = Combo(1071)->currentIndex();
    v.ifs = Combo(1035)->currentIndex();
    v.drop = Combo(1047)->currentIndex();
    v.moreFrag = Combo(1048)->currentIndex();
    v.ack = Combo(1049)->currentIndex();
    v.timestamp = Combo(1050)->currentIndex();
    v.retryMd = Combo(1051)->currentIndex();
    v.tkipMic = Combo(1052)->currentIndex();
    v.burst = Combo(1056)->currentIndex();
    v.ivOffset = Combo(1084)->currentIndex();
    v.cipher = Combo(1057)->currentIndex();
    v.keyTable = Combo(1053)->currentIndex();
    v.keyIndex = Combo(1055)->currentIndex();
    v.keyValue = Edit(1257)->text().toStdString();
    v.iv = Edit(1028)->text().toStdString();
    v.eiv = Edit(1032)->text().toStdString();
    v.baWinSize = Edit(1236)->text().toStdString();
    for (int g = 0; g < 5; ++g) {
        v.aifsn[g] = Combo(kEdca[g][0])->currentIndex();
        v.cwmin[g] = Combo(kEdca[g][1])->currentIndex();
        v.cwmax[g] = Combo(kEdca[g][2])->currentIndex();
    }
}

// ---- CSetTxEnv ------------------------------------------------------------------

CSetTxEnv::CSetTxEnv(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Set Tx environment");
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel("These parameters must cooperate with signal generator."));
    auto* grid = new QGridLayout;
    txPacket_ = new QRadioButton("TX Packet");
    freeRun_ = new QRadioButton("Free Run (Packets/Sec)");
    packets_ = new QLineEdit;
    perSec_ = new QLineEdit;
    controls_[1311] = txPacket_;
    controls_[1312] = freeRun_;
    controls_[1257] = packets_;
    controls_[1258] = perSec_;
    grid->addWidget(txPacket_, 0, 0);
    grid->addWidget(packets_, 0, 1);
    grid->addWidget(freeRun_, 1, 0);
    grid->addWidget(perSec_, 1, 1);
    top->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK");
    auto* exit = new QPushButton("Exit");
    ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(exit);
    top->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CSetTxEnv::OnOk);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    connect(txPacket_, &QRadioButton::clicked, this, &CSetTxEnv::OnTxPacket);
    connect(freeRun_, &QRadioButton::clicked, this, &CSetTxEnv::OnFreeRun);

    TxEnv().frameLossMode = 0;
    txPacket_->setChecked(true);
    packets_->setText(QString::asprintf("%d", int(TxEnv().expectedCount)));
    packets_->setEnabled(true);
    perSec_->setEnabled(false);
}

QWidget* CSetTxEnv::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void CSetTxEnv::OnTxPacket() {
    txPacket_->setChecked(true);
    packets_->setEnabled(true);
    perSec_->setEnabled(false);
    TxEnv().frameLossMode = 0;
}

void CSetTxEnv::OnFreeRun() {
    freeRun_->setChecked(true);
    packets_->setEnabled(false);
    perSec_->setEnabled(true);
    TxEnv().frameLossMode = 1;
}

void CSetTxEnv::OnOk() {
    const QString text = TxEnv().frameLossMode == 1 ? perSec_->text() : packets_->text();
    TxEnv().expectedCount = std::uint32_t(ParseDecimal(text.toStdString()));
    accept();
}

} // namespace vq

#include "txrx/txrx_page.h"

#include "base/services.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "txrx/core/txrx_radio.h"
#include "txrx/core/txrx_test.h"
#include "txrx/tx_dialogs.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

namespace vq {

namespace {

// Control ids of the page.
namespace id {
constexpr int Channel = 1019, Mode = 1066, Rate = 1030, Bandwidth = 1267, TxBandSel = 1352, FrameType = 1068;
constexpr int Fc = 1021, Dur = 1022, Addr1 = 1023, Addr2 = 1024, Addr3 = 1025, Seq = 1026, Payload = 1027;
constexpr int RepeatPattern = 1067, TotalBytes = 1064, Repeat = 1034, Ipg = 1108, MinLength = 1199;
constexpr int QosLabel = 1212, QosControl = 1254, DensityLabel = 1264, Density = 1261;
constexpr int MacAddress = 1070, MacSet = 1072;
constexpr int Inc = 1240, Random = 1373, SwCrc = 1209;
constexpr int Sgi = 1246, Stbc = 1247, Ampdu = 1275, WaitAck = 1252, SeqByHw = 1253, Wiv = 1256, Rdg = 1255,
              DebugInfo = 1207;
constexpr int SetTxD = 1220, SetTxEnv = 1190;
constexpr int StartTx = 1031, StartRx = 1033, Reset = 1069;
constexpr int Conti = 1119, Carrier = 1120, Suppression = 1187, JapanFilter = 1188;
constexpr int LoopBack = 1184, AutoResponder = 1162, FrameLoss = 1114, TempSensor = 1506;
constexpr int Offset0 = 1258, Offset1 = 1259, Offset2 = 1260;
constexpr int Rssi1Label = 1210, Rssi2Label = 1211, Offset1Label = 1343, Offset2Label = 1344;
constexpr int TxPower0 = 1029, TxPower1 = 1257, FreqOffset = 1032, ChipInfo = 1277, ExtLna = 1410;
constexpr int BothDacs = 1349, Dac0 = 1350, Dac1 = 1351, SideBand = 1354, Main = 1401, Aux = 1402;
constexpr int RxPathList = 1337, OneRxPath = 1338, IntAlc = 1417, TempCom = 1189, Dcdc127 = 1505;
} // namespace id

const int kModeBoxes[3] = {id::Conti, id::Carrier, id::Suppression};

// Controls the radio set-up enables, disables or hides together. Some ids
// belong to controls of options this page does not show; those are skipped.
const int kSecondTxPath[] = {id::TxPower1, 1172, 1191, id::BothDacs, id::Dac1};
const int kRxPath1[] = {id::Rssi1Label, ctl::Rssi1, id::Offset1Label, id::Offset1, 1296, 1193};
const int kRxPath2[] = {id::Rssi2Label, ctl::Rssi2, id::Offset2Label, id::Offset2, 1274, 1201};
const int kIqCalControls[] = {1213, 1214, 1215, 1216, 1282};
const int kQosControl[] = {id::QosLabel, id::QosControl};
const int kHtQos[] = {id::Rdg, id::Density, id::DensityLabel};
const int kAntennas[] = {id::Main, id::Aux};
constexpr int kCalTssi = 1418, kCalTemp = 1203;

QStringList ToQt(const std::vector<std::string>& v) {
    QStringList l;
    for (const auto& s : v)
        l << QString::fromStdString(s);
    return l;
}

// The entries of a drop-down list.
std::vector<std::string> ToStd(QWidget* w) {
    std::vector<std::string> out;
    if (auto* c = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < c->count(); ++i)
            out.push_back(c->itemText(i).toStdString());
    return out;
}

CTXRXPage::DialogRunner& Runner() {
    static CTXRXPage::DialogRunner runner;
    return runner;
}

} // namespace

void CTXRXPage::SetDialogRunner(DialogRunner runner) {
    Runner() = std::move(runner);
}

int CTXRXPage::RunDialog(QDialog& dialog) {
    return Runner() ? Runner()(dialog) : dialog.exec();
}

bool CTXRXPage::Marshal(std::function<void()> f) {
    if (QThread::currentThread() == thread()) return false;
    // The page's thread needs the link for the call: a sequence of the caller lets go meanwhile.
    DeviceSequence::Released released;
    QMetaObject::invokeMethod(this, std::move(f), Qt::BlockingQueuedConnection);
    return true;
}

// ---- Radio set-up ---------------------------------------------------------------

void CTXRXPage::ReadRadioControls(TxRxRadioSettings& s) const {
    s.channel = Selection(id::Channel);
    s.mode = Selection(id::Mode);
    s.rate = Selection(id::Rate);
    s.bandwidth = Selection(id::Bandwidth);
    s.txBandSel = Selection(id::TxBandSel);
    s.frameType = Selection(id::FrameType);
    s.dac = Checked(id::BothDacs) ? Dac::Both
            : Checked(id::Dac0)   ? Dac::Dac0
            : Checked(id::Dac1)   ? Dac::Dac1
                                  : Dac::None;
    s.antenna = Checked(id::Main) ? Antenna::Main : Checked(id::Aux) ? Antenna::Aux : Antenna::None;
    s.oneRxPath = Checked(id::OneRxPath);
    s.rxPathItems = ToStd(Control(id::RxPathList));
    s.rxPathSelection = Selection(id::RxPathList);
    s.sideBand = Checked(id::SideBand);
    s.intAlc = Checked(id::IntAlc);
    s.tempCom = Checked(id::TempCom);
    s.dcdc127 = Checked(id::Dcdc127);
    s.tempSensor = Checked(id::TempSensor);
    s.autoResponder = Checked(id::AutoResponder);
    s.contiTx = Checked(id::Conti);
}

void CTXRXPage::ShowRadioControls(const TxRxRadioSettings& s) {
    auto text = [this](int cid, const std::optional<std::string>& t) {
        if (t) SetText(cid, QString::fromStdString(*t));
    };
    auto check = [this](int cid, const std::optional<bool>& on) {
        if (on) SetChecked(cid, *on);
    };
    auto enable = [this](std::initializer_list<int> ids, const std::optional<bool>& on) {
        if (on)
            for (int cid : ids)
                SetEnabled(cid, *on);
    };
    auto enableAll = [this](const auto& ids, const std::optional<bool>& on) {
        if (on)
            for (int cid : ids)
                SetEnabled(cid, *on);
    };
    auto showAll = [this](const auto& ids, const std::optional<bool>& on) {
        if (on)
            for (int cid : ids)
                SetVisible(cid, *on);
    };

    // Lists: the rate list follows its mode; the others keep their entries.
    if (s.rateLabelsOf && ToStd(Control(id::Rate)) != RateLabels(*s.rateLabelsOf))
        SetItems(id::Rate, ToQt(RateLabels(*s.rateLabelsOf)));
    SetSelection(id::Channel, s.channel);
    SetSelection(id::Mode, s.mode);
    SetSelection(id::Rate, s.rate);
    SetSelection(id::Bandwidth, s.bandwidth);
    SetSelection(id::TxBandSel, s.txBandSel);
    SetSelection(id::FrameType, s.frameType);
    if (ToStd(Control(id::RxPathList)) != s.rxPathItems) SetItems(id::RxPathList, ToQt(s.rxPathItems));
    SetSelection(id::RxPathList, s.rxPathSelection);

    // Check boxes and radio buttons (a button group keeps one of each set).
    if (s.dac == Dac::Both) SetChecked(id::BothDacs, true);
    if (s.dac == Dac::Dac0) SetChecked(id::Dac0, true);
    if (s.dac == Dac::Dac1) SetChecked(id::Dac1, true);
    if (s.antenna == Antenna::Main) SetChecked(id::Main, true);
    if (s.antenna == Antenna::Aux) SetChecked(id::Aux, true);
    SetChecked(id::OneRxPath, s.oneRxPath);
    SetChecked(id::SideBand, s.sideBand);
    SetChecked(id::IntAlc, s.intAlc);
    SetChecked(id::TempCom, s.tempCom);
    SetChecked(id::Dcdc127, s.dcdc127);
    SetChecked(id::TempSensor, s.tempSensor);
    SetChecked(id::AutoResponder, s.autoResponder);
    check(id::Wiv, s.wiv);
    check(id::WaitAck, s.waitForAck);
    check(id::SeqByHw, s.seqByHw);
    check(id::DebugInfo, s.debugInfo);
    check(id::SwCrc, s.swCrc);

    // Texts: the frame template first, then what the set-up wrote over it.
    if (s.frameFields) ShowFrameFields(*s.frameFields);
    text(id::TotalBytes, s.totalBytes);
    text(id::MinLength, s.minLength);
    text(id::MacAddress, s.macAddress);
    text(id::Addr2, s.address2);
    text(id::ChipInfo, s.chipInfo);
    text(id::ExtLna, s.extLna);
    text(id::TxPower0, s.txPower0);
    text(id::TxPower1, s.txPower1);
    text(id::FreqOffset, s.freqOffset);
    text(id::Offset0, s.rssiOffset0);
    text(id::Offset1, s.rssiOffset1);

    // Enabled and shown.
    enable({id::Mode}, s.modeEnabled);
    enable({id::Ipg}, s.ipgEnabled);
    enable({id::TxBandSel}, s.txBandSelEnabled);
    enable({id::Sgi}, s.sgiEnabled);
    enable({id::Stbc}, s.stbcEnabled);
    enable({id::RxPathList}, s.rxPathListEnabled);
    enable({id::SetTxEnv}, s.setTxEnvEnabled);
    enable({ctl::FrameLossValue}, s.frameLossEnabled);
    enable({kCalTssi}, s.calTssiEnabled);
    enable({kCalTemp}, s.calTempEnabled);
    enableAll(kSecondTxPath, s.secondTxPathEnabled);
    enableAll(kRxPath1, s.rxPath1Enabled);
    enableAll(kRxPath2, s.rxPath2Enabled);
    enableAll(kAntennas, s.antennaEnabled);
    showAll(kIqCalControls, s.iqCalVisible);
    showAll(kQosControl, s.qosControlVisible);
    showAll(kHtQos, s.htQosVisible);
}

void CTXRXPage::FinishRadio(const TxRxRadioSettings& s) {
    if (s.zeroCounters) counters_.ZeroAccumulators();
    if (s.qosLayout) descriptor_.qosLayout = *s.qosLayout;
    if (s.autoResponderSet) autoResponder_ = *s.autoResponderSet;
    if (s.countersReset) AfterCounterReset();
    if (s.tempSensorTimer) {
        if (*s.tempSensorTimer)
            StartTimer(kTimerTempSensor);
        else
            KillTimer(kTimerTempSensor);
    }
}

template <class Settings> void CTXRXPage::WithRadio(void (CTxRxRadio::*operation)(Settings&)) {
    DeviceSequence sequence;
    TxRxRadioSettings s;
    ReadRadioControls(s);
    s.restartContinuousTx = [this](TxRxRadioSettings& current) {
        if (!Checked(id::Conti) || !txRunning_) return;
        // The transmission starts again from the controls as the set-up has them so far.
        ShowRadioControls(current);
        RestartContinuousTx();
        ReadRadioControls(current);
    };
    (TxRxRadio().*operation)(s);
    ShowRadioControls(s);
    FinishRadio(s);
}

CTXRXPage::CTXRXPage(QWidget* parent) : QAPage("TX/RX", parent) {
    struct {
        QTimer* t;
        int id;
        int period;
    } timers[] = {{&timer102_, kTimerCounters, 1000},
                  {&timer4_, kTimerTempCom, 1000},
                  {&timer5_, kTimerSlow, 5000},
                  {&timer6_, kTimerTempSensor, 3000}};
    for (auto& t : timers) {
        t.t->setInterval(t.period);
        const int timerId = t.id;
        connect(t.t, &QTimer::timeout, this, [this, timerId] { OnTimer(timerId); });
    }
    BuildControls();
    ConnectActions();
}

CTXRXPage::~CTXRXPage() {
    timer102_.stop();
    pollingOn_ = false;
}

// ---- Layout ---------------------------------------------------------------------

void CTXRXPage::BuildControls() {
    auto reg = [this](int cid, QWidget* w) {
        controls_[cid] = w;
        return w;
    };
    auto label = [&](int cid, const QString& text) {
        auto* l = new QLabel(text);
        if (cid) reg(cid, l);
        return l;
    };
    auto value = [&](int cid, const QString& text) {
        auto* l = new QLabel(text);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setMinimumWidth(90);
        reg(cid, l);
        return l;
    };
    auto edit = [&](int cid, const QString& text, int maxLength, int width = 0) {
        auto* e = new QLineEdit(text);
        if (maxLength > 0) e->setMaxLength(maxLength);
        if (width > 0) e->setFixedWidth(width);
        reg(cid, e);
        return e;
    };
    auto check = [&](int cid, const QString& text) {
        auto* c = new QCheckBox(text);
        reg(cid, c);
        return c;
    };
    auto radio = [&](int cid, const QString& text) {
        auto* r = new QRadioButton(text);
        reg(cid, r);
        return r;
    };
    auto button = [&](int cid, const QString& text) {
        auto* b = new QPushButton(text);
        reg(cid, b);
        return b;
    };
    auto combo = [&](int cid, const QStringList& items) {
        auto* c = new QComboBox;
        c->addItems(items);
        reg(cid, c);
        return c;
    };

    auto* top = new QGridLayout(this);

    // Radio parameters.
    auto* radioBox = new QGroupBox("Channel / Rate");
    auto* rg = new QGridLayout(radioBox);
    QStringList channels = ToQt(CurrentChannelList().labels);
    rg->addWidget(label(0, "Channel"), 0, 0);
    rg->addWidget(combo(id::Channel, channels), 0, 1);
    rg->addWidget(label(0, "Mode"), 1, 0);
    rg->addWidget(combo(id::Mode, ToQt(ModeLabels())), 1, 1);
    rg->addWidget(label(0, "Rate"), 2, 0);
    auto* rate = combo(id::Rate, ToQt(RateLabels(State().phyMode)));
    {
        // The list changes with the mode: wide enough for every mode's longest entry.
        QComboBox probe;
        probe.setSizeAdjustPolicy(QComboBox::AdjustToContents);
        for (int m = 0; m < int(ModeLabels().size()); ++m)
            probe.addItems(ToQt(RateLabels(m)));
        rate->setMinimumWidth(probe.sizeHint().width());
    }
    rg->addWidget(rate, 2, 1);
    rg->addWidget(label(0, "Bandwidth"), 3, 0);
    rg->addWidget(combo(id::Bandwidth, ToQt(BandwidthLabels())), 3, 1);
    rg->addWidget(label(0, "TxBandSel"), 4, 0);
    rg->addWidget(combo(id::TxBandSel, ToQt(TxBandSelLabels())), 4, 1);
    rg->addWidget(value(id::ChipInfo, ""), 5, 0, 1, 2);
    rg->addWidget(value(id::ExtLna, ""), 6, 0, 1, 2);
    rg->setRowStretch(7, 1);

    // Frame fields.
    auto* frameBox = new QGroupBox("Frame");
    auto* fg = new QGridLayout(frameBox);
    QStringList types;
    for (int i = 0; i < kFrameTypeCount; ++i)
        types << FrameTypeAt(i).label;
    fg->addWidget(label(0, "Frame Type"), 0, 0);
    fg->addWidget(combo(id::FrameType, types), 0, 1, 1, 3);
    fg->addWidget(label(0, "FC (2)"), 1, 0);
    fg->addWidget(edit(id::Fc, "0800", 4, 60), 1, 1);
    fg->addWidget(label(0, "Dur (2)"), 1, 2);
    fg->addWidget(edit(id::Dur, "0000", 4, 60), 1, 3);
    fg->addWidget(label(0, "Address1 (6)"), 2, 0);
    fg->addWidget(edit(id::Addr1, "FFFFFFFFFFFF", 12), 2, 1, 1, 3);
    fg->addWidget(label(0, "Address2 (6)"), 3, 0);
    fg->addWidget(edit(id::Addr2, "000A40AABBCC", 12), 3, 1, 1, 3);
    fg->addWidget(label(0, "Address3 (6)"), 4, 0);
    fg->addWidget(edit(id::Addr3, "001122334455", 12), 4, 1, 1, 3);
    fg->addWidget(label(0, "Seq (2)"), 5, 0);
    fg->addWidget(edit(id::Seq, "0000", 4, 60), 5, 1);
    fg->addWidget(label(id::QosLabel, "Qos Control(2)"), 5, 2);
    fg->addWidget(edit(id::QosControl, "", 4, 60), 5, 3);
    fg->addWidget(label(0, "Payload"), 6, 0);
    fg->addWidget(edit(id::Payload, "", 0), 6, 1, 1, 3);
    fg->addWidget(label(0, "Total Bytes"), 7, 0);
    auto* totalRow = new QHBoxLayout;
    totalRow->addWidget(edit(id::TotalBytes, "40", 4, 60));
    totalRow->addWidget(edit(id::MinLength, "", 0, 50));
    totalRow->addStretch();
    fg->addLayout(totalRow, 7, 1);
    fg->addWidget(label(0, "Repeat Pattern"), 7, 2);
    fg->addWidget(edit(id::RepeatPattern, "AA", 2, 60), 7, 3);
    fg->addWidget(label(0, "Repeat"), 8, 0);
    fg->addWidget(edit(id::Repeat, "1000", 9, 90), 8, 1);
    fg->addWidget(label(0, "IPG"), 8, 2);
    fg->addWidget(edit(id::Ipg, "200", 3, 60), 8, 3);
    fg->addWidget(label(id::DensityLabel, "MPDU density"), 9, 2);
    fg->addWidget(edit(id::Density, "0", 1, 60), 9, 3);
    fg->addWidget(label(0, "MAC Address"), 10, 0);
    auto* macRow = new QHBoxLayout;
    macRow->addWidget(edit(id::MacAddress, "", 12));
    macRow->addWidget(button(id::MacSet, "Set"));
    fg->addLayout(macRow, 10, 1, 1, 3);

    // Txwi and frame options.
    auto* optBox = new QGroupBox("TX-WI");
    auto* og = new QVBoxLayout(optBox);
    og->addWidget(check(id::Sgi, "SGI"));
    og->addWidget(check(id::Stbc, "STBC"));
    og->addWidget(check(id::Ampdu, "A-MPDU"));
    og->addWidget(check(id::WaitAck, "Wait for ACK"));
    og->addWidget(check(id::SeqByHw, "SEQ by HW"));
    og->addWidget(check(id::Wiv, "WIV"));
    og->addWidget(check(id::Rdg, "RDG"));
    og->addWidget(check(id::DebugInfo, "Debug Info"));
    og->addWidget(check(id::SwCrc, "SW CRC"));
    og->addWidget(check(id::Inc, "Inc"));
    og->addWidget(check(id::Random, "Random"));
    og->addWidget(button(id::SetTxD, "Set TxD"));
    og->addStretch();

    // Test control.
    auto* testBox = new QGroupBox("Test Control");
    auto* tg = new QGridLayout(testBox);
    tg->addWidget(button(id::StartTx, "Start &TX"), 0, 0);
    tg->addWidget(button(id::StartRx, "Start &RX"), 0, 1);
    tg->addWidget(button(id::Reset, "R&eset counter"), 1, 0, 1, 2);
    tg->addWidget(check(id::Conti, "Conti. Tx"), 2, 0);
    tg->addWidget(check(id::Carrier, "Carrier test"), 2, 1);
    tg->addWidget(check(id::Suppression, "Carrier Suppression"), 3, 0);
    tg->addWidget(check(id::JapanFilter, "Japan filter"), 3, 1);
    tg->addWidget(check(id::LoopBack, "LoopBack"), 4, 0);
    tg->addWidget(check(id::AutoResponder, "Auto Responder"), 4, 1);
    tg->addWidget(check(id::FrameLoss, "Frame Loss :"), 5, 0);
    tg->addWidget(value(ctl::FrameLossReset, ""), 5, 1);
    tg->addWidget(button(id::SetTxEnv, "Set Tx Env..."), 6, 0);
    tg->addWidget(check(id::TempSensor, "Temp. Sensor"), 6, 1);
    tg->setRowStretch(7, 1);

    // Counters.
    auto* counterBox = new QGroupBox("Counters");
    auto* cg = new QGridLayout(counterBox);
    struct Row {
        int cid;
        const char* caption;
    } rows[] = {{ctl::Transmitted, "Transmitted :"},      {ctl::FcsError, "FCS error :"},
                {ctl::RxOverflow, "RX overflow :"},       {ctl::PhyError, "PHY error :"},
                {ctl::FalseCca, "False CCA :"},           {ctl::U2mData, "U2M DATA :"},
                {ctl::OtherData, "Other DATA :"},         {ctl::Beacon, "Beacon :"},
                {ctl::OtherMgmt, "Others (Mgmt/Cntl) :"}, {ctl::FrameLossValue, "FER :"}};
    int r = 0;
    for (const Row& row : rows) {
        cg->addWidget(label(0, row.caption), r, 0);
        cg->addWidget(value(row.cid, ""), r, 1);
        ++r;
    }
    // FER and the per-ring transmit counts are kept in hidden fields.
    cg->addWidget(value(ctl::Fer, ""), r, 1);
    controls_[ctl::Fer]->hide();
    const char* txed[6] = {"AC0 Txed:", "AC1 Txed:", "AC2 Txed:", "AC3 Txed:", "MGMT Txed:", "HCCA Txed:"};
    for (int i = 0; i < 6; ++i) {
        auto* l = label(0, txed[i]);
        auto* v = value(ctl::Ac0Txed + i, "0");
        cg->addWidget(l, r + 1 + i, 0);
        cg->addWidget(v, r + 1 + i, 1);
        l->hide();
        v->hide();
    }

    // Received signal.
    auto* signalBox = new QGroupBox("RSSI / SNR");
    auto* sg = new QGridLayout(signalBox);
    sg->addWidget(label(0, "RSSI0 = "), 0, 0);
    sg->addWidget(value(ctl::Rssi0, ""), 0, 1);
    sg->addWidget(label(0, "Offset"), 0, 2);
    sg->addWidget(edit(id::Offset0, "", 2, 40), 0, 3);
    sg->addWidget(label(id::Rssi1Label, "RSSI1 = "), 1, 0);
    sg->addWidget(value(ctl::Rssi1, ""), 1, 1);
    sg->addWidget(label(id::Offset1Label, "Offset"), 1, 2);
    sg->addWidget(edit(id::Offset1, "", 2, 40), 1, 3);
    sg->addWidget(label(id::Rssi2Label, "RSSI2 = "), 2, 0);
    sg->addWidget(value(ctl::Rssi2, ""), 2, 1);
    sg->addWidget(label(id::Offset2Label, "Offset"), 2, 2);
    sg->addWidget(edit(id::Offset2, "", 2, 40), 2, 3);
    sg->addWidget(label(0, "SNR0 :"), 3, 0);
    sg->addWidget(value(ctl::Snr0, ""), 3, 1);
    sg->addWidget(label(0, "SNR1 :"), 4, 0);
    sg->addWidget(value(ctl::Snr1, ""), 4, 1);
    sg->addWidget(label(0, "Freq. Deviation :"), 5, 0);
    sg->addWidget(value(ctl::FreqDeviation, ""), 5, 1, 1, 3);
    sg->setRowStretch(6, 1);

    // RF settings.
    auto* rfBox = new QGroupBox("RF");
    auto* fg2 = new QGridLayout(rfBox);
    fg2->addWidget(label(0, "TX Power0 (Hex)"), 0, 0);
    fg2->addWidget(edit(id::TxPower0, "", 2, 40), 0, 1);
    fg2->addWidget(label(0, "TX Power1 (Hex)"), 1, 0);
    fg2->addWidget(edit(id::TxPower1, "", 2, 40), 1, 1);
    fg2->addWidget(label(0, "Freq. Offset"), 2, 0);
    fg2->addWidget(edit(id::FreqOffset, "", 2, 40), 2, 1);
    auto* dacBox = new QGroupBox("DAC");
    auto* dl = new QVBoxLayout(dacBox);
    auto* dacGroup = new QButtonGroup(this);
    for (auto [cid, text] :
         {std::pair{id::BothDacs, "Both DACs"}, {id::Dac0, "DAC 0"}, {id::Dac1, "DAC 1"}}) {
        auto* rb = radio(cid, text);
        dacGroup->addButton(rb);
        dl->addWidget(rb);
    }
    fg2->addWidget(dacBox, 3, 0);
    auto* antBox = new QGroupBox("Antenna");
    auto* al = new QVBoxLayout(antBox);
    auto* antGroup = new QButtonGroup(this);
    for (auto [cid, text] : {std::pair{id::Main, "Main"}, {id::Aux, "Aux"}}) {
        auto* rb = radio(cid, text);
        antGroup->addButton(rb);
        al->addWidget(rb);
    }
    fg2->addWidget(antBox, 3, 1);
    fg2->addWidget(check(id::SideBand, "2.4G Side Band Option"), 4, 0, 1, 2);
    fg2->addWidget(check(id::OneRxPath, "One RX Path"), 5, 0);
    fg2->addWidget(combo(id::RxPathList, {}), 5, 1);
    fg2->addWidget(check(id::IntAlc, "Int ALC"), 6, 0);
    fg2->addWidget(check(id::TempCom, "Temp. Com."), 6, 1);
    fg2->addWidget(check(id::Dcdc127, "1.27V DCDC"), 7, 0, 1, 2);
    fg2->setRowStretch(8, 1);

    top->addWidget(radioBox, 0, 0);
    top->addWidget(frameBox, 0, 1, 1, 2);
    top->addWidget(optBox, 0, 3);
    top->addWidget(testBox, 1, 0);
    top->addWidget(counterBox, 1, 1);
    top->addWidget(signalBox, 1, 2);
    top->addWidget(rfBox, 1, 3);
    BuildCalibrationControls(rfBox, signalBox, testBox, top);

    // Start values of the controls.
    SetSelection(id::Channel, State().channelIndex);
    SetSelection(id::Mode, State().phyMode);
    SetSelection(id::Rate, State().rateIndex);
    SetSelection(id::Bandwidth, State().bandwidthIndex);
    SetSelection(id::FrameType, kFrameUser4DataCrc);
    SetEnabled(id::MinLength, false);
    SetEnabled(id::TxBandSel, false);
    SetEnabled(id::RxPathList, false);
    SetEnabled(id::SetTxEnv, false);
    SetEnabled(ctl::FrameLossValue, false);
    SetEnabled(id::Sgi, false);
    SetEnabled(id::Stbc, false);
    // The QoS fields come and go with the frame type and mode; their place is
    // kept so that the rows below them stay where they are.
    for (int cid : {id::QosLabel, id::QosControl, id::Rdg, id::DensityLabel, id::Density}) {
        QWidget* w = Control(cid);
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        SetVisible(cid, false);
    }
    ApplyTexts(ResetCounterTexts());
}

void CTXRXPage::ConnectActions() {
    auto clicked = [this](int cid, auto handler) {
        auto* b = qobject_cast<QAbstractButton*>(Control(cid));
        connect(b, &QAbstractButton::clicked, this, handler);
    };
    auto activated = [this](int cid, auto handler) {
        auto* c = qobject_cast<QComboBox*>(Control(cid));
        connect(c, &QComboBox::activated, this, handler);
    };
    clicked(id::StartTx, [this] { ToggleTx(); });
    clicked(id::StartRx, [this] { ToggleRx(); });
    clicked(id::Reset, [this] { ResetCounters(); });
    clicked(id::Conti, [this](bool on) { SetContinuousMode(ContinuousMode::Conti, on); });
    clicked(id::Carrier, [this](bool on) { SetContinuousMode(ContinuousMode::Carrier, on); });
    clicked(id::Suppression, [this](bool on) { SetContinuousMode(ContinuousMode::Suppression, on); });
    clicked(id::LoopBack, [this](bool on) { SetLoopBack(on); });
    clicked(id::AutoResponder, [this](bool on) { SetAutoResponder(on); });
    clicked(id::FrameLoss, [this](bool on) { SetFrameLoss(on); });
    clicked(id::TempSensor, [this](bool on) { SetTempSensor(on); });
    clicked(id::SetTxEnv, [this] { OnSetTxEnv(); });
    clicked(id::SetTxD, [this] { OnSetTxDescriptor(); });
    clicked(id::MacSet, [this] { OnSetMacAddress(); });
    clicked(id::Inc, [this](bool on) {
        if (on) SetChecked(id::Random, false);
    });
    clicked(id::Random, [this](bool on) {
        if (on) SetChecked(id::Inc, false);
    });
    activated(id::FrameType, [this] { OnFrameTypeSelected(); });
    activated(id::Mode, [this] { OnModeSelected(); });
    activated(id::Rate, [this] { OnRateSelected(); });
    activated(id::Channel, [this] { OnChannelSelected(); });

    // Radio set-up.
    activated(id::Bandwidth, [this] {
        State().bandwidthIndex = Selection(id::Bandwidth);
        WithRadio(&CTxRxRadio::ApplyBandwidth);
    });
    activated(id::TxBandSel, [this] { WithRadio(&CTxRxRadio::ApplyTxBandSel); });
    for (int cid : {id::BothDacs, id::Dac0, id::Dac1})
        clicked(cid, [this] { WithRadio(&CTxRxRadio::ApplyDacChoice); });
    clicked(id::SideBand, [this] { WithRadio(&CTxRxRadio::RefreshTxPowerRegisters); });
    clicked(id::Stbc, [this] { WithRadio(&CTxRxRadio::RefreshTxPowerRegisters); });
    for (int cid : {id::Main, id::Aux})
        clicked(cid, [this] { WithRadio(&CTxRxRadio::ApplyAntenna); });
    clicked(id::OneRxPath, [this] { WithRadio(&CTxRxRadio::ApplyRxPath); });
    activated(id::RxPathList, [this] { WithRadio(&CTxRxRadio::ApplyRxPathSelection); });
    clicked(id::IntAlc, [this] { WithRadio(&CTxRxRadio::OnIntAlc); });
    clicked(id::TempCom, [this] { WithRadio(&CTxRxRadio::OnTempCom); });
    clicked(id::Dcdc127, [this] { WithRadio(&CTxRxRadio::OnDcdc127); });
    ConnectCalibrationActions();
}

// ---- Controls by id -------------------------------------------------------------

QWidget* CTXRXPage::Control(int cid) const {
    auto it = controls_.find(cid);
    return it == controls_.end() ? nullptr : it->second;
}

bool CTXRXPage::Has(int cid) const {
    return Control(cid) != nullptr;
}

bool CTXRXPage::IsShown(int cid) const {
    QWidget* w = Control(cid);
    return w && !w->isHidden();
}

QString CTXRXPage::Text(int cid) const {
    QWidget* w = Control(cid);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    return {};
}

void CTXRXPage::SetText(int cid, const QString& text) {
    QWidget* w = Control(cid);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setCurrentText(text);
}

bool CTXRXPage::Checked(int cid) const {
    auto* b = qobject_cast<QAbstractButton*>(Control(cid));
    return b && b->isChecked();
}

void CTXRXPage::SetChecked(int cid, bool on) {
    if (auto* b = qobject_cast<QAbstractButton*>(Control(cid))) b->setChecked(on);
}

int CTXRXPage::Selection(int cid) const {
    auto* c = qobject_cast<QComboBox*>(Control(cid));
    return c ? c->currentIndex() : -1;
}

void CTXRXPage::SetSelection(int cid, int index) {
    if (auto* c = qobject_cast<QComboBox*>(Control(cid))) c->setCurrentIndex(index < c->count() ? index : -1);
}

void CTXRXPage::SetItems(int cid, const QStringList& items) {
    if (auto* c = qobject_cast<QComboBox*>(Control(cid))) {
        c->clear();
        c->addItems(items);
    }
}

int CTXRXPage::ItemCount(int cid) const {
    auto* c = qobject_cast<QComboBox*>(Control(cid));
    return c ? c->count() : 0;
}

bool CTXRXPage::Enabled(int cid) const {
    QWidget* w = Control(cid);
    return w && w->isEnabled();
}

void CTXRXPage::SetEnabled(int cid, bool on) {
    if (QWidget* w = Control(cid)) w->setEnabled(on);
}

void CTXRXPage::SetVisible(int cid, bool on) {
    if (QWidget* w = Control(cid)) w->setVisible(on);
}

void CTXRXPage::SetMaxLength(int cid, int length) {
    if (auto* e = qobject_cast<QLineEdit*>(Control(cid))) e->setMaxLength(length);
}

void CTXRXPage::ApplyTexts(const ControlTexts& texts) {
    for (const auto& [cid, text] : texts)
        SetText(cid, QString::fromStdString(text));
}

// ---- Timers ---------------------------------------------------------------------

QTimer* CTXRXPage::TimerFor(int tid) {
    return const_cast<QTimer*>(static_cast<const CTXRXPage*>(this)->TimerFor(tid));
}

const QTimer* CTXRXPage::TimerFor(int tid) const {
    switch (tid) {
    case kTimerCounters:
        return &timer102_;
    case kTimerTempCom:
        return &timer4_;
    case kTimerSlow:
        return &timer5_;
    case kTimerTempSensor:
        return &timer6_;
    default:
        return nullptr;
    }
}

void CTXRXPage::StartTimer(int tid) {
    if (QTimer* t = TimerFor(tid)) t->start(); // restarts a running timer
}

void CTXRXPage::KillTimer(int tid) {
    if (QTimer* t = TimerFor(tid)) t->stop();
}

bool CTXRXPage::TimerActive(int tid) const {
    const QTimer* t = TimerFor(tid);
    return t && t->isActive();
}

int CTXRXPage::TimerPeriod(int tid) const {
    const QTimer* t = TimerFor(tid);
    return t ? t->interval() : 0;
}

void CTXRXPage::OnTimer(int tid) {
    // A tick that would talk to the board waits for the next one while a
    // sequence is open (this page's own in a nested event loop, or a worker's).
    if ((tid == kTimerCounters || tid == kTimerTempSensor) && DeviceSequence::AnyOpen()) return;
    switch (tid) {
    case kTimerCounters: {
        DeviceSequence sequence;
        PollCounters();
        if (rxRunning_) {
            CDeviceCommands dev;
            const std::string offsets[3] = {Text(id::Offset0).toStdString(), Text(id::Offset1).toStdString(),
                                            Text(id::Offset2).toStdString()};
            ApplyTexts(SignalQualityTexts(dev, counters_, offsets));
        }
        break;
    }
    case kTimerTempCom:
        if (!Checked(id::TempCom)) KillTimer(kTimerTempCom);
        break;
    case kTimerTempSensor: {
        CDeviceCommands dev;
        TemperatureSwitchTick(dev); // a sequence of its own
        break;
    }
    default:
        break;
    }
}

// ---- Lifecycle ------------------------------------------------------------------

void CTXRXPage::OnInitDialog() {
    WithRadio(&CTxRxRadio::InitializePage);
}

void CTXRXPage::OnSetActive() {
    Sheet().ShareChannel(State().channelIndex);
    const ProgramState& st = State();
    ShowSharedValues(st.txPower0, st.txPower1, st.freqOffset);
}

void CTXRXPage::OnDestroyPage() {
    KillTimer(kTimerCounters);
    pollingOn_ = false;
}

// ---- Sheet services -------------------------------------------------------------

void CTXRXPage::SelectChannel(int index) {
    if (Marshal([this, index] { SelectChannel(index); })) return;
    SetSelection(id::Channel, index);
    OnChannelSelected();
}

void CTXRXPage::SelectBandwidth(int index) {
    if (Marshal([this, index] { SelectBandwidth(index); })) return;
    SetSelection(id::Bandwidth, index);
    State().bandwidthIndex = index;
    WithRadio(&CTxRxRadio::ApplyBandwidth);
}

void CTXRXPage::SelectRxPath(int index) {
    if (Marshal([this, index] { SelectRxPath(index); })) return;
    SetSelection(id::RxPathList, index);
    WithRadio(&CTxRxRadio::ApplyRxPathSelection);
}

void CTXRXPage::SetOneRxPath(bool on) {
    if (Marshal([this, on] { SetOneRxPath(on); })) return;
    SetChecked(id::OneRxPath, on);
    WithRadio(&CTxRxRadio::ApplyRxPath);
}

void CTXRXPage::SetChannelListIndex(int index) {
    if (Marshal([this, index] { SetChannelListIndex(index); })) return;
    SetSelection(id::Channel, index);
}

void CTXRXPage::ShowSharedValues(std::uint8_t p0, std::uint8_t p1, std::uint8_t fo) {
    if (Marshal([=, this] { ShowSharedValues(p0, p1, fo); })) return;
    SetText(id::TxPower0, QString::asprintf("%02X", p0));
    if (State().TxPathCount() >= 2) SetText(id::TxPower1, QString::asprintf("%02X", p1));
    SetText(id::FreqOffset, QString::asprintf("%02X", fo));
}

// ---- Parameter model ------------------------------------------------------------

void CTXRXPage::SetQosFieldsVisible(bool qos, bool ht) {
    SetVisible(id::QosLabel, qos);
    SetVisible(id::QosControl, qos);
    SetVisible(id::Rdg, qos && ht);
    SetVisible(id::Density, qos && ht);
    SetVisible(id::DensityLabel, qos && ht);
}

void CTXRXPage::ApplySgiStbcRule() {
    const ProgramState& st = State();
    if (IsHtMode(st.phyMode)) {
        SetEnabled(id::Stbc, st.rateIndex < 8);
        SetEnabled(id::Sgi, true);
    } else {
        SetEnabled(id::Stbc, false);
        SetEnabled(id::Sgi, false);
    }
}

void CTXRXPage::ModeChanged() {
    WithRadio(&CTxRxRadio::ApplyMode);
}

void CTXRXPage::OnModeSelected() {
    ModeChanged();
}

void CTXRXPage::OnRateSelected() {
    DeviceSequence sequence;
    ProgramState& st = State();
    st.rateIndex = Selection(id::Rate);
    if (IsHtMode(st.phyMode)) {
        if (st.rateIndex > 7) {
            // Two spatial streams need both DACs and leave no room for STBC.
            SetEnabled(id::Stbc, false);
            SetChecked(id::BothDacs, true);
            WithRadio(&CTxRxRadio::ApplyDacChoice);
        } else {
            SetEnabled(id::Stbc, true);
        }
        SetEnabled(id::Sgi, true);
    } else {
        SetEnabled(id::Stbc, false);
        SetEnabled(id::Sgi, false);
    }
    WithRadio(&CTxRxRadio::RefreshTxPowerRegisters);
    Sleep(50);
    RestartContinuousTx();
}

void CTXRXPage::OnChannelSelected() {
    if (Selection(id::Channel) >= 0) State().channelIndex = Selection(id::Channel);
    WithRadio(&CTxRxRadio::ApplyChannel);
}

void CTXRXPage::ApplyFrameType(int index) {
    CDeviceCommands dev;
    ShowFrameFields(FrameTypeFields(dev, index));
}

void CTXRXPage::ShowFrameFields(const FrameFields& f) {
    SetEnabled(id::TotalBytes, f.totalBytesEnabled);
    SetEnabled(id::MinLength, f.minLengthEnabled);
    if (f.minLength) SetText(id::MinLength, QString::fromStdString(*f.minLength));
    const int edits[7] = {id::Fc, id::Dur, id::Addr1, id::Addr2, id::Addr3, id::Seq, id::Payload};
    for (int i = 0; i < 7; ++i)
        SetText(edits[i], QString::fromStdString(f.text[i]));
    SetText(id::TotalBytes, QString::fromStdString(f.totalBytes));
}

void CTXRXPage::OnFrameTypeSelected() {
    const int index = Selection(id::FrameType);
    ApplyFrameType(index);
    const bool qos = index == kFrameQosData;
    descriptor_.qosLayout = qos;
    SetText(id::Fc,
            QString::fromStdString(WithProtectedDigit(Text(id::Fc).toStdString(), descriptor_.cipher)));
    if (qos) SetText(id::QosControl, "");
    SetQosFieldsVisible(qos, IsHtMode(State().phyMode));
    ApplySgiStbcRule();
}

TxFrameInputs CTXRXPage::GatherInputs() const {
    TxFrameInputs in;
    auto text = [this](int cid) { return Text(cid).toStdString(); };
    auto enabled = [this](int cid) { return Enabled(cid); };
    in.frameType = Selection(id::FrameType);
    in.mode = Selection(id::Mode) >= 0 ? Selection(id::Mode) : State().phyMode;
    in.rateIndex = Selection(id::Rate) >= 0 ? Selection(id::Rate) : State().rateIndex;
    in.bandwidth = Selection(id::Bandwidth);
    in.fc = text(id::Fc);
    in.dur = text(id::Dur);
    in.addr1 = text(id::Addr1);
    in.addr2 = text(id::Addr2);
    in.addr3 = text(id::Addr3);
    in.seq = text(id::Seq);
    in.payload = text(id::Payload);
    in.repeatPattern = text(id::RepeatPattern);
    in.totalBytes = text(id::TotalBytes);
    in.repeat = text(id::Repeat);
    in.ipg = text(id::Ipg);
    in.minLength = text(id::MinLength);
    in.qosControl = text(id::QosControl);
    in.mpduDensity = text(id::Density);
    in.sgiEnabled = enabled(id::Sgi);
    in.sgi = Checked(id::Sgi);
    in.stbcEnabled = enabled(id::Stbc);
    in.stbc = Checked(id::Stbc);
    in.ampduEnabled = enabled(id::Ampdu);
    in.ampdu = Checked(id::Ampdu);
    in.waitAck = Checked(id::WaitAck);
    in.seqByHw = Checked(id::SeqByHw);
    in.wiv = Checked(id::Wiv);
    in.rdgVisible = IsShown(id::Rdg);
    in.rdg = Checked(id::Rdg);
    in.debugInfo = Checked(id::DebugInfo);
    in.mpduDensityVisible = IsShown(id::Density);
    in.ipgEnabled = enabled(id::Ipg);
    return in;
}

void CTXRXPage::OnSetMacAddress() {
    std::vector<std::uint8_t> b = HexTextToBytes(Text(id::MacAddress).toStdString());
    b.resize(6, 0);
    DeviceSequence sequence;
    CDeviceCommands dev;
    dev.MacWrite(0x1008, std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
                             (std::uint32_t(b[3]) << 24));
    dev.MacWrite(0x100C, std::uint32_t(b[4]) | (std::uint32_t(b[5]) << 8));
}

void CTXRXPage::OnSetTxDescriptor() {
    CSetTxDescriptor dialog(descriptor_, this);
    if (RunDialog(dialog) != QDialog::Accepted) return;
    SetText(id::Fc,
            QString::fromStdString(WithProtectedDigit(Text(id::Fc).toStdString(), descriptor_.cipher)));
}

void CTXRXPage::OnSetTxEnv() {
    CSetTxEnv dialog(this);
    RunDialog(dialog);
}

// ---- Test control ---------------------------------------------------------------

int CTXRXPage::DacChoice() const {
    if (Checked(id::BothDacs)) return 0;
    if (Checked(id::Dac1)) return 2;
    return 1;
}

void CTXRXPage::ToggleTx() {
    if (Marshal([this] { ToggleTx(); })) return;
    if (txRunning_)
        StopTx();
    else
        StartTx();
}

void CTXRXPage::StartTx() {
    DeviceSequence sequence;
    CDeviceCommands dev;
    SetEnabled(id::LoopBack, false);
    txRunning_ = true;

    StartTxPayload payload;
    const TxFrameInputs in = GatherInputs();
    const int type = PrepareCountedTx(dev, in, descriptor_, payload);
    if (type == kFrameBeacon || type == kBuildRefused) {
        txRunning_ = false;
        SetEnabled(id::LoopBack, true);
        return;
    }
    SetEnabled(id::FrameLoss, false);
    SetEnabled(id::StartRx, true);
    SetText(id::StartTx, "Stop &TX");
    std::uint32_t v = 0;

    if (contiPriming_) {
        // A short counted burst first, so the continuous mode starts from a
        // transmitter that has sent this frame.
        txRunning_ = false;
        SetEnabled(id::FrameLoss, true);
        SetText(id::StartTx, "Start &TX");
        SetPayloadRepeat(payload, 5);
        dev.StartTx(std::uint16_t(payload.bytes.size()), payload.bytes.data());
        Sleep(200);
        contiPriming_ = false;
        v = 0;
        dev.MacRead(0x1004, v);
        dev.MacWrite(0x1004, v & ~0x4u);
    } else if (conti_[0] || conti_[1] || conti_[2]) {
        dev.MacWrite(0x1328, DacConstant(DacChoice(), IsFiveGhzChannel(CurrentChannelNumber())));
        if (conti_[0])
            EnterContinuousBbp(dev, ContinuousMode::Conti);
        else if (conti_[1])
            EnterContinuousBbp(dev, ContinuousMode::Carrier);
        else
            EnterContinuousBbp(dev, ContinuousMode::Suppression);
    } else {
        SendCountedTx(dev, payload, Checked(id::IntAlc), Checked(id::TempCom));
        StartTimer(kTimerTempCom);
        StartTimer(kTimerSlow);
        if (!rxRunning_) {
            StartTimer(kTimerCounters);
            pollingOn_ = true;
        }
    }
}

void CTXRXPage::StopTx() {
    DeviceSequence sequence;
    CDeviceCommands dev;
    SetEnabled(id::LoopBack, true);
    if (!rxRunning_) {
        KillTimer(kTimerCounters);
        pollingOn_ = false;
    }
    if (Checked(id::IntAlc)) dev.TssiCompensation(0);
    if (Checked(id::TempCom)) dev.TemperatureCompensation(0);
    KillTimer(kTimerTempCom);
    KillTimer(kTimerSlow);
    txRunning_ = false;
    SetEnabled(id::FrameLoss, true);
    SetEnabled(id::StartRx, true);
    SetText(id::StartTx, "Start &TX");
    if (!conti_[0] && !conti_[1] && !conti_[2]) {
        dev.StopTx();
        return;
    }
    if (conti_[0])
        RestoreContinuousBbp(dev, ContinuousMode::Conti, true);
    else if (conti_[1])
        RestoreContinuousBbp(dev, ContinuousMode::Carrier, true);
    else
        RestoreContinuousBbp(dev, ContinuousMode::Suppression, true);
    BbpResetPulse(dev);
    dev.MacWrite(0x1328, savedDac_);
    WithRadio(&CTxRxRadio::ApplyDacChoice);
}

void CTXRXPage::SetContinuousMode(ContinuousMode mode, bool checked) {
    DeviceSequence sequence;
    WaitCursor wait;
    const int m = int(mode);
    SetChecked(kModeBoxes[m], checked);
    const bool wasRunning = txRunning_;
    if (wasRunning) ToggleTx();
    CDeviceCommands dev;
    if (checked) {
        conti_[m] = true;
        for (int i = 0; i < 3; ++i)
            if (i != m) SetEnabled(kModeBoxes[i], false);
        SetEnabled(id::JapanFilter, false);
        dev.MacRead(0x1328, savedDac_);
        if (mode == ContinuousMode::Conti) {
            contiPriming_ = true;
            ToggleTx();
        }
    } else {
        conti_[m] = false;
        if (mode == ContinuousMode::Conti) contiPriming_ = false;
        for (int i = 0; i < 3; ++i)
            if (i != m) SetEnabled(kModeBoxes[i], true);
        SetEnabled(id::JapanFilter, true);
        RestoreContinuousBbp(dev, mode, false);
        BbpResetPulse(dev);
        dev.MacWrite(0x1328, savedDac_);
        WithRadio(&CTxRxRadio::ApplyDacChoice);
    }
    if (wasRunning) ToggleTx();
}

void CTXRXPage::RestartContinuousTx() {
    if (!Checked(id::Conti) || !txRunning_) return;
    DeviceSequence sequence;
    WaitCursor wait;
    ToggleTx();
    ToggleTx();
}

void CTXRXPage::ToggleRx() {
    if (Marshal([this] { ToggleRx(); })) return;
    DeviceSequence sequence;
    CDeviceCommands dev;
    std::uint32_t v = 0;
    if (!rxRunning_) {
        counters_.ZeroAccumulators();
        rxRunning_ = true;
        dev.MacRead(0x1004, v);
        dev.MacWrite(0x1004, v | 0x8);
        SetEnabled(id::FrameLoss, false);
        SetText(id::StartRx, "Stop &RX");
        if (!txRunning_) {
            StartTimer(kTimerCounters);
            pollingOn_ = true;
        }
        dev.StartRx();
        return;
    }
    if (loopBack_) return; // the loopback test keeps the receiver on
    rxRunning_ = false;
    if (!txRunning_) {
        dev.MacRead(0x1004, v);
        dev.MacWrite(0x1004, v & ~0x8u);
    }
    SetEnabled(id::FrameLoss, true);
    SetText(id::StartRx, "Start &RX");
    if (!txRunning_) {
        KillTimer(kTimerCounters);
        pollingOn_ = false;
    }
    dev.StopRx();
}

void CTXRXPage::ResetCounters() {
    CDeviceCommands dev;
    counters_.ZeroAccumulators();
    if (pollingOn_) StartTimer(kTimerCounters);
    dev.ResetCounter();
    ApplyTexts(ResetCounterTexts());
}

// The page's part of a counter reset the radio set-up sent.
void CTXRXPage::AfterCounterReset() {
    counters_.ZeroAccumulators();
    if (pollingOn_) StartTimer(kTimerCounters);
    ApplyTexts(ResetCounterTexts());
}

void CTXRXPage::PollCounters() {
    if (Marshal([this] { PollCounters(); })) return;
    DeviceSequence sequence;
    CDeviceCommands dev;
    const PollOutput out = PollBoardCounters(dev, rxRunning_, counters_, TxEnv());
    ApplyTexts(out.texts);
    const long long r = ParseDecimal(Text(id::Repeat).toStdString());
    // A continuous mode sends no StartTX: the count left from an earlier burst
    // must not end it (the BBP would stay in the mode with the page idle).
    const bool continuous = conti_[0] || conti_[1] || conti_[2];
    if (r != 0 && std::uint32_t(r) == out.transmitted && !continuous) EndCountedTransmission();
}

// The board stops by itself after "Repeat" frames; the page follows at the
// poll that sees the count (no StopTX).
void CTXRXPage::EndCountedTransmission() {
    if (loopBack_ && txRunning_ && !rxRunning_) ToggleRx();
    if (!loopBack_ && txRunning_) {
        CDeviceCommands dev;
        EndCountedTx(dev);
    }
    SetText(id::StartTx, "Start &TX");
    txRunning_ = false;
    SetEnabled(id::LoopBack, true);
    KillTimer(kTimerTempCom);
    KillTimer(kTimerSlow);
}

void CTXRXPage::SetLoopBack(bool checked) {
    SetChecked(id::LoopBack, checked);
    DeviceSequence sequence;
    CDeviceCommands dev;
    std::uint32_t v = 0;
    if (checked) {
        ToggleRx();
        Sleep(500);
        ToggleRx();
        ResetCounters();
        dev.MacRead(0x1004, v);
        dev.MacWrite(0x1004, v | 0x20);
        loopBack_ = true;
        if (!rxRunning_) ToggleRx();
    } else {
        dev.MacRead(0x1004, v);
        dev.MacWrite(0x1004, v & ~0x20u);
        loopBack_ = false;
        if (rxRunning_) ToggleRx();
    }
}

void CTXRXPage::SetAutoResponder(bool on) {
    SetChecked(id::AutoResponder, on);
    CDeviceCommands dev;
    SetAutoResponderBit(dev, on);
    autoResponder_ = on;
}

void CTXRXPage::SetFrameLoss(bool checked) {
    SetChecked(id::FrameLoss, checked);
    frameLoss_ = checked;
    SetEnabled(id::SetTxEnv, checked);
    SetEnabled(ctl::FrameLossValue, checked);
}

void CTXRXPage::SetTempSensor(bool on) {
    SetChecked(id::TempSensor, on);
    if (on)
        StartTimer(kTimerTempSensor);
    else
        KillTimer(kTimerTempSensor);
}

} // namespace vq

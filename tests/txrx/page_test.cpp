// The TX/RX page against the simulated board: transmit and receive tests,
// the counter poll, the continuous modes and the two dialogs.
#include "agent/efuse.h"
#include "agent/inproc_transport.h"
#include "agent/txrx_counters.h"
#include "base/services.h"
#include "device/efuse.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "link/link_session.h"
#include "txrx/tx_dialogs.h"
#include "txrx/txrx_page.h"
#include "ui/sheet_services.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <atomic>
#include "tests/support/test_sheet.h"
#include "tests/support/txrx_fixture.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vq;
using vq::agent::TxRxCountersDevice;

namespace {

class TxRxPageTest : public vq::test::TxRxBoardTest {
  protected:
    void SetUp() override {
        TxRxBoardTest::SetUp();
        State().antennaConfig = 0x22;
        engine = board->Device<TxRxCountersDevice>();
        page = std::make_unique<CTXRXPage>();
        sheet.txrx = page.get();
    }
    void TearDown() override {
        sheet.txrx = nullptr;
        page.reset();
        CTXRXPage::SetDialogRunner(nullptr);
        TxRxBoardTest::TearDown();
    }
    QString T(int id) const { return page->Text(id); }
    int StartTxCount() const {
        int n = 0;
        for (const auto& e : board->Log())
            n += e.commandId == cmd::StartTx;
        return n;
    }
    void SelectFrameType(int index) {
        page->SetSelection(1068, index);
        page->OnFrameTypeSelected();
    }
    void SelectMode(int mode) {
        page->SetSelection(1066, mode);
        page->OnModeSelected();
    }

    TxRxCountersDevice* engine = nullptr;
    vq::test::TestSheet<CTXRXPage> sheet;
    std::unique_ptr<CTXRXPage> page;
};

// Answers the first MAC Read of `address` with a bad status.
class FailOnce : public agent::BoardDevice {
  public:
    explicit FailOnce(std::uint32_t a) : address(a) {}
    bool Command(agent::BoardModel&, std::uint16_t id, const std::uint8_t* p, std::size_t n,
                 std::uint16_t& status, std::vector<std::uint8_t>&) override {
        if (fired || id != cmd::MacRead || n < 4 || GetBe32(p) != address) return false;
        status = 0x8001;
        return fired = true;
    }
    std::uint32_t address;
    bool fired = false;
};

} // namespace

TEST_F(TxRxPageTest, ControlsCaptionsAndDefaults) {
    EXPECT_EQ(page->Caption(), "TX/RX");
    EXPECT_EQ(T(1031), "Start &TX");
    EXPECT_EQ(T(1033), "Start &RX");
    EXPECT_EQ(T(1069), "R&eset counter");
    EXPECT_EQ(T(1021), "0800");
    EXPECT_EQ(T(1024), "000A40AABBCC");
    EXPECT_EQ(T(1064), "40");
    EXPECT_EQ(T(1034), "1000");
    EXPECT_EQ(T(1108), "200");
    EXPECT_EQ(T(1067), "AA");
    EXPECT_EQ(page->ItemCount(1068), 22);
    EXPECT_EQ(page->ItemCount(1019), 14);
    EXPECT_EQ(page->Selection(1066), 1);
    EXPECT_EQ(page->Selection(1030), 7);
    EXPECT_EQ(T(1030), "MCS=7; 54 Mbps");
    EXPECT_EQ(page->Selection(1267), 1);
    EXPECT_EQ(T(1036), "0 / 0");
    EXPECT_EQ(T(1117), "0%");
    EXPECT_EQ(T(1074), "0");
    EXPECT_FALSE(page->IsShown(1075)); // FER is kept in a hidden field
    EXPECT_FALSE(page->IsShown(1254));
    EXPECT_FALSE(page->Enabled(1190));
    EXPECT_EQ(qobject_cast<QLineEdit*>(page->Control(1034))->maxLength(), 9);
    EXPECT_EQ(qobject_cast<QLineEdit*>(page->Control(1108))->maxLength(), 3);
    EXPECT_EQ(page->TimerPeriod(kTimerCounters), 1000);
    EXPECT_EQ(page->TimerPeriod(kTimerTempCom), 1000);
    EXPECT_EQ(page->TimerPeriod(kTimerSlow), 5000);
    EXPECT_EQ(page->TimerPeriod(kTimerTempSensor), 3000);
    // "Cal TSSI" is not on this page: an unknown id is harmless.
    EXPECT_FALSE(page->Has(1418));
    page->SetEnabled(1418, true);
    EXPECT_EQ(page->Text(1418), "");
}

TEST_F(TxRxPageTest, CountedTransmissionEndsAtThePoll) {
    board->SetRawMac(0x1004, 0);
    page->SetSelection(1066, kModeCck); // 1 Mbps: about 2000 frames a second
    page->SetSelection(1030, 0);
    page->ToggleTx();
    EXPECT_TRUE(page->IsTxRunning());
    EXPECT_EQ(T(1031), "Stop &TX");
    EXPECT_TRUE(board->RawMac(0x1004) & 4);
    EXPECT_TRUE(page->TimerActive(kTimerCounters));
    EXPECT_TRUE(page->TimerActive(kTimerTempCom));
    EXPECT_TRUE(page->TimerActive(kTimerSlow));
    EXPECT_TRUE(page->CounterPollingOn());
    EXPECT_FALSE(page->Enabled(1184));
    EXPECT_FALSE(page->Enabled(1114));
    EXPECT_EQ(engine->repeat, 1000u);
    EXPECT_EQ(GetBe16(engine->lastPayload.data() + kOffRingBits), 1); // AC0

    Advance(0.01);
    page->OnTimer(kTimerCounters);
    EXPECT_TRUE(page->IsTxRunning());
    Advance(10);
    page->OnTimer(kTimerCounters);
    EXPECT_EQ(T(1074), "1000");
    EXPECT_FALSE(page->IsTxRunning());
    EXPECT_EQ(T(1031), "Start &TX");
    EXPECT_FALSE(page->TimerActive(kTimerTempCom));
    EXPECT_FALSE(page->TimerActive(kTimerSlow));
    EXPECT_TRUE(page->TimerActive(kTimerCounters)); // keeps polling
    EXPECT_FALSE(board->RawMac(0x1004) & 4);
    EXPECT_TRUE(page->Enabled(1184));
    int stops = 0;
    for (const auto& e : board->Log())
        stops += e.commandId == cmd::StopTx;
    EXPECT_EQ(stops, 0);
}

TEST_F(TxRxPageTest, EndlessTransmissionAndStop) {
    page->SetText(1034, "0");
    page->ToggleTx();
    Advance(30);
    page->OnTimer(kTimerCounters);
    EXPECT_TRUE(page->IsTxRunning());
    page->ToggleTx();
    EXPECT_FALSE(page->IsTxRunning());
    EXPECT_FALSE(page->TimerActive(kTimerCounters));
    EXPECT_FALSE(page->CounterPollingOn());
    EXPECT_EQ(board->Log().back().commandId, cmd::StopTx);
    EXPECT_TRUE(page->Enabled(1114));
}

TEST_F(TxRxPageTest, ReceiveCountersFerSnrRssiAndDeviation) {
    State().lnaGainG = 10;
    page->SetText(1258, "FE");
    page->ToggleRx();
    EXPECT_EQ(T(1033), "Stop &RX");
    EXPECT_TRUE(board->RawMac(0x1004) & 8);
    EXPECT_TRUE(page->TimerActive(kTimerCounters));
    Advance(1);
    page->OnTimer(kTimerCounters);
    EXPECT_EQ(T(1036), "5 / 5");
    EXPECT_EQ(T(1040), "95 / 95");
    EXPECT_EQ(T(1075), "5.00%");
    EXPECT_EQ(T(1279), "-70 dBm");
    EXPECT_EQ(T(1280), "-74 dBm"); // 62, no offset
    EXPECT_EQ(T(1281), "");        // two receive paths only
    EXPECT_EQ(T(1339), "18.8 dB");
    EXPECT_EQ(T(1341), "-4.0 KHz / 1.7 ppm");
    engine->snr[1] = 0;
    Advance(1);
    page->OnTimer(kTimerCounters);
    EXPECT_EQ(T(1036), "5 / 10");
    EXPECT_EQ(T(1340), "0.0 dB");

    // No frames and no errors: the FER field keeps its last value.
    engine->rxRate[0] = 0;
    engine->fcsRate = 0;
    Advance(1);
    page->OnTimer(kTimerCounters);
    EXPECT_EQ(T(1040), "0 / 190");
    EXPECT_EQ(T(1075), "5.00%");

    page->ToggleRx();
    EXPECT_FALSE(page->IsRxRunning());
    EXPECT_FALSE(board->RawMac(0x1004) & 8);
    EXPECT_FALSE(page->TimerActive(kTimerCounters));
    EXPECT_EQ(board->Log().back().commandId, cmd::StopRx);
}

TEST_F(TxRxPageTest, FrameLossAgainstTheExpectedCount) {
    page->SetFrameLoss(true);
    EXPECT_TRUE(page->Enabled(1190));
    EXPECT_TRUE(page->Enabled(1117));
    engine->rxRate[0] = 990;
    page->ToggleRx();
    Advance(1);
    page->OnTimer(kTimerCounters);
    EXPECT_EQ(T(1117), "1.00%");
    engine->rxRate[0] = 1200;
    page->ResetCounters();
    EXPECT_EQ(T(1117), "0%");
    page->ToggleRx();
    page->ToggleRx();
    Advance(1);
    page->OnTimer(kTimerCounters);
    EXPECT_EQ(T(1117), "0.00%");
    page->SetFrameLoss(false);
    EXPECT_FALSE(page->Enabled(1190));
}

TEST_F(TxRxPageTest, LoopBackHoldsTheReceiver) {
    page->SetLoopBack(true);
    EXPECT_TRUE(page->IsRxRunning());
    EXPECT_TRUE(board->RawMac(0x1004) & 0x20);
    ASSERT_FALSE(pause.Pauses().empty());
    EXPECT_EQ(pause.Pauses().front(), 500u);
    const std::size_t log = board->LogSize();
    page->ToggleRx(); // Stop RX is ignored under LoopBack
    EXPECT_TRUE(page->IsRxRunning());
    EXPECT_EQ(T(1033), "Stop &RX");
    EXPECT_EQ(board->LogSize(), log);
    page->SetLoopBack(false);
    EXPECT_FALSE(page->IsRxRunning());
    EXPECT_FALSE(board->RawMac(0x1004) & 0x20);
}

TEST_F(TxRxPageTest, ContiTxPrimingBurstThenContinuousTransmission) {
    page->SetChecked(1350, true); // DAC 0
    board->SetRawMac(0x1328, 0x00150F0F);
    page->SetContinuousMode(ContinuousMode::Conti, true);
    EXPECT_EQ(StartTxCount(), 1);
    EXPECT_EQ(GetBe32(engine->lastPayload.data() + kOffRepeat), 5u);
    EXPECT_FALSE(page->IsTxRunning());
    EXPECT_EQ(T(1031), "Start &TX");
    EXPECT_FALSE(board->RawMac(0x1004) & 4);
    EXPECT_FALSE(page->Enabled(1120));
    EXPECT_FALSE(page->Enabled(1187));
    EXPECT_FALSE(page->Enabled(1188));

    page->ToggleTx(); // continuous now: no StartTX, no timer
    EXPECT_TRUE(page->IsTxRunning());
    EXPECT_EQ(StartTxCount(), 1);
    EXPECT_EQ(board->RawMac(0x1328), 0x000C0020u);
    EXPECT_TRUE(board->RawBbp(22) & 0x80);
    EXPECT_FALSE(page->TimerActive(kTimerCounters));

    // The priming burst's count does not end the continuous transmission.
    page->SetText(1034, "5");
    page->ToggleRx();
    Advance(1);
    page->OnTimer(kTimerCounters);
    EXPECT_EQ(T(1074), "5");
    EXPECT_TRUE(page->IsTxRunning());
    page->ToggleRx();

    page->ToggleTx();
    EXPECT_FALSE(page->IsTxRunning());
    EXPECT_FALSE(board->RawBbp(22) & 0x80);
    EXPECT_FALSE(board->RawBbp(21) & 0x01);                      // after the reset pulse
    EXPECT_EQ(board->RawMac(0x1328), (0x00150F0Fu & ~0xCu) | 3); // saved value, then DAC 0 again
    for (const auto& e : board->Log())
        EXPECT_NE(e.commandId, cmd::StopTx);

    page->SetContinuousMode(ContinuousMode::Conti, false);
    EXPECT_TRUE(page->Enabled(1120));
    EXPECT_TRUE(page->Enabled(1188));
}

TEST_F(TxRxPageTest, CarrierSuppressionWhileRunningRestartsInTheMode) {
    page->SetText(1034, "0");
    page->SetChecked(1349, true); // Both DACs
    page->ToggleTx();
    ASSERT_TRUE(page->IsTxRunning());
    page->SetContinuousMode(ContinuousMode::Suppression, true);
    EXPECT_TRUE(page->IsTxRunning());
    EXPECT_EQ(board->RawMac(0x1328), 0x000C00A0u);
    EXPECT_TRUE(board->RawBbp(21) & 0x10);
    EXPECT_EQ(board->Indirect158(0xB0), 0x80);
    page->SetContinuousMode(ContinuousMode::Suppression, false);
    EXPECT_TRUE(page->IsTxRunning()); // back to a normal transmission
    EXPECT_FALSE(board->RawBbp(21) & 0x10);
    EXPECT_EQ(board->Indirect158(0xB0), 0x00);
    EXPECT_EQ(StartTxCount(), 2);
}

TEST_F(TxRxPageTest, RefusedStartStaysIdle) {
    SelectFrameType(kFrameUser2Inc);
    EXPECT_EQ(T(1199), "44");
    EXPECT_TRUE(page->Enabled(1199));
    page->SetText(1199, "27");
    page->ToggleTx();
    EXPECT_EQ(prompter.Last(), "Packet length is too short!");
    EXPECT_FALSE(page->IsTxRunning());
    EXPECT_TRUE(page->Enabled(1184));
    EXPECT_EQ(T(1031), "Start &TX");
    EXPECT_EQ(StartTxCount(), 0);
    page->SetText(1199, "28");
    page->ToggleTx();
    EXPECT_TRUE(page->IsTxRunning());

    page->ToggleTx();
    SelectFrameType(kFrameBeacon);
    page->ToggleTx();
    EXPECT_FALSE(page->IsTxRunning());
    EXPECT_EQ(StartTxCount(), 1);
}

TEST_F(TxRxPageTest, FrameTypeTemplatesAndQosFields) {
    SelectFrameType(0);
    EXPECT_EQ(T(1021), "0000");
    EXPECT_EQ(T(1023), "000A40112233");
    EXPECT_EQ(T(1024), "000C43944701"); // the board's own address
    EXPECT_EQ(T(1027), "0100030000064B414C56494B010482848B96");
    EXPECT_EQ(T(1064), "42");
    SelectFrameType(kFrameCts);
    EXPECT_EQ(T(1024), "");
    EXPECT_EQ(T(1064), "10");
    SelectFrameType(kFrameUser1Random);
    EXPECT_FALSE(page->Enabled(1064));
    EXPECT_FALSE(page->Enabled(1199));

    SelectFrameType(kFrameQosData);
    EXPECT_TRUE(page->Descriptor().qosLayout);
    EXPECT_TRUE(page->IsShown(1254));
    EXPECT_TRUE(page->IsShown(1212));
    EXPECT_FALSE(page->IsShown(1255)); // OFDM: no RDG
    SelectMode(kModeHtMix);
    EXPECT_TRUE(page->IsShown(1255));
    EXPECT_TRUE(page->IsShown(1261));
    SelectMode(kModeCck);
    EXPECT_FALSE(page->IsShown(1255));
    EXPECT_FALSE(page->IsShown(1264));
    SelectFrameType(15);
    EXPECT_FALSE(page->Descriptor().qosLayout);
    EXPECT_FALSE(page->IsShown(1254));
}

TEST_F(TxRxPageTest, ModeAndRateRules) {
    SelectMode(kModeCck);
    EXPECT_EQ(page->ItemCount(1030), 8);
    EXPECT_EQ(T(1030), "MCS=3;  LP 11 Mbps");
    EXPECT_EQ(State().rateIndex, 3);
    EXPECT_FALSE(page->Enabled(1246));
    EXPECT_FALSE(page->Enabled(1352)); // 20 MHz
    EXPECT_EQ(pause.Pauses().back(), 50u);

    SelectMode(kModeHtGreen);
    EXPECT_EQ(page->ItemCount(1030), 17);
    EXPECT_EQ(page->Selection(1030), 7);
    EXPECT_TRUE(page->Enabled(1246));
    EXPECT_TRUE(page->Enabled(1247));
    page->SetSelection(1030, 8);
    page->OnRateSelected();
    EXPECT_FALSE(page->Enabled(1247));
    EXPECT_TRUE(page->Checked(1349)); // two streams: both DACs
    page->SetSelection(1030, 3);
    page->OnRateSelected();
    EXPECT_TRUE(page->Enabled(1247));

    // Channel 14 in CCK at 20 MHz sets BBP R4 bit 5.
    board->RawBbp(4) = 0x40;
    State().channelIndex = 13;
    SelectMode(kModeCck);
    EXPECT_TRUE(board->RawBbp(4) & 0x20);
    State().channelIndex = 0;
    SelectMode(kModeOfdm);
    EXPECT_FALSE(board->RawBbp(4) & 0x20);
    State().bandwidthIndex = 2;
    SelectMode(kModeOfdm);
    EXPECT_TRUE(page->Enabled(1352));
}

TEST_F(TxRxPageTest, DescriptorDialogOkCancelAndCipher) {
    CTXRXPage::SetDialogRunner([](QDialog& d) {
        auto& dlg = static_cast<CSetTxDescriptor&>(d);
        qobject_cast<QComboBox*>(dlg.Control(1057))->setCurrentIndex(4); // "(4) AES-CCMP"
        qobject_cast<QLineEdit*>(dlg.Control(1028))->setText("00000042");
        dlg.TakeValues();
        return int(QDialog::Accepted);
    });
    page->OnSetTxDescriptor();
    EXPECT_EQ(T(1021), "0840");
    EXPECT_EQ(page->Descriptor().iv, "00000042");

    CTXRXPage::SetDialogRunner([](QDialog& d) {
        auto& dlg = static_cast<CSetTxDescriptor&>(d);
        // The values of the last OK are shown again.
        EXPECT_EQ(qobject_cast<QComboBox*>(dlg.Control(1057))->currentIndex(), 4);
        qobject_cast<QComboBox*>(dlg.Control(1057))->setCurrentIndex(0);
        return int(QDialog::Rejected);
    });
    page->OnSetTxDescriptor();
    EXPECT_EQ(page->Descriptor().cipher, 4);
    EXPECT_EQ(T(1021), "0840");

    // The shared key table gets the cipher for BSS 0, key 0 when the Txwi is built.
    board->SetRawMac(0x7000, 0);
    page->ToggleTx();
    EXPECT_EQ(board->RawMac(0x7000) & 7, 4u);
    EXPECT_EQ(board->RawMac(0x6804), 8u);
    EXPECT_EQ(engine->lastPayload[kOffFrame + 1], 0x40); // protected frame
}

TEST_F(TxRxPageTest, QosRingSelectionAndHcca) {
    SelectFrameType(kFrameQosData);
    TxDescriptorValues& d = page->Descriptor();
    d.ac0 = false;
    d.ac1 = d.ac3 = true;
    page->ToggleTx();
    EXPECT_EQ(GetBe16(engine->lastPayload.data() + kOffRingBits), 0x000A);
    EXPECT_FALSE(board->RawMac(0x408) & 8);
    page->ToggleTx();
    d.hcca = true;
    page->ToggleTx();
    EXPECT_TRUE(board->RawMac(0x408) & 8);
}

TEST_F(TxRxPageTest, DescriptorDialogRules) {
    TxDescriptorValues v;
    {
        CSetTxDescriptor dlg(v);
        EXPECT_EQ(dlg.windowTitle(), "Set Tx Descriptor and TX-WI");
        auto combo = [&dlg](int id) { return qobject_cast<QComboBox*>(dlg.Control(id)); };
        // Ring type AC0: only the AC0 parameters are editable.
        EXPECT_TRUE(combo(1059)->isEnabled());
        EXPECT_FALSE(combo(1062)->isEnabled());
        EXPECT_FALSE(combo(1090)->isEnabled());
        EXPECT_EQ(combo(1087)->currentIndex(), 7);
        EXPECT_EQ(combo(1035)->currentText(), "SIFS (1)");
        EXPECT_FALSE(dlg.Control(1198)->isVisibleTo(&dlg));
        combo(1071)->setCurrentIndex(2);
        dlg.OnRingTypeChanged(2);
        EXPECT_TRUE(combo(1083)->isEnabled());
        EXPECT_FALSE(combo(1059)->isEnabled());
        dlg.OnRingTypeChanged(4); // Mgmt: nothing
        for (int id : {1059, 1062, 1073, 1087, 1090})
            EXPECT_FALSE(combo(id)->isEnabled()) << id;
    }
    v.qosLayout = true;
    CSetTxDescriptor dlg(v);
    auto check = [&dlg](int id) { return qobject_cast<QCheckBox*>(dlg.Control(id)); };
    EXPECT_TRUE(dlg.Control(1198)->isVisibleTo(&dlg));
    EXPECT_FALSE(dlg.Control(1071)->isVisibleTo(&dlg));
    EXPECT_TRUE(qobject_cast<QComboBox*>(dlg.Control(1087))->isEnabled());
    // Unchecking the only ring leaves it checked.
    check(1192)->click();
    EXPECT_TRUE(check(1192)->isChecked());
    check(1193)->click();
    check(1192)->click();
    EXPECT_FALSE(check(1192)->isChecked());
    EXPECT_TRUE(check(1193)->isChecked());
    // 4K boundary test: AC0 with scatter alone.
    check(1207)->click();
    EXPECT_TRUE(check(1192)->isChecked());
    EXPECT_TRUE(check(1200)->isChecked());
    EXPECT_FALSE(check(1193)->isChecked());
    EXPECT_FALSE(check(1194)->isEnabled());
    EXPECT_FALSE(check(1255)->isEnabled());
    EXPECT_TRUE(check(1193)->isEnabled());
    check(1207)->click();
    EXPECT_TRUE(check(1194)->isEnabled());
    EXPECT_TRUE(check(1255)->isEnabled());
    dlg.TakeValues();
    EXPECT_TRUE(v.ac0);
    EXPECT_TRUE(v.scatter[0]);
    EXPECT_FALSE(v.boundary4k);
}

TEST_F(TxRxPageTest, TxEnvironmentDialog) {
    TxEnv().frameLossMode = 1;
    TxEnv().expectedCount = 1000;
    {
        CSetTxEnv dlg;
        EXPECT_EQ(dlg.windowTitle(), "Set Tx environment");
        EXPECT_EQ(TxEnv().frameLossMode, 0);
        EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.Control(1257))->text(), "1000");
        EXPECT_FALSE(dlg.Control(1258)->isEnabled());
        qobject_cast<QRadioButton*>(dlg.Control(1312))->click();
        EXPECT_TRUE(dlg.Control(1258)->isEnabled());
        EXPECT_FALSE(dlg.Control(1257)->isEnabled());
        qobject_cast<QLineEdit*>(dlg.Control(1258))->setText("500");
        dlg.OnOk();
    }
    EXPECT_EQ(TxEnv().frameLossMode, 1);
    EXPECT_EQ(TxEnv().expectedCount, 500u);
    {
        CSetTxEnv dlg;
        qobject_cast<QLineEdit*>(dlg.Control(1257))->setText("abc");
        dlg.OnOk();
    }
    EXPECT_EQ(TxEnv().expectedCount, 0u);
}

TEST_F(TxRxPageTest, SwitchesMacAddressAndTimers) {
    page->SetText(1070, "001122334455");
    page->OnSetMacAddress();
    EXPECT_EQ(board->RawMac(0x1008), 0x33221100u);
    EXPECT_EQ(board->RawMac(0x100C), 0x5544u);

    board->SetRawMac(0x1404, 0x10);
    page->SetAutoResponder(true);
    EXPECT_EQ(board->RawMac(0x1404), 0x11u);
    page->SetAutoResponder(false);
    EXPECT_EQ(board->RawMac(0x1404), 0x10u);

    auto* inc = qobject_cast<QCheckBox*>(page->Control(1240));
    auto* random = qobject_cast<QCheckBox*>(page->Control(1373));
    inc->click();
    random->click();
    EXPECT_FALSE(inc->isChecked());
    inc->click();
    EXPECT_FALSE(random->isChecked());

    page->SetTempSensor(true);
    EXPECT_TRUE(page->TimerActive(kTimerTempSensor));
    page->OnTimer(kTimerTempSensor);
    page->SetTempSensor(false);
    EXPECT_FALSE(page->TimerActive(kTimerTempSensor));

    // Timer 4 stops itself while "Temp. Com." is unchecked.
    page->ToggleTx();
    page->OnTimer(kTimerTempCom);
    EXPECT_FALSE(page->TimerActive(kTimerTempCom));
    EXPECT_TRUE(page->TimerActive(kTimerSlow));

    page->OnDestroyPage();
    EXPECT_FALSE(page->TimerActive(kTimerCounters));
    EXPECT_FALSE(page->CounterPollingOn());
}

TEST_F(TxRxPageTest, SheetServicesAndActivation) {
    Sheet().ToggleReceiveTest();
    EXPECT_TRUE(page->IsRxRunning());
    Sheet().StopRunningReceive();
    EXPECT_FALSE(page->IsRxRunning());
    Sheet().ToggleTransmitTest();
    EXPECT_TRUE(page->IsTxRunning());
    Sheet().StopRunningTests();
    EXPECT_FALSE(page->IsTxRunning());

    page->Activate();
    EXPECT_TRUE(page->HasWindow());
    EXPECT_EQ(T(1064), "1058");
    EXPECT_EQ(T(1199), "0");
    State().channelIndex = 5;
    State().txPower0 = 0x0C;
    State().freqOffset = 0x20;
    page->Activate();
    EXPECT_EQ(page->Selection(1019), 5);
    EXPECT_EQ(T(1029), "0C");
    EXPECT_EQ(T(1032), "20");
}

TEST_F(TxRxPageTest, WorkerThreadStopsTheTestsOnThePageThread) {
    page->ToggleRx();
    page->ToggleTx();
    std::atomic<bool> done{false};
    std::thread worker([&done] {
        Sheet().StopRunningTests();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_FALSE(page->IsRxRunning());
    EXPECT_FALSE(page->IsTxRunning());
    EXPECT_FALSE(page->TimerActive(kTimerCounters));
}

TEST_F(TxRxPageTest, NoOtherCallerGetsIntoAnOpenSequence) {
    // An eFuse physical write loads its block into the data registers, changes
    // a word and programs the block. An error box in between used to let the
    // temperature tick (an eFuse logical read of word 0xD0 here) or a worker
    // reload the registers, and the other block's bits were burned.
    UseEfuseGeometry();
    State().eepromSource = EepromSourceKind::Efuse;
    auto* fuse = board->Device<agent::EfuseDevice>();
    const std::function<void()> callers[] = {
        [this] { page->OnTimer(kTimerTempSensor); },
        [] { std::thread([] { std::uint16_t w = 0; CDeviceCommands().EepromRead(0xD0, w); }).join(); }};
    for (const auto& other : callers) {
        board->Reset();
        fuse->fuse[960 + 5] = EfuseMapByte(0xD0 / 16); // word 0xD0 lives in physical block 5
        for (int i = 0; i < 16; ++i) fuse->fuse[5 * 16 + i] = 0xA5;
        board->AddDevice(std::make_shared<FailOnce>(kEfuseData));
        const unsigned reads = fuse->logicalReads;
        prompter.onShow = [&other](const std::string&) { other(); };
        CDeviceCommands dev;
        EfusePhysicalWriteWord(dev, 0, 0x1234);
        const std::uint8_t expected[16] = {0x34, 0x12};
        EXPECT_TRUE(std::equal(expected, expected + 16, fuse->fuse));
        EXPECT_GT(fuse->logicalReads, reads) << "the other caller runs once the write is done";
    }
    // A nested loop inside an open sequence (a progress dialog's) skips the tick.
    DeviceSequence sequence;
    const std::size_t logged = board->LogSize();
    QTimer::singleShot(0, page.get(), [this] { page->OnTimer(kTimerTempSensor); });
    QCoreApplication::processEvents();
    EXPECT_EQ(board->LogSize(), logged);
    prompter.onShow = nullptr;
}

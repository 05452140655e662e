// The TX/RX page: frame set-up, transmit and receive tests, counters, and the
// radio controls whose set-up code lives in CTxRxRadio.
#pragma once

#include "txrx/core/txrx_control.h"
#include "txrx/core/txrx_model.h"
#include "txrx/core/txrx_radio.h"
#include "ui/qa_page.h"

#include <QTimer>
#include <functional>
#include <map>

class QDialog;
class QGridLayout;
class QGroupBox;

namespace vq {

// Timer ids of the page and their periods.
constexpr int kTimerCounters = 102, kTimerTempCom = 4, kTimerSlow = 5, kTimerTempSensor = 6;

class CTXRXPage : public QAPage {
    Q_OBJECT
  public:
    explicit CTXRXPage(QWidget* parent = nullptr);
    ~CTXRXPage() override;

    // ---- The page's controls by id (a missing id reads empty and ignores writes) ----
    bool Has(int id) const;
    QString Text(int id) const;
    void SetText(int id, const QString& text);
    bool Checked(int id) const;
    void SetChecked(int id, bool on);
    int Selection(int id) const; // drop-down index, -1 for none
    void SetSelection(int id, int index);
    void SetItems(int id, const QStringList& items);
    int ItemCount(int id) const;
    bool Enabled(int id) const;
    void SetEnabled(int id, bool on);
    void SetVisible(int id, bool on);
    void SetMaxLength(int id, int length);
    QWidget* Control(int id) const;
    bool IsShown(int id) const; // not hidden (independent of the page being on screen)

    // ---- What the sheet's services reach (callable from a worker thread) ----
    void ToggleRx();
    void ToggleTx();
    bool IsRxRunning() const { return rxRunning_; }
    bool IsTxRunning() const { return txRunning_; }
    void PollCounters();
    bool HasWindow() const { return Initialised(); }
    // Select entry n of a list and run its change action.
    void SelectChannel(int index);
    void SelectBandwidth(int index);
    void SelectRxPath(int index);
    void SetOneRxPath(bool on);
    // The channel list on an index without its change action.
    void SetChannelListIndex(int index);
    // TX power 0, TX power 1 and frequency offset into the display fields.
    void ShowSharedValues(std::uint8_t txPower0, std::uint8_t txPower1, std::uint8_t freqOffset);

    // ---- Parameter model and test control ----
    // The mode-change procedure for the current selection of "Mode".
    void ModeChanged();
    // Frame template of a frame type into the frame fields.
    void ApplyFrameType(int index);
    void ZeroCounterAccumulators() { counters_.ZeroAccumulators(); }
    void ResetCounters();
    void SetTempSensor(bool on);
    void SetAutoResponder(bool on);
    void SetQosLayout(bool on) { descriptor_.qosLayout = on; }
    // When "Conti. Tx" is checked and transmitting: stop and start again with
    // the new radio setting (under a wait cursor).
    void RestartContinuousTx();

    // ---- Test control ----
    void SetContinuousMode(ContinuousMode mode, bool checked);
    void SetLoopBack(bool checked);
    void SetFrameLoss(bool checked);
    // Timer bodies (the page's timers call them).
    void OnTimer(int id);
    bool TimerActive(int id) const;
    int TimerPeriod(int id) const;
    bool CounterPollingOn() const { return pollingOn_; }

    // ---- Control actions ----
    void OnModeSelected();
    void OnRateSelected();
    void OnFrameTypeSelected();
    void OnChannelSelected();
    void OnSetMacAddress();
    void OnSetTxDescriptor();
    void OnSetTxEnv();

    // The frame fields and check boxes as BuildStartTxPayload reads them.
    TxFrameInputs GatherInputs() const;
    TxDescriptorValues& Descriptor() { return descriptor_; }
    const CounterState& Counters() const { return counters_; }

    // How the modal dialogs run (tests answer them without a screen).
    using DialogRunner = std::function<int(QDialog&)>;
    static void SetDialogRunner(DialogRunner runner); // empty: exec()

    // ---- Calibration trims, write-backs and capture (txrx_calibration.cpp) ----
    // One step of spin `spinId` with the Windows delta: -1 for the upper arrow
    // of a vertical spin, +1 for the left arrow of the horizontal one.
    void SpinStep(int spinId, int delta);
    void OnCalibrateTxPower(int k);
    void OnDpd();
    void OnRegisterBox();
    // "Capture Mode": the dialog, the file question and the captures.
    void OnCaptureMode();
    // "Rx Calibration" / "Tx Calibration": the calibration start and the fixed IQ capture.
    void OnIqCalibrationCapture(bool tx);

    void OnDestroyPage() override;

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;

  private:
    void BuildControls();
    void BuildCalibrationControls(QGroupBox* rfBox, QGroupBox* signalBox, QGroupBox* testBox, QGridLayout* top);
    void ConnectCalibrationActions();
    void RunCapture(bool fixedIq, bool tx);
    // A radio set-up operation on the page's controls: copy them into a
    // record, run it, show what it left and do the page's share.
    template <class Settings> void WithRadio(void (CTxRxRadio::*operation)(Settings&));
    void ReadRadioControls(TxRxRadioSettings& s) const;
    void ShowRadioControls(const TxRxRadioSettings& s);
    void FinishRadio(const TxRxRadioSettings& s);
    void ShowFrameFields(const FrameFields& f);
    void AfterCounterReset();
    void ConnectActions();
    void ApplyTexts(const ControlTexts& texts);
    void StartTimer(int id);
    void KillTimer(int id);
    QTimer* TimerFor(int id);
    const QTimer* TimerFor(int id) const;
    int DacChoice() const;
    void SetQosFieldsVisible(bool qos, bool ht);
    void ApplySgiStbcRule();
    void StopTx();
    void StartTx();
    void EndCountedTransmission();
    int RunDialog(QDialog& dialog);
    // Runs `f` on the page's thread and waits when called from another
    // thread (a worker stopping the tests); false on the page's own thread.
    bool Marshal(std::function<void()> f);

    std::map<int, QWidget*> controls_;
    TxDescriptorValues descriptor_;
    CounterState counters_;
    bool txRunning_ = false;
    bool rxRunning_ = false;
    bool pollingOn_ = false;
    bool conti_[3] = {false, false, false};
    bool contiPriming_ = false;
    std::uint32_t savedDac_ = 0;
    bool loopBack_ = false;
    bool autoResponder_ = false;
    bool frameLoss_ = false;
    QTimer timer102_, timer4_, timer5_, timer6_;
};

} // namespace vq

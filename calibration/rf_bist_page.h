// "RF BIST": the chip's RF self tests. TX, RX and loopback playback repeat on
// worker threads that only run the command layer and hand their texts and
// captions to the UI thread by queued calls.
#pragma once

#include "calibration/core/rf_bist.h"
#include "ui/qa_page.h"

#include <QString>
#include <atomic>
#include <thread>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vq {

class CRFBISTPage : public QAPage {
    Q_OBJECT
  public:
    explicit CRFBISTPage(QWidget* parent = nullptr);
    ~CRFBISTPage() override;

    enum Test { Tx, Rx, Playback, kTests };
    QComboBox* TxPath() const { return txPath_; }
    QComboBox* RxPath() const { return rxPath_; }
    QComboBox* Mode() const { return mode_; }
    QComboBox* Rate() const { return rate_; }
    QComboBox* Bandwidth() const { return bandwidth_; }
    QLineEdit* Repeat() const { return repeat_; }
    QLineEdit* Length() const { return length_; }
    QLineEdit* Payload() const { return payload_; }
    QPlainTextEdit* Result() const { return result_; }
    QPushButton* Button(const QString& caption) const;
    QPushButton* StartButton(Test t) const { return start_[t]; }
    QRadioButton* LoopRadio(int i) const;
    bool Running(Test t) const { return running_[t].load(); }
    // The worker of `t` has ended (or never started).
    bool Idle(Test t) const { return !busy_[t].load(); }
    bool ContinuousOn(int which) const { return continuous_[which]; } // 0 TEST-5, 1 TEST-6

    void OnDestroyPage() override;

  public slots:
    void OnModeChanged();
    void OnTxInit();
    void OnTxStart();
    void OnRxInit();
    void OnRxStart();
    void OnRecordInit();
    void OnRecordStart();
    void OnPlaybackStart();
    void OnPllVco();
    void OnCarrierLeakage();
    void OnDebugOutput();

  protected:
    void OnInitDialog() override;

  private:
    BistSettings Settings() const;
    void ShowResult(const std::string& text);
    void Toggle(Test t);
    void Ended(Test t);
    void ToggleContinuous(int which);
    void StopWorkers();

    QComboBox* txPath_;
    QComboBox* rxPath_;
    QComboBox* mode_;
    QComboBox* rate_;
    QComboBox* bandwidth_;
    QLineEdit* repeat_;
    QLineEdit* length_;
    QLineEdit* payload_;
    QPlainTextEdit* result_;
    QButtonGroup* loops_;
    QPushButton* start_[kTests] = {};
    QPushButton* continuousButton_[2] = {};
    std::atomic<bool> running_[kTests];
    std::atomic<bool> busy_[kTests];
    std::thread worker_[kTests];
    bool continuous_[2] = {false, false};
};

} // namespace vq

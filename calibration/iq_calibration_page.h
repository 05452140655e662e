// "IQ Calibration": single measurements of the baseband's residual, the RF
// loopback set-up, the LOFT and IQ searches (run on a worker behind a
// progress dialog) and a BBP script runner with its log.
#pragma once

#include "calibration/core/iq_search.h"
#include "ui/qa_page.h"

#include <QString>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vq {

class ProgressRun;

class CIQCalibrationPage : public QAPage {
    Q_OBJECT
  public:
    explicit CIQCalibrationPage(QWidget* parent = nullptr);
    ~CIQCalibrationPage() override;

    // The control with this id (its object name), null when there is none.
    QWidget* Control(int id) const;
    QListWidget* ScriptLog() const { return log_; }
    int LogCount() const { return logCount_; }
    IqCalibration& Calibration() { return cal_; }
    // The progress dialog of the search under way (null when none runs).
    ProgressRun* Progress() const { return run_; }

    void OnDestroyPage() override;

  public slots:
    void OnReset();
    void OnCalibration();
    void OnAuxLoopback();
    void OnLoftAc();
    void OnLoftAd();
    void OnFullLoft();
    void OnIqCal28();
    void OnIqCal29();
    void OnFullIq();
    void OnRx0Iq();
    void OnLoadScript();

  protected:
    void OnInitDialog() override;

  private:
    enum class Search { LoftAc, LoftAd, FullLoft, Iq28, Iq29, FullIq, Rx0 };
    void RunSearch(Search which);
    bool ReadSettings(IqSettings& s) const;
    QString Text(int id) const;
    void SetText(int id, const QString& text);

    IqCalibration cal_;
    QListWidget* log_ = nullptr;
    QComboBox* txPath_ = nullptr;
    int logCount_ = 0;
    ProgressRun* run_ = nullptr; // while a search runs
    bool destroyed_ = false;
};

} // namespace vq

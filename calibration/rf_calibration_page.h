// "Calibration": the radio's R calibration ("RECAL", on a worker behind a
// progress dialog), the TX AUX loop calibration and the analogue baseband
// RX offset cancellation.
#pragma once

#include "calibration/core/rf_calibration.h"
#include "ui/qa_page.h"

#include <QString>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace vq {

class ProgressRun;

class CRfCalibration : public QAPage {
    Q_OBJECT
  public:
    explicit CRfCalibration(QWidget* parent = nullptr);
    ~CRfCalibration() override;

    QWidget* Control(int id) const;
    QString Text(int id) const;
    // What the last "RECAL" could not do (empty when it did everything).
    QLabel* StatusLine() const { return status_; }
    const RfCalValues& Values() const { return values_; }
    double Slope() const { return k_; }
    ProgressRun* Progress() const { return run_; }

    void OnDestroyPage() override;

  public slots:
    void OnRecal();
    void OnTssi();
    void OnIqCal();
    void OnTxAuxCal();
    void OnAbbCal();

  protected:
    void OnInitDialog() override;

  private:
    void ShowValues();
    void SetText(int id, const QString& text);

    RfCalValues values_;
    double k_ = 2.0;
    RfCalibration cal_;
    QLabel* status_ = nullptr;
    QRadioButton* tssi_ = nullptr;
    QRadioButton* iqCal_ = nullptr;
    ProgressRun* run_ = nullptr;
    bool destroyed_ = false;
};

} // namespace vq

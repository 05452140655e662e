// "Noise Level": the noise floor per channel and receive path of both bands
// in four tables, measured by sweeps that step the TX/RX page's channel and
// receive test.
#pragma once

#include "measure/noise/core/noise_sweep.h"
#include "ui/qa_page.h"

#include <array>

class QProgressDialog;
class QPushButton;
class QTableWidget;

namespace vq {

class CNoiseLevelPage : public QAPage {
    Q_OBJECT
  public:
    explicit CNoiseLevelPage(QWidget* parent = nullptr);
    QTableWidget* Table(int n) const { return tables_[n]; } // 0..3
    // The cell text of a channel index and path ("" when empty).
    QString Cell(int channelIndex, int path) const;

  public slots:
    void OnStart24();
    void OnStart5();
    void OnStartAll();

  private:
    void Clear(noise::Band band);
    void Sweep(noise::Band band);
    void Show(int channelIndex, int path, int dbm);
    std::array<QTableWidget*, 4> tables_{};
};

} // namespace vq

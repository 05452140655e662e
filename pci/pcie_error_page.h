// "PCIe Error Reporting": while the TX/RX page transmits, a worker polls the
// chip's PCI Express error status, clears what it found and counts it.
#pragma once

#include "pci/core/pcie_errors.h"
#include "ui/qa_page.h"

#include <array>
#include <atomic>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vq {

class CPCIeErrorReportPage : public QAPage {
    Q_OBJECT
  public:
    explicit CPCIeErrorReportPage(QWidget* parent = nullptr);
    ~CPCIeErrorReportPage() override;
    // The field of ErrorFields()[n].
    QLineEdit* Field(int n) const { return fields_[n]; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* ResetButton() const { return reset_; }
    bool Running() const { return poller_.Running(); }
    void OnDestroyPage() override;

  public slots:
    void OnStartTx();
    void OnResetCounter();

  protected:
    void OnInitDialog() override;

  private:
    void ShowValues(const pci::ErrorValues& values);
    void StopPolling();
    void Failed(const std::string& error);

    std::array<QLineEdit*, pci::kFieldCount> fields_{};
    QPushButton* start_ = nullptr;
    QPushButton* reset_ = nullptr;
    QCheckBox* loopBack_ = nullptr;
    std::atomic<bool> updatePending_{false};
    pci::ErrorPoller poller_;
};

} // namespace vq

// "Sniffer" page: captures the 802.11 frames the board receives, one list row
// per accepted frame over the frame store, with filters, an optional channel
// sweep, packet files and the "Sniffer Data" byte view of a frame.
#pragma once

#include "measure/sniffer/core/sniffer_capture.h"
#include "ui/qa_page.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace vq {

class CHexEdit;

// The list's rows as a model over the capture's rows and the frame store:
// cell texts are decoded when a view asks for them.
class SnifferListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SnifferListModel(sniffer::SnifferCapture& capture, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Tells the views what the capture changed since the last call.
    void Sync();

  private:
    sniffer::SnifferCapture& capture_;
    int shown_ = 0;
    unsigned generation_ = 0;
};

// Timer ids of the page.
constexpr int kTimerSweep = 1, kTimerPoll = 2200;

class CSnifferPage : public QAPage {
    Q_OBJECT
  public:
    explicit CSnifferPage(QWidget* parent = nullptr);
    ~CSnifferPage() override;

    sniffer::SnifferCapture& Capture() { return capture_; }
    sniffer::CaptureOptions Options() const; // the controls as a poll tick takes them
    SnifferListModel* ListModel() const { return model_; }
    QTableView* List() const { return list_; }
    QCheckBox* Check(const QString& caption) const;
    QCheckBox* SweepBox() const { return sweep_; }
    QComboBox* FromList() const { return from_; }
    QComboBox* ToList() const { return to_; }
    QLineEdit* MacEdit() const { return mac_; }
    QLineEdit* WaitEdit() const { return wait_; }
    QPushButton* StartButton() const { return start_; }
    QLabel* SwCrcCount() const { return swCount_; }
    QLabel* TotalCount() const { return totalCount_; }
    int SweepCurrent() const { return sweepCurrent_; }
    int SweepWaitMs() const { return sweepWaitMs_; }
    bool TimerActive(int id) const;
    int TimerPeriod(int id) const;
    // Shows the dialog; tests replace it (the dialog is then not run).
    std::function<void(QDialog&)> runDialog;

    bool OnKillActive() override;
    void OnDestroyPage() override;

  public slots:
    void OnStartCapture();
    void OnTimer(int id);
    void OnFromChanged(int index);
    void OnToChanged(int index);
    void OnSaveFile();
    void OnLoadFile();
    void OnRowDoubleClicked(int row);

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;

  private:
    void StartCapture();
    void StopCapture();
    void ShowCounters();

    sniffer::FrameStore& store_;
    sniffer::SnifferCapture capture_;
    SnifferListModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QCheckBox* sweep_ = nullptr;
    QComboBox* from_ = nullptr;
    QComboBox* to_ = nullptr;
    QLineEdit* mac_ = nullptr;
    QLineEdit* wait_ = nullptr;
    QPushButton* start_ = nullptr;
    QLabel* swCount_ = nullptr;
    QLabel* totalCount_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    QTimer* sweepTimer_ = nullptr;
    int sweepFrom_ = 0, sweepTo_ = 0, sweepCurrent_ = 0, sweepWaitMs_ = 140;
};

// "Sniffer Data": one stored record as four hex views.
class CSnifferDataDialog : public QDialog {
    Q_OBJECT
  public:
    CSnifferDataDialog(const std::uint8_t* record, QWidget* parent = nullptr);
    CHexEdit* View(int i) const { return views_[i]; } // 0 descriptor, 1 buffer, 2 TxD, 3 scatter control

  private:
    std::vector<std::uint8_t> bytes_[4];
    CHexEdit* views_[4] = {};
};

} // namespace vq

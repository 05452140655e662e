// " NHM Test Page": repeated noise histogram measurements on a worker thread,
// one list row of twelve counters each, saved as a log file.
#pragma once

#include "measure/nhm/core/nhm_run.h"
#include "ui/qa_page.h"

#include <QAbstractTableModel>
#include <deque>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace vq {

// The list's rows: the measurements with their row numbers. It keeps the
// latest kMaxRows; older ones leave in blocks of the thread's ring size.
class NhmListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr std::size_t kMaxRows = 1000000;
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void Append(const std::vector<nhm::Measurement>& rows);
    void Clear();
    const std::deque<nhm::Measurement>& Rows() const { return rows_; }

  private:
    std::deque<nhm::Measurement> rows_;
    unsigned long firstNumber_ = 1;
};

class CNHMPage : public QAPage {
    Q_OBJECT
  public:
    explicit CNHMPage(QWidget* parent = nullptr);
    ~CNHMPage() override;
    QTableView* List() const { return list_; }
    NhmListModel* Rows() const { return model_; }
    QComboBox* ChannelList() const { return channel_; }
    QLineEdit* PeriodEdit() const { return period_; }
    QLineEdit* CountEdit() const { return count_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* SaveButton() const { return save_; }
    bool Running() const { return run_.Running(); }
    void OnDestroyPage() override;

  public slots:
    void OnStart();
    void OnSave();
    void OnChannelChanged(int index);

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;

  private:
    void SetIdleControls(bool idle);
    void EndRun();

    QTableView* list_ = nullptr;
    NhmListModel* model_ = nullptr;
    QComboBox* channel_ = nullptr;
    QLineEdit* period_ = nullptr;
    QLineEdit* count_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* save_ = nullptr;
    nhm::NhmRun run_;
};

} // namespace vq

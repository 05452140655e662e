// A long device operation on a worker thread behind a modal progress dialog:
// the dialog shows the stage and point count and the log lines written so
// far, and repaints while the worker runs; Cancel asks the operation to stop
// after the point under way. The worker reports through Report(), which
// reaches the dialog by queued calls; it never touches a widget itself.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace vq {

class ProgressRun : public QDialog {
    Q_OBJECT
  public:
    ProgressRun(QWidget* parent, const QString& title);
    ~ProgressRun() override;

    // Runs `job` on a worker thread and returns when it has ended; the
    // dialog is shown meanwhile and hidden before the return.
    void Run(std::function<void()> job);

    // From the worker: where the operation stands and its new log lines.
    void Report(const QString& stage, int point, int total, const QStringList& lines);
    // True once Cancel was pressed (or Stop() called).
    bool Cancelled() const { return cancelled_.load(); }
    // Asks the job to stop after its current step and waits for the worker,
    // serving the UI thread's events meanwhile (the worker may be waiting for
    // a message box). Used when the program closes during a run.
    void Stop();
    bool Running() const { return running_.load(); }

    QLabel* StageLabel() const { return stage_; }
    QProgressBar* Bar() const { return bar_; }
    QPlainTextEdit* LogView() const { return log_; }
    QPushButton* CancelButton() const { return cancel_; }

  protected:
    void reject() override; // Esc and the window's close box count as Cancel

  private:
    void Show(const QString& stage, int point, int total, const QStringList& lines);
    void Cancel();

    QLabel* stage_;
    QProgressBar* bar_;
    QPlainTextEdit* log_;
    QPushButton* cancel_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> running_{false};
    std::thread worker_;
};

} // namespace vq

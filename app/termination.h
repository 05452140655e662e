// Ctrl+C, SIGTERM and SIGHUP turned into a Qt signal: the handler only writes
// one byte into a socket pair; the event loop reads it and shuts down normally,
// so the board is restored and the link closed as after "Exit".
#pragma once

#include <QObject>

class QSocketNotifier;

namespace vq {

class TerminationNotifier : public QObject {
    Q_OBJECT
  public:
    explicit TerminationNotifier(QObject* parent = nullptr);
    ~TerminationNotifier() override;
    bool Installed() const { return notifier_ != nullptr; }
    // The signal number that arrived last (0: none yet).
    int LastSignal() const { return lastSignal_; }

  signals:
    void terminationRequested(int signalNumber);

  private:
    void OnReadable();
    QSocketNotifier* notifier_ = nullptr;
    int lastSignal_ = 0;
};

} // namespace vq

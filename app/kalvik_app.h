// The application object: single-instance rule, start-up options, adapter
// choice, the board's test mode, the sheet, and the board's restoration at exit.
#pragma once

#include "app/adapter_backend.h"
#include "app/command_line.h"
#include "base/instance_lock.h"
#include "app/property_sheet.h"
#include "app/select_adapter_dialog.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

namespace vq {

class TerminationNotifier;

class CKalvikApp : public QObject {
    Q_OBJECT
  public:
    // `arguments`: what is left of the command line after Qt took its own
    // options, without the program name.
    explicit CKalvikApp(const QStringList& arguments, QObject* parent = nullptr);
    ~CKalvikApp() override;

    // Start-up up to the shown sheet. False when the program is to end at once
    // (second copy, cancelled dialog, no adapters to list).
    bool InitInstance();
    // Restores the board unless no adapter was chosen, releases the lock and
    // closes the link. Returns the process exit status.
    int ExitInstance();
    // InitInstance, the event loop while the sheet is up, ExitInstance.
    int Run();

    // Ctrl+C / SIGTERM / SIGHUP: closes the boxes and dialogs that are up and
    // ends every event loop; once the handlers below them have returned, the
    // shut-down of "Exit" runs (ExitInstance).
    void RequestTermination();
    // Catch SIGINT, SIGTERM and SIGHUP while Run() is active (the program does; tests need not).
    void SetHandleSignals(bool on) { handleSignals_ = on; }

    // --- Seams for tests ---
    void SetLockDirectory(const std::string& directory) { lockDirectory_ = directory; }
    void SetBackend(IAdapterBackend* backend) { backend_ = backend; }
    void SetSimulatorEntry(bool on) { simulatorEntry_ = on; }
    // Runs the dialog; true when it ended with OK. Default: the modal loop.
    std::function<bool(CSelectAdapterDlg&)> runAdapterDialog;

    const CQACommandLineInfo& CommandLine() const { return commandLine_; }
    CQAPropertySheet* PropertySheet() const { return sheet_; }
    std::shared_ptr<agent::BoardModel> SimulatedBoard() const { return board_; }
    const SingleInstanceLock* Lock() const { return lock_.get(); }
    int ExitCode() const { return exitCode_; }

  private:
    QStringList arguments_;
    CQACommandLineInfo commandLine_;
    std::string lockDirectory_;
    std::unique_ptr<SingleInstanceLock> lock_;
    SystemAdapterBackend systemBackend_;
    IAdapterBackend* backend_ = nullptr;
    bool simulatorEntry_;
    bool handleSignals_ = true;
    bool terminating_ = false;
    bool exited_ = false;
    int exitCode_ = 0;
    QPointer<CSelectAdapterDlg> dialog_;
    QPointer<CQAPropertySheet> sheet_;
    std::shared_ptr<agent::BoardModel> board_;
};

} // namespace vq

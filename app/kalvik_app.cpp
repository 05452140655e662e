#include "app/kalvik_app.h"

#include "app/property_sheet.h"
#include "app/select_adapter_dialog.h"
#include "app/sim_config_space.h"
#include "app/termination.h"
#include "base/services.h"
#include "device/board_session.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "ui/ui_services.h"

#include <QApplication>
#include <cstdio>

namespace vq {

CKalvikApp::CKalvikApp(const QStringList& arguments, QObject* parent)
    : QObject(parent), arguments_(arguments), simulatorEntry_(SimulatorRequested()) {}

CKalvikApp::~CKalvikApp() {
    if (sheet_) delete sheet_.data();
}

bool CKalvikApp::InitInstance() {
    exitCode_ = 0;
    // 1. One copy per machine.
    lock_ = std::make_unique<SingleInstanceLock>(kInstanceLockName, lockDirectory_);
    if (!lock_->Acquire()) {
        if (lock_->Error().empty()) {
            Link().noAdapter = true; // nothing was chosen: the shut-down sends nothing
            ShowMessage("VQ9447 QA is already running", MsgIcon::None, MsgButtons::Ok);
            return false;
        }
        // A lock file that cannot be made does not keep the tool from working.
        std::fprintf(stderr, "single-instance lock unavailable: %s\n", lock_->Error().c_str());
    }

    // 2. Start-up options.
    commandLine_ = {};
    commandLine_.Parse(arguments_);
    commandLine_.Apply();

    // 3. Nothing to initialise for embedded objects on this platform.

    // 4. The command layer and the adapter.
    CDeviceCommands dev;
    dev.Open();
    IAdapterBackend& backend = backend_ ? *backend_ : systemBackend_;
    CSelectAdapterDlg dialog(backend, simulatorEntry_);
    if (!dialog.Start()) {
        Link().noAdapter = true;
        exitCode_ = 1;
        return false;
    }
    dialog_ = &dialog;
    bool chosen = false;
    if (!terminating_)
        chosen = runAdapterDialog ? runAdapterDialog(dialog) : dialog.exec() == QDialog::Accepted;
    dialog_ = nullptr;
    if (!chosen || terminating_) {
        Link().noAdapter = true;
        return false;
    }
    board_ = dialog.SimulatedBoard();
    UseSimulatedConfigSpace(board_); // the PCIe page's configuration space on the simulated board

    // 5.-7. Board into its test mode, the EEPROM source, the version read and
    // the constants of this chip revision.
    {
        WaitCursor wait;
        BeginBoardSession(dev, dialog.EfuseChosen());
    }

    // 8. The sheet.
    sheet_ = new CQAPropertySheet(commandLine_);
    connect(sheet_.data(), &CQAPropertySheet::closed, this, [] { QCoreApplication::quit(); });
    sheet_->show();
    return true;
}

int CKalvikApp::ExitInstance() {
    if (exited_) return exitCode_;
    exited_ = true;
    // The sheet and its pages go first, as their window closes.
    if (sheet_) {
        if (!sheet_->Closed()) sheet_->close();
        delete sheet_.data();
    }
    if (!Link().noAdapter) {
        CDeviceCommands dev;
        EndBoardSession(dev);
    }
    // No sniffer capture buffer exists in this build.
    if (lock_) lock_->Release();
    Link().CloseLink();
    // The refusing prompter and dialogs were for this run's end only.
    EndTermination();
    return exitCode_;
}

void CKalvikApp::RequestTermination() {
    // The signal may arrive inside a nested event loop (a device error box, a
    // question, a file dialog) with a page handler below it on the stack.
    // Nothing is closed or freed here: the boxes close, no new one is shown,
    // every event loop ends, the handlers return, and the sheet closes and
    // the board is restored in ExitInstance once exec() has returned.
    terminating_ = true;
    BeginTermination();
    if (dialog_) dialog_->reject();
    QCoreApplication::exit(0);
}

int CKalvikApp::Run() {
    std::unique_ptr<TerminationNotifier> terminationSignals;
    if (handleSignals_) {
        terminationSignals = std::make_unique<TerminationNotifier>();
        connect(terminationSignals.get(), &TerminationNotifier::terminationRequested, this,
                [this](int) { RequestTermination(); });
    }
    if (InitInstance() && !terminating_) QApplication::exec();
    const int rc = ExitInstance();
    return rc;
}

} // namespace vq

#include "cli/core/cli.h"

#include "agent/inproc_transport.h"
#include "base/instance_lock.h"
#include "base/services.h"
#include "cli/core/cli_commands.h"
#include "cli/core/cli_output.h"
#include "device/board_session.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "txrx/core/txrx_model.h"
#include "txrx/core/txrx_radio.h"

#include <csignal>
#include <mutex>
#include <sstream>

namespace vq::cli {

namespace {

std::atomic<int> g_stopSignal{0};

// Messages of the command layer go to standard error; questions are answered
// No / Cancel unless --yes was given. A message of a failed board command
// marks the running command as failed.
class CliPrompter : public IPrompter {
  public:
    CliPrompter(std::ostream& err, bool yes) : err_(err), yes_(yes) {}
    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool question = buttons != MsgButtons::Ok;
        if (IsFailureText(text)) failed_ = true;
        err_ << text;
        if (text.empty() || text.back() != '\n') err_ << '\n';
        if (!question) return MsgResult::Ok;
        const bool yes = yes_;
        err_ << (yes ? "(answered yes: --yes)\n" : "(answered no: give --yes to go ahead)\n");
        if (buttons == MsgButtons::OkCancel) return yes ? MsgResult::Ok : MsgResult::Cancel;
        if (!yes) {
            return buttons == MsgButtons::YesNoCancel ? MsgResult::Cancel : MsgResult::No;
        }
        return MsgResult::Yes;
    }
    bool Peek() {
        std::lock_guard<std::mutex> lock(mutex_);
        return failed_;
    }
    bool TakeFailed() {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool f = failed_;
        failed_ = false;
        return f;
    }

  private:
    static bool IsFailureText(const std::string& text) {
        return text.find("Error Message =>") != std::string::npos ||
               text.find("The board stopped answering") != std::string::npos;
    }
    std::mutex mutex_;
    std::ostream& err_;
    bool yes_;
    bool failed_ = false;
};

// Restores the process-wide services however the run ends.
struct ServiceScope {
    ServiceScope(IPrompter* p, IPause* pause) {
        SetPrompter(p);
        if (pause) SetPause(pause);
    }
    ~ServiceScope() {
        SetPrompter(nullptr);
        SetPause(nullptr);
    }
};

} // namespace

void RequestStop(int signal) {
    g_stopSignal.store(signal == 0 ? SIGINT : signal);
}
bool StopRequested() {
    return g_stopSignal.load() != 0;
}
void ClearStop() {
    g_stopSignal.store(0);
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& env) {
    Invocation inv;
    std::string error;
    const ParseResult parsed = ParseInvocation(args, inv, error);
    if (parsed == ParseResult::Help) {
        out << error;
        return kExitOk;
    }
    if (parsed == ParseResult::Error) {
        err << "vq9447-cli: " << error << "\n";
        if (error.find("Usage:") == std::string::npos) err << "Try 'vq9447-cli --help'.\n";
        return kExitUsage;
    }

    // One copy per machine, GUI or command line.
    SingleInstanceLock lock(kInstanceLockName, env.lockDirectory);
    if (!lock.Acquire()) {
        if (lock.Error().empty()) {
            err << "VQ9447 QA is already running\n";
            return kExitNoAdapter;
        }
        err << "single-instance lock unavailable: " << lock.Error() << "\n";
    }

    CliPrompter prompter(err, inv.options.yes);
    ServiceScope services(&prompter, env.pause);
    ResetState();
    ResetLink();
    TxRxRadio().Reset();
    ResetTxEnv();

    std::shared_ptr<agent::BoardModel> board;
    if (inv.options.simulated) {
        board = agent::AttachSimulatedBoard();
        if (env.onSimulatedBoard) env.onSimulatedBoard(board);
    } else {
        std::string diagnostic;
        if (!Link().OpenPcapAdapter(inv.options.interface, diagnostic)) {
            err << "vq9447-cli: cannot open adapter " << inv.options.interface << ":\n" << diagnostic;
            if (diagnostic.empty() || diagnostic.back() != '\n') err << '\n';
            Link().CloseLink();
            return kExitNoAdapter;
        }
    }
    Link().SetInic(inv.options.inic != 0);
    if (inv.options.buffer) State().eepromSource = EepromSourceKind::Buffer;

    Output output(out, inv.options.json);
    Context ctx{inv.options, output, err, false, {}};
    ctx.boardFailed = [&prompter] { return prompter.Peek(); };
    int status = kExitOk;
    {
        CDeviceCommands dev;
        BeginBoardSession(dev, inv.options.efuse);
        if (inv.options.buffer) State().eepromSource = EepromSourceKind::Buffer;
        if (prompter.TakeFailed()) {
            err << "vq9447-cli: the board did not take the test mode\n";
            status = kExitBoardFailed;
        }
    }
    for (std::size_t i = 0; status == kExitOk && i < inv.steps.size(); ++i) {
        if (StopRequested()) break;
        if (inv.options.verbose) err << "vq9447-cli: " << inv.steps[i].label << "\n";
        const int rc = inv.steps[i].run(ctx);
        output.Flush();
        const bool failed = prompter.TakeFailed();
        if (rc != kExitOk)
            status = rc;
        else if (failed)
            status = kExitBoardFailed;
    }
    if (StopRequested()) {
        err << "vq9447-cli: interrupted; the board is restored\n";
        status = kExitInterrupted;
    }
    {
        CDeviceCommands dev;
        EndBoardSession(dev);
    }
    Link().CloseLink();
    return status;
}

} // namespace vq::cli

// vq9447-cli: the board's operations without a window, for production test
// stations and lab scripts. One invocation is one session with the board
// (started and ended as the GUI does) running one or more commands.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vq {
class IPause;
namespace agent {
class BoardModel;
}
} // namespace vq

namespace vq::cli {

// Exit status of an invocation.
constexpr int kExitOk = 0;
constexpr int kExitBoardFailed = 1; // a board command failed (its message on standard error)
constexpr int kExitUsage = 2;       // bad command line or input, nothing was sent
constexpr int kExitNoAdapter = 3;   // the adapter (or the single-instance lock) could not be had
constexpr int kExitInterrupted = 130;

// What tests and the program set around a run.
struct Environment {
    std::string lockDirectory;    // empty: the machine-wide default
    IPause* pause = nullptr;      // null: real pauses
    // Called with the in-process board of --simulated before the first command.
    std::function<void(const std::shared_ptr<agent::BoardModel>&)> onSimulatedBoard;
};

// Runs one invocation (arguments without the program name).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& env = {});

// SIGINT/SIGTERM: the running command stops at its next step, the rest are
// not run, and the session ends as "Exit" does.
void RequestStop(int signal);
bool StopRequested();
void ClearStop(); // tests

// The general usage text, and the manual text of one command (empty when unknown).
std::string UsageText();
std::string CommandHelp(const std::string& command);

} // namespace vq::cli

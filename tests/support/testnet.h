// Throw-away network for link tests and benchmarks: a veth pair whose tool
// end stays in this process's namespace and whose agent end lives in a
// network namespace of its own, plus child processes started in it.
// Everything is removed again, also when the process dies unexpectedly.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace vq::testnet {

// Runs a program (no shell) and waits for it; output gets its standard
// output and error. Returns the exit status, or -1 when it could not run.
int RunCommand(const std::vector<std::string>& argv, std::string* output = nullptr);

// The vq9447-agent program of this build (VQ9447_AGENT in the environment
// overrides it).
std::string AgentProgram();

// A child process whose standard output and error are collected.
class ChildProcess {
  public:
    // Starts argv[0] (searched in PATH). The child gets SIGKILL when this
    // process dies. Null with `error` set on failure.
    static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv, std::string& error);
    // Child-side body instead of a program: runs `body` in a fork and exits
    // with its result. `body` must only use async-signal-safe calls when the
    // parent has threads.
    static std::unique_ptr<ChildProcess> Fork(std::function<int()> body, std::string& error);
    ~ChildProcess(); // kills and reaps a child still running

    pid_t Pid() const { return pid_; }
    // Waits until `text` occurs in the collected output. False on time-out or
    // when the child ended first.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    std::string Output() const;
    bool Running();
    // Sends `signal` and waits for the end; true when it ended in time.
    // `status` gets the waitpid status.
    bool Stop(int signal, std::chrono::milliseconds timeout, int* status = nullptr);

  private:
    ChildProcess() = default;
    void StartReader(int fd);
    bool Reap(bool block, int* status);

    pid_t pid_ = -1;
    std::atomic<bool> reaped_{false};
    int waitStatus_ = 0;
    mutable std::mutex mutex_;
    std::string output_;
    std::atomic<bool> eof_{false};
    std::thread reader_;
};

class VethPair {
  public:
    // Creates namespace "vq<tag><pid>" and the pair "vq<tag><pid>t" (here) /
    // "vq<tag><pid>a" (in the namespace), both up and without IPv6 chatter.
    // Null with `why` set when that is impossible (not root, no veth support).
    static std::unique_ptr<VethPair> Create(const std::string& tag, std::string& why);
    ~VethPair();

    const std::string& Namespace() const { return ns_; }
    const std::string& ToolInterface() const { return toolIf_; }
    const std::string& AgentInterface() const { return agentIf_; }
    // "aa:bb:cc:dd:ee:ff" of an interface in this namespace, bytes in `mac`.
    bool ToolMac(unsigned char mac[6]) const;

    // argv prefixed with "ip netns exec NS".
    std::vector<std::string> InNamespace(const std::vector<std::string>& argv) const;
    // Starts vq9447-agent on the agent end with extra options and waits for
    // its start line. Null with `error` (including its output) on failure.
    std::unique_ptr<ChildProcess> StartAgent(const std::vector<std::string>& options,
                                             std::string& error) const;
    // Forks a child that enters the namespace and runs `body` there.
    std::unique_ptr<ChildProcess> ForkInNamespace(std::function<int()> body, std::string& error) const;

  private:
    VethPair() = default;
    std::string ns_, toolIf_, agentIf_;
    pid_t reaper_ = -1;
    int reaperPipe_ = -1;
};

} // namespace vq::testnet

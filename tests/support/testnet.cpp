#include "tests/support/testnet.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef VQ_AGENT_PATH
#define VQ_AGENT_PATH "vq9447-agent"
#endif

namespace vq::testnet {

namespace {

// argv as the exec calls want it; built before fork so that the child does
// not allocate.
struct Argv {
    explicit Argv(const std::vector<std::string>& args) : strings(args) {
        for (auto& s : strings)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    std::vector<std::string> strings;
    std::vector<char*> pointers;
    char* const* get() { return pointers.data(); }
};

std::string FindInPath(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string dirs = std::string(path ? path : "") + ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// In a child between fork and exec: stdin from /dev/null, stdout and stderr
// to `outFd` (or /dev/null when it is -1).
void RedirectChildStreams(int outFd) {
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) dup2(null, 0);
    int out = outFd >= 0 ? outFd : null;
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
}

} // namespace

int RunCommand(const std::vector<std::string>& args, std::string* output) {
    if (args.empty()) return -1;
    const std::string program = FindInPath(args[0]);
    if (program.empty()) {
        if (output) *output = args[0] + ": not found";
        return -1;
    }
    Argv argv(args);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        RedirectChildStreams(fds[1]);
        execv(program.c_str(), argv.get());
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string AgentProgram() {
    const char* env = std::getenv("VQ9447_AGENT");
    return env && *env ? env : VQ_AGENT_PATH;
}

// --- ChildProcess ---

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& args, std::string& error) {
    if (args.empty()) {
        error = "no program";
        return nullptr;
    }
    const std::string program = FindInPath(args[0]);
    if (program.empty()) {
        error = args[0] + ": not found";
        return nullptr;
    }
    Argv argv(args);
    return Fork(
        [&]() {
            execv(program.c_str(), argv.get());
            const char text[] = "exec failed\n";
            ssize_t n = write(2, text, sizeof text - 1);
            (void)n;
            return 127;
        },
        error);
}

std::unique_ptr<ChildProcess> ChildProcess::Fork(std::function<int()> body, std::string& error) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return nullptr;
    }
    if (pid == 0) {
        // Never outlive the test: a dead parent takes its children along.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        RedirectChildStreams(fds[1]);
        _exit(body());
    }
    close(fds[1]);
    std::unique_ptr<ChildProcess> child(new ChildProcess());
    child->pid_ = pid;
    child->StartReader(fds[0]);
    return child;
}

void ChildProcess::StartReader(int fd) {
    reader_ = std::thread([this, fd]() {
        char buffer[4096];
        for (;;) {
            pollfd pfd{fd, POLLIN, 0};
            int pr = poll(&pfd, 1, 50);
            if (pr < 0 && errno != EINTR) break;
            if (pr <= 0) {
                // The child is gone and nothing is left to read: stop.
                if (reaped_) break;
                continue;
            }
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                output_.append(buffer, std::size_t(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        close(fd);
        eof_ = true;
    });
}

ChildProcess::~ChildProcess() {
    if (!Reap(false, nullptr)) {
        kill(pid_, SIGKILL);
        Reap(true, nullptr);
    }
    if (reader_.joinable()) reader_.join();
}

bool ChildProcess::Reap(bool block, int* status) {
    if (!reaped_) {
        int st = 0;
        pid_t r;
        do {
            r = waitpid(pid_, &st, block ? 0 : WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            waitStatus_ = st;
            reaped_ = true;
        }
    }
    if (reaped_ && status) *status = waitStatus_;
    return reaped_;
}

bool ChildProcess::Running() {
    return !Reap(false, nullptr);
}

bool ChildProcess::Stop(int signal, std::chrono::milliseconds timeout, int* status) {
    if (!Reap(false, status)) kill(pid_, signal);
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!Reap(false, status)) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Let the reader collect the last lines.
    for (int i = 0; i < 100 && !eof_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
}

std::string ChildProcess::Output() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (Output().find(text) != std::string::npos) return true;
        if (eof_ || std::chrono::steady_clock::now() >= end) return Output().find(text) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// --- VethPair ---

std::unique_ptr<VethPair> VethPair::Create(const std::string& tag, std::string& why) {
    if (geteuid() != 0) {
        why = "creating a veth pair in a network namespace needs root";
        return nullptr;
    }
    const std::string ip = FindInPath("ip");
    if (ip.empty()) {
        why = "the ip program (iproute2) is not installed";
        return nullptr;
    }
    std::unique_ptr<VethPair> pair(new VethPair());
    // Interface names hold at most 15 characters: "vq" + tag + pid + suffix.
    const std::string base = "vq" + tag.substr(0, 4) + std::to_string(getpid());
    pair->ns_ = base;
    pair->toolIf_ = base + "t";
    pair->agentIf_ = base + "a";

    // Leftovers of an earlier process that had the same pid.
    RunCommand({ip, "link", "del", pair->toolIf_});
    RunCommand({ip, "netns", "del", pair->ns_});

    // The reaper removes the pair and the namespace when the pipe closes: at
    // destruction, or when this process dies in any way.
    Argv delLink({ip, "link", "del", pair->toolIf_});
    Argv delNs({ip, "netns", "del", pair->ns_});
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        why = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    pid_t reaper = fork();
    if (reaper < 0) {
        why = std::string("fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return nullptr;
    }
    if (reaper == 0) {
        struct sigaction ignore;
        std::memset(&ignore, 0, sizeof ignore);
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGINT, &ignore, nullptr);
        sigaction(SIGTERM, &ignore, nullptr);
        sigaction(SIGHUP, &ignore, nullptr);
        sigaction(SIGQUIT, &ignore, nullptr);
        sigaction(SIGPIPE, &ignore, nullptr);
        // Keep only the read end so that no other pipe stays open through us.
        int keep = fds[0];
        if (keep != 3) {
            dup2(keep, 3);
            keep = 3;
        }
        close_range(4, ~0U, 0);
        char byte;
        while (read(keep, &byte, 1) != 0 && errno == EINTR) {
        }
        char* const* commands[2] = {delLink.get(), delNs.get()};
        for (auto* argv : commands) {
            pid_t p = fork();
            if (p == 0) {
                RedirectChildStreams(-1);
                execv(argv[0], argv);
                _exit(127);
            }
            int st;
            if (p > 0)
                while (waitpid(p, &st, 0) < 0 && errno == EINTR) {
                }
        }
        _exit(0);
    }
    close(fds[0]);
    pair->reaper_ = reaper;
    pair->reaperPipe_ = fds[1];

    std::string out;
    if (RunCommand({ip, "netns", "add", pair->ns_}, &out) != 0) {
        why = "cannot create network namespace " + pair->ns_ + ": " + out;
        return nullptr;
    }
    if (RunCommand({ip, "link", "add", pair->toolIf_, "type", "veth", "peer", "name", pair->agentIf_, "netns",
                    pair->ns_},
                   &out) != 0) {
        why = "cannot create veth pair " + pair->toolIf_ + "/" + pair->agentIf_ + ": " + out;
        return nullptr;
    }
    // No IPv6 link-local address: the pair then carries no neighbour
    // discovery or router solicitations, only what the tests send.
    RunCommand({ip, "link", "set", pair->toolIf_, "addrgenmode", "none"});
    RunCommand({ip, "-n", pair->ns_, "link", "set", pair->agentIf_, "addrgenmode", "none"});
    if (RunCommand({ip, "link", "set", pair->toolIf_, "up"}, &out) != 0 ||
        RunCommand({ip, "-n", pair->ns_, "link", "set", pair->agentIf_, "up"}, &out) != 0) {
        why = "cannot bring the veth pair up: " + out;
        return nullptr;
    }
    for (int i = 0; i < 400; ++i) {
        std::ifstream f("/sys/class/net/" + pair->toolIf_ + "/operstate");
        std::string state;
        f >> state;
        if (state == "up") return pair;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    why = "the veth pair did not come up";
    return nullptr;
}

VethPair::~VethPair() {
    if (reaper_ > 0) {
        close(reaperPipe_);
        int st;
        while (waitpid(reaper_, &st, 0) < 0 && errno == EINTR) {
        }
    }
}

bool VethPair::ToolMac(unsigned char mac[6]) const {
    std::ifstream f("/sys/class/net/" + toolIf_ + "/address");
    std::string text;
    f >> text;
    unsigned v[6];
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<unsigned char>(v[i]);
    return true;
}

std::vector<std::string> VethPair::InNamespace(const std::vector<std::string>& argv) const {
    std::vector<std::string> all = {"ip", "netns", "exec", ns_};
    all.insert(all.end(), argv.begin(), argv.end());
    return all;
}

std::unique_ptr<ChildProcess> VethPair::StartAgent(const std::vector<std::string>& options,
                                                   std::string& error) const {
    std::vector<std::string> argv = {AgentProgram(), "--interface", agentIf_};
    argv.insert(argv.end(), options.begin(), options.end());
    auto child = ChildProcess::Start(InNamespace(argv), error);
    if (!child) return nullptr;
    if (!child->WaitForOutput("vq9447-agent: serving", std::chrono::seconds(5))) {
        error = "vq9447-agent did not start: " + child->Output();
        return nullptr;
    }
    return child;
}

std::unique_ptr<ChildProcess> VethPair::ForkInNamespace(std::function<int()> body, std::string& error) const {
    const std::string path = "/run/netns/" + ns_;
    return ChildProcess::Fork(
        [&]() {
            int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) return 126;
            close(fd);
            return body();
        },
        error);
}

} // namespace vq::testnet

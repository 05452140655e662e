// What the benchmarks share: the raw AF_PACKET floor of a veth pair (an echo
// of 60-byte frames on the far end) and the set-up of a pair with the echo
// and vq9447-agent in its namespace and the tool's libpcap link on this end.
#pragma once

#include "base/services.h"
#include "tests/support/testnet.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <sys/types.h>

namespace vq::bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d);

// "FIGURE <key> <value> <unit>": the line bench/run-all reads.
void Figure(const char* key, double value, const char* unit);

// Clock::now() + `seconds`.
Clock::time_point After(double seconds);

constexpr std::uint16_t kEchoType = 0x88B5; // local experimental ethertype, kept apart from 0x2880
constexpr std::size_t kEchoFrame = 60;

// AF_PACKET socket for kEchoType bound to `interface`; a receive time-out when
// `timeoutMs` > 0. -1 on failure (errno set).
int OpenPacketSocket(const char* interface, int timeoutMs);

// The far end of the floor measurement: every frame goes straight back.
// Runs in a forked child inside the namespace; system calls only.
int EchoLoop(const char* interface);

struct Tally {
    unsigned long exchanges = 0;
    unsigned long failures = 0;
    double seconds = 0;
    double toolCpu = 0; // CPU seconds of the calling thread, and of the far end's process
    double farCpu = 0;
    double Rate() const { return seconds > 0 ? exchanges / seconds : 0; }
    // CPU microseconds per exchange on either end.
    double ToolUs() const { return exchanges ? toolCpu * 1e6 / exchanges : 0; }
    double FarUs() const { return exchanges ? farCpu * 1e6 / exchanges : 0; }
};

// CPU seconds (user + system) of the calling thread; of a process (0 when unreadable).
double ThreadCpuSeconds();
double ProcessCpuSeconds(pid_t pid);

// Adds the CPU both ends spent while it lived to `tally` (the far end
// being process `far`).
class CpuMeter {
  public:
    CpuMeter(Tally& tally, pid_t far)
        : tally_(tally), far_(far), tool0_(ThreadCpuSeconds()), far0_(ProcessCpuSeconds(far)) {}
    ~CpuMeter() {
        tally_.toolCpu += ThreadCpuSeconds() - tool0_;
        tally_.farCpu += ProcessCpuSeconds(far_) - far0_;
    }
    CpuMeter(const CpuMeter&) = delete;
    CpuMeter& operator=(const CpuMeter&) = delete;

  private:
    Tally& tally_;
    pid_t far_;
    double tool0_, far0_;
};

// Raw round trips on the tool end for `duration` seconds, added to `tally`.
void RunFloor(int fd, const unsigned char source[6], double duration, Tally& tally);

// A veth pair with the echo and vq9447-agent on its far end, and on this end
// the floor socket and the tool's link opened on the pair.
struct Rig {
    Rig() = default;
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
    ~Rig(); // closes the floor socket, restores the default prompter

    void CloseFloor();

    std::unique_ptr<testnet::VethPair> pair;
    std::unique_ptr<testnet::ChildProcess> echo;
    std::unique_ptr<testnet::ChildProcess> agent;
    unsigned char toolMac[6] = {};
    int floorSocket = -1;
    RecordingPrompter prompter; // installed while the rig is up
};

struct RigHooks {
    std::function<void()> beforeFarEnds; // the far ends inherit what it sets (CPU affinity)
    std::function<void()> afterFarEnds;
};

// Hooks that pin the far ends (echo, agent) to the second CPU this process
// may use and the tool side to the first. The board is a machine of its own:
// with a fixed placement the floor and the figure beside it see the same
// CPUs, instead of whatever the scheduler picks per run (sharing a CPU and
// not sharing one differ by 2-3x). Prints the placement; does nothing when
// `pin` is false or only one CPU is allowed.
RigHooks PinnedEnds(bool pin);

// Creates pair "<tag>" and prints it, starts the echo and the agent in its
// namespace, opens the floor socket (200 ms receive time-out) and the libpcap
// link with the rig's prompter installed. On failure prints "<program>: ..."
// to standard error and returns null.
std::unique_ptr<Rig> SetUpRig(const char* program, const char* tag, const RigHooks& hooks = {});

} // namespace vq::bench

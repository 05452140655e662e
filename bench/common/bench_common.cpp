#include "bench/common/bench_common.h"

#include "link/link_session.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace vq::bench {

void Figure(const char* key, double value, const char* unit) {
    std::printf("FIGURE %s %.6g %s\n", key, value, unit);
    std::fflush(stdout);
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

Clock::time_point After(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

double ProcessCpuSeconds(pid_t pid) {
    // Fields 14 and 15 of /proc/<pid>/stat, after the parenthesised name.
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return 0;
    char line[1024];
    const bool got = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    const char* p = got ? std::strrchr(line, ')') : nullptr;
    unsigned long utime = 0, stime = 0;
    if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return 0;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

int OpenPacketSocket(const char* interface, int timeoutMs) {
    int fd = socket(AF_PACKET, SOCK_RAW, htons(kEchoType));
    if (fd < 0) return -1;
    sockaddr_ll sll;
    std::memset(&sll, 0, sizeof sll);
    sll.sll_family = AF_PACKET;
    sll.sll_protocol = htons(kEchoType);
    sll.sll_ifindex = int(if_nametoindex(interface));
    if (sll.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&sll), sizeof sll) != 0) {
        close(fd);
        return -1;
    }
    if (timeoutMs > 0) {
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    return fd;
}

int EchoLoop(const char* interface) {
    int fd = OpenPacketSocket(interface, 0);
    if (fd < 0) return 1;
    const char ready[] = "echo ready\n";
    if (write(1, ready, sizeof ready - 1) < 0) return 1;
    unsigned char buffer[2048];
    for (;;) {
        sockaddr_ll from;
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0) continue;
        if (from.sll_pkttype == PACKET_OUTGOING) continue;
        if (send(fd, buffer, std::size_t(n), 0) < 0) return 1;
    }
}

void RunFloor(int fd, const unsigned char source[6], double duration, Tally& tally) {
    unsigned char frame[kEchoFrame] = {};
    std::memset(frame, 0xFF, 6);
    std::memcpy(frame + 6, source, 6);
    frame[12] = kEchoType >> 8;
    frame[13] = kEchoType & 0xFF;
    // Counts on across calls, so that a late echo of an earlier call never
    // passes for the answer of this one.
    static std::uint32_t counter = 0;
    const auto t0 = Clock::now();
    const auto end = After(duration);
    unsigned char buffer[2048];
    while (Clock::now() < end) {
        ++counter;
        std::memcpy(frame + 14, &counter, sizeof counter);
        if (send(fd, frame, sizeof frame, 0) < 0) {
            ++tally.failures;
            continue;
        }
        for (;;) {
            sockaddr_ll from;
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) { // receive time-out: count it lost and go on
                ++tally.failures;
                break;
            }
            if (from.sll_pkttype == PACKET_OUTGOING || n < 18 || std::memcmp(buffer + 14, &counter, 4) != 0)
                continue;
            ++tally.exchanges;
            break;
        }
    }
    tally.seconds += Seconds(Clock::now() - t0);
}

Rig::~Rig() {
    CloseFloor();
    SetPrompter(nullptr);
}

void Rig::CloseFloor() {
    if (floorSocket >= 0) close(floorSocket);
    floorSocket = -1;
}

namespace {
bool PinTo(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}
} // namespace

RigHooks PinnedEnds(bool pin) {
    struct Placement {
        std::vector<int> cpus;
        bool pinned = false;
    };
    auto p = std::make_shared<Placement>();
    RigHooks hooks;
    // Far ends first: they inherit the CPU set at hand.
    hooks.beforeFarEnds = [p, pin]() {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        sched_getaffinity(0, sizeof allowed, &allowed);
        for (int c = 0; c < CPU_SETSIZE; ++c)
            if (CPU_ISSET(c, &allowed)) p->cpus.push_back(c);
        p->pinned = pin && p->cpus.size() >= 2 && PinTo(p->cpus[1]);
        if (p->pinned) std::printf("far ends on CPU %d, tool side on CPU %d\n", p->cpus[1], p->cpus[0]);
    };
    hooks.afterFarEnds = [p]() {
        if (p->pinned) PinTo(p->cpus[0]);
    };
    return hooks;
}

std::unique_ptr<Rig> SetUpRig(const char* program, const char* tag, const RigHooks& hooks) {
    auto rig = std::make_unique<Rig>();
    std::string why;
    rig->pair = testnet::VethPair::Create(tag, why);
    if (!rig->pair) {
        std::fprintf(stderr, "%s: %s\n", program, why.c_str());
        return nullptr;
    }
    const testnet::VethPair& pair = *rig->pair;
    std::printf("veth pair %s (here) / %s (namespace %s)\n", pair.ToolInterface().c_str(),
                pair.AgentInterface().c_str(), pair.Namespace().c_str());

    if (hooks.beforeFarEnds) hooks.beforeFarEnds();
    std::string error;
    const std::string agentIf = pair.AgentInterface();
    rig->echo = pair.ForkInNamespace([&]() { return EchoLoop(agentIf.c_str()); }, error);
    if (!rig->echo || !rig->echo->WaitForOutput("echo ready", std::chrono::seconds(5))) {
        std::fprintf(stderr, "%s: echo process failed: %s%s\n", program, error.c_str(),
                     rig->echo ? rig->echo->Output().c_str() : "");
        return nullptr;
    }
    rig->agent = pair.StartAgent({}, error);
    if (!rig->agent) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return nullptr;
    }
    if (hooks.afterFarEnds) hooks.afterFarEnds();

    pair.ToolMac(rig->toolMac);
    rig->floorSocket = OpenPacketSocket(pair.ToolInterface().c_str(), 200);
    if (rig->floorSocket < 0) {
        std::fprintf(stderr, "%s: AF_PACKET socket on %s: %s\n", program, pair.ToolInterface().c_str(),
                     std::strerror(errno));
        return nullptr;
    }
    SetPrompter(&rig->prompter);
    std::string diagnostic;
    if (!Link().OpenPcapAdapter(pair.ToolInterface(), diagnostic) || !Link().IsOpen()) {
        std::fprintf(stderr, "%s: cannot open %s: %s\n", program, pair.ToolInterface().c_str(),
                     diagnostic.c_str());
        return nullptr;
    }
    return rig;
}

} // namespace vq::bench

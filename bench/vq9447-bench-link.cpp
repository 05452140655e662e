// vq9447-bench-link: exchange rate of the tool's libpcap link against the
// vq9447-agent program over a veth pair, next to the floor of the same pair
// (a raw AF_PACKET echo of 60-byte frames) and the in-process link.
//
//   vq9447-bench-link [--seconds S] [--no-pin]   (root: it creates its own namespace)
//
// The last line is "ratio R": libpcap rate / floor rate.

#include "agent/inproc_transport.h"
#include "link/commands.h"
#include "link/link_session.h"
#include "link/services.h"
#include "tests/support/testnet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <vector>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kEchoType = 0x88B5; // local experimental ethertype, kept apart from 0x2880
constexpr std::size_t kEchoFrame = 60;

// Pins the calling thread (and what it starts later) to one CPU. The board is
// a machine of its own: the far ends get one CPU and the tool side the other,
// so that both measurements see the same placement instead of whatever the
// scheduler picks per run (sharing a CPU and not sharing one differ by 2-3x).
bool PinTo(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
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

// The far end of the floor measurement: every frame goes straight back.
// Runs in a forked child inside the namespace; system calls only.
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

struct Tally {
    unsigned long exchanges = 0;
    unsigned long failures = 0;
    double seconds = 0;
    double Rate() const { return seconds > 0 ? exchanges / seconds : 0; }
};

// Raw round trips on the tool end for `duration`.
void RunFloor(int fd, const unsigned char source[6], double duration, Tally& tally) {
    unsigned char frame[kEchoFrame] = {};
    std::memset(frame, 0xFF, 6);
    std::memcpy(frame + 6, source, 6);
    frame[12] = kEchoType >> 8;
    frame[13] = kEchoType & 0xFF;
    static std::uint32_t counter = 0;
    const auto t0 = Clock::now();
    const auto end =
        t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(duration));
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

// MAC Read round trips through the command layer for `duration`.
void RunLink(double duration, vq::RecordingPrompter& prompter, Tally& tally) {
    vq::CDeviceCommands dev;
    const auto t0 = Clock::now();
    const auto end =
        t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(duration));
    while (Clock::now() < end) {
        std::uint32_t v = 0;
        if (dev.MacRead(0x1000, v) == 0 && v == 0x94470101u)
            ++tally.exchanges;
        else
            ++tally.failures;
    }
    tally.seconds += Seconds(Clock::now() - t0);
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 3.0;
    bool pin = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (a == "--no-pin") {
            pin = false;
        } else {
            std::fprintf(stderr, "usage: %s [--seconds S] [--no-pin]\n", argv[0]);
            return 2;
        }
    }
    if (seconds <= 0) seconds = 3.0;

    std::string why;
    auto pair = vq::testnet::VethPair::Create("b", why);
    if (!pair) {
        std::fprintf(stderr, "vq9447-bench-link: %s\n", why.c_str());
        return 1;
    }
    std::printf("veth pair %s (here) / %s (namespace %s)\n", pair->ToolInterface().c_str(),
                pair->AgentInterface().c_str(), pair->Namespace().c_str());

    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    sched_getaffinity(0, sizeof allowed, &allowed);
    std::vector<int> cpus;
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &allowed)) cpus.push_back(c);
    const bool pinned = pin && cpus.size() >= 2 && PinTo(cpus[1]);
    if (pinned) std::printf("far ends on CPU %d, tool side on CPU %d\n", cpus[1], cpus[0]);

    // Far ends first: they inherit the CPU set at hand.
    std::string error;
    const std::string agentIf = pair->AgentInterface();
    auto echo = pair->ForkInNamespace([&]() { return EchoLoop(agentIf.c_str()); }, error);
    if (!echo || !echo->WaitForOutput("echo ready", std::chrono::seconds(5))) {
        std::fprintf(stderr, "vq9447-bench-link: echo process failed: %s%s\n", error.c_str(),
                     echo ? echo->Output().c_str() : "");
        return 1;
    }
    auto agent = pair->StartAgent({}, error);
    if (!agent) {
        std::fprintf(stderr, "vq9447-bench-link: %s\n", error.c_str());
        return 1;
    }

    if (pinned) PinTo(cpus[0]);

    unsigned char mac[6] = {};
    pair->ToolMac(mac);
    int fd = OpenPacketSocket(pair->ToolInterface().c_str(), 200);
    if (fd < 0) {
        std::fprintf(stderr, "vq9447-bench-link: AF_PACKET socket on %s: %s\n", pair->ToolInterface().c_str(),
                     std::strerror(errno));
        return 1;
    }
    vq::RecordingPrompter prompter;
    vq::SetPrompter(&prompter);
    std::string diagnostic;
    if (!vq::Link().OpenPcapAdapter(pair->ToolInterface(), diagnostic) || !vq::Link().IsOpen()) {
        std::fprintf(stderr, "vq9447-bench-link: cannot open %s: %s\n", pair->ToolInterface().c_str(),
                     diagnostic.c_str());
        return 1;
    }

    // Warm-up, then alternate the two measurements so that a change of load
    // on the machine hits both alike.
    Tally warm;
    RunFloor(fd, mac, 0.2, warm);
    RunLink(0.2, prompter, warm);
    Tally floor, pcapLink;
    const int rounds = 6;
    for (int r = 0; r < rounds; ++r) {
        RunFloor(fd, mac, seconds / rounds, floor);
        RunLink(seconds / rounds, prompter, pcapLink);
    }
    close(fd);
    vq::Link().CloseLink();
    agent->Stop(SIGTERM, std::chrono::seconds(2));
    echo->Stop(SIGTERM, std::chrono::seconds(2));

    vq::agent::AttachSimulatedBoard();
    Tally inproc;
    RunLink(1.0, prompter, inproc);
    vq::Link().CloseLink();
    vq::SetPrompter(nullptr);

    std::printf("raw AF_PACKET echo (floor): %lu exchanges in %.2f s = %.0f/s (%lu lost)\n", floor.exchanges,
                floor.seconds, floor.Rate(), floor.failures);
    std::printf("libpcap link vs vq9447-agent: %lu MAC Read round trips in %.2f s = %.0f/s (%lu failed)\n",
                pcapLink.exchanges, pcapLink.seconds, pcapLink.Rate(), pcapLink.failures);
    std::printf("in-process link: %lu MAC Read round trips in %.2f s = %.0f/s\n", inproc.exchanges,
                inproc.seconds, inproc.Rate());
    std::printf("ratio %.2f\n", floor.Rate() > 0 ? pcapLink.Rate() / floor.Rate() : 0.0);
    return 0;
}

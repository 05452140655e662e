// vq9447-bench-mac: the MAC page's memory test of the PACKET BUF region (100
// passes of a 32768-byte content file: 8192 MAC Writes and 32 MAC Multi-Reads
// each) and one full PACKET BUF region read, over a veth pair against the
// vq9447-agent program, next to the raw floor of the same pair (an AF_PACKET
// echo of 60-byte frames).
//
//   vq9447-bench-mac [--passes N] [--floor-seconds S]   (root: it creates its own namespace)
//
// The last line is "ratio R": memory test exchange rate / floor rate.

#include "agent/inproc_transport.h"
#include "link/commands.h"
#include "link/link_session.h"
#include "link/services.h"
#include "tests/support/testnet.h"

// The memory test and region read are the MAC page's own, widget-free code;
// the benchmark programs link only the agent and the veth helper, so the two
// sources are compiled in here.
#include "registers/mac/mac_files.cpp"
#include "registers/mac/mac_space.cpp"

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
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kEchoType = 0x88B5; // local experimental ethertype, kept apart from 0x2880
constexpr std::size_t kEchoFrame = 60;

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

// Far end of the floor measurement: every frame goes straight back. Runs in
// a forked child inside the namespace; system calls only.
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

// Raw round trips for `duration` seconds; returns round trips per second.
double FloorRate(int fd, const unsigned char source[6], double duration) {
    unsigned char frame[kEchoFrame] = {};
    std::memset(frame, 0xFF, 6);
    std::memcpy(frame + 6, source, 6);
    frame[12] = kEchoType >> 8;
    frame[13] = kEchoType & 0xFF;
    std::uint32_t counter = 0;
    unsigned long done = 0;
    const auto t0 = Clock::now();
    const auto end =
        t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(duration));
    unsigned char buffer[2048];
    while (Clock::now() < end) {
        ++counter;
        std::memcpy(frame + 14, &counter, sizeof counter);
        if (send(fd, frame, sizeof frame, 0) < 0) continue;
        for (;;) {
            sockaddr_ll from;
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) break; // lost
            if (from.sll_pkttype == PACKET_OUTGOING || n < 18 || std::memcmp(buffer + 14, &counter, 4) != 0)
                continue;
            ++done;
            break;
        }
    }
    const double s = Seconds(Clock::now() - t0);
    return s > 0 ? done / s : 0;
}

} // namespace

int main(int argc, char** argv) {
    int passes = 100;
    double floorSeconds = 2.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--passes" && i + 1 < argc) {
            passes = std::atoi(argv[++i]);
        } else if (a == "--floor-seconds" && i + 1 < argc) {
            floorSeconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--passes N] [--floor-seconds S]\n", argv[0]);
            return 2;
        }
    }
    if (passes < 1) passes = 100;
    if (floorSeconds <= 0) floorSeconds = 2.0;

    std::string why;
    auto pair = vq::testnet::VethPair::Create("m", why);
    if (!pair) {
        std::fprintf(stderr, "vq9447-bench-mac: %s\n", why.c_str());
        return 1;
    }
    std::printf("veth pair %s (here) / %s (namespace %s)\n", pair->ToolInterface().c_str(),
                pair->AgentInterface().c_str(), pair->Namespace().c_str());

    std::string error;
    const std::string agentIf = pair->AgentInterface();
    auto echo = pair->ForkInNamespace([&]() { return EchoLoop(agentIf.c_str()); }, error);
    if (!echo || !echo->WaitForOutput("echo ready", std::chrono::seconds(5))) {
        std::fprintf(stderr, "vq9447-bench-mac: echo process failed: %s%s\n", error.c_str(),
                     echo ? echo->Output().c_str() : "");
        return 1;
    }
    auto agent = pair->StartAgent({}, error);
    if (!agent) {
        std::fprintf(stderr, "vq9447-bench-mac: %s\n", error.c_str());
        return 1;
    }
    unsigned char mac[6] = {};
    pair->ToolMac(mac);
    int fd = OpenPacketSocket(pair->ToolInterface().c_str(), 200);
    if (fd < 0) {
        std::fprintf(stderr, "vq9447-bench-mac: AF_PACKET socket on %s: %s\n", pair->ToolInterface().c_str(),
                     std::strerror(errno));
        return 1;
    }
    vq::RecordingPrompter prompter;
    vq::SetPrompter(&prompter);
    std::string diagnostic;
    if (!vq::Link().OpenPcapAdapter(pair->ToolInterface(), diagnostic) || !vq::Link().IsOpen()) {
        std::fprintf(stderr, "vq9447-bench-mac: cannot open %s: %s\n", pair->ToolInterface().c_str(),
                     diagnostic.c_str());
        return 1;
    }

    // A full-region content file of random words.
    char contentPath[] = "/tmp/vq9447-bench-mac-XXXXXX";
    const int cfd = mkstemp(contentPath);
    if (cfd < 0) {
        std::fprintf(stderr, "vq9447-bench-mac: temporary file: %s\n", std::strerror(errno));
        return 1;
    }
    {
        std::mt19937 random(9447);
        std::vector<std::uint8_t> bytes(vq::kMacRegions[vq::kMacRegionPacketBuf].length);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        if (write(cfd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return 1;
        close(cfd);
    }

    const double floor = FloorRate(fd, mac, floorSeconds);
    close(fd);
    echo->Stop(SIGTERM, std::chrono::seconds(2));

    vq::CDeviceCommands dev;
    vq::MacSpace space;
    space.SelectRegion(vq::kMacRegionPacketBuf);
    space.contentFileName = contentPath;

    // One full region read: 32 MAC Multi-Reads of 1024 bytes.
    space.ReadRegion(dev); // warm-up
    auto t0 = Clock::now();
    space.ReadRegion(dev);
    const double readSeconds = Seconds(Clock::now() - t0);
    const unsigned readExchanges = vq::kMacRegions[vq::kMacRegionPacketBuf].length / vq::kMacChunkBytes;

    // The memory test.
    int donePasses = 0;
    t0 = Clock::now();
    const auto result = space.MemoryTest(dev, passes, [&](int pass) { donePasses = pass; });
    const double testSeconds = Seconds(Clock::now() - t0);
    const unsigned long perPass = vq::kMacRegions[vq::kMacRegionPacketBuf].length / 4 + readExchanges;
    const unsigned long testExchanges = perPass * static_cast<unsigned long>(donePasses);

    vq::Link().CloseLink();
    agent->Stop(SIGTERM, std::chrono::seconds(2));
    unlink(contentPath);
    vq::SetPrompter(nullptr);

    const auto texts = prompter.Texts();
    std::printf("raw AF_PACKET echo (floor): %.0f exchanges/s\n", floor);
    std::printf("PACKET BUF region read: %u exchanges in %.4f s = %.0f exchanges/s\n", readExchanges,
                readSeconds, readSeconds > 0 ? readExchanges / readSeconds : 0.0);
    std::printf(
        "PACKET BUF memory test: %d of %d passes, %lu exchanges in %.2f s = %.0f exchanges/s, result: %s\n",
        donePasses, passes, testExchanges, testSeconds, testSeconds > 0 ? testExchanges / testSeconds : 0.0,
        result == vq::MacSpace::TestResult::Passed ? "passed" : "FAILED");
    for (const auto& t : texts)
        std::printf("message: %s\n", t.c_str());
    const double rate = testSeconds > 0 ? testExchanges / testSeconds : 0.0;
    std::printf("ratio %.2f\n", floor > 0 ? rate / floor : 0.0);
    return result == vq::MacSpace::TestResult::Passed ? 0 : 1;
}

// vq9447-bench-mac: the MAC page's memory test of the PACKET BUF region (100
// passes of a 32768-byte content file: 8192 MAC Writes and 32 MAC Multi-Reads
// each) and one full PACKET BUF region read, over a veth pair against the
// vq9447-agent program, next to the raw floor of the same pair (an AF_PACKET
// echo of 60-byte frames).
//
//   vq9447-bench-mac [--passes N] [--floor-seconds S]   (root: it creates its own namespace)
//
// The last line is "ratio R": memory test exchange rate / floor rate.

#include "base/services.h"
#include "bench/common/bench_common.h"
#include "device/device_commands.h"
#include "link/link_session.h"
#include "registers/core/mac_space.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using vq::bench::Clock;
using vq::bench::Seconds;

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

    auto rig = vq::bench::SetUpRig("vq9447-bench-mac", "m");
    if (!rig) return 1;

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

    vq::bench::Tally floorTally;
    vq::bench::RunFloor(rig->floorSocket, rig->toolMac, floorSeconds, floorTally);
    const double floor = floorTally.Rate();
    rig->CloseFloor();
    rig->echo->Stop(SIGTERM, std::chrono::seconds(2));

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
    rig->agent->Stop(SIGTERM, std::chrono::seconds(2));
    unlink(contentPath);
    vq::SetPrompter(nullptr);

    const auto texts = rig->prompter.Texts();
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
    vq::bench::Figure("mac.floor", floor, "exchanges/s");
    vq::bench::Figure("mac.memtest", rate, "exchanges/s");
    return result == vq::MacSpace::TestResult::Passed ? 0 : 1;
}

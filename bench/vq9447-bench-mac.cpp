// vq9447-bench-mac: the MAC page's memory test of the PACKET BUF region (a
// 32768-byte content file: 8192 MAC Writes and 32 MAC Multi-Reads a pass) and
// one full PACKET BUF region read, over a veth pair against the vq9447-agent
// program, next to the raw floor of the same pair (an AF_PACKET echo of
// 60-byte frames) and a plain MAC Write loop. The passes run in rounds that
// alternate with the floor and the write loop, so that a change of load on
// the machine hits all three alike.
//
//   vq9447-bench-mac [--passes N] [--floor-seconds S] [--no-pin]   (root: it creates its own namespace)
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
    bool pin = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--passes" && i + 1 < argc) {
            passes = std::atoi(argv[++i]);
        } else if (a == "--floor-seconds" && i + 1 < argc) {
            floorSeconds = std::atof(argv[++i]);
        } else if (a == "--no-pin") {
            pin = false;
        } else {
            std::fprintf(stderr, "usage: %s [--passes N] [--floor-seconds S] [--no-pin]\n", argv[0]);
            return 2;
        }
    }
    if (passes < 1) passes = 100;
    if (floorSeconds <= 0) floorSeconds = 2.0;

    auto rig = vq::bench::SetUpRig("vq9447-bench-mac", "m", vq::bench::PinnedEnds(pin));
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

    vq::CDeviceCommands dev;
    vq::MacSpace space;
    space.SelectRegion(vq::kMacRegionPacketBuf);
    space.contentFileName = contentPath;
    const std::uint32_t packetBuf = vq::kMacRegions[vq::kMacRegionPacketBuf].offset;

    // Warm-up of every path, then one full region read: 32 MAC Multi-Reads of 1024 bytes.
    vq::bench::Tally floorTally, writeTally, testTally;
    const pid_t echoPid = rig->echo->Pid(), agentPid = rig->agent->Pid();
    vq::bench::RunFloor(rig->floorSocket, rig->toolMac, 0.2, floorTally);
    floorTally = {};
    space.ReadRegion(dev);
    auto t0 = Clock::now();
    space.ReadRegion(dev);
    const double readSeconds = Seconds(Clock::now() - t0);
    const unsigned readExchanges = vq::kMacRegions[vq::kMacRegionPacketBuf].length / vq::kMacChunkBytes;

    // The memory test in rounds, each after a slice of the floor and of MAC
    // Writes one by one (each its own exchange, outside any sequence).
    const int rounds = passes < 5 ? passes : 5;
    int donePasses = 0;
    const unsigned long perPass = vq::kMacRegions[vq::kMacRegionPacketBuf].length / 4 + readExchanges;
    vq::MacSpace::TestResult result = vq::MacSpace::TestResult::Passed;
    for (int r = 0; r < rounds && result == vq::MacSpace::TestResult::Passed; ++r) {
        {
            vq::bench::CpuMeter cpu(floorTally, echoPid);
            vq::bench::RunFloor(rig->floorSocket, rig->toolMac, floorSeconds / rounds, floorTally);
        }
        {
            vq::bench::CpuMeter cpu(writeTally, agentPid);
            const auto w0 = Clock::now();
            const auto wEnd = vq::bench::After(floorSeconds / rounds);
            for (std::uint32_t at = 0; Clock::now() < wEnd; at = (at + 4) % 0x8000) {
                if (dev.MacWrite(packetBuf + at, at) == 0)
                    ++writeTally.exchanges;
                else
                    ++writeTally.failures;
            }
            writeTally.seconds += Seconds(Clock::now() - w0);
        }
        const int share = passes / rounds + (r < passes % rounds ? 1 : 0);
        vq::MacSpace::TestRun run;
        {
            vq::bench::CpuMeter cpu(testTally, agentPid);
            t0 = Clock::now();
            run = space.RunMemoryTest(dev, share, nullptr);
            testTally.seconds += Seconds(Clock::now() - t0);
        }
        testTally.exchanges += perPass * static_cast<unsigned long>(run.passes);
        donePasses += run.passes;
        result = run.result;
    }
    vq::MacSpace::ShowTestResult(result);
    const double floor = floorTally.Rate();
    const unsigned long testExchanges = testTally.exchanges;
    const double testSeconds = testTally.seconds;

    rig->CloseFloor();
    rig->echo->Stop(SIGTERM, std::chrono::seconds(2));
    vq::Link().CloseLink();
    rig->agent->Stop(SIGTERM, std::chrono::seconds(2));
    unlink(contentPath);
    vq::SetPrompter(nullptr);

    const auto texts = rig->prompter.Texts();
    std::printf("raw AF_PACKET echo (floor): %lu exchanges in %.2f s = %.0f exchanges/s (%lu lost)\n",
                floorTally.exchanges, floorTally.seconds, floor, floorTally.failures);
    std::printf("MAC Write loop: %lu exchanges in %.2f s = %.0f exchanges/s (%lu failed), %.2f of the floor\n",
                writeTally.exchanges, writeTally.seconds, writeTally.Rate(), writeTally.failures,
                floor > 0 ? writeTally.Rate() / floor : 0.0);
    // Where an exchange's time goes: the CPU both ends spend on it, beside its wall time.
    for (const auto* t : {&floorTally, &writeTally, &testTally})
        std::printf("  %-12s %6.1f us wall, CPU %5.1f us here and %5.1f us on the far end per exchange\n",
                    t == &floorTally ? "floor" : t == &writeTally ? "MAC Write" : "memory test",
                    t->exchanges ? t->seconds * 1e6 / t->exchanges : 0.0, t->ToolUs(), t->FarUs());
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
    vq::bench::Figure("mac.write", writeTally.Rate(), "exchanges/s");
    return result == vq::MacSpace::TestResult::Passed ? 0 : 1;
}

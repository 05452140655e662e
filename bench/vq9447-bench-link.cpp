// vq9447-bench-link: exchange rate of the tool's libpcap link against the
// vq9447-agent program over a veth pair, next to the floor of the same pair
// (a raw AF_PACKET echo of 60-byte frames) and the in-process link.
//
//   vq9447-bench-link [--seconds S] [--no-pin]   (root: it creates its own namespace)
//
// The last line is "ratio R": libpcap rate / floor rate.

#include "agent/inproc_transport.h"
#include "base/services.h"
#include "bench/common/bench_common.h"
#include "device/device_commands.h"
#include "link/link_session.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using vq::bench::Clock;
using vq::bench::Seconds;
using vq::bench::Tally;

// MAC Read round trips through the command layer for `duration`.
void RunLink(double duration, vq::RecordingPrompter& prompter, Tally& tally) {
    vq::CDeviceCommands dev;
    const auto t0 = Clock::now();
    const auto end = vq::bench::After(duration);
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

    auto rig = vq::bench::SetUpRig("vq9447-bench-link", "b", vq::bench::PinnedEnds(pin));
    if (!rig) return 1;
    const int fd = rig->floorSocket;
    const unsigned char* mac = rig->toolMac;
    vq::RecordingPrompter& prompter = rig->prompter;

    // Warm-up, then alternate the two measurements so that a change of load
    // on the machine hits both alike.
    Tally warm;
    vq::bench::RunFloor(fd, mac, 0.2, warm);
    RunLink(0.2, prompter, warm);
    Tally floor, pcapLink;
    const int rounds = 6;
    for (int r = 0; r < rounds; ++r) {
        vq::bench::RunFloor(fd, mac, seconds / rounds, floor);
        RunLink(seconds / rounds, prompter, pcapLink);
    }
    rig->CloseFloor();
    vq::Link().CloseLink();
    rig->agent->Stop(SIGTERM, std::chrono::seconds(2));
    rig->echo->Stop(SIGTERM, std::chrono::seconds(2));

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
    vq::bench::Figure("link.floor", floor.Rate(), "exchanges/s");
    vq::bench::Figure("link.pcap", pcapLink.Rate(), "exchanges/s");
    return 0;
}

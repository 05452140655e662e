// vq9447-bench-noise: the Noise Level page's 2.4 GHz sweep and the NHM page's
// measurements at period 1, over a veth pair against the vq9447-agent program.
// Every pause is really slept and timed, so the link's share is the wall time
// less the time spent sleeping.
//
//   vq9447-bench-noise [--nhm-count N] [--no-channel-apply]   (root: it creates its own namespace)
//
// The last line is "ratio R": the sweep's link time / the sweep's prescribed waits.

#include "base/services.h"
#include "bench/common/bench_common.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "measure/nhm/core/nhm_run.h"
#include "measure/noise/core/noise_sweep.h"
#include "txrx/core/txrx_radio.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

using vq::bench::Clock;
using vq::bench::Seconds;

namespace {

// Real pauses, with what was asked for and what they took.
struct TimedPause : vq::IPause {
    void Sleep(unsigned ms) override {
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        std::lock_guard<std::mutex> lock(mutex);
        asked += ms / 1000.0;
        slept += Seconds(Clock::now() - t0);
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex);
        asked = slept = 0;
    }
    std::mutex mutex;
    double asked = 0, slept = 0;
};

} // namespace

int main(int argc, char** argv) {
    unsigned long nhmCount = 300;
    bool channelApply = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--nhm-count" && i + 1 < argc) {
            nhmCount = std::strtoul(argv[++i], nullptr, 10);
        } else if (a == "--no-channel-apply") {
            channelApply = false;
        } else {
            std::fprintf(stderr, "usage: %s [--nhm-count N] [--no-channel-apply]\n", argv[0]);
            return 2;
        }
    }
    if (nhmCount == 0) nhmCount = 300;

    auto rig = vq::bench::SetUpRig("vq9447-bench-noise", "n");
    if (!rig) return 1;
    rig->CloseFloor();
    rig->echo->Stop(SIGTERM, std::chrono::seconds(2));

    TimedPause pause;
    vq::SetPause(&pause);
    vq::CDeviceCommands dev;
    vq::State().antennaConfig = 0x22; // two receive paths
    dev.SetBbp(3, 0x08);

    // The 2.4 GHz sweep, the channel applied as the TX/RX page applies it.
    vq::CTxRxRadio radio;
    vq::TxRxRadioSettings settings;
    double applyAsked = 0;
    bool rx = false;
    vq::noise::SweepHooks hooks;
    hooks.selectChannel = [&](int index) {
        if (!channelApply) return;
        const double before = pause.asked;
        settings.channel = index;
        radio.ApplyChannel(settings);
        applyAsked += pause.asked - before;
    };
    hooks.toggleReceive = [&] {
        rx ? dev.StopRx() : dev.StartRx();
        rx = !rx;
    };
    int results = 0;
    hooks.result = [&](int, int, int) { ++results; };
    pause.Clear();
    auto t0 = Clock::now();
    const bool swept = vq::noise::RunSweep(dev, vq::noise::Band::Ghz24, hooks);
    const double sweepSeconds = Seconds(Clock::now() - t0);
    const double sweepAsked = pause.asked, sweepSlept = pause.slept;
    const double prescribed = sweepAsked - applyAsked; // the sweep's own waits
    const double sweepLink = sweepSeconds - sweepSlept;

    // NHM at period 1.
    pause.Clear();
    vq::nhm::NhmRun run;
    unsigned long rows = 0;
    vq::nhm::NhmRun::Hooks nhmHooks;
    nhmHooks.rows = [&](std::vector<vq::nhm::Measurement> r) { rows += r.size(); };
    t0 = Clock::now();
    if (run.Start(1, nhmCount, nhmHooks)) run.Join();
    const double nhmSeconds = Seconds(Clock::now() - t0);
    const double nhmAsked = pause.asked, nhmSlept = pause.slept;

    vq::SetPause(nullptr);
    vq::Link().CloseLink();
    rig->agent->Stop(SIGTERM, std::chrono::seconds(2));
    vq::SetPrompter(nullptr);

    std::printf("2.4 GHz sweep: %s, %d results, %.3f s total\n", swept ? "done" : "REFUSED", results,
                sweepSeconds);
    std::printf("  prescribed waits of the sweep: %.3f s (14 channels x %.1f ms)\n", prescribed,
                prescribed * 1000 / 14);
    std::printf("  waits of the channel apply: %.3f s%s\n", applyAsked, channelApply ? "" : " (not applied)");
    std::printf("  time slept: %.3f s (%.3f s asked), link and processing: %.3f s = %.1f %% of the "
                "prescribed waits\n",
                sweepSlept, sweepAsked, sweepLink, prescribed > 0 ? 100 * sweepLink / prescribed : 0.0);
    std::printf("NHM period 1: %lu measurements in %.3f s = %.1f measurements/s\n", rows, nhmSeconds,
                nhmSeconds > 0 ? rows / nhmSeconds : 0.0);
    std::printf("  waits %.3f s asked, %.3f s slept; link and processing %.3f s = %.1f %% of the waits "
                "(%.3f ms a measurement)\n",
                nhmAsked, nhmSlept, nhmSeconds - nhmSlept,
                nhmAsked > 0 ? 100 * (nhmSeconds - nhmSlept) / nhmAsked : 0.0,
                rows ? 1000 * (nhmSeconds - nhmSlept) / rows : 0.0);
    for (const auto& t : rig->prompter.Texts())
        std::printf("message: %s\n", t.c_str());
    std::printf("ratio %.3f\n", prescribed > 0 ? sweepLink / prescribed : 0.0);
    // For bench/run-all: link time against every prescribed wait of the sweep
    // (its own and those of the channel apply), and the NHM rate.
    const double allWaits = prescribed + (channelApply ? applyAsked : 0.0);
    std::printf("FIGURE noise.share %.6g %%\n", allWaits > 0 ? 100 * sweepLink / allWaits : 0.0);
    std::printf("FIGURE nhm.rate %.6g 1/s\n", nhmSeconds > 0 ? rows / nhmSeconds : 0.0);
    return swept && rows == nhmCount ? 0 : 1;
}

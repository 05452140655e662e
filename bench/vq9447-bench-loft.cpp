// vq9447-bench-loft: the IQ calibration page's "Full LOFT" search over a veth
// pair against the vq9447-agent program, with the real pause service. Every
// point starts with a baseband reset that waits 100 ms; the rest of a point
// is its exchanges. Prints the total time against the prescribed waits
// (points x 100 ms) and the exchanges per point.
//
//   vq9447-bench-loft [--runs N]   (root: it creates its own namespace)
//
// The last line is "non-waiting share P %": (total - waits) / total.

#include "base/services.h"
#include "bench/common/bench_common.h"
#include "calibration/core/iq_search.h"
#include "device/device_commands.h"
#include "link/link_session.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using vq::bench::Clock;
using vq::bench::Seconds;

int main(int argc, char** argv) {
    int runs = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }
    if (runs < 1) runs = 1;

    auto rig = vq::bench::SetUpRig("vq9447-bench-loft", "l");
    if (!rig) return 1;
    rig->CloseFloor();
    rig->echo->Stop(SIGTERM, std::chrono::seconds(2));

    char logDir[] = "/tmp/vq9447-bench-loft-XXXXXX";
    if (!mkdtemp(logDir)) return 1;
    vq::ThreadPause realPause;
    vq::SetPause(&realPause);

    vq::CDeviceCommands dev;
    vq::IqCalibration cal;
    cal.logDirectory = logDir;
    cal.SaveRegisters(dev);
    vq::IqSettings settings;

    double total = 0, waits = 0;
    unsigned long exchanges = 0, points = 0;
    bool ok = true;
    for (int r = 0; r < runs; ++r) {
        std::vector<vq::IqNote> notes;
        int measured = 0;
        const std::uint16_t before = vq::Link().Sequence();
        const auto t0 = Clock::now();
        const vq::GridResult g = cal.FullLoft(dev, settings, notes, [&](const vq::IqProgress&) {
            ++measured;
            return true;
        });
        const double seconds = Seconds(Clock::now() - t0);
        const std::uint16_t sent = std::uint16_t(vq::Link().Sequence() - before);
        ok = ok && g.complete;
        total += seconds;
        waits += measured * 0.100;
        exchanges += sent;
        points += unsigned(measured);
        std::printf("run %d: %d points (48 single-axis + %d), %u exchanges, %.3f s; minimum 0xAC=0x%02X 0xAD=0x%02X "
                    "Ypwr %.2f\n",
                    r + 1, measured, g.points, unsigned(sent), seconds, vq::LoftTable()[g.first],
                    vq::LoftTable()[g.second], g.minimum);
    }

    vq::SetPause(nullptr);
    vq::Link().CloseLink();
    rig->agent->Stop(SIGTERM, std::chrono::seconds(2));
    std::filesystem::remove_all(logDir);
    vq::SetPrompter(nullptr);
    for (const auto& t : rig->prompter.Texts())
        std::printf("message: %s\n", t.c_str());

    const double busy = total - waits;
    std::printf("points: %lu, exchanges: %lu, exchanges per point: %.1f\n", points, exchanges,
                points ? double(exchanges) / points : 0.0);
    std::printf("total %.3f s, prescribed waits %.3f s, non-waiting %.3f s (%.2f ms per point, %.1f us per exchange)\n",
                total, waits, busy, points ? busy * 1000 / points : 0.0, exchanges ? busy * 1e6 / exchanges : 0.0);
    std::printf("non-waiting share %.2f %%\n", total > 0 ? busy / total * 100 : 0.0);
    std::printf("FIGURE loft.share %.6g %%\n", total > 0 ? busy / total * 100 : 0.0);
    return ok ? 0 : 1;
}

// vq9447-bench-evm: time per fnRXEVM call on simulated loopback captures, and
// the figure across SNR for each rate (the reported figure beside the
// nearest-point one). Runs on one core, no network.
//   vq9447-bench-evm [calls per capture, default 200]

#include "agent/ofdm_packet.h"
#include "measure/ostra/rx_evm.h"

#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Capture {
    std::vector<std::int32_t> i, q;
};

Capture Make(const vq::agent::OfdmPacketOptions& o) {
    Capture c;
    for (const auto& s : vq::agent::OfdmCaptureSamples(o)) {
        c.i.push_back(std::int32_t(s.real()));
        c.q.push_back(std::int32_t(s.imag()));
    }
    return c;
}

// CPU time of this thread: the machine is shared, wall time is not one core's.
double CpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    std::printf("time per call (%d calls each)\n", calls);
    double worst = 0;
    struct Case {
        int rate;
        double snr;
        int length;
    };
    // Level 0.001: an empty capture, the detector's whole scan.
    for (const Case& k : {Case{6, 25, 100}, Case{24, 25, 100}, Case{54, 25, 100}, Case{6, 25, 300}, Case{54, 10, 100},
                          Case{54, 10, 1000}, Case{24, 10, 500}, Case{6, 5, 1000}, Case{6, 0, 0}}) {
        {
            vq::agent::OfdmPacketOptions o;
            o.rateMbps = k.rate;
            o.snrDb = k.snr;
            o.cfoHz = 60e3;
            o.lengthBytes = std::max(1, k.length);
            if (k.length == 0) o.level = 0.001;
            char text[64];
            if (k.length) std::snprintf(text, sizeof text, "%2d Mbit/s, %4d bytes, %2.0f dB SNR", k.rate, k.length, k.snr);
            else std::snprintf(text, sizeof text, "no packet (quiet input)");
            const std::string label = text;
            const Capture c = Make(o);
            volatile double sink = 0;
            const auto t0 = std::chrono::steady_clock::now();
            const double c0 = CpuMicroseconds();
            for (int n = 0; n < calls; ++n) sink = sink + ostra::MeasureRxEvm(c.i.data(), c.q.data()).evmDb;
            const double us = (CpuMicroseconds() - c0) / calls;
            const double wall = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / calls;
            worst = std::max(worst, us);
            std::printf("  %-34s %8.1f us cpu %8.1f us wall\n", label.c_str(), us, wall);
        }
    }
    std::printf("worst %.1f us, target 2000 us, ratio %.2f\n\n", worst, worst / 2000);
    std::printf("FIGURE evm.call %.6g us\n", worst);

    std::printf("EVM (dB) across SNR, cfo 50 kHz, mean of 8 captures: reported / nearest-point\n");
    std::printf("  SNR ");
    const int rates[] = {6, 12, 24, 36, 54};
    for (int r : rates) std::printf("   %2d Mbit/s     ", r);
    std::printf("\n");
    for (double snr : {5.0, 10.0, 15.0, 20.0, 25.0, 30.0, 35.0, 40.0, 1000.0}) {
        if (snr < 999) std::printf("  %4.0f", snr);
        else std::printf("  none");
        for (int r : rates) {
            double sum = 0, nearest = 0;
            int found = 0;
            for (unsigned seed = 1; seed <= 8; ++seed) {
                vq::agent::OfdmPacketOptions o;
                o.rateMbps = r;
                o.snrDb = snr;
                o.cfoHz = 50e3;
                o.seed = seed;
                o.start = int(200 + 37 * seed);
                const Capture c = Make(o);
                const ostra::RxEvmResult res = ostra::MeasureRxEvm(c.i.data(), c.q.data());
                if (std::isnan(res.evmDb)) continue;
                sum += res.evmDb, nearest += res.nearestEvmDb, ++found;
            }
            if (found) std::printf("  %6.2f / %6.2f", sum / found, nearest / found);
            else std::printf("     NaN         ");
        }
        std::printf("\n");
    }
    return 0;
}

// vq9447-bench-fft: the FFT graph page's capture cycle over a veth pair
// against the vq9447-agent program (pause slider at 0), the frequency-domain
// processing of one capture (16 windowed FFT blocks, the noise figure and the
// measured and golden series) and an offscreen repaint of the 512-point
// spectrum with the golden curve.
//
//   vq9447-bench-fft [--cycles N]   (root: it creates its own namespace)
//
// The last line is "ratio R": the link and processing part of a cycle against
// its 15 ms target (below 1 meets it).

#include "base/services.h"
#include "bench/common/bench_common.h"
#include "controls/graph.h"
#include "device/device_commands.h"
#include "link/link_session.h"
#include "measure/core/fft_capture.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

using vq::bench::Clock;
using vq::bench::Seconds;

namespace {

// Real pauses, with the time they took: the prescribed waiting of a cycle.
class TimedPause : public vq::IPause {
  public:
    void Sleep(unsigned ms) override {
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        seconds += Seconds(Clock::now() - t0);
    }
    double seconds = 0;
};

} // namespace

int main(int argc, char** argv) {
    int cycles = 50;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--cycles" && i + 1 < argc) {
            cycles = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--cycles N]\n", argv[0]);
            return 2;
        }
    }
    if (cycles < 1) cycles = 50;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    auto rig = vq::bench::SetUpRig("vq9447-bench-fft", "f");
    if (!rig) return 1;
    rig->CloseFloor();
    rig->echo->Stop(SIGTERM, std::chrono::seconds(2));

    TimedPause pause;
    vq::SetPause(&pause);
    vq::CDeviceCommands dev;
    vq::CaptureResult capture = vq::RunCaptureCycle(dev, vq::CaptureRequest{}); // warm-up
    pause.seconds = 0;
    double processing = 0;
    int triggered = 0;
    const auto t0 = Clock::now();
    for (int c = 0; c < cycles; ++c) {
        capture = vq::RunCaptureCycle(dev, vq::CaptureRequest{});
        triggered += capture.triggered;
        const auto p0 = Clock::now();
        const vq::SpectrumResult r = vq::ProcessSpectrum(capture.words, 20, true);
        processing += Seconds(Clock::now() - p0);
        if (r.points.size() != 1024) return 1;
    }
    const double total = Seconds(Clock::now() - t0);
    const double waited = pause.seconds;
    vq::SetPause(nullptr);
    vq::Link().CloseLink();
    rig->agent->Stop(SIGTERM, std::chrono::seconds(2));
    vq::SetPrompter(nullptr);

    // Processing alone, many times over one capture.
    const int runs = 500;
    auto p0 = Clock::now();
    double sink = 0;
    for (int k = 0; k < runs; ++k)
        sink += vq::ProcessSpectrum(capture.words, 20, true).noiseFigure;
    const double processUs = Seconds(Clock::now() - p0) / runs * 1e6;

    // Repaint of the page's graph with the spectrum and the golden curve.
    const vq::SpectrumResult s = vq::ProcessSpectrum(capture.words, 20, true);
    std::vector<vq::GraphPoint> points;
    for (const auto& p : s.points)
        points.push_back({p.x, p.y});
    vq::GraphModel model;
    model.Create(10, 20, 870, 450, 0);
    vq::GraphData data;
    data.points = points.data();
    data.count = 512;
    data.param = 2;
    model.SetData(&data);
    QImage image(890, 480, QImage::Format_RGB32);
    const QFont font("Courier", 8);
    const int paints = 200;
    p0 = Clock::now();
    for (int k = 0; k < paints; ++k) {
        QPainter painter(&image);
        vq::PaintGraph(painter, model, font);
    }
    const double paintMs = Seconds(Clock::now() - p0) / paints * 1e3;

    const double perCycle = total / cycles;
    const double linkAndProcessing = (total - waited) / cycles;
    std::printf("capture cycle over veth (pause 0): %d cycles in %.3f s = %.2f ms per cycle, %d triggered\n",
                cycles, total, perCycle * 1e3, triggered);
    std::printf("  prescribed waiting %.2f ms, link and processing %.2f ms (processing %.3f ms)\n",
                waited / cycles * 1e3, linkAndProcessing * 1e3, processing / cycles * 1e3);
    std::printf("frequency-domain processing of one capture: %.1f us (noise figure %.3f dB)\n", processUs,
                sink / runs);
    std::printf("offscreen repaint, 512-point spectrum with the golden curve: %.3f ms\n", paintMs);
    for (const auto& t : rig->prompter.Texts())
        std::printf("message: %s\n", t.c_str());
    std::printf("ratio %.2f\n", linkAndProcessing / 0.015);
    vq::bench::Figure("fft.cycle", linkAndProcessing * 1e3, "ms");
    vq::bench::Figure("fft.processing", processUs, "us");
    vq::bench::Figure("fft.repaint", paintMs, "ms");
    return 0;
}

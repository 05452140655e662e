// The measurement core against the simulated board: the FFT, the tables, the
// capture cycle's register sequence and ring read, spectrum and trace
// processing and the ADC file.
#include "agent/capture_memory.h"
#include "measure/core/fft.h"
#include "measure/core/fft_capture.h"
#include "measure/core/fft_tables.h"
#include "tests/support/board_fixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

using namespace vq;

namespace {

class MeasureCoreTest : public test::BoardTest, public test::ScratchFiles {
  protected:
    MeasureCoreTest() : ScratchFiles("vq_measure_") {}
    agent::CaptureMemoryDevice& Memory() { return *board->Device<agent::CaptureMemoryDevice>(); }
    std::vector<std::uint32_t> MacWrites(std::uint32_t address) const {
        std::vector<std::uint32_t> v;
        for (const auto& e : Exchanges(cmd::MacWrite))
            if (GetBe32(e.payload.data()) == address) v.push_back(GetBe32(e.payload.data() + 4));
        return v;
    }
    // A capture whose sample n has I = n mod 100 - 50 and Q = -(n mod 7).
    static std::vector<std::uint32_t> Ramp() {
        std::vector<std::uint32_t> w(kCaptureWords);
        for (int n = 0; n < kCaptureWords; ++n)
            w[std::size_t(n)] = (std::uint32_t(std::uint8_t(n % 100 - 50)) << 8) | std::uint8_t(-(n % 7)) | 0xAB0000u;
        return w;
    }
    CDeviceCommands dev;
};

} // namespace

TEST(MeasureFft, MatchesTheDirectTransformWithoutScaling) {
    std::vector<Complex> in(512, Complex(1, 0)), out(512);
    Fft(in.data(), out.data(), 512);
    EXPECT_NEAR(out[0].real(), 512, 1e-9);
    double rest = 0;
    for (int k = 1; k < 512; ++k)
        rest = std::max(rest, std::abs(out[std::size_t(k)]));
    EXPECT_LT(rest, 1e-9);

    // An arbitrary sequence against X[k] = sum x[n] e^(-j2πkn/N), for every size the recursion passes.
    for (std::size_t n : {2u, 8u, 64u}) {
        std::vector<Complex> x(n), X(n);
        for (std::size_t i = 0; i < n; ++i)
            x[i] = Complex(std::sin(0.7 * double(i)) + 0.1 * double(i), std::cos(1.3 * double(i)));
        Fft(x.data(), X.data(), n);
        for (std::size_t k = 0; k < n; ++k) {
            Complex direct;
            for (std::size_t i = 0; i < n; ++i)
                direct += x[i] * std::polar(1.0, -2 * std::numbers::pi * double(k * i) / double(n));
            EXPECT_NEAR(std::abs(X[k] - direct), 0, 1e-9) << n << " " << k;
        }
    }
}

TEST(MeasureTables, PassThroughTheMeasuredRowsWithTheStatedShape) {
    const auto& w = FftWindow();
    const std::pair<int, double> windowRows[] = {{0, 0},         {1, 0.0030859},   {8, 0.025686}, {64, 0.2625},
                                                 {128, 0.60021}, {192, 0.88724},   {255, 0.99997}, {256, 1}};
    for (auto [n, v] : windowRows)
        EXPECT_DOUBLE_EQ(w[std::size_t(n)], v) << n;
    for (int n = 1; n < 256; ++n) {
        EXPECT_EQ(w[std::size_t(n)], w[std::size_t(512 - n)]) << n;
        EXPECT_LE(w[std::size_t(n - 1)], w[std::size_t(n)]) << n;
    }

    const auto& g = GoldenNoise();
    const std::pair<int, double> goldenRows[] = {{0, 5.4207},     {1, 5.034},     {128, 21.7385},
                                                 {255, 26.601},   {256, 33.8802}, {257, 26.9896},
                                                 {282, 55.9917},  {383, 22.3484}, {511, 3.2675}};
    for (auto [n, v] : goldenRows)
        EXPECT_DOUBLE_EQ(g[std::size_t(n)], v) << n;
    EXPECT_NEAR(*std::min_element(g.begin(), g.end()), 1.93, 0.005);
    EXPECT_NEAR(*std::max_element(g.begin(), g.end()), 55.99, 0.005);
    EXPECT_NEAR(std::accumulate(g.begin(), g.end(), 0.0) / 512, 17.91, 0.005);

    // Centre frequencies: the 14 channels of 2.4 GHz, then 5 GHz from 5180 to 5865.
    EXPECT_EQ(CentreFrequencyMHz(0), 2412);
    EXPECT_EQ(CentreFrequencyMHz(12), 2472);
    EXPECT_EQ(CentreFrequencyMHz(13), 2484);
    EXPECT_EQ(CentreFrequencyMHz(14), 5180);
    EXPECT_EQ(CentreFrequencyMHz(CentreFrequencyCount() - 1), 5865);
    EXPECT_EQ(CentreFrequencyCount(), 53);
}

TEST_F(MeasureCoreTest, TriggerOffsetReachesTheFieldOnlyWithinItsRange) {
    const struct {
        const char* text;
        std::uint32_t field;
    } cases[] = {{"0", 0}, {"2000", 0}, {"1FFF", 0x1FFF}, {"200", 0x200}, {"zz", 0}, {"100000001", 0}, {"7q", 7}};
    for (const auto& c : cases) {
        EXPECT_EQ(TriggerOffsetOf(c.text), c.field) << c.text;
        board->ClearLog();
        CaptureRequest request;
        request.triggerOffset = TriggerOffsetOf(c.text);
        RunCaptureCycle(dev, request);
        const auto writes = MacWrites(0x440);
        // Source bit, offset field cleared, the offset (when there is one), arm, forced trigger.
        ASSERT_EQ(writes.size(), c.field ? 5u : 4u) << c.text;
        EXPECT_EQ(writes[1] & 0x1FFF0000u, 0u);
        EXPECT_EQ((writes[writes.size() - 2] >> 16) & 0x1FFF, c.field) << c.text;
        EXPECT_TRUE(writes[writes.size() - 2] & 0x40000000u);
        EXPECT_EQ(writes.back(), 0x20000000u);
    }
    EXPECT_EQ(MacWrites(0x1004), (std::vector<std::uint32_t>{0, 8, 0}));
    EXPECT_EQ(MacWrites(0x400), (std::vector<std::uint32_t>{0x4E80, 0xE80}));
    EXPECT_EQ(MacWrites(0x408), (std::vector<std::uint32_t>{0, 0xF40016}));
    EXPECT_EQ(MacWrites(0x410), (std::vector<std::uint32_t>{0x20}));
}

TEST_F(MeasureCoreTest, RingIsReadFromTheEndPointerAndWrapsAtTheTop) {
    Memory().SetBasebandSource([](std::vector<std::complex<float>>& out) {
        for (std::size_t n = 0; n < out.size(); ++n)
            out[n] = {float(int(n % 200) - 100), float(int(n % 17))};
    });
    for (std::uint32_t end : {0x0000u, 0x1FF0u, 0x1FFFu, 0x0123u}) {
        Memory().nextEnd = end;
        board->ClearLog();
        const CaptureResult r = RunCaptureCycle(dev, CaptureRequest{});
        EXPECT_EQ(r.end, end);
        EXPECT_TRUE(r.triggered);
        // Sample n comes back as word n whatever the end pointer.
        for (int n : {0, 1, 255, 256, 4000, 8191}) {
            const IqSample s = SampleOfWord(r.words[std::size_t(n)]);
            EXPECT_EQ(s.i, n % 200 - 100) << end << " " << n;
            EXPECT_EQ(s.q, n % 17) << end << " " << n;
        }
        std::uint32_t total = 0;
        for (const auto& e : Exchanges(cmd::MacMultiRead)) {
            const std::uint32_t address = GetBe32(e.payload.data()), count = GetBe16(e.payload.data() + 4);
            EXPECT_LE(count, 256u);
            EXPECT_GE(address, 0x8000u);
            EXPECT_LE(address + 4 * count, 0x10000u);
            if (total == 0) EXPECT_EQ(address, 0x8000 + 4 * end);
            total += count;
        }
        EXPECT_EQ(total, 8192u);
        EXPECT_EQ(Exchanges(cmd::MacMultiRead).size(), end % 256 ? 33u : 32u) << end;
    }
    // Region A holds the same samples as half words from 0x4000 + 2E on.
    const std::uint32_t e = 0x0123, p = (e + 5) & 0x1FFF;
    const std::uint32_t word = board->RawMac(0x4000 + 4 * (p / 2));
    const std::uint16_t half = std::uint16_t((p & 1) ? word >> 16 : word);
    EXPECT_EQ(int(std::int8_t(half >> 8)), 5 - 100);
    EXPECT_EQ(int(std::int8_t(half & 0xFF)), 5);
}

TEST_F(MeasureCoreTest, MissingTriggerEndsAfterAThousandPollsAndStillReads) {
    Memory().neverTrigger = true;
    const CaptureResult r = RunCaptureCycle(dev, CaptureRequest{});
    EXPECT_FALSE(r.triggered);
    EXPECT_EQ(r.polls, 1000);
    const std::vector<unsigned> pauses = pause.Pauses();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 10u), 1001); // forced-trigger pause + polls
    EXPECT_EQ(CountCommands(cmd::MacMultiRead), 32u);
    EXPECT_TRUE(prompter.Messages().empty());

    // The time domain's auto trigger comes from the hardware: no forced trigger.
    Memory().neverTrigger = false;
    board->ClearLog();
    pause.Clear();
    CaptureRequest autoTrigger;
    autoTrigger.forceTrigger = false;
    const CaptureResult a = RunCaptureCycle(dev, autoTrigger);
    EXPECT_TRUE(a.triggered);
    EXPECT_EQ(a.polls, 2); // the hardware trigger fires on the second poll
    EXPECT_EQ(MacWrites(0x440).back() & 0x20000000u, 0u);
}

TEST_F(MeasureCoreTest, SpectrumSeriesNoiseFigureAndToneBin) {
    // Axis and series layout at 20 MHz, with the golden curve.
    const auto words = Ramp();
    const SpectrumResult s = ProcessSpectrum(words, 20, true);
    ASSERT_EQ(s.points.size(), 1024u);
    EXPECT_EQ(s.series, 2);
    for (int k = 0; k < 512; ++k) {
        EXPECT_DOUBLE_EQ(s.points[std::size_t(k)].x, -20 + 0.078125 * k);
        EXPECT_DOUBLE_EQ(s.points[std::size_t(512 + k)].x, -20 + 0.078125 * k);
        EXPECT_DOUBLE_EQ(s.points[std::size_t(512 + k)].y, GoldenNoise()[std::size_t(k)]);
    }
    EXPECT_DOUBLE_EQ(s.points[511].x, 19.921875);
    const std::vector<double> p = AveragedPower(words);
    EXPECT_DOUBLE_EQ(s.points[0].y, 10 * std::log10(p[256]) - 28);
    EXPECT_DOUBLE_EQ(s.points[256].y, 10 * std::log10(p[0]) - 28);
    EXPECT_DOUBLE_EQ(s.points[257].y, 10 * std::log10(p[511]) - 28);
    EXPECT_EQ(ProcessSpectrum(words, 40, false).points.size(), 512u);
    EXPECT_DOUBLE_EQ(ProcessSpectrum(words, 40, false).points[0].x, -40);

    // Bins 485..488 do not count in the noise figure, every other bin does.
    std::vector<double> flat(512, 1e4);
    const double d = NoiseFigure(flat);
    EXPECT_NEAR(d, 40 - 27.1 - 18.5958, 1e-9);
    for (int k : {485, 486, 487, 488})
        flat[std::size_t(k)] = 1e9;
    EXPECT_DOUBLE_EQ(NoiseFigure(flat), d);
    flat[484] = 1e9;
    EXPECT_GT(NoiseFigure(flat), d);
    EXPECT_EQ(NoiseFigureText(-0.5), "-0.500000 dB");

    // A 5 MHz tone from the simulated board peaks at +5 MHz on the display; the
    // noise floor at the default gain sits near the golden unit's.
    board->BbpWrite(66, 0x24);
    Memory().toneOn = true;
    Memory().toneOffsetMHz = 5.0;
    const CaptureResult r = RunCaptureCycle(dev, CaptureRequest{});
    const SpectrumResult t = ProcessSpectrum(r.words, 20, false);
    const auto peak = std::max_element(t.points.begin(), t.points.end(),
                                       [](const PlotPoint& a, const PlotPoint& b) { return a.y < b.y; });
    EXPECT_DOUBLE_EQ(peak->x, 5.0);
    Memory().toneOn = false;
    const SpectrumResult n = ProcessSpectrum(RunCaptureCycle(dev, CaptureRequest{}).words, 20, false);
    EXPECT_NEAR(n.noiseFigure, 0, 1.5);
}

TEST_F(MeasureCoreTest, TracesAndAdcFile) {
    const auto words = Ramp();
    const struct {
        int bandwidth;
        bool i, q;
        int series;
        bool qOnly;
        double lastX;
    } cases[] = {{1, true, true, 2, false, 199.975}, {2, true, false, 1, false, 99.9875},
                 {0, false, true, 1, true, 199.975}, {1, false, false, 0, false, 0}};
    for (const auto& c : cases) {
        const TraceResult t = ProcessTraces(words, c.bandwidth, c.i, c.q);
        EXPECT_EQ(t.series, c.series);
        EXPECT_EQ(t.qOnly, c.qOnly);
        EXPECT_EQ(t.count, c.series ? 8000 : 0);
        ASSERT_EQ(t.points.size(), std::size_t(8000 * c.series));
        if (!c.series) continue;
        EXPECT_NEAR(t.points[7999].x, c.lastX, 1e-9);
        EXPECT_EQ(t.points[3].y, c.i ? 3 - 50 : -3);
        if (c.series == 2) EXPECT_EQ(t.points[8003].y, -3);
    }
    EXPECT_EQ(EvmText(-31.25), "-31.250000 dB");
    EXPECT_EQ(EvmText(std::nan("")), "-.------ dB");

    const std::string text = AdcFileText(words);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8192);
    EXPECT_EQ(text.substr(0, 16), "-50\t0\n-49\t-1\n-48");
    EXPECT_TRUE(text.ends_with("41\t-1\n")); // sample 8191
    ASSERT_TRUE(SaveAdcFile(Path("cap"), words));
    EXPECT_EQ(ReadFile(Path("cap.adc")), text);
    ASSERT_TRUE(SaveAdcFile(Path("again.adc"), words));
    EXPECT_EQ(ReadFile(Path("again.adc")), text);
    EXPECT_FALSE(SaveAdcFile(Path("missing/x"), words));
    EXPECT_EQ(prompter.Messages().size(), 1u);
}

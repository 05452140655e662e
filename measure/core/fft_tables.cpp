#include "measure/core/fft_tables.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vq {

std::vector<double> MonotoneCurve(const std::vector<double>& x, const std::vector<double>& y, int count) {
    const std::size_t n = x.size();
    std::vector<double> h(n - 1), delta(n - 1), m(n);
    for (std::size_t k = 0; k + 1 < n; ++k) {
        h[k] = x[k + 1] - x[k];
        delta[k] = (y[k + 1] - y[k]) / h[k];
    }
    m[0] = delta[0];
    m[n - 1] = delta[n - 2];
    for (std::size_t k = 1; k + 1 < n; ++k) {
        if (delta[k - 1] * delta[k] <= 0) {
            m[k] = 0;
        } else {
            // Weighted harmonic mean of the neighbouring slopes.
            const double w1 = 2 * h[k] + h[k - 1], w2 = h[k] + 2 * h[k - 1];
            m[k] = (w1 + w2) / (w1 / delta[k - 1] + w2 / delta[k]);
        }
    }
    std::vector<double> out(static_cast<std::size_t>(count));
    std::size_t k = 0;
    for (int i = 0; i < count; ++i) {
        const double t = double(i);
        while (k + 2 < n && t > x[k + 1]) ++k;
        const double s = (t - x[k]) / h[k];
        const double s2 = s * s, s3 = s2 * s;
        out[std::size_t(i)] = (2 * s3 - 3 * s2 + 1) * y[k] + (s3 - 2 * s2 + s) * h[k] * m[k] +
                              (-2 * s3 + 3 * s2) * y[k + 1] + (s3 - s2) * h[k] * m[k + 1];
    }
    return out;
}

// The window rises from 0 to 1 over the first half through its measured
// coefficients and mirrors around w[256].
const std::array<double, kFftSize>& FftWindow() {
    static const std::array<double, kFftSize> table = [] {
        const std::vector<double> x = {0, 1, 8, 64, 128, 192, 255, 256};
        const std::vector<double> y = {0, 0.0030859, 0.025686, 0.2625, 0.60021, 0.88724, 0.99997, 1};
        const std::vector<double> half = MonotoneCurve(x, y, 257);
        std::array<double, kFftSize> w{};
        for (int n = 0; n <= 256; ++n)
            w[std::size_t(n)] = half[std::size_t(n)];
        for (int n = 1; n < 256; ++n)
            w[std::size_t(512 - n)] = w[std::size_t(n)];
        return w;
    }();
    return table;
}

// The reference unit's noise spectrum: its measured rows, plus shape points
// that keep the DC and spur lines narrow (bins 281, 283) and the band edge
// low (bin 500 at the table's minimum of 1.93 dB). The two points at bins 64
// and 448 share one level, chosen by bisection so that the table's mean is
// the reference unit's 17.91 dB.
const std::array<double, kFftSize>& GoldenNoise() {
    static const std::array<double, kFftSize> table = [] {
        auto curve = [](double level) {
            const std::vector<double> x = {0, 1, 64, 128, 200, 254, 255, 256, 257, 258, 281, 282, 283, 383, 448, 500, 511};
            const std::vector<double> y = {5.4207, 5.034, level, 21.7385, 24.0, 26.5, 26.601, 33.8802, 26.9896,
                                           26.9, 26.0, 55.9917, 26.0, 22.3484, level, 1.93, 3.2675};
            return MonotoneCurve(x, y, kFftSize);
        };
        auto mean = [](const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()); };
        double lo = 2, hi = 40;
        for (int i = 0; i < 60; ++i) {
            const double mid = (lo + hi) / 2;
            (mean(curve(mid)) < 17.91 ? lo : hi) = mid;
        }
        const std::vector<double> v = curve((lo + hi) / 2);
        std::array<double, kFftSize> g{};
        std::copy(v.begin(), v.end(), g.begin());
        return g;
    }();
    return table;
}

namespace {

// Channel list order: 2.4 GHz channels 1..14, then the 5 GHz channels.
constexpr int kCentreMHz[] = {2412, 2417, 2422, 2427, 2432, 2437, 2442, 2447, 2452, 2457, 2462, 2467, 2472, 2484,
                              5180, 5190, 5200, 5220, 5230, 5240, 5260, 5270, 5280, 5300, 5310, 5320, 5500, 5510,
                              5520, 5540, 5550, 5560, 5580, 5590, 5600, 5620, 5630, 5640, 5660, 5670, 5680, 5700,
                              5745, 5755, 5765, 5785, 5795, 5805, 5825, 5835, 5845, 5855, 5865};

} // namespace

int CentreFrequencyCount() {
    return int(std::size(kCentreMHz));
}

int CentreFrequencyMHz(int index) {
    if (index < 0 || index >= CentreFrequencyCount()) return kCentreMHz[0];
    return kCentreMHz[index];
}

} // namespace vq

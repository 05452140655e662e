#include "measure/ostra/rx_evm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>

// The receiver runs at the capture's 40 Msamples/s without decimating:
// synchronisation works on a half-band low-pass copy (the upper 10..20 MHz of
// noise removed), and every OFDM symbol is demodulated by a 128-point FFT over
// its 3.2 us body, of which only the 52 bins of the 20 MHz channel are kept --
// the FFT is the channel filter.

namespace ostra {
namespace {

using Complex = std::complex<double>;
constexpr int N = kCaptureSamples;
constexpr int kFft = 128;            // 3.2 us
constexpr int kSymbol = 160;         // 4 us with its 0.8 us guard
constexpr int kPeriod = 32;          // short training repetition, 0.8 us
constexpr int kDetectWindow = 128;   // four short periods per correlation
constexpr int kBackoff = 8;          // FFT windows start this far into the guard, away from the next symbol
constexpr int kMaxSymbols = (N - 448) / kSymbol + 1;
constexpr double kPi = std::numbers::pi;

// Long training symbol on subcarriers -26..26.
constexpr std::array<int, 53> kLong{1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 0,
                                    1, -1, -1, 1, 1, -1, 1, -1, 1, -1, -1, -1, -1, -1, 1, 1, -1, -1, 1, -1, 1, -1, 1, 1, 1, 1};
constexpr std::array<int, 4> kPilots{-21, -7, 7, 21};
constexpr std::array<int, 4> kPilotSign{1, 1, 1, -1};

struct Rate {
    std::uint8_t signalBits; // R1..R4, R1 in bit 0
    int mbps;
    int bitsPerCarrier;
    int dataPerSymbol;
};
constexpr std::array<Rate, 8> kRates{{{0b1011, 6, 1, 24},
                                      {0b1111, 9, 1, 36},
                                      {0b1010, 12, 2, 48},
                                      {0b1110, 18, 2, 72},
                                      {0b1001, 24, 4, 96},
                                      {0b1101, 36, 4, 144},
                                      {0b1000, 48, 6, 192},
                                      {0b1100, 54, 6, 216}}};

int Bin(int carrier) { return (carrier + kFft) % kFft; }
bool IsPilot(int k) { return k == -21 || k == -7 || k == 7 || k == 21; }

// Axis values of the data carriers gathered in fine bins (count, sum, sum of
// squares): a likelihood pass then costs one step per occupied bin, and the
// bins' sums keep the error terms exact.
constexpr int kBins = 1024;
constexpr double kBinLow = -2.5, kBinWidth = 5.0 / kBins;
struct Histogram {
    std::array<double, kBins> count, sum, square;
    std::array<int, kBins> used;
    int usedCount;
};

// The one working buffer of a call.
struct Workspace {
    std::array<Complex, N> x;          // capture less its mean
    std::array<Complex, N> s;          // half-band filtered copy for synchronisation
    std::array<Complex, N> t;          // s with the coarse offset removed, around one candidate
    std::array<Complex, N> y;          // x with the candidate's offset removed, from its long training on
    std::array<Complex, kFft> longRef; // long training symbol in time, 40 Msamples/s
    std::array<Complex, kFft / 2> twiddle;
    std::array<Complex, kFft> bins;
    std::array<double, N> corr;        // |long training correlation|^2 by lag
    std::array<Complex, 53> inverseChannel; // 1/H per subcarrier -26..26
    std::array<std::array<Complex, 48>, kMaxSymbols> data;
    std::array<double, kMaxSymbols> phase;
    std::array<std::array<Complex, 4>, kMaxSymbols> pilots; // equalised, polarity and sign removed
    std::array<std::uint8_t, 127> pilotPolarity;
    std::array<std::uint64_t, 24> survivors;
    Histogram histogram;
    // Errors of the points whose value is known: the long training pair's
    // difference, the decoded SIGNAL symbol and the data symbols' pilots.
    std::array<Complex, 53 + 52 + 4 * kMaxSymbols> known;
    int knownCount;
};

// Forward 128-point FFT of `in` (radix 2, unscaled) into work.bins.
void Fft(Workspace& w, const Complex* in) {
    Complex* a = w.bins.data();
    for (int i = 0; i < kFft; ++i) {
        int r = 0;
        for (int b = 0; b < 7; ++b) r |= ((i >> b) & 1) << (6 - b);
        a[r] = in[i];
    }
    for (int len = 2; len <= kFft; len <<= 1) {
        const int step = kFft / len;
        for (int i = 0; i < kFft; i += len)
            for (int k = 0; k < len / 2; ++k) {
                const Complex u = a[i + k], v = a[i + k + len / 2] * w.twiddle[std::size_t(k * step)];
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
    }
}

void Prepare(Workspace& w) {
    for (int k = 0; k < kFft / 2; ++k) w.twiddle[std::size_t(k)] = std::polar(1.0, -2 * kPi * k / kFft);
    // Long symbol in time: inverse transform as the conjugate of the forward one of the conjugate.
    std::array<Complex, kFft> spectrum{};
    for (int k = -26; k <= 26; ++k) spectrum[std::size_t(Bin(k))] = kLong[std::size_t(k + 26)];
    Fft(w, spectrum.data());
    for (int n = 0; n < kFft; ++n) w.longRef[std::size_t(n)] = std::conj(w.bins[std::size_t(n)]) / double(kFft);
    // Pilot polarity: the scrambler x^7 + x^4 + 1 run from all ones, 1 -> -1.
    unsigned state = 0x7F;
    for (auto& p : w.pilotPolarity) {
        const unsigned bit = ((state >> 6) ^ (state >> 3)) & 1;
        state = ((state << 1) | bit) & 0x7F;
        p = std::uint8_t(bit);
    }
}

// Rotates src[from..to) by exp(-j 2 pi f n / fs) into dst.
void Derotate(const Complex* src, Complex* dst, int from, int to, double cfoHz) {
    const double step = -2 * kPi * cfoHz / kSampleRateHz;
    const Complex turn = std::polar(1.0, step);
    Complex phasor;
    for (int n = from; n < to; ++n) {
        if ((n - from) % 64 == 0) phasor = std::polar(1.0, step * n); // renew against rounding drift
        dst[n] = src[n] * phasor;
        phasor *= turn;
    }
}

// Coarse detection: Schmidl-Cox metric of the 0.8 us repetition on the
// filtered copy; the first run of at least 80 samples above 0.4 from `from` on.
// Returns the run's first sample and its summed correlation.
bool DetectShortTraining(const Workspace& w, int from, int& runStart, int& runEnd, Complex& correlation) {
    const Complex* s = w.s.data();
    const int last = N - kDetectWindow - kPeriod;
    if (from > last) return false;
    Complex p = 0;
    double e1 = 0, e2 = 0;
    for (int m = 0; m < kDetectWindow; ++m) {
        p += s[from + m] * std::conj(s[from + m + kPeriod]);
        e1 += std::norm(s[from + m]);
        e2 += std::norm(s[from + m + kPeriod]);
    }
    int run = 0;
    Complex sum = 0;
    for (int n = from;; ++n) {
        // Windows of barely more than the ADC's rounding are not a signal.
        const bool high = e1 > kDetectWindow * 0.5 && e2 > kDetectWindow * 0.5 && std::norm(p) > 0.16 * e1 * e2;
        if (high) {
            ++run;
            sum += p;
        }
        if ((!high || n == last) && run > 0) {
            if (run >= 80) {
                runStart = n - run + (high ? 1 : 0);
                runEnd = n;
                correlation = sum;
                return true;
            }
            run = 0;
            sum = 0;
        }
        if (n == last) return false;
        // Slide the window by one sample.
        p += s[n + kDetectWindow] * std::conj(s[n + kDetectWindow + kPeriod]) - s[n] * std::conj(s[n + kPeriod]);
        e1 += std::norm(s[n + kDetectWindow]) - std::norm(s[n]);
        e2 += std::norm(s[n + kDetectWindow + kPeriod]) - std::norm(s[n + kPeriod]);
    }
}

// Fine timing: the lag where both long symbols correlate best with the known
// one. Also requires the correlation to be plainly a long training field.
bool FindLongTraining(Workspace& w, int runStart, double coarseHz, int& longStart) {
    const int lo = std::max(0, runStart + 384 - 160);
    const int hi = std::min(N - 2 * kFft, runStart + 384 + 200);
    if (lo > hi) return false;
    Derotate(w.s.data(), w.t.data(), std::max(0, lo - 64), hi + 2 * kFft, coarseHz);
    const Complex* t = w.t.data();
    for (int n = lo; n <= hi + kFft; ++n) {
        Complex c = 0;
        for (int m = 0; m < kFft; ++m) c += t[n + m] * std::conj(w.longRef[std::size_t(m)]);
        w.corr[std::size_t(n)] = std::norm(c);
    }
    int best = lo;
    for (int n = lo; n <= hi; ++n)
        if (w.corr[std::size_t(n)] + w.corr[std::size_t(n + kFft)] > w.corr[std::size_t(best)] + w.corr[std::size_t(best + kFft)]) best = n;
    double refEnergy = 0, e1 = 0, e2 = 0;
    for (int m = 0; m < kFft; ++m) {
        refEnergy += std::norm(w.longRef[std::size_t(m)]);
        e1 += std::norm(t[best + m]);
        e2 += std::norm(t[best + kFft + m]);
    }
    const double rho = (std::sqrt(w.corr[std::size_t(best)]) + std::sqrt(w.corr[std::size_t(best + kFft)])) /
                       (std::sqrt(refEnergy) * (std::sqrt(e1) + std::sqrt(e2)));
    longStart = best;
    return rho > 0.6;
}

// Residual offset from the 3.2 us repetition of the long training field (its guard included).
double FineOffsetHz(const Workspace& w, int longStart) {
    Complex p = 0;
    for (int n = std::max(0, longStart - 48); n < longStart + kFft; ++n) p += w.t[std::size_t(n)] * std::conj(w.t[std::size_t(n + kFft)]);
    return -std::arg(p) * kSampleRateHz / (2 * kPi * kFft);
}

// Channel from the two long symbols, smoothed over neighbouring subcarriers
// (the estimate's noise otherwise adds half the noise power to every point);
// the linear phase of the timing is taken out before smoothing and put back.
bool EstimateChannel(Workspace& w, int longStart) {
    std::array<Complex, 53> raw{};
    Fft(w, &w.y[std::size_t(longStart - kBackoff)]);
    for (int k = -26; k <= 26; ++k) raw[std::size_t(k + 26)] = w.bins[std::size_t(Bin(k))];
    Fft(w, &w.y[std::size_t(longStart + kFft - kBackoff)]);
    std::array<Complex, 53> difference{};
    for (int k = -26; k <= 26; ++k) {
        const Complex second = w.bins[std::size_t(Bin(k))];
        difference[std::size_t(k + 26)] = (raw[std::size_t(k + 26)] - second) * std::sqrt(0.5);
        raw[std::size_t(k + 26)] = (raw[std::size_t(k + 26)] + second) * (0.5 * kLong[std::size_t(k + 26)]);
    }
    Complex slopeSum = 0;
    for (int k = -26; k < 26; ++k)
        if (k != 0 && k != -1) slopeSum += raw[std::size_t(k + 27)] * std::conj(raw[std::size_t(k + 26)]);
    const double slope = std::arg(slopeSum);
    for (int k = -26; k <= 26; ++k) {
        if (k == 0) continue;
        Complex sum = 0;
        int count = 0;
        for (int j = std::max(-26, k - 3); j <= std::min(26, k + 3); ++j) {
            if (j == 0) continue;
            sum += raw[std::size_t(j + 26)] * std::polar(1.0, -slope * j);
            ++count;
        }
        const Complex h = sum / double(count) * std::polar(1.0, slope * k);
        if (std::norm(h) <= 0) return false;
        w.inverseChannel[std::size_t(k + 26)] = 1.0 / h;
        // The two symbols' noise differs; their difference over root 2 is one symbol's noise.
        w.known[std::size_t(w.knownCount++)] = difference[std::size_t(k + 26)] / h;
    }
    return true;
}

// Equalised symbol at `begin` (its body, backoff applied) into work.bins; returns the pilots' common phase.
double Demodulate(Workspace& w, int begin, int polarity) {
    Fft(w, &w.y[std::size_t(begin - kBackoff)]);
    for (int k = -26; k <= 26; ++k)
        if (k != 0) w.bins[std::size_t(Bin(k))] *= w.inverseChannel[std::size_t(k + 26)];
    Complex p = 0;
    for (int i = 0; i < 4; ++i) p += w.bins[std::size_t(Bin(kPilots[std::size_t(i)]))] * double(kPilotSign[std::size_t(i)] * polarity);
    return std::arg(p);
}

// SIGNAL field: BPSK rate 1/2 over 48 carriers, decoded by a 64-state
// soft-decision Viterbi decoder. Valid with a known rate, even parity, a
// path ending in the zero state (zero tail) and coded bits agreeing with the
// re-encoded decision.
bool DecodeSignal(Workspace& w, int begin, const Rate*& rate, int& length) {
    const double phase = Demodulate(w, begin, 1);
    const Complex turn = std::polar(1.0, -phase);
    std::array<double, 48> carrier{}, coded{};
    std::array<Complex, 48> signalPoints{};
    int d = 0;
    for (int k = -26; k <= 26; ++k)
        if (k != 0 && !IsPilot(k)) {
            signalPoints[std::size_t(d)] = w.bins[std::size_t(Bin(k))] * turn;
            carrier[std::size_t(d)] = signalPoints[std::size_t(d)].real();
            ++d;
        }
    for (int k = 0; k < 48; ++k) coded[std::size_t(k)] = carrier[std::size_t(3 * (k % 16) + k / 16)];
    std::array<double, 64> metric, next;
    metric.fill(-1e300);
    metric[0] = 0;
    for (int step = 0; step < 24; ++step) {
        const double a = coded[std::size_t(2 * step)], b = coded[std::size_t(2 * step + 1)];
        std::uint64_t decisions = 0;
        for (unsigned ns = 0; ns < 64; ++ns) {
            const unsigned bit = ns >> 5;
            double bestMetric = -1e300;
            for (unsigned x = 0; x < 2; ++x) {
                const unsigned s = ((ns & 31) << 1) | x, reg = (bit << 6) | s;
                const double m = metric[s] + (__builtin_parity(reg & 0b1011011) ? a : -a) + (__builtin_parity(reg & 0b1111001) ? b : -b);
                if (m > bestMetric) {
                    bestMetric = m;
                    if (x) decisions |= std::uint64_t(1) << ns;
                    else decisions &= ~(std::uint64_t(1) << ns);
                }
            }
            next[ns] = bestMetric;
        }
        metric = next;
        w.survivors[std::size_t(step)] = decisions;
    }
    if (std::max_element(metric.begin(), metric.end()) - metric.begin() != 0) return false; // tail not zero
    std::array<int, 24> bits{};
    for (unsigned state = 0, step = 24; step-- > 0;) {
        bits[step] = int(state >> 5);
        state = ((state & 31) << 1) | unsigned((w.survivors[step] >> state) & 1);
    }
    int disagreements = 0;
    for (unsigned step = 0, reg = 0; step < 24; ++step) {
        reg = ((reg >> 1) | unsigned(bits[step] << 6)) & 0x7F;
        disagreements += (__builtin_parity(reg & 0b1011011) != (coded[2 * step] > 0)) +
                         (__builtin_parity(reg & 0b1111001) != (coded[2 * step + 1] > 0));
    }
    if (disagreements > 8) return false;
    // The decided SIGNAL symbol is known from here on: its points' errors,
    // with the symbol's phase from all 52 of them.
    std::array<double, 48> sent{};
    for (unsigned step = 0, reg = 0; step < 24; ++step) {
        reg = ((reg >> 1) | unsigned(bits[step] << 6)) & 0x7F;
        for (unsigned half = 0; half < 2; ++half) {
            const int k = int(2 * step + half), bit = __builtin_parity(reg & (half ? 0b1111001 : 0b1011011));
            sent[std::size_t(3 * (k % 16) + k / 16)] = bit ? 1 : -1;
        }
    }
    std::array<Complex, 4> pilots{};
    Complex sum = 0;
    for (int i = 0; i < 4; ++i) {
        pilots[std::size_t(i)] = w.bins[std::size_t(Bin(kPilots[std::size_t(i)]))] * turn * double(kPilotSign[std::size_t(i)]);
        sum += pilots[std::size_t(i)];
    }
    for (int j = 0; j < 48; ++j) sum += signalPoints[std::size_t(j)] * sent[std::size_t(j)];
    const Complex refine = std::polar(1.0, -std::arg(sum));
    for (int j = 0; j < 48; ++j) w.known[std::size_t(w.knownCount++)] = signalPoints[std::size_t(j)] * refine - sent[std::size_t(j)];
    for (const Complex& p : pilots) w.known[std::size_t(w.knownCount++)] = p * refine - 1.0;
    int parity = 0;
    for (int b = 0; b < 18; ++b) parity ^= bits[std::size_t(b)];
    unsigned rateBits = 0;
    for (int b = 0; b < 4; ++b) rateBits |= unsigned(bits[std::size_t(b)]) << b;
    length = 0;
    for (int b = 0; b < 12; ++b) length |= bits[std::size_t(5 + b)] << b;
    rate = nullptr;
    for (const Rate& r : kRates)
        if (r.signalBits == rateBits) rate = &r;
    return rate && parity == 0 && length > 0;
}

// Levels of one axis of the constellation, unit average power per point.
struct Axis {
    std::array<double, 8> level{};
    int count = 0;
};
void AxesFor(int bitsPerCarrier, Axis& inPhase, Axis& quadrature) {
    auto pam = [](Axis& a, int m, double norm) {
        a.count = m;
        for (int i = 0; i < m; ++i) a.level[std::size_t(i)] = (2 * i - (m - 1)) * norm;
    };
    switch (bitsPerCarrier) {
    case 1: pam(inPhase, 2, 1.0), pam(quadrature, 1, 0.0); break;
    case 2: pam(inPhase, 2, std::sqrt(0.5)), pam(quadrature, 2, std::sqrt(0.5)); break;
    case 4: pam(inPhase, 4, 1 / std::sqrt(10.0)), pam(quadrature, 4, 1 / std::sqrt(10.0)); break;
    default: pam(inPhase, 8, 1 / std::sqrt(42.0)), pam(quadrature, 8, 1 / std::sqrt(42.0)); break;
    }
}

double Nearest(const Axis& a, double r) {
    if (a.count == 1) return a.level[0];
    const double spacing = a.level[1] - a.level[0];
    const int i = std::clamp(int(std::lround((r - a.level[0]) / spacing)), 0, a.count - 1);
    return a.level[std::size_t(i)];
}

void AddToHistogram(Histogram& h, double r) {
    const int b = std::clamp(int((r - kBinLow) / kBinWidth), 0, kBins - 1);
    if (h.count[std::size_t(b)] == 0) h.used[std::size_t(h.usedCount++)] = b;
    h.count[std::size_t(b)] += 1;
    h.sum[std::size_t(b)] += r;
    h.square[std::size_t(b)] += r * r;
}

// Expected error and reference power over the histogram when the noise per
// axis has variance v, each level weighted by its likelihood at the bin's mean.
void SoftPass(const Histogram& h, const Axis& a, double v, double& error, double& reference) {
    error = reference = 0;
    for (int u = 0; u < h.usedCount; ++u) {
        const std::size_t b = std::size_t(h.used[std::size_t(u)]);
        const double n = h.count[b], mean = h.sum[b] / n;
        std::array<double, 8> d{};
        double least = 1e300;
        for (int i = 0; i < a.count; ++i) least = std::min(least, d[std::size_t(i)] = (mean - a.level[std::size_t(i)]) * (mean - a.level[std::size_t(i)]));
        double total = 0, e = 0, p = 0;
        for (int i = 0; i < a.count; ++i) {
            const double exponent = (d[std::size_t(i)] - least) / (2 * v);
            if (exponent > 40) continue; // weight below 1e-17
            const double weight = std::exp(-exponent), level = a.level[std::size_t(i)];
            total += weight;
            e += weight * (h.square[b] - 2 * level * h.sum[b] + n * level * level);
            p += weight * n * level * level;
        }
        error += e / total;
        reference += p / total;
    }
}

// RMS EVM over the measured data carriers. The nearest-point figure counts a
// point pushed across a decision boundary as a small error, which reads far
// too good once the noise reaches the boundaries (64-QAM at 10 dB SNR reads
// about -15 dB). Unless the noise is far inside the boundaries, the figure is
// the maximum-likelihood noise variance instead: every constellation point
// weighted by its likelihood, re-estimated until it settles, together with
// the points of known value (training difference, SIGNAL, pilots) that pin
// it down where the data points alone hardly tell noise from constellation.
// Far inside the boundaries both figures are the same.
void Evm(Workspace& w, int symbols, int bitsPerCarrier, RxEvmResult& result) {
    Axis ia, qa;
    AxesFor(bitsPerCarrier, ia, qa);
    double error = 0, reference = 0;
    for (int s = 0; s < symbols; ++s)
        for (const Complex& r : w.data[std::size_t(s)]) {
            const double ni = Nearest(ia, r.real()), nq = Nearest(qa, r.imag());
            error += (r.real() - ni) * (r.real() - ni) + (r.imag() - nq) * (r.imag() - nq);
            reference += ni * ni + nq * nq;
        }
    if (reference <= 0) return;
    result.nearestEvmDb = result.evmDb = 10 * std::log10(error / reference);
    const double points = double(symbols) * 48;
    double v = error / (2 * points); // noise variance per axis
    const double spacing = ia.level[1] - ia.level[0];
    if (!(v > 0) || std::sqrt(v) < spacing / 8) return; // boundaries 4 sigma away: no point crosses
    // BPSK's quadrature axis has the one level 0: its error is fixed.
    Histogram& h = w.histogram;
    h.count.fill(0), h.sum.fill(0), h.square.fill(0), h.usedCount = 0;
    // Points of known value carry the noise without any doubt about the reference.
    double fixedError = 0, fixedPoints = points + w.knownCount;
    for (int k = 0; k < w.knownCount; ++k) fixedError += std::norm(w.known[std::size_t(k)]);
    for (int s = 0; s < symbols; ++s)
        for (const Complex& r : w.data[std::size_t(s)]) {
            AddToHistogram(h, r.real());
            if (qa.count == 1) fixedError += r.imag() * r.imag();
            else AddToHistogram(h, r.imag());
        }
    // Fixed point v = g(v) of the likelihood, with Aitken's step every third pass.
    auto g = [&](double variance) {
        SoftPass(h, ia, variance, error, reference);
        return (error + fixedError) / (2 * fixedPoints);
    };
    for (int pass = 0; pass < 40; ++pass) {
        const double v1 = g(v), v2 = g(v1);
        const double bend = v2 - 2 * v1 + v;
        double next = v2;
        if (std::fabs(bend) > 1e-300) {
            const double jump = v - (v1 - v) * (v1 - v) / bend;
            if (jump > 0 && jump < 16 * v2) next = jump;
        }
        const bool settled = std::fabs(next - v) <= 1e-6 * v;
        v = next;
        if (settled) break;
    }
    g(v);
    if (reference > 0) result.evmDb = 10 * std::log10(2 * v * points / reference);
}

// One candidate packet from the detected short training field; false when it is not one.
bool MeasurePacket(Workspace& w, int runStart, Complex shortCorrelation, RxEvmResult& result) {
    w.knownCount = 0;
    const double coarseHz = -std::arg(shortCorrelation) * kSampleRateHz / (2 * kPi * kPeriod);
    int longStart = 0;
    if (!FindLongTraining(w, runStart, coarseHz, longStart) || longStart < kFft) return false;
    result.detected = true;
    result.longTrainingStart = longStart;
    result.cfoHz = coarseHz + FineOffsetHz(w, longStart);
    const int signalBegin = longStart + 2 * kFft + 32;
    if (signalBegin + kFft > N) return false;
    Derotate(w.x.data(), w.y.data(), longStart - 64, N, result.cfoHz);
    if (!EstimateChannel(w, longStart)) return false;
    const Rate* rate = nullptr;
    int length = 0;
    if (!DecodeSignal(w, signalBegin, rate, length)) return false;
    result.signalValid = true;
    result.rateMbps = rate->mbps;
    result.lengthBytes = length;
    const int declared = (16 + 8 * length + 6 + rate->dataPerSymbol - 1) / rate->dataPerSymbol;
    int symbols = 0;
    for (; symbols < declared && symbols < kMaxSymbols; ++symbols) {
        const int begin = signalBegin + kSymbol * (symbols + 1);
        if (begin + kFft > N) break;
        const int polarity = w.pilotPolarity[std::size_t((symbols + 1) % 127)] ? -1 : 1;
        double phase = Demodulate(w, begin, polarity);
        if (symbols > 0) phase += 2 * kPi * std::round((w.phase[std::size_t(symbols - 1)] - phase) / (2 * kPi)); // unwrap
        w.phase[std::size_t(symbols)] = phase;
        int d = 0;
        for (int k = -26; k <= 26; ++k)
            if (k != 0 && !IsPilot(k)) w.data[std::size_t(symbols)][std::size_t(d++)] = w.bins[std::size_t(Bin(k))];
        for (int i = 0; i < 4; ++i)
            w.pilots[std::size_t(symbols)][std::size_t(i)] =
                w.bins[std::size_t(Bin(kPilots[std::size_t(i)]))] * double(kPilotSign[std::size_t(i)] * polarity);
    }
    result.dataSymbols = symbols;
    if (symbols == 0) return true;
    // Pilot phase tracking: each symbol's common phase from a straight line
    // through the pilots' phases of it and its two neighbours either side.
    std::array<double, kMaxSymbols> tracked{};
    for (int s = 0; s < symbols; ++s) {
        const int from = std::max(0, s - 2), to = std::min(symbols - 1, s + 2), count = to - from + 1;
        double meanX = 0, meanY = 0;
        for (int j = from; j <= to; ++j) meanX += j, meanY += w.phase[std::size_t(j)];
        meanX /= count, meanY /= count;
        double sxy = 0, sxx = 0;
        for (int j = from; j <= to; ++j) {
            sxy += (j - meanX) * (w.phase[std::size_t(j)] - meanY);
            sxx += (j - meanX) * (j - meanX);
        }
        tracked[std::size_t(s)] = meanY + (sxx > 0 ? sxy / sxx * (s - meanX) : 0);
    }
    // Then the symbol's remaining common phase from all its carriers, the
    // data ones against their nearest points: 52 carriers instead of four.
    Axis ia, qa;
    AxesFor(rate->bitsPerCarrier, ia, qa);
    for (int s = 0; s < symbols; ++s) {
        auto& data = w.data[std::size_t(s)];
        auto& pilots = w.pilots[std::size_t(s)];
        Complex turn = std::polar(1.0, -tracked[std::size_t(s)]);
        for (Complex& c : data) c *= turn;
        for (Complex& c : pilots) c *= turn;
        Complex sum = 0;
        for (const Complex& c : data) sum += c * std::conj(Complex(Nearest(ia, c.real()), Nearest(qa, c.imag())));
        for (const Complex& c : pilots) sum += c;
        turn = std::polar(1.0, -std::arg(sum));
        for (Complex& c : data) c *= turn;
        for (Complex& c : pilots) w.known[std::size_t(w.knownCount++)] = c * turn - 1.0;
    }
    Evm(w, symbols, rate->bitsPerCarrier, result);
    return true;
}

} // namespace

RxEvmResult MeasureRxEvm(const std::int32_t* i, const std::int32_t* q) {
    RxEvmResult result;
    if (!i || !q) return result;
    const auto work = std::make_unique_for_overwrite<Workspace>(); // every part is written before it is read
    Workspace& w = *work;
    Prepare(w);
    Complex mean = 0;
    for (int n = 0; n < N; ++n) mean += Complex(i[n], q[n]);
    mean /= double(N);
    for (int n = 0; n < N; ++n) w.x[std::size_t(n)] = Complex(i[n], q[n]) - mean;
    // Half-band low-pass (-1 0 9 16 9 0 -1)/32: -6 dB at 10 MHz, the upper band mostly gone.
    for (int n = 0; n < N; ++n) {
        auto at = [&](int m) { return m >= 0 && m < N ? w.x[std::size_t(m)] : Complex(0); };
        w.s[std::size_t(n)] = (16.0 * at(n) + 9.0 * (at(n - 1) + at(n + 1)) - (at(n - 3) + at(n + 3))) / 32.0;
    }
    int from = 0, runStart = 0, runEnd = 0;
    Complex correlation;
    while (DetectShortTraining(w, from, runStart, runEnd, correlation)) {
        RxEvmResult candidate;
        if (MeasurePacket(w, runStart, correlation, candidate)) return candidate;
        if (candidate.detected) result = candidate; // keeps what was learned of a bad packet
        from = runEnd + 1;
    }
    return result;
}

} // namespace ostra

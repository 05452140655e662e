#include "agent/ofdm_packet.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>

namespace vq::agent {
namespace {

using Complex = std::complex<double>;
constexpr int kFft = 128;           // 3.2 us at 40 Msamples/s: 64 subcarriers of 312.5 kHz plus the upper band
constexpr int kGuard = 32;          // 0.8 us cyclic prefix
constexpr int kSymbol = kFft + kGuard;

constexpr std::array<OfdmRate, 8> kRates{{
    {6, 0b1011, 1, 48, 24, 1, 2},
    {9, 0b1111, 1, 48, 36, 3, 4},
    {12, 0b1010, 2, 96, 48, 1, 2},
    {18, 0b1110, 2, 96, 72, 3, 4},
    {24, 0b1001, 4, 192, 96, 1, 2},
    {36, 0b1101, 4, 192, 144, 3, 4},
    {48, 0b1000, 6, 288, 192, 2, 3},
    {54, 0b1100, 6, 288, 216, 3, 4},
}};

// Long training symbol on subcarriers -26..26.
constexpr std::array<int, 53> kLong{1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 0,
                                    1, -1, -1, 1, 1, -1, 1, -1, 1, -1, -1, -1, -1, -1, 1, 1, -1, -1, 1, -1, 1, -1, 1, 1, 1, 1};

int Bin(int carrier) { return (carrier + kFft) % kFft; }
bool IsPilot(int k) { return k == -21 || k == -7 || k == 7 || k == 21; }

// Inverse FFT of 128 bins, unscaled (radix 2, in place).
void Ifft(std::array<Complex, kFft>& a) {
    for (int i = 1, j = 0; i < kFft; ++i) {
        int bit = kFft >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (int len = 2; len <= kFft; len <<= 1) {
        const Complex w = std::polar(1.0, 2 * std::numbers::pi / len);
        for (int i = 0; i < kFft; i += len) {
            Complex t = 1;
            for (int k = 0; k < len / 2; ++k, t *= w) {
                const Complex u = a[i + k], v = a[i + k + len / 2] * t;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// The 127-bit scrambler sequence x^7 + x^4 + 1 from a 7-bit state.
struct Scrambler {
    unsigned state;
    int Next() {
        const int bit = ((state >> 6) ^ (state >> 3)) & 1;
        state = ((state << 1) | unsigned(bit)) & 0x7F;
        return bit;
    }
};

// Rate 1/2, constraint length 7 code (133, 171 octal), punctured to the rate's ratio.
std::vector<int> Encode(const std::vector<int>& bits, const OfdmRate& rate) {
    std::vector<int> out;
    out.reserve(bits.size() * 2);
    unsigned reg = 0;
    for (std::size_t n = 0; n < bits.size(); ++n) {
        reg = ((reg >> 1) | unsigned(bits[n] << 6)) & 0x7F;
        const int a = __builtin_parity(reg & 0b1011011), b = __builtin_parity(reg & 0b1111001);
        // Puncturing: 3/4 sends A0 B0 A1 B2 of each three bits, 2/3 sends A0 B0 A1 of each two.
        if (rate.punctureDenominator == 4) {
            const int phase = int(n % 3);
            if (phase != 2) out.push_back(a);
            if (phase != 1) out.push_back(b);
        } else if (rate.punctureDenominator == 3) {
            out.push_back(a);
            if (n % 2 == 0) out.push_back(b);
        } else {
            out.push_back(a);
            out.push_back(b);
        }
    }
    return out;
}

// One symbol's coded bits mapped onto the 48 data subcarriers (-26..26 without pilots and DC).
void MapSymbol(const int* coded, const OfdmRate& rate, std::array<Complex, kFft>& bins) {
    const int n = rate.codedPerSymbol, bpsc = rate.bitsPerCarrier, s = std::max(bpsc / 2, 1);
    std::vector<int> inter(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        const int i = (n / 16) * (k % 16) + k / 16;
        const int j = s * (i / s) + (i + n - (16 * i) / n) % s;
        inter[std::size_t(j)] = coded[k];
    }
    // Gray-coded levels of one axis from its bits (first bit most significant).
    auto level = [](const int* b, int count) {
        switch (count) {
        case 1: return b[0] ? 1.0 : -1.0;
        case 2: return (b[0] ? 1.0 : -1.0) * (b[1] ? 1.0 : 3.0);
        default: return (b[0] ? 1.0 : -1.0) * (b[1] ? (b[2] ? 3.0 : 1.0) : (b[2] ? 5.0 : 7.0));
        }
    };
    const double norm = bpsc == 1 ? 1.0 : bpsc == 2 ? std::sqrt(0.5) : bpsc == 4 ? 1 / std::sqrt(10.0) : 1 / std::sqrt(42.0);
    int d = 0;
    for (int k = -26; k <= 26; ++k) {
        if (k == 0 || IsPilot(k)) continue;
        const int* b = &inter[std::size_t(d * bpsc)];
        const Complex point = bpsc == 1 ? Complex(level(b, 1), 0) : Complex(level(b, bpsc / 2), level(b + bpsc / 2, bpsc / 2));
        bins[std::size_t(Bin(k))] = point * norm;
        ++d;
    }
}

void AddPilots(int polarity, std::array<Complex, kFft>& bins) {
    bins[Bin(-21)] = polarity;
    bins[Bin(-7)] = polarity;
    bins[Bin(7)] = polarity;
    bins[Bin(21)] = -polarity;
}

// Appends one OFDM symbol: cyclic prefix then the 128-sample body.
void AppendSymbol(std::array<Complex, kFft> bins, std::vector<Complex>& out) {
    Ifft(bins);
    for (int n = kFft - kGuard; n < kFft; ++n) out.push_back(bins[std::size_t(n)]);
    out.insert(out.end(), bins.begin(), bins.end());
}

// The packet at unit scale, 40 Msamples/s.
std::vector<Complex> Packet(const OfdmPacketOptions& o, const OfdmRate& rate, std::mt19937& random) {
    std::vector<Complex> out;
    // Short training: subcarriers at multiples of 4 repeat every 0.8 us; ten repetitions.
    {
        constexpr std::array<int, 12> sign{1, -1, 1, -1, -1, 1, -1, -1, 1, 1, 1, 1};
        std::array<Complex, kFft> bins{};
        const double g = std::sqrt(13.0 / 6.0);
        for (int i = 0, k = -24; k <= 24; k += 4) {
            if (k == 0) continue;
            bins[std::size_t(Bin(k))] = g * sign[std::size_t(i++)] * Complex(1, 1);
        }
        Ifft(bins);
        for (int n = 0; n < 320; ++n) out.push_back(bins[std::size_t(n % 32)]);
    }
    // Long training: a 1.6 us guard (the symbol's second half) and two long symbols.
    {
        std::array<Complex, kFft> bins{};
        for (int k = -26; k <= 26; ++k) bins[std::size_t(Bin(k))] = kLong[std::size_t(k + 26)];
        Ifft(bins);
        for (int n = 64; n < kFft; ++n) out.push_back(bins[std::size_t(n)]);
        out.insert(out.end(), bins.begin(), bins.end());
        out.insert(out.end(), bins.begin(), bins.end());
    }
    Scrambler pilots{0x7F};
    // SIGNAL: rate, reserved, 12-bit length (LSB first), even parity, six tail bits; BPSK rate 1/2.
    {
        std::vector<int> bits(24, 0);
        const unsigned rateBits = o.signalFault == OfdmPacketOptions::SignalFault::Rate ? 0b0000u : rate.signalBits;
        for (int b = 0; b < 4; ++b) bits[std::size_t(b)] = int((rateBits >> b) & 1);
        for (int b = 0; b < 12; ++b) bits[std::size_t(5 + b)] = (o.lengthBytes >> b) & 1;
        int parity = 0;
        for (int b = 0; b < 17; ++b) parity ^= bits[std::size_t(b)];
        bits[17] = parity ^ (o.signalFault == OfdmPacketOptions::SignalFault::Parity ? 1 : 0);
        const OfdmRate& six = kRates[0];
        const std::vector<int> coded = Encode(bits, six);
        std::array<Complex, kFft> bins{};
        MapSymbol(coded.data(), six, bins);
        AddPilots(pilots.Next() ? -1 : 1, bins);
        AppendSymbol(bins, out);
    }
    // DATA: 16 service bits, the PSDU LSB first, 6 tail bits, padding; scrambled, tail reset to zero.
    {
        const int payload = 16 + 8 * o.lengthBytes + 6;
        const int symbols = (payload + rate.dataPerSymbol - 1) / rate.dataPerSymbol;
        std::vector<int> bits(std::size_t(symbols * rate.dataPerSymbol), 0);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int n = 0; n < o.lengthBytes; ++n) {
            const int value = byte(random);
            for (int b = 0; b < 8; ++b) bits[std::size_t(16 + 8 * n + b)] = (value >> b) & 1;
        }
        Scrambler scrambler{0x5D};
        for (int& b : bits) b ^= scrambler.Next();
        for (int b = 0; b < 6; ++b) bits[std::size_t(16 + 8 * o.lengthBytes + b)] = 0;
        const std::vector<int> coded = Encode(bits, rate);
        for (int s = 0; s < symbols; ++s) {
            std::array<Complex, kFft> bins{};
            MapSymbol(&coded[std::size_t(s * rate.codedPerSymbol)], rate, bins);
            AddPilots(pilots.Next() ? -1 : 1, bins);
            AppendSymbol(bins, out);
        }
    }
    return out;
}

} // namespace

const OfdmRate* FindOfdmRate(int mbps) {
    for (const OfdmRate& r : kRates)
        if (r.mbps == mbps) return &r;
    return nullptr;
}

std::size_t OfdmPacketSamples(const OfdmPacketOptions& o) {
    const OfdmRate* rate = FindOfdmRate(o.rateMbps);
    if (!rate) return 0;
    const int symbols = (16 + 8 * o.lengthBytes + 6 + rate->dataPerSymbol - 1) / rate->dataPerSymbol;
    return std::size_t(640 + kSymbol * (1 + symbols));
}

std::vector<std::complex<double>> OfdmCaptureSamples(const OfdmPacketOptions& o) {
    std::vector<Complex> capture(kCaptureSamples);
    const OfdmRate* rate = FindOfdmRate(o.rateMbps);
    std::mt19937 random(o.seed);
    const bool noisy = std::isfinite(o.snrDb) && o.snrDb < 200;
    // All signal power lies in 52 of the 128 bins; white noise spreads over all 128.
    const double noisePerSignal = noisy ? std::pow(10.0, -o.snrDb / 10) * kFft / 52 : 0;
    std::vector<Complex> packet;
    double signalScale = 0;
    if (rate && o.lengthBytes >= 1 && o.lengthBytes <= 4095) {
        packet = Packet(o, *rate, random);
        double power = 0;
        for (const Complex& c : packet) power += std::norm(c);
        power /= double(packet.size());
        // Signal plus noise at `level` RMS per component keeps the peaks inside the ADC's range.
        signalScale = o.level * std::sqrt(2 / (power * (1 + noisePerSignal)));
    }
    const double noiseSigma = o.level * std::sqrt(noisePerSignal / (1 + noisePerSignal)); // per component
    std::normal_distribution<double> gauss(0, 1);
    const double w = 2 * std::numbers::pi * o.cfoHz / kCaptureRateHz;
    for (std::size_t n = 0; n < kCaptureSamples; ++n) {
        Complex v = 0;
        const long p = long(n) - o.start;
        if (p >= 0 && std::size_t(p) < packet.size()) v = packet[std::size_t(p)] * signalScale * std::polar(1.0, w * double(n));
        if (noisy) v += Complex(gauss(random), gauss(random)) * noiseSigma;
        capture[n] = Complex(std::clamp(std::round(v.real()), -128.0, 127.0), std::clamp(std::round(v.imag()), -128.0, 127.0));
    }
    return capture;
}

std::vector<std::uint32_t> OfdmCaptureWords(const OfdmPacketOptions& o) {
    std::vector<std::uint32_t> words;
    words.reserve(kCaptureSamples);
    for (const Complex& c : OfdmCaptureSamples(o))
        words.push_back((std::uint32_t(std::uint8_t(std::int8_t(c.real()))) << 8) | std::uint8_t(std::int8_t(c.imag())));
    return words;
}

std::optional<OfdmPacketOptions> ParseOfdmLoopback(std::string_view text, std::string* error) {
    OfdmPacketOptions o;
    auto fail = [&](const std::string& message) -> std::optional<OfdmPacketOptions> {
        if (error) *error = message;
        return std::nullopt;
    };
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.empty()) continue;
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) return fail("OFDM loopback: \"" + std::string(item) + "\" is not key=value");
        const std::string key(item.substr(0, eq)), value(item.substr(eq + 1));
        if (key == "fault") {
            if (value == "parity") o.signalFault = OfdmPacketOptions::SignalFault::Parity;
            else if (value == "rate") o.signalFault = OfdmPacketOptions::SignalFault::Rate;
            else if (value == "none") o.signalFault = OfdmPacketOptions::SignalFault::None;
            else return fail("OFDM loopback: fault must be parity, rate or none");
            continue;
        }
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != 0 || std::isnan(v)) return fail("OFDM loopback: " + key + " needs a number");
        auto integer = [&](double lo, double hi, int& out) {
            if (v != std::floor(v) || v < lo || v > hi) return false;
            out = int(v);
            return true;
        };
        int seed = 0;
        bool ok = true;
        if (key == "rate") ok = integer(6, 54, o.rateMbps) && FindOfdmRate(o.rateMbps);
        else if (key == "snr") o.snrDb = v, ok = v >= -10;
        else if (key == "cfo") o.cfoHz = v, ok = std::fabs(v) <= 600e3;
        else if (key == "start") ok = integer(0, double(kCaptureSamples - 1), o.start);
        else if (key == "length") ok = integer(1, 4095, o.lengthBytes);
        else if (key == "seed") ok = integer(0, 2147483647, seed), o.seed = std::uint32_t(seed);
        else if (key == "level") o.level = v, ok = v > 0 && v <= 64;
        else return fail("OFDM loopback: unknown option \"" + key + "\"");
        if (!ok) return fail("OFDM loopback: " + key + "=" + value + " is out of range");
    }
    return o;
}

} // namespace vq::agent

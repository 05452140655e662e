// Legacy 20 MHz OFDM packet as the board's receiver sees it in loopback: the
// baseband the capture memory records while the transmitter sends one packet,
// at 40 Msamples/s (the 20 MHz channel oversampled by 2), with white noise,
// a carrier frequency offset and quantisation to the ADC's signed 8 bits.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq::agent {

constexpr std::size_t kCaptureSamples = 8192;
constexpr double kCaptureRateHz = 40e6;

// What the transmitter sends and what the air adds on the way back.
struct OfdmPacketOptions {
    int rateMbps = 54;            // 6, 9, 12, 18, 24, 36, 48 or 54
    double snrDb = 30;            // signal to noise in the 52 used subcarriers; NaN or >= 200: no noise
    double cfoHz = 0;             // receiver's view of the carrier offset
    int start = 300;              // capture sample of the packet's first sample
    int lengthBytes = 100;        // PSDU length, 1..4095
    std::uint32_t seed = 1;       // payload and noise
    double level = 28;            // RMS per I and Q component of signal plus noise, in ADC steps
    enum class SignalFault { None, Parity, Rate } signalFault = SignalFault::None; // a SIGNAL field to reject
};

// Parameters of a legacy rate; nullptr for a rate that does not exist.
struct OfdmRate {
    int mbps;
    std::uint8_t signalBits;      // R1..R4, R1 in bit 0 (sent first)
    int bitsPerCarrier;           // 1, 2, 4, 6
    int codedPerSymbol;           // coded bits per OFDM symbol
    int dataPerSymbol;            // data bits per OFDM symbol
    int punctureNumerator;        // code rate numerator over...
    int punctureDenominator;      // ...denominator: 1/2, 2/3 or 3/4
};
const OfdmRate* FindOfdmRate(int mbps);

// Samples the packet spans at 40 Msamples/s: preamble 640, SIGNAL 160, 160 per data symbol.
std::size_t OfdmPacketSamples(const OfdmPacketOptions& options);

// The capture: kCaptureSamples complex values, each I and Q already rounded
// and clipped to the ADC's -128..127 as the capture memory holds them (the
// pluggable baseband source of the simulated capture memory). Noise fills the
// samples before and after the packet; a packet running past the end is cut;
// an unknown rate or a length outside 1..4095 leaves noise only.
std::vector<std::complex<double>> OfdmCaptureSamples(const OfdmPacketOptions& options);

// The same as the capture memory's words: I in bits 8..15, Q in bits 0..7.
std::vector<std::uint32_t> OfdmCaptureWords(const OfdmPacketOptions& options);

// Agent option text "rate=54,snr=30,cfo=100e3,start=300" (any subset, any order;
// also length=, seed=, level=, fault=parity|rate). Unknown keys and values out
// of range give nullopt and a message in `error`.
std::optional<OfdmPacketOptions> ParseOfdmLoopback(std::string_view text, std::string* error = nullptr);

} // namespace vq::agent

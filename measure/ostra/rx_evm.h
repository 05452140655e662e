// RX EVM of one legacy 20 MHz OFDM packet in a baseband capture: 8192 I and
// 8192 Q ADC samples at 40 Msamples/s (the 20 MHz channel oversampled by 2).
// Standard library only; every call works in one buffer of its own, so calls
// from several threads do not meet.
#pragma once

#include <cstdint>
#include <limits>

namespace ostra {

constexpr int kCaptureSamples = 8192;
constexpr double kSampleRateHz = 40e6;

struct RxEvmResult {
    double evmDb = std::numeric_limits<double>::quiet_NaN();        // the figure; NaN: no packet, bad SIGNAL
    double nearestEvmDb = std::numeric_limits<double>::quiet_NaN(); // errors to the nearest points only
    bool detected = false;      // a short training field with a matching long training field
    bool signalValid = false;   // SIGNAL decoded with a known rate, even parity and zero tail
    int rateMbps = 0;
    int lengthBytes = 0;
    int longTrainingStart = -1; // capture sample where the first long training symbol begins
    double cfoHz = 0;           // carrier offset, short then long training field
    int dataSymbols = 0;        // data symbols measured (those wholly inside the capture)
};

RxEvmResult MeasureRxEvm(const std::int32_t* i, const std::int32_t* q);

} // namespace ostra

#include "agent/measurement_engine.h"

#include <algorithm>
#include <cmath>

namespace vq::agent {

namespace {
constexpr std::uint8_t kStart = 0x00, kStartValue = 0x9B, kIndex = 0xBA, kSelector = 0xBB, kData = 0xBC;
constexpr int kMaxReading = 0xFFFF; // the engine saturates at the 17-bit range
} // namespace

int MeasurementEngineDevice::SignedValue(std::uint8_t raw, int bits) {
    const int mask = (1 << bits) - 1;
    int v = raw & mask;
    // The 4-bit IQ field runs -7..+8: 0x08 is +8.
    const int top = bits == 4 ? 8 : (1 << (bits - 1)) - 1;
    if (v > top) v -= mask + 1;
    return v;
}

double MeasurementEngineDevice::ResidualPower(BoardModel& board) const {
    const bool rxLoop = board.Rf(0, 1) == 0x41;
    double p = floorPower;
    for (int a = 0; a < kAxes; ++a) {
        const bool rxAxis = a == k37 || a == k35;
        if (rxAxis != rxLoop) continue;
        const double d = SignedValue(board.Indirect158(axes[a].index), axes[a].bits) - axes[a].centre;
        p += axes[a].weight * d * d;
    }
    return p;
}

double MeasurementEngineDevice::Noise() {
    random_ = random_ * 1664525u + 1013904223u;
    return ((random_ >> 8) / double(1u << 24) * 2.0 - 1.0) * noise;
}

void MeasurementEngineDevice::Measure(BoardModel& board) {
    const double amplitude = std::sqrt(ResidualPower(board)) * (1.0 + Noise());
    // The residual's phase depends on the setting; a fixed 30 degrees is enough here.
    auto clip = [](double v) { return int(std::clamp(std::lround(v), long(-kMaxReading), long(kMaxReading))); };
    lastYi = clip(amplitude * 0.8660254);
    lastYq = clip(amplitude * 0.5);
    ++measurements;
}

bool MeasurementEngineDevice::BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) {
    if (reg != 159) return false;
    const std::uint8_t index = board.RawBbp(158);
    if (index == kStart && value == kStartValue) {
        board.SetIndirect158(index, value);
        Measure(board);
        return true;
    }
    if (index == kIndex) lastIndex = value;
    if (index == kSelector) selector_ = value;
    return false; // stored as usual
}

bool MeasurementEngineDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    // Until the engine has measured, entry 0xBC is plain table storage.
    if (reg != 159 || board.RawBbp(158) != kData || measurements == 0) return false;
    const unsigned raw = unsigned(selector_ >= 3 ? lastYq : lastYi) & 0x1FFFF;
    value = std::uint8_t(raw >> (8 * (selector_ % 3)));
    return true;
}

void MeasurementEngineDevice::Reset(BoardModel&) {
    random_ = seed;
    measurements = 0;
    lastIndex = -1;
    lastYi = lastYq = 0;
    selector_ = 0;
}

} // namespace vq::agent

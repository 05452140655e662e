#include "agent/capture_memory.h"

#include "agent/txrx_counters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vq::agent {

namespace {

std::uint8_t Code(float v) {
    return std::uint8_t(std::int8_t(std::clamp(std::lround(v), -128L, 127L)));
}

} // namespace

bool CaptureMemoryDevice::MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) {
    if (address != kControl) return false;
    if (armed_ && !neverTrigger && ++readsArmed_ >= 2) Trigger(board);
    value = control_ | (armed_ ? kArm : 0) | end_;
    return true;
}

bool CaptureMemoryDevice::MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) {
    if (address == 0x1004 && (value & 0x20)) loopbackLatched_ = true;
    if (address != kControl) return false;
    board.SetRawMac(address, value); // the last value written, as tests and dumps see it
    control_ = value & ~(kArm | kForce | kEndMask);
    if (value & kForce) {
        if (armed_ && !neverTrigger) Trigger(board);
        return true;
    }
    armed_ = (value & kArm) != 0;
    readsArmed_ = 0;
    return true;
}

void CaptureMemoryDevice::Reset(BoardModel& board) {
    control_ = 0;
    end_ = 0;
    armed_ = false;
    readsArmed_ = 0;
    captures = 0;
    loopbackLatched_ = false;
}

void CaptureMemoryDevice::Trigger(BoardModel& board) {
    std::vector<std::complex<float>> samples(kSamples);
    auto* txrx = board.Device<TxRxCountersDevice>();
    if (!txrx || !txrx->transmitting) loopbackLatched_ = false;
    const bool loopback = loopbackLatched_;
    if (source_) {
        source_(samples);
    } else if (ofdmLoopback || loopback) {
        OfdmPacketOptions o = ofdmLoopback.value_or(OfdmPacketOptions{});
        o.seed += captures;
        const auto packet = OfdmCaptureSamples(o);
        for (std::size_t n = 0; n < samples.size() && n < packet.size(); ++n)
            samples[n] = std::complex<float>(packet[n]);
    } else {
        Synthesize(board, samples);
    }
    samples.resize(kSamples);
    end_ = nextEnd & kEndMask;
    for (int n = 0; n < kSamples; ++n) {
        const std::uint32_t p = (end_ + std::uint32_t(n)) & kEndMask;
        const std::uint32_t iq = (std::uint32_t(Code(samples[std::size_t(n)].real())) << 8) |
                                 Code(samples[std::size_t(n)].imag());
        board.SetRawMac(0x8000 + 4 * p, iq | (iq << 16));
        const std::uint32_t a = 0x4000 + 4 * (p / 2);
        const std::uint32_t word = board.RawMac(a);
        board.SetRawMac(a, (p & 1) ? (word & 0x0000FFFF) | (iq << 16) : (word & 0xFFFF0000) | iq);
    }
    // The next capture ends elsewhere in the ring.
    nextEnd = (nextEnd + 0x0A37 + (control_ >> 16)) & kEndMask;
    armed_ = false;
    readsArmed_ = 0;
    ++captures;
}

void CaptureMemoryDevice::Synthesize(BoardModel& board, std::vector<std::complex<float>>& out) {
    const double sigma = std::clamp(10.0 * std::pow(10.0, (int(board.R66(0)) - 0x24) / 40.0), 0.3, 60.0);
    std::normal_distribution<float> noise(0.0f, float(sigma));
    const auto* txrx = board.Device<TxRxCountersDevice>();
    const bool tone = toneOn || (txrx && txrx->transmitting);
    const double step = -2 * std::numbers::pi * toneOffsetMHz / 40.0;
    const double phase0 = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(random_);
    for (std::size_t n = 0; n < out.size(); ++n) {
        std::complex<float> v(noise(random_), noise(random_));
        if (tone) v += std::polar(float(toneAmplitude), float(phase0 + step * double(n)));
        out[n] = v;
    }
}

} // namespace vq::agent

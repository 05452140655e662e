#include "agent/nhm.h"

namespace vq::agent {

std::array<std::uint32_t, 12> NhmDevice::Histogram(unsigned period, std::uint32_t seed) {
    // Share of the samples per bin in 1/1000: a quiet channel with rare bursts.
    static constexpr unsigned kShare[11] = {520, 210, 110, 60, 40, 25, 15, 10, 5, 3, 2};
    const std::uint32_t total = period * 1024u;
    std::array<std::uint32_t, 12> h{};
    std::uint32_t used = 0;
    for (int b = 10; b >= 1; --b) {
        seed = seed * 1664525u + 1013904223u;
        const std::uint32_t base = std::uint32_t(std::uint64_t(total) * kShare[b] / 1000);
        const std::uint32_t spread = base / 8 + 1;
        h[b] = base - spread / 2 + (seed >> 8) % spread;
        used += h[b];
    }
    h[0] = total > used ? total - used : 0;
    h[11] = h[0] + h[1] + h[2];
    return h;
}

bool NhmDevice::MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) {
    if (address != kControl) return false;
    board.SetRawMac(kControl, value);
    if (value & kStart) {
        running_ = true;
        period_ = value & 0xFFFF;
        endUs_ = board.NowUs() + std::uint64_t(period_) * 1024;
        ++started;
    }
    return true;
}

bool NhmDevice::MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) {
    if (address != kControl) return false;
    if (running_ && !stuck && board.NowUs() >= endUs_) Finish(board);
    value = board.RawMac(kControl);
    return true;
}

void NhmDevice::Finish(BoardModel& board) {
    running_ = false;
    board.SetRawMac(kControl, board.RawMac(kControl) & ~kStart);
    // Without the receiver (MAC 0x1004 bit 3) nothing is sampled.
    std::array<std::uint32_t, 12> h{};
    if (board.RawMac(0x1004) & 8) h = Histogram(period_, started * 2654435761u);
    for (int v = 0; v < 12; ++v)
        for (int b = 0; b < 4; ++b)
            result_[4 * v + b] = std::uint8_t(h[v] >> (8 * b));
    readPos_ = 0;
}

bool NhmDevice::BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) {
    if (reg != 145 || board.RawBbp(144) != kReadout) return false;
    readPos_ = 0;
    return true;
}

bool NhmDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    if (reg != 145 || board.RawBbp(144) != kReadout) return false;
    value = result_[readPos_ % result_.size()];
    ++readPos_;
    return true;
}

void NhmDevice::Reset(BoardModel&) {
    running_ = false;
    started = 0;
    stuck = false;
    result_ = {};
    readPos_ = 0;
}

} // namespace vq::agent

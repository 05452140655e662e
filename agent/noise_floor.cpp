#include "agent/noise_floor.h"

#include "agent/txrx_counters.h"

#include <algorithm>

namespace vq::agent {

std::uint32_t NoiseFloorDevice::ChannelKey(BoardModel& board) {
    // Synthesizer N (R20) and the upper fraction bits (R19 bits 0..1, R18): one value per channel.
    return (std::uint32_t(board.Rf(0, 20)) << 10) | ((board.Rf(0, 19) & 3u) << 8) | board.Rf(0, 18);
}

int NoiseFloorDevice::FloorDbm(std::uint32_t channelKey, int path) {
    // Between -97 and -90 dBm, scattered over the channels, a little worse on the later paths.
    return -97 + int(((channelKey * 2654435761u) >> 13) % 8) + path;
}

int NoiseFloorDevice::RawFor(int dbm, std::int8_t offset, std::uint8_t gain) {
    return -dbm - offset - gain - 12;
}

bool NoiseFloorDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    if (reg < 50 || reg > 52) return false;
    const int path = reg - 50;
    const auto* counters = board.Device<TxRxCountersDevice>();
    const int paths = ((board.RawBbp(3) >> 3) & 3) + 1; // R3 bits 3..4: receive paths - 1
    if (!counters || !counters->receiving || path >= paths) {
        value = 0;
        return true;
    }
    const std::uint16_t offsets = board.EepromWord(path < 2 ? 0x46 : 0x48);
    const std::int8_t offset = std::int8_t(path == 1 ? offsets >> 8 : offsets & 0xFF);
    const std::uint8_t gain = std::uint8_t(board.EepromWord(0x44) & 0xFF);
    int raw = RawFor(FloorDbm(ChannelKey(board), path), offset, gain);
    // More front-end gain than the measurement's fixed 0x10 lifts the noise.
    raw -= (int(board.R66(path)) - 0x10) / 4;
    noise_ = noise_ * 1103515245u + 12345u;
    if (jitter) raw += int((noise_ >> 16) % (2 * jitter + 1)) - int(jitter);
    value = std::uint8_t(std::clamp(raw, 1, 255));
    return true;
}

} // namespace vq::agent

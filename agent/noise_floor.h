// Received noise of the simulated chip: while the receiver runs, BBP R50..R52
// give the raw RSSI of receive paths 0..2 for the noise floor of the tuned
// channel (told apart by the synthesizer's settings in RF R18..R20), the fixed gain
// of R66 and the receive path count of BBP R3. Raw 0 (nothing measured) for
// a path that is off or while the receiver is stopped.
#pragma once

#include "agent/board_model.h"

#include <cstdint>

namespace vq::agent {

class NoiseFloorDevice : public BoardDevice {
  public:
    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;

    // The tuned channel as the synthesizer registers tell it.
    static std::uint32_t ChannelKey(BoardModel& board);
    // Noise floor of a channel key and path in dBm before the jitter.
    static int FloorDbm(std::uint32_t channelKey, int path);
    // Raw RSSI for a floor in dBm, as the EEPROM's RSSI offset and LNA gain
    // (2.4 GHz words) turn it back: raw = -dBm - offset - gain - 12.
    static int RawFor(int dbm, std::int8_t offset, std::uint8_t gain);
    unsigned jitter = 3; // +- raw steps from sample to sample

  private:
    std::uint32_t noise_ = 0x9447u;
};

} // namespace vq::agent

// Channel synthesizer table of the VQ9447 radio (2.4 GHz, one row per channel).
#pragma once

#include <cstdint>

namespace vq {

struct ChannelSynthEntry {
    std::uint8_t channel; // 1..14
    double carrier;       // GHz
    double vco;           // MHz, 4/3 of the carrier
    std::uint16_t n;      // integer divider
    double r;             // reference divider
    std::int32_t k;
    std::uint8_t d;
    std::uint32_t ksd; // sigma-delta fraction
};

constexpr int kSynthTableSize = 14;
extern const ChannelSynthEntry kVq9447SynthTable[kSynthTableSize];

// Entry of a channel index (0..13); null outside the table.
const ChannelSynthEntry* SynthEntry(int index);

} // namespace vq

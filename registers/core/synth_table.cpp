#include "registers/core/synth_table.h"

namespace vq {

namespace {
constexpr ChannelSynthEntry Row(std::uint8_t ch, double carrier, std::uint16_t n, std::uint32_t ksd) {
    return {ch, carrier, carrier * 4000.0 / 3.0, n, 0.5, 0, 8, ksd};
}
} // namespace

// Crystal and divider settings of the VQ9447 board: R = 0.5, K = 0, D = 8.
const ChannelSynthEntry kVq9447SynthTable[kSynthTableSize] = {
    Row(1, 2.412, 80, 0x19999),  Row(2, 2.417, 80, 0x24444),  Row(3, 2.422, 80, 0x2EEEE),
    Row(4, 2.427, 80, 0x39999),  Row(5, 2.432, 81, 0x4444),   Row(6, 2.437, 81, 0xEEEE),
    Row(7, 2.442, 81, 0x19999),  Row(8, 2.447, 81, 0x24444),  Row(9, 2.452, 81, 0x2EEEE),
    Row(10, 2.457, 81, 0x39999), Row(11, 2.462, 82, 0x4444),  Row(12, 2.467, 82, 0xEEEE),
    Row(13, 2.472, 82, 0x19999), Row(14, 2.484, 82, 0x33333),
};

const ChannelSynthEntry* SynthEntry(int index) {
    if (index < 0 || index >= kSynthTableSize) return nullptr;
    return &kVq9447SynthTable[index];
}

} // namespace vq

// Built-in register tables that bring the VQ9447 radio into its test state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vq {

struct BbpWriteEntry {
    std::uint8_t reg;
    std::uint8_t value;
};

struct IndirectEntry {
    std::uint8_t index;
    std::uint8_t value;
};

struct RfWriteEntry {
    std::uint8_t bank;
    std::uint8_t reg;
    std::uint8_t value;
};

// BBP start-up values, written in this order (R186..R188 twice).
constexpr std::size_t kBbpInitCount = 48;
extern const BbpWriteEntry kBbpInitTable[kBbpInitCount];

// Indirect table reached through R158 (index) / R159 (data).
constexpr std::size_t kR158TableCount = 20;
extern const IndirectEntry kR158Table[kR158TableCount];

// Indirect table reached through R195 (index) / R196 (data).
constexpr std::size_t kR195TableCount = 83;
extern const IndirectEntry kR195Table[kR195TableCount];

// RF start-up values: bank 0 without R7, then banks 4, 5, 6 (= 4) and 7 (= 5).
constexpr std::size_t kRfInitCount = 319;
// Register values of one bank, R0 upwards; -1 = not written.
extern const std::int16_t kRfBank0Init[64];
extern const std::uint8_t kRfBank4Init[64];
extern const std::uint8_t kRfBank5Init[64];
// The 319 writes in the order they are made.
const RfWriteEntry* RfInitTable();

} // namespace vq

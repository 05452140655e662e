// eFuse controller access (MAC registers 0x580 and 0x590..0x59C) used by the
// EEPROM routing when the session's EEPROM source is the eFuse.
#pragma once

#include <cstdint>

namespace vq {

class CDeviceCommands;

// Logical read of the word at a byte offset (unmapped block: 0xFFFF).
// Returns 0 on success.
int EfuseLogicalReadWord(CDeviceCommands& dev, std::uint16_t offset, std::uint16_t& word);
// Logical write of one word. Returns 0 on success.
int EfuseLogicalWriteWord(CDeviceCommands& dev, std::uint16_t offset, std::uint16_t word);
// Number of free eFuse blocks now, and after writing `word` at `offset`
// (bit 15 set when the write would not fit).
int EfuseFreeBlocks(CDeviceCommands& dev);
int EfuseFreeBlocksAfterWordWrite(CDeviceCommands& dev, std::uint16_t offset, std::uint16_t word);

} // namespace vq

// eFuse controller access (MAC registers 0x580 and 0x590..0x59C) used by the
// EEPROM routing when the session's EEPROM source is the eFuse, and by the
// EEPROM page.
//
// Physical layout (1024 bytes): data blocks of 16 bytes from address 0, one map
// byte per block from the first map byte (960) up to the last (1019). A used map
// byte holds the logical block number (content offset / 16) in bits 0..5 and two
// parity bits; 0 means free. Fuse bits only go from 0 to 1, so a logical block is
// rewritten in place only while no bit has to be cleared; otherwise it moves to a
// fresh block and the old map byte is spoilt so that its parity no longer holds.
#pragma once

#include <cstdint>
#include <string>

namespace vq {

class CLinkCommands;

// Controller registers.
constexpr std::uint32_t kEfuseControl = 0x0580;
constexpr std::uint32_t kEfuseData = 0x0590; // 0x590..0x59C: bytes 12..15, 8..11, 4..7, 0..3 of a block
constexpr std::uint32_t kEfuseBusy = 1u << 30;
constexpr std::uint32_t kEfuseOpMask = 3u << 6;
constexpr std::uint32_t kEfuseOpLogicalRead = 0u << 6;
constexpr std::uint32_t kEfuseOpPhysicalRead = 1u << 6;
constexpr std::uint32_t kEfuseOpPhysicalWrite = 3u << 6;
constexpr std::uint32_t kEfuseAddressMask = 0x3FFu << 16;
constexpr std::uint32_t kEfuseUnmapped = 0x3F; // logical read result: block not mapped
constexpr int kEfuseReadPolls = 100;
constexpr int kEfuseWritePolls = 500;
constexpr unsigned kEfusePollMs = 2;
constexpr int kEfuseMaxPasses = 5;
constexpr int kEfuseContentBytes = 512;

// The geometry of the session (first and last map byte, number of blocks).
struct EfuseGeometry {
    int lowerByte;
    int upperByte;
    int blocks;
};
EfuseGeometry EfuseLayout();

// Map byte of logical block m: m in bits 0..5, bit 6 set when bits 0..3 of m
// hold an even number of ones, bit 7 set when bits 2..5 of m do.
std::uint8_t EfuseMapByte(unsigned logicalBlock);

// One 2- or 4-byte group at `address` (logical: content offset; physical: fuse
// address) through the controller. Returns the control register read last
// (bits 0..5: physical block of a logical read, 0x3F when unmapped).
std::uint32_t EfuseReadGroup(CLinkCommands& dev, bool logical, std::uint16_t address, int length,
                             std::uint32_t& value);

// Logical read of the word at a content offset (unmapped block: 0xFFFF).
// `mapped`, when given, tells whether the logical block has a physical block.
// Returns 0.
int EfuseLogicalReadWord(CLinkCommands& dev, std::uint16_t offset, std::uint16_t& word,
                         bool* mapped = nullptr);
// Logical read of `length` bytes from a content offset, one word at a time.
void EfuseLogicalRead(CLinkCommands& dev, std::uint16_t offset, std::uint8_t* bytes, int length);
// Physical block of the logical block holding `offset`, or -1 when unmapped.
int EfuseLookupBlock(CLinkCommands& dev, std::uint16_t offset);

// Physical read of a word / of `length` bytes at a fuse address.
std::uint16_t EfusePhysicalReadWord(CLinkCommands& dev, std::uint16_t address);
void EfusePhysicalRead(CLinkCommands& dev, std::uint16_t address, std::uint8_t* bytes, int length);
// Physical write of one word at an even fuse address.
void EfusePhysicalWriteWord(CLinkCommands& dev, std::uint16_t address, std::uint16_t word);

// Logical write of one word, or of the aligned 16-byte block at `offset`
// (eight words, word 0 at the lowest address). Returns 0 on success, 1 when no
// free block is left (nothing is reported to the user here).
int EfuseLogicalWriteWord(CLinkCommands& dev, std::uint16_t offset, std::uint16_t word);
int EfuseLogicalWriteBlock(CLinkCommands& dev, std::uint16_t offset, const std::uint16_t words[8]);
// Writes every 16-byte block of `content` (256 words) that is not an untouched
// blank: a block that reads all 0xFFFF in `snapshot` (the content it replaces)
// and stays all 0xFFFF is skipped.
void EfuseWriteContent(CLinkCommands& dev, const std::uint16_t content[256],
                       const std::uint16_t snapshot[256]);

// Highest free map byte (the next block to allocate), or -1 when none is left.
int EfuseFindFreeMapByte(CLinkCommands& dev);
// Number of free blocks (0..60).
int EfuseFreeBlocks(CLinkCommands& dev);

// Free count after a write, starting from `current`. A negative result (bit 15
// set as a 16-bit number) means the write does not fit.
int EfuseFreeAfterWordWrite(int current, bool mapped, std::uint16_t oldWord, std::uint16_t newWord);
int EfuseFreeAfterByteWrite(int current, bool mapped, std::uint8_t oldByte, std::uint8_t newByte);
int EfuseFreeAfterContentWrite(int current, const std::uint16_t snapshot[256],
                               const std::uint16_t content[256]);
// The same, reading the current count, mapping and old value from the eFuse.
int EfuseFreeBlocksAfterWordWrite(CLinkCommands& dev, std::uint16_t offset, std::uint16_t word);
int EfuseFreeBlocksAfterByteWrite(CLinkCommands& dev, std::uint16_t offset, std::uint8_t byte);

// "Free block before write=%d, after write=%d, are you sure to write?"
std::string EfuseWriteQuestion(int before, int after);

} // namespace vq

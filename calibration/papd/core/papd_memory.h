// The power-amplifier predistortion test memories as MAC register windows:
// the PBF memory at 0x8000..0xFFFF in two halves chosen by bits 17..18 of
// MAC 0x400, the shared memory at 0x4000..0x7FFF in two parts chosen by bit
// 19, and the data scope buffer read or written byte by byte through 0x5FC
// while bit 0 of 0x5F8 is set. Dumps to text files and loads from them; no
// widgets.
#pragma once

#include "device/device_commands.h"

#include <array>
#include <cstdint>
#include <string>

namespace vq::papd {

constexpr std::uint32_t kBankSelect = 0x400;
constexpr std::uint32_t kPbfHalfBits = 0x60000;   // bits 17..18
constexpr std::uint32_t kPbfSecondHalf = 0x20000; // bit 17 set, bit 18 clear
constexpr std::uint32_t kSharedSecond = 0x80000;  // bit 19
constexpr std::uint32_t kPbfBase = 0x8000, kSharedBase = 0x4000;
constexpr unsigned kPbfWords = 8192, kPbfShortWords = 2731; // second half in PAPD mode: offsets 0..10920
constexpr unsigned kSharedWords = 4096, kSharedSecondWords = 2048;
constexpr std::uint32_t kScopeEnable = 0x5F8, kScopeData = 0x5FC, kTableStatus = 0x5F4;
constexpr unsigned kScopeBytes = 5000;

// Combined table: one line pair a1..a4 / b1..b4 gives two PBF words and one
// shared memory word.
std::uint32_t PackPbfWord(const std::array<int, 4>& a);
std::uint32_t PackSharedWord(const std::array<int, 4>& a, const std::array<int, 4>& b);
// A PBF word as its four bytes from the least significant one, signed: "%d\t%d\t%d\t%d\n".
std::string TableLine(std::uint32_t word);
// Four decimal integers as "%d%d%d%d" reads them; false when a line has fewer.
bool ParseTableLine(const std::string& line, std::array<int, 4>& values);

// The dumps read everything first: a failed read leaves the file as it was
// (after a message naming the file); false then or when the file could not be written.
bool ReadPbf(CDeviceCommands& dev, const std::string& path, bool papdMode);
bool ReadTable(CDeviceCommands& dev, const std::string& path, bool papdMode);
bool ReadDataScope(CDeviceCommands& dev, const std::string& path);
bool ReadSharedMemory(CDeviceCommands& dev, const std::string& path, bool papdMode);
// The loads: one hexadecimal value a line (lines without one are skipped).
// False, without a message, when the file cannot be opened.
bool WritePbf(CDeviceCommands& dev, const std::string& path);
bool WriteDataScope(CDeviceCommands& dev, const std::string& path);
bool WriteSharedMemory(CDeviceCommands& dev, const std::string& path);
bool WriteTable(CDeviceCommands& dev, const std::string& path);

} // namespace vq::papd

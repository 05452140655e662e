// The baseband capture memory of the chip and the text file it is saved as.
// The capture engine writes two circular regions in the MAC address space and
// leaves its end pointer E in MAC 0x440 bits 0..12; the oldest sample of each
// region sits just after E, so both are read from E on and unrolled.
#pragma once

#include "device/device_commands.h"

#include <cstdint>
#include <ostream>
#include <vector>

namespace vq {

// Region A: 16 KiB at 0x4000..0x7FFF, 2 bytes per step of E.
constexpr std::uint32_t kCaptureABase = 0x4000, kCaptureAEnd = 0x8000;
// Region B: 32 KiB at 0x8000..0xFFFF, 4 bytes per step of E.
constexpr std::uint32_t kCaptureBBase = 0x8000, kCaptureBEnd = 0x10000;
constexpr unsigned kCaptureAWords = 4096, kCaptureBWords = 8192;
// Words per MAC Multi-Read (1 KiB).
constexpr unsigned kCaptureChunkWords = 256;

// Both regions unrolled from E on: a[4096], b[8192].
struct CaptureMemory {
    std::vector<std::uint32_t> a, b;
};

// `count` words from `start` on in chunks of at most 256 words; a chunk never
// crosses `end`, reading goes on at `base`. False when a read failed.
bool ReadCircularWords(CDeviceCommands& dev, std::uint32_t start, std::uint32_t base, std::uint32_t end,
                       unsigned count, std::uint32_t* words);

// Both regions for end pointer E (its low 13 bits). An odd E starts region A
// in the middle of a word: one more word is read from the aligned address
// below and the samples are taken 2 bytes into it.
bool ReadCaptureMemory(CDeviceCommands& dev, std::uint32_t endPointer, CaptureMemory& memory);

// The capture as text: per sample index two lines of six signed bytes
// (A's low half and the even B word, A's high half and the odd B word),
// tab-separated, positive values with "+", CR LF line ends and none after
// the last line. `adc6`: every value on its own line.
void WriteCaptureText(std::ostream& out, const CaptureMemory& memory, bool adc6);

// Reads the capture memory and writes its text. False, with nothing written,
// when a read failed (the command has shown its message).
bool WriteCaptureData(CDeviceCommands& dev, std::ostream& out, std::uint32_t endPointer, bool adc6);

} // namespace vq

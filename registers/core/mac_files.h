// The MAC address space as the MAC page sees it: the memory regions of the
// chip and the text files the page replays (MAC scripts and MAC register
// files). No widgets and no device traffic here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vq {

struct MacRegion {
    const char* name;
    std::uint32_t offset;
    std::uint32_t length; // bytes
};

constexpr int kMacRegionCount = 7;
constexpr int kMacRegionMacRegister = 1;
constexpr int kMacRegionProgramMemory = 2;
constexpr int kMacRegionSharedMemory = 4;
constexpr int kMacRegionPacketBuf = 5;
constexpr int kMacRegionCis = 6;
constexpr std::uint32_t kMacDumpBytes = 32768;
constexpr std::uint32_t kMacChunkBytes = 1024;
// MAC register whose bit 16 opens the program memory to the host.
constexpr std::uint32_t kMacProgramAccessRegister = 0x400;
constexpr std::uint32_t kMacProgramAccessBit = 1u << 16;

extern const MacRegion kMacRegions[kMacRegionCount];

// Region list entry: the name padded to 24 characters, a blank and "(offset:0x%04X)".
std::string MacRegionEntry(int index);

// Leading hexadecimal digits of `text` (after blanks, with an optional 0x
// prefix); `digits` tells whether there was at least one.
std::uint32_t ParseMacHexPrefix(const std::string& text, bool* digits = nullptr);

// Single-access field: hexadecimal up to the first character that is not a
// hexadecimal digit; no digit gives 0.
std::uint32_t ParseMacHexField(const std::string& text);

// ---- MAC script (*.txt) -----------------------------------------------------
// "op address [value]": op decimal (0 read, anything else write), address
// and value hexadecimal. A line whose first word is not a decimal number, or
// that lacks the address (or a write's value), does nothing: `skip` says why.
struct MacScriptLine {
    bool valid = false;
    const char* skip = nullptr;
    int operation = 0;
    std::uint32_t address = 0;
    std::uint32_t value = 0;
};
MacScriptLine ParseMacScriptLine(const std::string& line);
std::string MacScriptWriteLog(std::uint32_t address, std::uint32_t value); // "W:\tMAC 0x%X\t= 0x%08X\n"
std::string MacScriptReadLog(std::uint32_t address, std::uint32_t value);  // "R:\tMAC 0x%X\t= 0x%08X\n"

// ---- MAC register file (*.mac) ----------------------------------------------
struct MacRegisterLine {
    enum class Kind { None, Bank, LoadFile, SaveFile, BbpSet, Write };
    Kind kind = Kind::None;
    const char* skip = nullptr; // why a line of kind None is malformed (null: blank or comment)
    std::uint32_t first = 0;    // bank index, BBP register or offset
    std::uint32_t second = 0;   // BBP value or register value
    std::string fileName;       // LOADFILE / SAVEFILE, as written in the line
};
// One line: comment after ";", keyword compared upper-cased, tokens separated
// by blanks, commas, tabs and line ends.
MacRegisterLine ParseMacRegisterLine(const std::string& line);
// A file name of a register file resolved against the register file's directory.
std::string MacResolveBesideFile(const std::string& registerFile, const std::string& name);

} // namespace vq

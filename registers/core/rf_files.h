// RF register files and scripts: the line formats, their parsers and the
// device sequences that read and write them. No widgets.
#pragma once

#include "formats/runner_summary.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace vq {
class CDeviceCommands;
}

namespace vq::rf {

// Numbers of a script line. They persist from line to line: a field that a
// line does not supply keeps the previous line's number.
struct ScriptFields {
    int operation = 0;
    int bank = 0;
    int reg = 0;
    unsigned value = 0;
};
enum class ScriptStep { Skip, Write, Read };
// "1 2 5 3F" writes 0x3F to R5 of bank 2 (operation with non-zero low byte);
// "0 0 12" reads R12 of bank 0. A line whose first word is not a decimal
// number, or that lacks the bank, the register or a write's value, is
// skipped: `skip` (when given) says why.
ScriptStep ParseScriptLine(const std::string& line, ScriptFields& fields, const char** skip = nullptr);
// "W:\tBank%02d, RF R%d\t= 0x%02X\n" / "R:\t..." log texts.
std::string ScriptLogText(ScriptStep step, int bank, int reg, std::uint8_t value);

// Register file line "%d %03d %02X\n": bank, register, value ("4 012 3C").
struct RegisterFields {
    int bank = 0;
    int reg = 0;
    unsigned value = 0;
};
std::string RegisterFileLine(int bank, int reg, std::uint8_t value);
// Reads bank, register (decimal) and value (hexadecimal) into `fields`.
// False, with the reason in `skip` (when given), when the first word is not
// a decimal number or a field is missing; `fields` is then unchanged.
bool ParseRegisterLine(const std::string& line, RegisterFields& fields, const char** skip = nullptr);

// "%d  %03d = %02X\n" of the ATE dump.
std::string AteDumpLine(int bank, int reg, std::uint8_t value);
// "R%d\t%02X\t%02X\n" of the register read/write test.
std::string TestLine(int reg, std::uint8_t written, std::uint8_t read);
extern const char* const kTestFileHeader;    // "; RF R/W Test File!!\n\n" "Reg:  WRITE :  READ :\n"
extern const char* const kTestFileSeparator; // 36 '=' and a newline

// Banks saved by SaveRfRegisters, in file order.
constexpr int kSavedBanks[] = {0, 4, 5, 6, 7};
// Register 4 of bank 0, bit 7: starts the VCO calibration after a register load.
constexpr int kVcoCalRegister = 4;
constexpr std::uint8_t kVcoCalBit = 0x80;

class IScriptLog {
  public:
    virtual ~IScriptLog() = default;
    virtual void Clear() = 0;
    virtual void Add(const std::string& text) = 0;
};

// Read-modify-write of one bit of an RF register; returns the value written.
std::uint8_t ToggleRfBit(CDeviceCommands& dev, int bank, int reg, int bit, bool clear);

// Device sequences. Each returns false, having done nothing, when its file
// cannot be opened or created. The savers also return false, with a
// message, when a register access fails: the old file is left as it was.
// Runs every line of an RF script; the log is cleared once the file is open
// and ends with the run's summary.
bool RunRfScript(CDeviceCommands& dev, const std::string& path, IScriptLog& log);
// Banks 0, 4, 5, 6, 7, registers 0..63 each: 320 lines.
bool SaveRfRegisters(CDeviceCommands& dev, const std::string& path);
// Writes every line's register, then sets the VCO calibration bit and waits 5 ms.
bool LoadRfRegisters(CDeviceCommands& dev, const std::string& path, RunnerSummary* summary = nullptr);
// Registers 0..63 of one bank in the ATE dump format.
bool DumpBankForAte(CDeviceCommands& dev, const std::string& path, int bank);
// Writes every value 0..255 to registers 0..registerCount-1 of one bank and
// records what reads back.
bool TestRegisterReadWrite(CDeviceCommands& dev, const std::string& path, int bank, int registerCount = 32);

} // namespace vq::rf

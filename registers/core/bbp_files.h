// BBP register files, BBP scripts, the PAPD table file and the baseband
// capture dumps: text formats, parsers and the device sequences behind BBP
// page 1. No widgets, so that every format and sequence is tested directly.
#pragma once

#include "device/device_commands.h"
#include "formats/runner_summary.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vq::bbp {

constexpr int kRegisterFileLines = 256 + 2 * 512;
constexpr unsigned kPapdEntries = 256;
constexpr std::uint8_t kPapdSelect = 16;   // R4 value that maps the PAPD table onto R187/R188
constexpr unsigned kCaptureBytes = 0xC000; // bytes read from R60 per capture
constexpr int kCapturePolls = 501;         // R59 reads while waiting for the capture
constexpr int kCaptureValuesPerLine = 6;

namespace reg {
constexpr unsigned Papd = 4;         // R4: table select
constexpr unsigned CaptureCtrl = 59; // R59: capture trigger/status
constexpr unsigned CaptureData = 60; // R60: capture read-out
constexpr unsigned Index158 = 158, Data159 = 159;
constexpr unsigned Index195 = 195, Data196 = 196;
constexpr unsigned PapdIndex = 187, PapdData = 188;
} // namespace reg

// ---- Text helpers -------------------------------------------------------

// One line of a text file without its line end ("\n", "\r\n"); only the first
// kTextLineChars (254) characters are kept (`cut` tells when more were
// dropped). False at the end of the file.
bool ReadLine(std::FILE* file, std::string& line, bool* cut = nullptr);

// Register number text of the R/W field: a decimal number (leading blanks,
// optional sign), low 8 bits; no number gives 0.
unsigned RegisterFromText(std::string_view text);
// Value text of the R/W field: hexadecimal, low 8 bits; no number gives 0.
std::uint8_t ValueFromText(std::string_view text);

// "%03d = %02X\n"
std::string RegisterLine(unsigned reg, std::uint8_t value);
// "W:\tBBP R%d\t= 0x%02X\n" / "R:\tBBP R%d\t= 0x%02X\n"
std::string ScriptLogLine(bool write, unsigned reg, std::uint8_t value);
// "0x%02X\n"
std::string PapdLine(std::uint8_t value);
// A capture byte as signed decimal with "+" above zero and a tab: "+12\t", "0\t", "-7\t".
std::string CaptureValueText(std::uint8_t byte);

// Name rule of the PAPD table's save dialog (the others: WithTxtIfMissing).
std::string WithTxtAlways(const std::string& name);

// ---- Parsers --------------------------------------------------------------

// A register file line "ddd = hh": false for comments (";"), blank lines,
// lines without a decimal register number or without a value after "=";
// `skip` (when given) says why a line that is neither blank nor a comment
// was refused.
bool ParseRegisterLine(std::string_view line, std::uint8_t& reg, std::uint8_t& value,
                       const char** skip = nullptr);

struct ScriptStep {
    bool write = false;
    std::uint8_t reg = 0;
    std::uint8_t value = 0;
};
// A script line "op reg [value]": op decimal (0 read, else write), register
// decimal, value hexadecimal. `operation` gets the line's operation. False
// when the first word is not a decimal number or the line lacks the register
// (or, for a write, the value); `skip` (when given) says which.
bool ParseScriptLine(std::string_view line, int& operation, ScriptStep& step, const char** skip = nullptr);

// A PAPD table line: the hexadecimal number after the line's first "x".
bool ParsePapdLine(std::string_view line, std::uint8_t& value);

// ---- Device sequences -----------------------------------------------------
// The loaders and runners return false when their file cannot be opened
// (nothing is sent then) and tell in `summary` how many lines they applied
// and skipped. The savers return false, with a message, when the file cannot
// be written or a register read fails; the old file is then left as it was.

// R0..R255, then the R158/R159 and R195/R196 tables as index/data pairs: 1280 lines.
bool SaveRegisterFile(CDeviceCommands& dev, const std::string& path);
// Writes every register line in file order (index/data pairs restore the tables).
bool LoadRegisterFile(CDeviceCommands& dev, const std::string& path, RunnerSummary* summary = nullptr);
// Runs a BBP script; `log` is emptied and gets one line per access and the
// run's summary as its last line.
bool RunScript(CDeviceCommands& dev, const std::string& path, std::vector<std::string>& log);
// The 256 PAPD entries through R187/R188 with R4 = 16; R4 restored afterwards.
bool DumpPapdTable(CDeviceCommands& dev, const std::string& path);
bool WritePapdTable(CDeviceCommands& dev, const std::string& path, RunnerSummary* summary = nullptr);

enum class CaptureKind { Adc, Feq };
// Triggers a capture through R59, then reads R60 kCaptureBytes times into
// `basePath` + ".txt" (signed values, six per line) and `basePath` + ".bin"
// (raw bytes). `afterTrigger` runs between the trigger and the read-out.
bool DumpCapture(CDeviceCommands& dev, CaptureKind kind, const std::string& basePath,
                 const std::function<void()>& afterTrigger);

} // namespace vq::bbp

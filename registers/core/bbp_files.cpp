#include "registers/core/bbp_files.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/services.h"
#include "device/sequence.h"
#include "formats/saved_file.h"
#include "formats/text_files.h"

#include <cstdio>

namespace vq::bbp {

namespace {

// Script and R/W field numbers read as "%d" / "%X" read them: blanks, a sign,
// for hexadecimal an optional 0x; huge numbers wrap at 32 bits, so the low
// 8 bits stay exact.
constexpr NumberFormat kDecimal{.base = 10, .blanks = Blanks::Any, .sign = true};
constexpr NumberFormat kHex{.base = 16, .blanks = Blanks::Any, .sign = true, .hexPrefix = true};
// Register file: "ddd = hh", the register a plain decimal word, the value up
// to two hexadecimal digits.
constexpr NumberFormat kFileRegister{.base = 10, .blanks = Blanks::SpaceTab};
constexpr NumberFormat kFileValue{.base = 16, .blanks = Blanks::SpaceTab, .maxDigits = 2};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool ScanNumber(std::string_view s, std::size_t& pos, std::uint32_t& value, bool hex) {
    const ScannedNumber n = vq::ScanNumber(s, pos, hex ? kHex : kDecimal);
    if (!n.found) return false;
    value = std::uint32_t(n.value);
    pos = n.end;
    return true;
}

} // namespace

bool ReadLine(std::FILE* file, std::string& line, bool* cut) {
    if (!ReadTextLine(file, line, kTextLineChars, cut)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

unsigned RegisterFromText(std::string_view text) {
    std::size_t p = 0;
    std::uint32_t v = 0;
    return ScanNumber(text, p, v, false) ? v & 0xFF : 0;
}

std::uint8_t ValueFromText(std::string_view text) {
    std::size_t p = 0;
    std::uint32_t v = 0;
    return ScanNumber(text, p, v, true) ? std::uint8_t(v) : 0;
}

std::string RegisterLine(unsigned reg, std::uint8_t value) {
    return Format("%03u = %02X\n", reg, value);
}

std::string ScriptLogLine(bool write, unsigned reg, std::uint8_t value) {
    return Format(write ? "W:\tBBP R%u\t= 0x%02X\n" : "R:\tBBP R%u\t= 0x%02X\n", reg, value);
}

std::string PapdLine(std::uint8_t value) {
    return Format("0x%02X\n", value);
}

std::string CaptureValueText(std::uint8_t byte) {
    const int v = std::int8_t(byte);
    return (v > 0 ? "+" : "") + std::to_string(v) + "\t";
}

std::string WithTxtAlways(const std::string& name) {
    return name + ".txt";
}

bool ParseRegisterLine(std::string_view s, std::uint8_t& reg, std::uint8_t& value, const char** skip) {
    const char* why = nullptr;
    auto refuse = [&](const char* reason) {
        why = IsBlankOrComment(s) ? nullptr : reason;
        if (skip) *skip = why;
        return false;
    };
    // Register number: the decimal word before the first blank (or "=");
    // comments (";") and other lines have none.
    const ScannedNumber r = vq::ScanNumber(s, 0, kFileRegister);
    if (!r.found) return refuse(skip::kNotANumber);
    std::size_t p = r.end;
    if (p < s.size() && !IsBlank(s[p]) && s[p] != '=') return refuse(skip::kNotANumber);
    const std::size_t eq = s.find('=', p);
    if (eq == std::string_view::npos) return refuse(skip::kNoValue);
    const ScannedNumber v = vq::ScanNumber(s, eq + 1, kFileValue);
    if (!v.found) return refuse(skip::kNoValue);
    reg = std::uint8_t(r.value);
    value = std::uint8_t(v.value);
    if (skip) *skip = nullptr;
    return true;
}

bool ParseScriptLine(std::string_view s, int& operation, ScriptStep& step, const char** skip) {
    auto refuse = [&](const char* reason) {
        if (skip) *skip = reason;
        return false;
    };
    std::size_t p = 0;
    std::uint32_t op = 0, r = 0, v = 0;
    if (!FirstWordIsDecimal(s) || !ScanNumber(s, p, op, false)) return refuse(skip::kNotANumber);
    operation = int(op);
    if (!ScanNumber(s, p, r, false)) return refuse(skip::kNoRegister);
    step.write = (operation & 0xFF) != 0;
    if (step.write && !ScanNumber(s, p, v, true)) return refuse(skip::kNoValue);
    step.reg = std::uint8_t(r);
    step.value = step.write ? std::uint8_t(v) : 0;
    if (skip) *skip = nullptr;
    return true;
}

bool ParsePapdLine(std::string_view s, std::uint8_t& value) {
    const std::size_t x = s.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    std::size_t p = x + 1;
    std::uint32_t v = 0;
    if (!ScanNumber(s, p, v, true)) return false;
    value = std::uint8_t(v);
    return true;
}

namespace {

// A read for a save: false, after the message that nothing was written, when it fails.
bool ReadForSave(CDeviceCommands& dev, unsigned reg, std::uint8_t& value, const std::string& what,
                 const std::string& path) {
    if (dev.BbpAccess(0, reg, value) == 0) return true;
    ShowMessage(ReadFailedText(what, path));
    return false;
}

bool WriteForSave(CDeviceCommands& dev, unsigned reg, std::uint8_t value, const std::string& what,
                  const std::string& path) {
    if (dev.BbpAccess(1, reg, value) == 0) return true;
    ShowMessage(WriteFailedText(what, path));
    return false;
}

} // namespace

bool SaveRegisterFile(CDeviceCommands& dev, const std::string& path) {
    SavedFile file(path);
    if (!file.Open()) return false;
    DeviceSequence sequence;
    std::string text;
    text.reserve(kRegisterFileLines * 9);
    for (unsigned r = 0; r < 256; ++r) {
        std::uint8_t v = 0;
        if (!ReadForSave(dev, r, v, Format("BBP R%u", r), path)) return false;
        text += RegisterLine(r, v);
    }
    const unsigned pairs[2][2] = {{reg::Index158, reg::Data159}, {reg::Index195, reg::Data196}};
    for (const auto& pair : pairs) {
        for (unsigned j = 0; j < 256; ++j) {
            const std::string what = Format("BBP R%u at index %u", pair[1], j);
            std::uint8_t v = 0;
            if (!WriteForSave(dev, pair[0], std::uint8_t(j), Format("BBP R%u", pair[0]), path) ||
                !ReadForSave(dev, pair[1], v, what, path))
                return false;
            text += RegisterLine(pair[0], std::uint8_t(j));
            text += RegisterLine(pair[1], v);
        }
    }
    file.Put(text);
    return file.Commit();
}

bool LoadRegisterFile(CDeviceCommands& dev, const std::string& path, RunnerSummary* summary) {
    FileHandle file(path, "r");
    if (!file) return false;
    RunnerSummary run;
    DeviceSequence sequence;
    std::string line;
    bool cut = false;
    for (int number = 1; ReadLine(file.get(), line, &cut); ++number) {
        std::uint8_t r = 0, v = 0;
        const char* why = nullptr;
        if (cut) {
            run.Skipped(number, skip::kTooLong);
        } else if (ParseRegisterLine(line, r, v, &why)) {
            dev.SetBbp(r, v);
            run.Applied();
        } else if (why) {
            run.Skipped(number, why);
        }
    }
    if (summary) *summary = run;
    return true;
}

bool RunScript(CDeviceCommands& dev, const std::string& path, std::vector<std::string>& log) {
    FileHandle file(path, "r");
    if (!file) return false;
    DeviceSequence sequence;
    log.clear();
    RunnerSummary run;
    std::string line;
    bool cut = false;
    for (int number = 1; ReadLine(file.get(), line, &cut); ++number) {
        if (cut) {
            run.Skipped(number, skip::kTooLong);
            continue;
        }
        if (IsBlankOrComment(line)) continue;
        int operation = 0;
        ScriptStep step;
        const char* why = nullptr;
        if (!ParseScriptLine(line, operation, step, &why)) {
            run.Skipped(number, why);
            continue;
        }
        if (step.write) {
            dev.SetBbp(step.reg, step.value);
            log.push_back(ScriptLogLine(true, step.reg, step.value));
        } else {
            log.push_back(ScriptLogLine(false, step.reg, dev.BbpValue(step.reg)));
        }
        run.Applied();
    }
    log.push_back(run.Text());
    return true;
}

bool DumpPapdTable(CDeviceCommands& dev, const std::string& path) {
    SavedFile file(path);
    if (!file.Open()) return false;
    DeviceSequence sequence;
    std::uint8_t saved = 0;
    if (!ReadForSave(dev, reg::Papd, saved, "BBP R4", path)) return false;
    dev.SetBbp(reg::Papd, kPapdSelect);
    std::string text;
    bool complete = true;
    for (unsigned i = 0; i < kPapdEntries && complete; ++i) {
        const std::string what = Format("PAPD entry %u", i);
        std::uint8_t v = 0;
        complete = WriteForSave(dev, reg::PapdIndex, std::uint8_t(i), "BBP R187", path) &&
                   ReadForSave(dev, reg::PapdData, v, what, path);
        text += PapdLine(v);
    }
    dev.SetBbp(reg::Papd, saved); // the table select goes back whatever happened
    if (!complete) return false;
    file.Put(text);
    return file.Commit();
}

bool WritePapdTable(CDeviceCommands& dev, const std::string& path, RunnerSummary* summary) {
    FileHandle file(path, "r");
    if (!file) return false;
    DeviceSequence sequence;
    const std::uint8_t saved = dev.BbpValue(reg::Papd);
    dev.SetBbp(reg::Papd, kPapdSelect);
    RunnerSummary run;
    std::string line;
    bool cut = false;
    unsigned index = 0;
    // Lines without a value are skipped without taking an entry; entries past
    // the table's end are skipped rather than wrapping onto entry 0.
    for (int number = 1; ReadLine(file.get(), line, &cut); ++number) {
        std::uint8_t value = 0;
        if (cut) {
            run.Skipped(number, skip::kTooLong);
        } else if (IsBlankOrComment(line)) {
            continue;
        } else if (!ParsePapdLine(line, value)) {
            run.Skipped(number, skip::kNoValue);
        } else if (index >= kPapdEntries) {
            run.Skipped(number, skip::kTableFull);
        } else {
            dev.SetBbp(reg::PapdIndex, std::uint8_t(index));
            dev.SetBbp(reg::PapdData, value);
            ++index;
            run.Applied();
        }
    }
    dev.SetBbp(reg::Papd, saved);
    if (summary) *summary = run;
    return true;
}

bool DumpCapture(CDeviceCommands& dev, CaptureKind kind, const std::string& basePath,
                 const std::function<void()>& afterTrigger) {
    SavedFile text(basePath + ".txt");
    if (!text.Open()) return false;
    DeviceSequence sequence;
    SavedFile binary(basePath + ".bin");
    if (!binary.Open()) return false;

    // R59 bit 2 starts the capture and drops when it is done; bit 1 picks the
    // equaliser output instead of the ADC samples.
    const std::uint8_t trigger = kind == CaptureKind::Adc ? 4 : 6;
    const std::uint8_t done = kind == CaptureKind::Adc ? 0 : 2;
    dev.SetBbp(reg::CaptureCtrl, trigger);
    for (int n = 0; n < kCapturePolls; ++n) {
        vq::Sleep(1);
        std::uint8_t v = trigger; // a failed read does not count as done
        dev.BbpAccess(0, reg::CaptureCtrl, v);
        if (v == done) break;
    }
    dev.SetBbp(reg::CaptureCtrl, done);
    if (afterTrigger) afterTrigger();

    std::string out;
    out.reserve(kCaptureBytes * 5);
    std::vector<std::uint8_t> bytes(kCaptureBytes);
    for (unsigned i = 0; i < kCaptureBytes; ++i) {
        if (!ReadForSave(dev, reg::CaptureData, bytes[i], Format("Capture byte %u", i),
                         basePath + ".txt/.bin"))
            return false;
        out += CaptureValueText(bytes[i]);
        if ((i + 1) % kCaptureValuesPerLine == 0) out += '\n';
    }
    text.Put(out);
    binary.Put(bytes.data(), bytes.size());
    return text.Commit() && binary.Commit();
}

} // namespace vq::bbp

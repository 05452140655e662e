#include "registers/core/rf_files.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "device/sequence.h"
#include "formats/saved_file.h"
#include "formats/text_files.h"
#include "registers/core/rf_values.h"

namespace vq::rf {

namespace {

// Script and register-file numbers: blanks and a sign before each one; the
// decimal fields saturate at the largest int, the hexadecimal value (with an
// optional 0x) wraps at 32 bits. A field without a number stops the line.
constexpr NumberFormat kDecimal{
    .base = 10, .blanks = Blanks::Any, .sign = true, .overflow = Overflow::Saturate, .limit = 0x7FFFFFFF};
constexpr NumberFormat kHex{.base = 16, .blanks = Blanks::Any, .sign = true, .hexPrefix = true};

class Scanner {
  public:
    explicit Scanner(const std::string& text) : text_(text) {}
    bool Decimal(int& out) {
        const ScannedNumber n = Next(kDecimal);
        if (n.found) out = int(n.value);
        return n.found;
    }
    bool Hex(unsigned& out) {
        const ScannedNumber n = Next(kHex);
        if (n.found) out = unsigned(n.value);
        return n.found;
    }

  private:
    ScannedNumber Next(const NumberFormat& format) {
        const ScannedNumber n = ScanNumber(text_, pos_, format);
        pos_ = n.end;
        return n;
    }
    const std::string& text_;
    std::size_t pos_ = 0;
};

} // namespace

ScriptStep ParseScriptLine(const std::string& line, ScriptFields& f, const char** skip) {
    auto refuse = [&](const char* reason) {
        if (skip) *skip = reason;
        return ScriptStep::Skip;
    };
    Scanner s(line);
    ScriptFields next = f;
    if (!FirstWordIsDecimal(line) || !s.Decimal(next.operation)) return refuse(skip::kNotANumber);
    const bool write = (next.operation & 0xFF) != 0;
    if (!s.Decimal(next.bank)) return refuse(skip::kNoBank);
    if (!s.Decimal(next.reg)) return refuse(skip::kNoRegister);
    if (write && !s.Hex(next.value)) return refuse(skip::kNoValue);
    f = next;
    if (skip) *skip = nullptr;
    return write ? ScriptStep::Write : ScriptStep::Read;
}

std::string ScriptLogText(ScriptStep step, int bank, int reg, std::uint8_t value) {
    return Format(step == ScriptStep::Write ? "W:\tBank%02d, RF R%d\t= 0x%02X\n"
                                            : "R:\tBank%02d, RF R%d\t= 0x%02X\n",
                  bank, reg, value);
}

std::string RegisterFileLine(int bank, int reg, std::uint8_t value) {
    return Format("%d %03d %02X\n", bank, reg, value);
}

bool ParseRegisterLine(const std::string& line, RegisterFields& f, const char** skip) {
    auto refuse = [&](const char* reason) {
        if (skip) *skip = reason;
        return false;
    };
    Scanner s(line);
    RegisterFields next = f;
    if (!FirstWordIsDecimal(line) || !s.Decimal(next.bank)) return refuse(skip::kNotANumber);
    if (!s.Decimal(next.reg)) return refuse(skip::kNoRegister);
    if (!s.Hex(next.value)) return refuse(skip::kNoValue);
    f = next;
    if (skip) *skip = nullptr;
    return true;
}

std::string AteDumpLine(int bank, int reg, std::uint8_t value) {
    return Format("%d  %03d = %02X\n", bank, reg, value);
}

std::string TestLine(int reg, std::uint8_t written, std::uint8_t read) {
    return Format("R%d\t%02X\t%02X\n", reg, written, read);
}

const char* const kTestFileHeader = "; RF R/W Test File!!\n\nReg:  WRITE :  READ :\n";
const char* const kTestFileSeparator = "====================================\n";

std::uint8_t ToggleRfBit(CDeviceCommands& dev, int bank, int reg, int bit, bool clear) {
    DeviceSequence sequence;
    const std::uint8_t value = ToggledValue(dev.RfValue(unsigned(bank), unsigned(reg)), bit, clear);
    dev.SetRf(unsigned(bank), unsigned(reg), value);
    return value;
}

namespace {

// One access of a save: false, after the message that nothing was written, when it fails.
bool AccessForSave(CDeviceCommands& dev, int mode, int bank, int reg, std::uint8_t& value,
                   const std::string& path) {
    if (dev.RfAccess(mode, unsigned(bank), unsigned(reg), value) == 0) return true;
    const std::string what = Format("RF bank %d R%d", bank, reg);
    ShowMessage(mode == 0 ? ReadFailedText(what, path) : WriteFailedText(what, path));
    return false;
}

} // namespace

bool RunRfScript(CDeviceCommands& dev, const std::string& path, IScriptLog& log) {
    FileHandle f(path, "r");
    if (!f) return false;
    DeviceSequence sequence;
    log.Clear();
    RunnerSummary run;
    ScriptFields fields;
    std::string line;
    bool cut = false;
    for (int number = 1; ReadTextLine(f.get(), line, kTextLineChars, &cut); ++number) {
        if (cut) {
            run.Skipped(number, skip::kTooLong);
            continue;
        }
        if (IsBlankOrComment(line)) continue;
        const char* why = nullptr;
        const ScriptStep step = ParseScriptLine(line, fields, &why);
        if (step == ScriptStep::Skip) {
            run.Skipped(number, why);
            continue;
        }
        std::uint8_t value = std::uint8_t(fields.value);
        if (step == ScriptStep::Write) {
            dev.RfAccess(1, unsigned(fields.bank), unsigned(fields.reg), value);
        } else {
            value = 0;
            dev.RfAccess(0, unsigned(fields.bank), unsigned(fields.reg), value);
        }
        log.Add(ScriptLogText(step, fields.bank, fields.reg, value));
        run.Applied();
    }
    log.Add(run.Text());
    return true;
}

bool SaveRfRegisters(CDeviceCommands& dev, const std::string& path) {
    SavedFile f(path);
    if (!f.Open()) return false;
    DeviceSequence sequence;
    std::string text;
    for (int bank : kSavedBanks)
        for (int reg = 0; reg < kRegistersPerBank; ++reg) {
            std::uint8_t value = 0;
            if (!AccessForSave(dev, 0, bank, reg, value, path)) return false;
            text += RegisterFileLine(bank, reg, value);
        }
    f.Put(text);
    return f.Commit();
}

bool LoadRfRegisters(CDeviceCommands& dev, const std::string& path, RunnerSummary* summary) {
    FileHandle f(path, "r");
    if (!f) return false;
    RunnerSummary run;
    DeviceSequence sequence;
    RegisterFields fields;
    std::string line;
    bool cut = false;
    for (int number = 1; ReadTextLine(f.get(), line, kTextLineChars, &cut); ++number) {
        const char* why = nullptr;
        if (cut) {
            run.Skipped(number, skip::kTooLong);
        } else if (IsBlankOrComment(line)) {
            continue;
        } else if (!ParseRegisterLine(line, fields, &why)) {
            run.Skipped(number, why);
        } else {
            std::uint8_t value = std::uint8_t(fields.value);
            dev.RfAccess(1, unsigned(fields.bank), unsigned(fields.reg), value);
            run.Applied();
        }
    }
    f.Close();
    std::uint8_t cal = 0;
    dev.RfAccess(0, 0, kVcoCalRegister, cal);
    cal |= kVcoCalBit;
    dev.RfAccess(1, 0, kVcoCalRegister, cal);
    Sleep(5);
    if (summary) *summary = run;
    return true;
}

bool DumpBankForAte(CDeviceCommands& dev, const std::string& path, int bank) {
    SavedFile f(path);
    if (!f.Open()) return false;
    DeviceSequence sequence;
    std::string text;
    for (int reg = 0; reg < kRegistersPerBank; ++reg) {
        std::uint8_t value = 0;
        if (!AccessForSave(dev, 0, bank, reg, value, path)) return false;
        text += AteDumpLine(bank, reg, value);
    }
    f.Put(text);
    return f.Commit();
}

bool TestRegisterReadWrite(CDeviceCommands& dev, const std::string& path, int bank, int registerCount) {
    SavedFile f(path);
    if (!f.Open()) return false;
    DeviceSequence sequence;
    std::string text = kTestFileHeader;
    for (int reg = 0; reg < registerCount; ++reg) {
        for (unsigned v = 0; v <= 0xFF; ++v) {
            std::uint8_t written = std::uint8_t(v);
            std::uint8_t read = 0;
            if (!AccessForSave(dev, 1, bank, reg, written, path) ||
                !AccessForSave(dev, 0, bank, reg, read, path))
                return false;
            text += TestLine(reg, std::uint8_t(v), read);
        }
        text += kTestFileSeparator;
    }
    f.Put(text);
    return f.Commit();
}

} // namespace vq::rf

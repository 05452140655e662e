#include "registers/core/rf_files.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "device/sequence.h"
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

ScriptStep ParseScriptLine(const std::string& line, ScriptFields& f) {
    Scanner s(line);
    if (!s.Decimal(f.operation)) return ScriptStep::Skip;
    const bool write = (f.operation & 0xFF) != 0;
    if (s.Decimal(f.bank) && s.Decimal(f.reg) && write) s.Hex(f.value);
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

bool ParseRegisterLine(const std::string& line, RegisterFields& f) {
    Scanner s(line);
    if (!s.Decimal(f.bank)) return false;
    if (s.Decimal(f.reg)) s.Hex(f.value);
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

bool RunRfScript(CDeviceCommands& dev, const std::string& path, IScriptLog& log) {
    FileHandle f(path, "r");
    if (!f) return false;
    DeviceSequence sequence;
    log.Clear();
    ScriptFields fields;
    std::string line;
    while (ReadTextLine(f.get(), line)) {
        const ScriptStep step = ParseScriptLine(line, fields);
        if (step == ScriptStep::Skip) continue;
        std::uint8_t value = std::uint8_t(fields.value);
        if (step == ScriptStep::Write) {
            dev.RfAccess(1, unsigned(fields.bank), unsigned(fields.reg), value);
        } else {
            value = 0;
            dev.RfAccess(0, unsigned(fields.bank), unsigned(fields.reg), value);
        }
        log.Add(ScriptLogText(step, fields.bank, fields.reg, value));
    }
    return true;
}

bool SaveRfRegisters(CDeviceCommands& dev, const std::string& path) {
    FileHandle f(path, "w");
    if (!f) return false;
    DeviceSequence sequence;
    for (int bank : kSavedBanks)
        for (int reg = 0; reg < kRegistersPerBank; ++reg) {
            std::uint8_t value = 0;
            dev.RfAccess(0, unsigned(bank), unsigned(reg), value);
            f.Put(RegisterFileLine(bank, reg, value));
        }
    return true;
}

bool LoadRfRegisters(CDeviceCommands& dev, const std::string& path) {
    FileHandle f(path, "r");
    if (!f) return false;
    DeviceSequence sequence;
    RegisterFields fields;
    std::string line;
    while (ReadTextLine(f.get(), line)) {
        if (!ParseRegisterLine(line, fields)) continue;
        std::uint8_t value = std::uint8_t(fields.value);
        dev.RfAccess(1, unsigned(fields.bank), unsigned(fields.reg), value);
    }
    f.Close();
    std::uint8_t cal = 0;
    dev.RfAccess(0, 0, kVcoCalRegister, cal);
    cal |= kVcoCalBit;
    dev.RfAccess(1, 0, kVcoCalRegister, cal);
    Sleep(5);
    return true;
}

bool DumpBankForAte(CDeviceCommands& dev, const std::string& path, int bank) {
    FileHandle f(path, "w");
    if (!f) return false;
    DeviceSequence sequence;
    for (int reg = 0; reg < kRegistersPerBank; ++reg) {
        std::uint8_t value = 0;
        dev.RfAccess(0, unsigned(bank), unsigned(reg), value);
        f.Put(AteDumpLine(bank, reg, value));
    }
    return true;
}

bool TestRegisterReadWrite(CDeviceCommands& dev, const std::string& path, int bank, int registerCount) {
    FileHandle f(path, "w");
    if (!f) return false;
    DeviceSequence sequence;
    f.Put(kTestFileHeader);
    for (int reg = 0; reg < registerCount; ++reg) {
        for (unsigned v = 0; v <= 0xFF; ++v) {
            std::uint8_t written = std::uint8_t(v);
            dev.RfAccess(1, unsigned(bank), unsigned(reg), written);
            std::uint8_t read = 0;
            dev.RfAccess(0, unsigned(bank), unsigned(reg), read);
            f.Put(TestLine(reg, std::uint8_t(v), read));
        }
        f.Put(kTestFileSeparator);
    }
    return true;
}

} // namespace vq::rf

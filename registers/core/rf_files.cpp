#include "registers/core/rf_files.h"

#include "base/services.h"
#include "device/device_commands.h"
#include "formats/text_files.h"
#include "registers/core/rf_values.h"

#include <cctype>
#include <memory>

namespace vq::rf {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenFile(const std::string& path, const char* mode) {
    return File(std::fopen(path.c_str(), mode));
}

void Put(std::FILE* f, const std::string& text) {
    std::fputs(text.c_str(), f);
}

// Scanner with the conversions of the file formats: white space is skipped
// before each number; a conversion that finds no number stops the scan.
class Scanner {
  public:
    explicit Scanner(const std::string& text) : text_(text) {}

    bool Decimal(int& out) {
        SkipSpace();
        std::size_t i = pos_;
        bool negative = false;
        if (i < text_.size() && (text_[i] == '-' || text_[i] == '+')) negative = text_[i++] == '-';
        if (i >= text_.size() || !std::isdigit(Byte(i))) return false;
        long long v = 0;
        for (; i < text_.size() && std::isdigit(Byte(i)); ++i)
            if (v <= 0x7FFFFFFF) v = v * 10 + (text_[i] - '0');
        if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;
        out = int(negative ? -v : v);
        pos_ = i;
        return true;
    }

    bool Hex(unsigned& out) {
        SkipSpace();
        std::size_t i = pos_;
        bool negative = false;
        if (i < text_.size() && (text_[i] == '-' || text_[i] == '+')) negative = text_[i++] == '-';
        if (i + 2 < text_.size() && text_[i] == '0' && (text_[i + 1] == 'x' || text_[i + 1] == 'X') &&
            std::isxdigit(Byte(i + 2)))
            i += 2;
        if (i >= text_.size() || !std::isxdigit(Byte(i))) return false;
        unsigned v = 0;
        for (; i < text_.size() && std::isxdigit(Byte(i)); ++i) {
            const int c = std::toupper(Byte(i));
            v = (v << 4) | unsigned(c <= '9' ? c - '0' : c - 'A' + 10);
        }
        out = negative ? 0u - v : v;
        pos_ = i;
        return true;
    }

  private:
    int Byte(std::size_t i) const { return static_cast<unsigned char>(text_[i]); }
    void SkipSpace() {
        while (pos_ < text_.size() && std::isspace(Byte(pos_)))
            ++pos_;
    }
    const std::string& text_;
    std::size_t pos_ = 0;
};

std::string Format(const char* format, int a, int b, unsigned c) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

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
    std::uint8_t value = 0;
    dev.RfAccess(0, unsigned(bank), unsigned(reg), value);
    value = ToggledValue(value, bit, clear);
    dev.RfAccess(1, unsigned(bank), unsigned(reg), value);
    return value;
}

bool RunRfScript(CDeviceCommands& dev, const std::string& path, IScriptLog& log) {
    File f = OpenFile(path, "r");
    if (!f) return false;
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
    File f = OpenFile(path, "w");
    if (!f) return false;
    for (int bank : kSavedBanks)
        for (int reg = 0; reg < kRegistersPerBank; ++reg) {
            std::uint8_t value = 0;
            dev.RfAccess(0, unsigned(bank), unsigned(reg), value);
            Put(f.get(), RegisterFileLine(bank, reg, value));
        }
    return true;
}

bool LoadRfRegisters(CDeviceCommands& dev, const std::string& path) {
    File f = OpenFile(path, "r");
    if (!f) return false;
    RegisterFields fields;
    std::string line;
    while (ReadTextLine(f.get(), line)) {
        if (!ParseRegisterLine(line, fields)) continue;
        std::uint8_t value = std::uint8_t(fields.value);
        dev.RfAccess(1, unsigned(fields.bank), unsigned(fields.reg), value);
    }
    f.reset();
    std::uint8_t cal = 0;
    dev.RfAccess(0, 0, kVcoCalRegister, cal);
    cal |= kVcoCalBit;
    dev.RfAccess(1, 0, kVcoCalRegister, cal);
    Sleep(5);
    return true;
}

bool DumpBankForAte(CDeviceCommands& dev, const std::string& path, int bank) {
    File f = OpenFile(path, "w");
    if (!f) return false;
    for (int reg = 0; reg < kRegistersPerBank; ++reg) {
        std::uint8_t value = 0;
        dev.RfAccess(0, unsigned(bank), unsigned(reg), value);
        Put(f.get(), AteDumpLine(bank, reg, value));
    }
    return true;
}

bool TestRegisterReadWrite(CDeviceCommands& dev, const std::string& path, int bank, int registerCount) {
    File f = OpenFile(path, "w");
    if (!f) return false;
    Put(f.get(), kTestFileHeader);
    for (int reg = 0; reg < registerCount; ++reg) {
        for (unsigned v = 0; v <= 0xFF; ++v) {
            std::uint8_t written = std::uint8_t(v);
            dev.RfAccess(1, unsigned(bank), unsigned(reg), written);
            std::uint8_t read = 0;
            dev.RfAccess(0, unsigned(bank), unsigned(reg), read);
            Put(f.get(), TestLine(reg, std::uint8_t(v), read));
        }
        Put(f.get(), kTestFileSeparator);
    }
    return true;
}

} // namespace vq::rf

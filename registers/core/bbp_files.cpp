#include "registers/core/bbp_files.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/services.h"
#include "device/sequence.h"
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

bool ReadLine(std::FILE* file, std::string& line) {
    if (!ReadTextLine(file, line)) return false;
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

bool ParseRegisterLine(std::string_view s, std::uint8_t& reg, std::uint8_t& value) {
    // Register number: the decimal word before the first blank (or "=");
    // comments (";") and other lines have none.
    const ScannedNumber r = vq::ScanNumber(s, 0, kFileRegister);
    if (!r.found) return false;
    std::size_t p = r.end;
    if (p < s.size() && !IsBlank(s[p]) && s[p] != '=') return false;
    const std::size_t eq = s.find('=', p);
    if (eq == std::string_view::npos) return false;
    const ScannedNumber v = vq::ScanNumber(s, eq + 1, kFileValue);
    if (!v.found) return false;
    reg = std::uint8_t(r.value);
    value = std::uint8_t(v.value);
    return true;
}

bool ParseScriptLine(std::string_view s, int& operation, ScriptStep& step) {
    std::size_t p = 0;
    std::uint32_t op = 0, r = 0, v = 0;
    if (!ScanNumber(s, p, op, false)) return false; // no number: no register either
    operation = int(op);
    if (!ScanNumber(s, p, r, false)) return false;
    step.write = (operation & 0xFF) != 0;
    if (step.write && !ScanNumber(s, p, v, true)) return false;
    step.reg = std::uint8_t(r);
    step.value = step.write ? std::uint8_t(v) : 0;
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

bool SaveRegisterFile(CDeviceCommands& dev, const std::string& path) {
    FileHandle file(path, "w");
    if (!file) return false;
    DeviceSequence sequence;
    for (unsigned r = 0; r < 256; ++r)
        file.Put(RegisterLine(r, dev.BbpValue(r)));
    const unsigned pairs[2][2] = {{reg::Index158, reg::Data159}, {reg::Index195, reg::Data196}};
    for (const auto& pair : pairs) {
        for (unsigned j = 0; j < 256; ++j) {
            dev.SetBbp(pair[0], std::uint8_t(j));
            file.Put(RegisterLine(pair[0], std::uint8_t(j)));
            file.Put(RegisterLine(pair[1], dev.BbpValue(pair[1])));
        }
    }
    return true;
}

bool LoadRegisterFile(CDeviceCommands& dev, const std::string& path) {
    FileHandle file(path, "r");
    if (!file) return false;
    DeviceSequence sequence;
    std::string line;
    std::uint8_t r = 0, v = 0;
    while (ReadLine(file.get(), line))
        if (ParseRegisterLine(line, r, v)) dev.SetBbp(r, v);
    return true;
}

bool RunScript(CDeviceCommands& dev, const std::string& path, std::vector<std::string>& log) {
    FileHandle file(path, "r");
    if (!file) return false;
    DeviceSequence sequence;
    log.clear();
    std::string line;
    int operation = 0;
    while (ReadLine(file.get(), line)) {
        ScriptStep step;
        if (!ParseScriptLine(line, operation, step)) continue;
        if (step.write) {
            dev.SetBbp(step.reg, step.value);
            log.push_back(ScriptLogLine(true, step.reg, step.value));
        } else {
            log.push_back(ScriptLogLine(false, step.reg, dev.BbpValue(step.reg)));
        }
    }
    return true;
}

bool DumpPapdTable(CDeviceCommands& dev, const std::string& path) {
    FileHandle file(path, "w");
    if (!file) return false;
    DeviceSequence sequence;
    const std::uint8_t saved = dev.BbpValue(reg::Papd);
    dev.SetBbp(reg::Papd, kPapdSelect);
    for (unsigned i = 0; i < kPapdEntries; ++i) {
        dev.SetBbp(reg::PapdIndex, std::uint8_t(i));
        file.Put(PapdLine(dev.BbpValue(reg::PapdData)));
    }
    dev.SetBbp(reg::Papd, saved);
    return true;
}

bool WritePapdTable(CDeviceCommands& dev, const std::string& path) {
    FileHandle file(path, "r");
    if (!file) return false;
    DeviceSequence sequence;
    const std::uint8_t saved = dev.BbpValue(reg::Papd);
    dev.SetBbp(reg::Papd, kPapdSelect);
    std::string line;
    unsigned index = 0;
    // Lines without a value are skipped; entries past the table's end are
    // ignored rather than wrapping onto entry 0.
    while (index < kPapdEntries && ReadLine(file.get(), line)) {
        std::uint8_t value = 0;
        if (!ParsePapdLine(line, value)) continue;
        dev.SetBbp(reg::PapdIndex, std::uint8_t(index));
        dev.SetBbp(reg::PapdData, value);
        ++index;
    }
    dev.SetBbp(reg::Papd, saved);
    return true;
}

bool DumpCapture(CDeviceCommands& dev, CaptureKind kind, const std::string& basePath,
                 const std::function<void()>& afterTrigger) {
    FileHandle text(basePath + ".txt", "w");
    if (!text) return false;
    FileHandle binary(basePath + ".bin", "wb");
    if (!binary) return false;
    DeviceSequence sequence;

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
        bytes[i] = dev.BbpValue(reg::CaptureData);
        out += CaptureValueText(bytes[i]);
        if ((i + 1) % kCaptureValuesPerLine == 0) out += '\n';
    }
    text.Put(out);
    std::fwrite(bytes.data(), 1, bytes.size(), binary.get());
    return true;
}

} // namespace vq::bbp

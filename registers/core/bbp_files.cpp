#include "registers/core/bbp_files.h"

#include "base/services.h"
#include "formats/text_files.h"

#include <cstdio>

namespace vq::bbp {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a number the way "%d" / "%X" do (leading white space, optional sign,
// for hexadecimal an optional "0x"), keeping it modulo 2^32: huge numbers wrap
// instead of overflowing, and the low 8 bits stay exact.
bool ScanNumber(std::string_view s, std::size_t& pos, std::uint32_t& value, bool hex) {
    std::size_t p = pos;
    while (p < s.size() && IsSpace(s[p]))
        ++p;
    bool negative = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) negative = s[p++] == '-';
    if (hex && p + 2 < s.size() && s[p] == '0' && (s[p + 1] == 'x' || s[p + 1] == 'X') &&
        HexDigit(s[p + 2]) >= 0)
        p += 2;
    const unsigned base = hex ? 16 : 10;
    std::uint32_t acc = 0;
    std::size_t digits = 0;
    for (; p < s.size(); ++p, ++digits) {
        const int d = hex ? HexDigit(s[p]) : (IsDigit(s[p]) ? s[p] - '0' : -1);
        if (d < 0) break;
        acc = acc * base + std::uint32_t(d);
    }
    if (digits == 0) return false;
    value = negative ? 0u - acc : acc;
    pos = p;
    return true;
}

std::string Format(const char* format, unsigned a, unsigned b) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

struct File {
    explicit File(const std::string& path, const char* mode) : f(std::fopen(path.c_str(), mode)) {}
    ~File() {
        if (f) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* f;
};

void Put(std::FILE* f, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), f);
}

std::uint8_t Read(CDeviceCommands& dev, unsigned reg) {
    std::uint8_t v = 0; // a failed read leaves 0
    dev.BbpAccess(0, reg, v);
    return v;
}

void Write(CDeviceCommands& dev, unsigned reg, std::uint8_t value) {
    dev.BbpAccess(1, reg, value);
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
    return Format("0x%02X\n", value, 0);
}

std::string CaptureValueText(std::uint8_t byte) {
    const int v = std::int8_t(byte);
    return (v > 0 ? "+" : "") + std::to_string(v) + "\t";
}

std::string WithTxtAlways(const std::string& name) {
    return name + ".txt";
}

bool ParseRegisterLine(std::string_view s, std::uint8_t& reg, std::uint8_t& value) {
    std::size_t p = 0;
    while (p < s.size() && IsBlank(s[p]))
        ++p;
    if (p == s.size() || s[p] == ';') return false;
    // Register number: the decimal word before the first blank (or "=").
    if (!IsDigit(s[p])) return false;
    std::uint32_t r = 0;
    for (; p < s.size() && IsDigit(s[p]); ++p)
        r = r * 10 + std::uint32_t(s[p] - '0');
    if (p < s.size() && !IsBlank(s[p]) && s[p] != '=') return false;
    const std::size_t eq = s.find('=', p);
    if (eq == std::string_view::npos) return false;
    p = eq + 1;
    while (p < s.size() && IsBlank(s[p]))
        ++p;
    // Up to two hexadecimal digits, either case.
    unsigned v = 0, digits = 0;
    for (; digits < 2 && p < s.size() && HexDigit(s[p]) >= 0; ++p, ++digits)
        v = v * 16 + unsigned(HexDigit(s[p]));
    if (digits == 0) return false;
    reg = std::uint8_t(r);
    value = std::uint8_t(v);
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
    File file(path, "w");
    if (!file.f) return false;
    for (unsigned r = 0; r < 256; ++r)
        Put(file.f, RegisterLine(r, Read(dev, r)));
    const unsigned pairs[2][2] = {{reg::Index158, reg::Data159}, {reg::Index195, reg::Data196}};
    for (const auto& pair : pairs) {
        for (unsigned j = 0; j < 256; ++j) {
            Write(dev, pair[0], std::uint8_t(j));
            Put(file.f, RegisterLine(pair[0], std::uint8_t(j)));
            Put(file.f, RegisterLine(pair[1], Read(dev, pair[1])));
        }
    }
    return true;
}

bool LoadRegisterFile(CDeviceCommands& dev, const std::string& path) {
    File file(path, "r");
    if (!file.f) return false;
    std::string line;
    std::uint8_t r = 0, v = 0;
    while (ReadLine(file.f, line))
        if (ParseRegisterLine(line, r, v)) Write(dev, r, v);
    return true;
}

bool RunScript(CDeviceCommands& dev, const std::string& path, std::vector<std::string>& log) {
    File file(path, "r");
    if (!file.f) return false;
    log.clear();
    std::string line;
    int operation = 0;
    while (ReadLine(file.f, line)) {
        ScriptStep step;
        if (!ParseScriptLine(line, operation, step)) continue;
        if (step.write) {
            Write(dev, step.reg, step.value);
            log.push_back(ScriptLogLine(true, step.reg, step.value));
        } else {
            log.push_back(ScriptLogLine(false, step.reg, Read(dev, step.reg)));
        }
    }
    return true;
}

bool DumpPapdTable(CDeviceCommands& dev, const std::string& path) {
    File file(path, "w");
    if (!file.f) return false;
    const std::uint8_t saved = Read(dev, reg::Papd);
    Write(dev, reg::Papd, kPapdSelect);
    for (unsigned i = 0; i < kPapdEntries; ++i) {
        Write(dev, reg::PapdIndex, std::uint8_t(i));
        Put(file.f, PapdLine(Read(dev, reg::PapdData)));
    }
    Write(dev, reg::Papd, saved);
    return true;
}

bool WritePapdTable(CDeviceCommands& dev, const std::string& path) {
    File file(path, "r");
    if (!file.f) return false;
    const std::uint8_t saved = Read(dev, reg::Papd);
    Write(dev, reg::Papd, kPapdSelect);
    std::string line;
    unsigned index = 0;
    // Lines without a value are skipped; entries past the table's end are
    // ignored rather than wrapping onto entry 0.
    while (index < kPapdEntries && ReadLine(file.f, line)) {
        std::uint8_t value = 0;
        if (!ParsePapdLine(line, value)) continue;
        Write(dev, reg::PapdIndex, std::uint8_t(index));
        Write(dev, reg::PapdData, value);
        ++index;
    }
    Write(dev, reg::Papd, saved);
    return true;
}

bool DumpCapture(CDeviceCommands& dev, CaptureKind kind, const std::string& basePath,
                 const std::function<void()>& afterTrigger) {
    File text(basePath + ".txt", "w");
    if (!text.f) return false;
    File binary(basePath + ".bin", "wb");
    if (!binary.f) return false;

    // R59 bit 2 starts the capture and drops when it is done; bit 1 picks the
    // equaliser output instead of the ADC samples.
    const std::uint8_t trigger = kind == CaptureKind::Adc ? 4 : 6;
    const std::uint8_t done = kind == CaptureKind::Adc ? 0 : 2;
    Write(dev, reg::CaptureCtrl, trigger);
    for (int n = 0; n < kCapturePolls; ++n) {
        vq::Sleep(1);
        std::uint8_t v = trigger; // a failed read does not count as done
        dev.BbpAccess(0, reg::CaptureCtrl, v);
        if (v == done) break;
    }
    Write(dev, reg::CaptureCtrl, done);
    if (afterTrigger) afterTrigger();

    std::string out;
    out.reserve(kCaptureBytes * 5);
    std::vector<std::uint8_t> bytes(kCaptureBytes);
    for (unsigned i = 0; i < kCaptureBytes; ++i) {
        bytes[i] = Read(dev, reg::CaptureData);
        out += CaptureValueText(bytes[i]);
        if ((i + 1) % kCaptureValuesPerLine == 0) out += '\n';
    }
    Put(text.f, out);
    std::fwrite(bytes.data(), 1, bytes.size(), binary.f);
    return true;
}

} // namespace vq::bbp

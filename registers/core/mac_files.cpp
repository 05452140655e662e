#include "registers/core/mac_files.h"

#include "base/format.h"
#include "base/numbers.h"
#include "formats/runner_summary.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

namespace vq {

const MacRegion kMacRegions[kMacRegionCount] = {
    {"PCI & DMA Registers", 0x0000, 4096},
    {"MAC register", 0x1000, 4096},
    {"Program Memory", 0x2000, 8192},
    {"MAC Key Table", 0x4000, 4096},
    {"Shared Memory", 0x4000, 16384},
    {"PACKET BUF", 0x8000, 32768},
    {"CIS", 0x7600, 256},
};

std::string MacRegionEntry(int index) {
    if (index < 0 || index >= kMacRegionCount) return {};
    return Format("%-24s (offset:0x%04X)", kMacRegions[index].name, unsigned(kMacRegions[index].offset));
}

namespace {

// Script and register-file numbers: blanks skipped, hexadecimal with an
// optional 0x wrapping at 32 bits; the decimal operation and BBP register
// with a sign, keeping their first nine digits.
constexpr NumberFormat kHex{.base = 16, .blanks = Blanks::Any, .hexPrefix = true};
constexpr NumberFormat kDecimal{
    .base = 10, .blanks = Blanks::Any, .sign = true, .overflow = Overflow::KeepLeading, .limit = 100000000};
// The single-access field: hexadecimal digits from the first character on.
constexpr NumberFormat kField{.base = 16, .blanks = Blanks::None};

bool ScanHex(const std::string& s, std::size_t& pos, std::uint32_t& value) {
    const ScannedNumber n = ScanNumber(s, pos, kHex);
    if (!n.found) return false;
    pos = n.end;
    value = std::uint32_t(n.value);
    return true;
}

bool ScanDecimal(const std::string& s, std::size_t& pos, long& value) {
    const ScannedNumber n = ScanNumber(s, pos, kDecimal);
    if (!n.found) return false;
    pos = n.end;
    value = long(n.value);
    return true;
}

bool IsTokenSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n';
}

struct Token {
    std::string text;
    std::size_t end; // index just past the token
};

std::vector<Token> Tokens(const std::string& s) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsTokenSeparator(s[i]))
            ++i;
        if (i >= s.size()) break;
        const std::size_t start = i;
        while (i < s.size() && !IsTokenSeparator(s[i]))
            ++i;
        out.push_back({s.substr(start, i - start), i});
    }
    return out;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::uint32_t ParseMacHexPrefix(const std::string& text, bool* digits) {
    std::size_t pos = 0;
    std::uint32_t v = 0;
    const bool ok = ScanHex(text, pos, v);
    if (digits) *digits = ok;
    return ok ? v : 0;
}

std::uint32_t ParseMacHexField(const std::string& text) {
    return std::uint32_t(NumberPrefix(text, kField));
}

MacScriptLine ParseMacScriptLine(const std::string& line) {
    MacScriptLine r;
    std::size_t pos = 0;
    long op = 0;
    if (!FirstWordIsDecimal(line) || !ScanDecimal(line, pos, op)) {
        r.skip = skip::kNotANumber;
        return r;
    }
    r.operation = static_cast<int>(op);
    if (!ScanHex(line, pos, r.address)) {
        r.skip = skip::kNoAddress;
        return r;
    }
    if (r.operation != 0 && !ScanHex(line, pos, r.value)) {
        r.skip = skip::kNoValue;
        return r;
    }
    r.valid = true;
    return r;
}

std::string MacScriptWriteLog(std::uint32_t address, std::uint32_t value) {
    return Format("W:\tMAC 0x%X\t= 0x%08X\n", address, value);
}

std::string MacScriptReadLog(std::uint32_t address, std::uint32_t value) {
    return Format("R:\tMAC 0x%X\t= 0x%08X\n", address, value);
}

MacRegisterLine ParseMacRegisterLine(const std::string& rawLine) {
    MacRegisterLine r;
    const std::string line = rawLine.substr(0, rawLine.find(';'));
    const auto tokens = Tokens(line);
    if (tokens.empty()) return r;
    const std::string keyword = Upper(tokens[0].text);
    // A number token is hexadecimal as a whole (optional 0x): a mistyped
    // keyword is not taken for an offset.
    auto hexToken = [&](std::size_t i, std::uint32_t& v) {
        if (i >= tokens.size()) return false;
        const std::string& t = tokens[i].text;
        std::size_t pos = 0;
        return ScanHex(t, pos, v) && pos == t.size();
    };
    auto malformed = [&](const char* why) {
        r.skip = why;
        return r;
    };
    if (keyword == "BANK") {
        if (!hexToken(1, r.first) || r.first >= std::uint32_t(kMacRegionCount))
            return malformed(skip::kNoRegion);
        r.kind = MacRegisterLine::Kind::Bank;
    } else if (keyword == "LOADFILE" || keyword == "SAVEFILE") {
        // The name runs from just after the one separator that ended the
        // keyword to a tab or the line end; it may hold blanks and commas.
        std::size_t start = tokens[0].end + 1;
        if (start > line.size()) return malformed(skip::kNoFileName);
        std::size_t end = line.find_first_of("\t\r\n", start);
        if (end == std::string::npos) end = line.size();
        std::string name = line.substr(start, end - start);
        // Trailing blanks are not part of a file name (the file system drops them).
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name.empty()) return malformed(skip::kNoFileName);
        r.fileName = name;
        r.kind = keyword == "LOADFILE" ? MacRegisterLine::Kind::LoadFile : MacRegisterLine::Kind::SaveFile;
    } else if (keyword == "BBPSET") {
        std::size_t pos = 0;
        long reg = 0;
        if (tokens.size() < 2 || !ScanDecimal(tokens[1].text, pos, reg) || pos != tokens[1].text.size() ||
            reg < 0)
            return malformed(skip::kNoRegister);
        if (!hexToken(2, r.second)) return malformed(skip::kNoValue);
        r.first = static_cast<std::uint32_t>(reg);
        r.kind = MacRegisterLine::Kind::BbpSet;
    } else {
        if (!hexToken(0, r.first)) return malformed(skip::kUnknownWord);
        if (!hexToken(1, r.second)) return malformed(skip::kNoValue);
        r.kind = MacRegisterLine::Kind::Write;
    }
    return r;
}

std::string MacResolveBesideFile(const std::string& registerFile, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path p(name);
    if (p.is_absolute()) return name;
    return (fs::path(registerFile).parent_path() / p).string();
}

} // namespace vq

#include "calibration/papd/core/papd_memory.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/services.h"
#include "device/sequence.h"
#include "formats/saved_file.h"
#include "formats/text_files.h"

#include <vector>

namespace vq::papd {

namespace {

constexpr NumberFormat kHexLine{.base = 16, .blanks = Blanks::Any, .sign = true, .hexPrefix = true};
constexpr NumberFormat kDecimal{.base = 10, .blanks = Blanks::Any, .sign = true};

// MAC 0x400 := (MAC 0x400 AND NOT clear) OR set; nothing is written after a failed read.
bool SelectBank(CDeviceCommands& dev, std::uint32_t clear, std::uint32_t set) {
    std::uint32_t v = 0;
    if (dev.MacRead(kBankSelect, v) != 0) return false;
    return dev.MacWrite(kBankSelect, (v & ~clear) | set) == 0;
}

bool EnableScope(CDeviceCommands& dev) {
    std::uint32_t v = 0;
    if (dev.MacRead(kScopeEnable, v) != 0) return false;
    return dev.MacWrite(kScopeEnable, v | 1) == 0;
}

// Reads `count` words of a window into `words`; false at the first failure.
bool ReadWords(CDeviceCommands& dev, std::uint32_t base, unsigned count, std::vector<std::uint32_t>& words) {
    for (unsigned i = 0; i < count; ++i) {
        std::uint32_t v = 0;
        if (dev.MacRead(base + 4 * i, v) != 0) return false;
        words.push_back(v);
    }
    return true;
}

// Both PBF halves, the second one short in PAPD mode.
bool ReadPbfWords(CDeviceCommands& dev, bool papdMode, std::vector<std::uint32_t>& words) {
    return SelectBank(dev, kPbfHalfBits, 0) && ReadWords(dev, kPbfBase, kPbfWords, words) &&
           SelectBank(dev, 0x40000, kPbfSecondHalf) &&
           ReadWords(dev, kPbfBase, papdMode ? kPbfShortWords : kPbfWords, words);
}

bool Save(const std::string& path, bool complete, const std::string& what, const std::string& text) {
    if (!complete) {
        ShowMessage(ReadFailedText(what, path));
        return false;
    }
    return SaveWholeFile(path, text);
}

std::string WordLines(const std::vector<std::uint32_t>& words) {
    std::string text;
    text.reserve(words.size() * 9);
    for (std::uint32_t w : words)
        text += Format("%08X\n", w);
    return text;
}

// Every line's hexadecimal value, in order; false when the file cannot be opened.
bool HexValues(const std::string& path, std::vector<std::uint32_t>& values) {
    FileHandle file(path, "r");
    if (!file) return false;
    std::string line;
    while (ReadTextLine(file.get(), line)) {
        const ScannedNumber n = ScanNumber(line, 0, kHexLine);
        if (n.found) values.push_back(std::uint32_t(n.value));
    }
    return true;
}

} // namespace

std::uint32_t PackPbfWord(const std::array<int, 4>& a) {
    return ((std::uint32_t(a[1]) << 12) & 0x3FFFFF) | (std::uint32_t(a[0]) & 0x3FF) |
           (std::uint32_t(a[2]) << 24);
}

std::uint32_t PackSharedWord(const std::array<int, 4>& a, const std::array<int, 4>& b) {
    // The third values keep their bits 8..9 here; their low byte is in the PBF word.
    return ((std::uint32_t(a[3]) << 4) & 0x3FFF) | (std::uint32_t(a[2] >> 8) & 3) |
           ((std::uint32_t(b[2] >> 8) & 3) << 16) | ((std::uint32_t(b[3]) << 20) & 0x3FFFFFFF);
}

std::string TableLine(std::uint32_t word) {
    return Format("%d\t%d\t%d\t%d\n", int(std::int8_t(word)), int(std::int8_t(word >> 8)),
                  int(std::int8_t(word >> 16)), int(std::int8_t(word >> 24)));
}

bool ParseTableLine(const std::string& line, std::array<int, 4>& values) {
    std::size_t pos = 0;
    for (int& v : values) {
        const ScannedNumber n = ScanNumber(line, pos, kDecimal);
        if (!n.found) return false;
        v = int(n.value);
        pos = n.end;
    }
    return true;
}

bool ReadPbf(CDeviceCommands& dev, const std::string& path, bool papdMode) {
    DeviceSequence sequence;
    std::vector<std::uint32_t> words;
    const bool complete = ReadPbfWords(dev, papdMode, words);
    return Save(path, complete, "The PBF memory", complete ? WordLines(words) : "");
}

bool ReadTable(CDeviceCommands& dev, const std::string& path, bool papdMode) {
    DeviceSequence sequence;
    std::uint32_t status = 0;
    dev.MacRead(kTableStatus, status); // read before every table dump; the value is not used
    std::vector<std::uint32_t> words;
    const bool complete = ReadPbfWords(dev, papdMode, words);
    std::string text;
    if (complete) {
        text.reserve(words.size() * 16);
        for (std::uint32_t w : words)
            text += TableLine(w);
    }
    return Save(path, complete, "The PAPD table", text);
}

bool ReadDataScope(CDeviceCommands& dev, const std::string& path) {
    DeviceSequence sequence;
    bool complete = EnableScope(dev);
    std::string text;
    text.reserve(kScopeBytes * 3);
    for (unsigned i = 0; i < kScopeBytes && complete; ++i) {
        std::uint32_t v = 0;
        complete = dev.MacRead(kScopeData, v) == 0;
        text += Format("%02X\n", v & 0xFF);
    }
    return Save(path, complete, "The data scope buffer", text);
}

bool ReadSharedMemory(CDeviceCommands& dev, const std::string& path, bool papdMode) {
    DeviceSequence sequence;
    std::vector<std::uint32_t> words;
    bool complete = SelectBank(dev, kSharedSecond, 0) && ReadWords(dev, kSharedBase, kSharedWords, words);
    if (complete && !papdMode) {
        complete =
            SelectBank(dev, 0, kSharedSecond) && ReadWords(dev, kSharedBase, kSharedSecondWords, words);
        complete = SelectBank(dev, kSharedSecond, 0) && complete; // back to the first part whatever happened
    }
    return Save(path, complete, "The shared memory", complete ? WordLines(words) : "");
}

bool WritePbf(CDeviceCommands& dev, const std::string& path) {
    std::vector<std::uint32_t> values;
    if (!HexValues(path, values)) return false;
    DeviceSequence sequence;
    if (!SelectBank(dev, kPbfHalfBits, 0)) return true;
    std::uint32_t off = 0;
    for (std::uint32_t v : values) {
        dev.MacWrite(kPbfBase + off, v);
        // After the last word of a half the second half starts again at its first word.
        if (off == 0x7FFC) {
            if (!SelectBank(dev, 0x40000, kPbfSecondHalf)) break;
            off = 0;
        } else {
            off += 4;
        }
    }
    return true;
}

bool WriteDataScope(CDeviceCommands& dev, const std::string& path) {
    std::vector<std::uint32_t> values;
    if (!HexValues(path, values)) return false;
    DeviceSequence sequence;
    if (!EnableScope(dev)) return true;
    for (std::uint32_t v : values)
        dev.MacWrite(kScopeData, v & 0xFF);
    return true;
}

bool WriteSharedMemory(CDeviceCommands& dev, const std::string& path) {
    std::vector<std::uint32_t> values;
    if (!HexValues(path, values)) return false;
    DeviceSequence sequence;
    if (!SelectBank(dev, kSharedSecond, 0)) return true;
    std::uint32_t off = 0;
    for (std::uint32_t v : values) {
        dev.MacWrite(kSharedBase + off, v);
        if (off == 0x3FFC) {
            if (!SelectBank(dev, 0, kSharedSecond)) break;
            off = 0;
        } else {
            off += 4;
        }
    }
    SelectBank(dev, kSharedSecond, 0);
    return true;
}

bool WriteTable(CDeviceCommands& dev, const std::string& path) {
    FileHandle file(path, "r");
    if (!file) return false;
    std::vector<std::array<int, 4>> lines;
    std::string line;
    std::array<int, 4> values{};
    while (ReadTextLine(file.get(), line))
        if (ParseTableLine(line, values)) lines.push_back(values);
    file.Close();

    DeviceSequence sequence;
    if (!SelectBank(dev, 0xE0000, 0)) return true;
    std::uint32_t p = 0, s = 0;
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        const std::array<int, 4>& a = lines[i];
        const std::array<int, 4>& b =
            i + 1 < lines.size() ? lines[i + 1] : a; // an odd last line pairs with itself
        dev.MacWrite(kPbfBase + p, PackPbfWord(a));
        dev.MacWrite(kPbfBase + 4 + p, PackPbfWord(b));
        if (p == 0x7FF8) {
            SelectBank(dev, 0x40000, kPbfSecondHalf);
            p = 0;
        } else {
            p += 8;
        }
        dev.MacWrite(kSharedBase + s, PackSharedWord(a, b));
        if (s == 0x3FFC) {
            std::uint32_t v = 0;
            if (dev.MacRead(kBankSelect, v) == 0) dev.MacWrite(kBankSelect, v | kSharedSecond);
            s = 0;
        } else {
            s += 4;
        }
    }
    SelectBank(dev, kSharedSecond, 0);
    return true;
}

} // namespace vq::papd

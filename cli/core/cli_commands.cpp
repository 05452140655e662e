#include "cli/core/cli_commands.h"

#include "base/format.h"
#include "cli/core/cli.h"
#include "cli/core/cli_ops.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace vq::cli {

std::optional<std::uint64_t> ParseHexArg(const std::string& text, std::uint64_t max) {
    std::size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) i = 2;
    const std::size_t digits = text.size() - i;
    if (digits == 0 || digits > 16) return std::nullopt;
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 16 + std::uint64_t(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    if (v > max) return std::nullopt;
    return v;
}

std::optional<std::uint64_t> ParseUnsignedArg(const std::string& text, std::uint64_t max) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return ParseHexArg(text, max);
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 10 + std::uint64_t(c - '0');
    }
    if (v > max) return std::nullopt;
    return v;
}

namespace {

using Args = std::vector<std::string>;

struct CommandEntry {
    const char* name;     // one or two words
    const char* synopsis; // after "vq9447-cli [OPTIONS] "
    const char* description;
    // Checks the arguments and makes the step; false with `error` set.
    bool (*parse)(const Args& args, const GlobalOptions& options, Step& step, std::string& error);
};

// ---- Argument helpers -------------------------------------------------------------

bool Fail(std::string& error, const std::string& text) {
    error = text;
    return false;
}

bool Count(const Args& a, std::size_t min, std::size_t max, const char* synopsis, std::string& error) {
    if (a.size() >= min && a.size() <= max) return true;
    return Fail(error, std::string(a.size() < min ? "missing argument" : "too many arguments") +
                           "\nUsage: vq9447-cli [OPTIONS] " + synopsis);
}

bool Hex(const std::string& text, std::uint64_t max, const char* what, std::uint64_t& out, std::string& error) {
    const auto v = ParseHexArg(text, max);
    if (!v)
        return Fail(error, Format("%s \"%s\" is not a hexadecimal number from 0 to 0x%llX", what, text.c_str(),
                                  static_cast<unsigned long long>(max)));
    out = *v;
    return true;
}

bool Unsigned(const std::string& text, std::uint64_t min, std::uint64_t max, const char* what, std::uint64_t& out,
              std::string& error) {
    const auto v = ParseUnsignedArg(text, max);
    if (!v || *v < min)
        return Fail(error, Format("%s \"%s\" must be a number from %llu to %llu", what, text.c_str(),
                                  static_cast<unsigned long long>(min), static_cast<unsigned long long>(max)));
    out = *v;
    return true;
}

bool ExistingFile(const std::string& path, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Fail(error, "file \"" + path + "\" does not exist");
    if (!S_ISREG(st.st_mode)) return Fail(error, "\"" + path + "\" is not a regular file");
    return true;
}

bool WritableTarget(const std::string& path, std::string& error) {
    if (path.empty()) return Fail(error, "empty file name");
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Fail(error, "folder \"" + dir + "\" of \"" + path + "\" does not exist");
    return true;
}

// "--name value" pairs after the positional arguments.
bool Options(const Args& a, const std::vector<std::string>& withValue, const std::vector<std::string>& flags,
             std::map<std::string, std::string>& out, std::string& error) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::string& o = a[i];
        if (std::find(flags.begin(), flags.end(), o) != flags.end()) {
            out[o] = "1";
        } else if (std::find(withValue.begin(), withValue.end(), o) != withValue.end()) {
            if (i + 1 >= a.size()) return Fail(error, o + " needs a value");
            out[o] = a[++i];
        } else {
            return Fail(error, "unknown option or argument \"" + o + "\"");
        }
    }
    return true;
}

// ---- Commands ---------------------------------------------------------------------

bool ParseMacRead(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 1, 2, "mac read ADDR [COUNT]", e)) return false;
    std::uint64_t addr = 0, count = 1;
    if (!Hex(a[0], 0xFFFFFFFC, "address", addr, e)) return false;
    if (addr % 4) return Fail(e, "address " + a[0] + " is not a multiple of 4");
    if (a.size() > 1 && !Hex(a[1], 0x10000, "count", count, e)) return false;
    if (count == 0) return Fail(e, "count must be at least 1");
    if (addr + 4 * count > 0x100000000ull) return Fail(e, "the range passes the end of the MAC space");
    s.run = [addr, count](Context& c) { return MacReadOp(c, std::uint32_t(addr), std::uint32_t(count)); };
    return true;
}

bool ParseMacWrite(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "mac write ADDR VALUE", e)) return false;
    std::uint64_t addr = 0, value = 0;
    if (!Hex(a[0], 0xFFFFFFFC, "address", addr, e) || !Hex(a[1], 0xFFFFFFFF, "value", value, e)) return false;
    if (addr % 4) return Fail(e, "address " + a[0] + " is not a multiple of 4");
    s.run = [addr, value](Context& c) { return MacWriteOp(c, std::uint32_t(addr), std::uint32_t(value)); };
    return true;
}

bool Region(const std::string& name, int& index, std::string& e) {
    index = MacRegionIndex(name);
    if (index >= 0) return true;
    return Fail(e, "no MAC region \"" + name + "\"; the regions are: " + MacRegionNames());
}

bool ParseMacLoadRegion(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "mac load-region NAME FILE", e)) return false;
    int region = 0;
    if (!Region(a[0], region, e) || !ExistingFile(a[1], e)) return false;
    const std::string path = a[1];
    s.run = [region, path](Context& c) { return MacLoadRegionOp(c, region, path); };
    return true;
}

bool ParseMacSaveRegion(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "mac save-region NAME FILE", e)) return false;
    int region = 0;
    if (!Region(a[0], region, e) || !WritableTarget(a[1], e)) return false;
    const std::string path = a[1];
    s.run = [region, path](Context& c) { return MacSaveRegionOp(c, region, path); };
    return true;
}

bool ParseBbpRead(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 1, 1, "bbp read REG", e)) return false;
    std::uint64_t reg = 0;
    if (!Unsigned(a[0], 0, 255, "BBP register", reg, e)) return false;
    s.run = [reg](Context& c) { return BbpReadOp(c, unsigned(reg)); };
    return true;
}

bool ParseBbpWrite(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "bbp write REG VALUE", e)) return false;
    std::uint64_t reg = 0, value = 0;
    if (!Unsigned(a[0], 0, 255, "BBP register", reg, e) || !Hex(a[1], 0xFF, "value", value, e)) return false;
    s.run = [reg, value](Context& c) { return BbpWriteOp(c, unsigned(reg), std::uint8_t(value)); };
    return true;
}

bool ParseRfRead(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "rf read BANK REG", e)) return false;
    std::uint64_t bank = 0, reg = 0;
    if (!Unsigned(a[0], 0, 15, "RF bank", bank, e) || !Unsigned(a[1], 0, 63, "RF register", reg, e)) return false;
    s.run = [bank, reg](Context& c) { return RfReadOp(c, int(bank), int(reg)); };
    return true;
}

bool ParseRfWrite(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 3, 3, "rf write BANK REG VALUE", e)) return false;
    std::uint64_t bank = 0, reg = 0, value = 0;
    if (!Unsigned(a[0], 0, 15, "RF bank", bank, e) || !Unsigned(a[1], 0, 63, "RF register", reg, e) ||
        !Hex(a[2], 0xFF, "value", value, e))
        return false;
    s.run = [bank, reg, value](Context& c) { return RfWriteOp(c, int(bank), int(reg), std::uint8_t(value)); };
    return true;
}

bool ParseRfDump(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 0, 0, "rf dump", e)) return false;
    s.run = [](Context& c) { return RfDumpOp(c); };
    return true;
}

bool Kind(const std::string& text, RegisterKind& kind, std::string& e) {
    if (text == "mac") kind = RegisterKind::Mac;
    else if (text == "bbp") kind = RegisterKind::Bbp;
    else if (text == "rf") kind = RegisterKind::Rf;
    else return Fail(e, "\"" + text + "\" is not one of mac, bbp, rf");
    return true;
}

bool ParseScript(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "script mac|bbp|rf FILE", e)) return false;
    RegisterKind kind{};
    if (!Kind(a[0], kind, e) || !ExistingFile(a[1], e)) return false;
    const std::string path = a[1];
    s.run = [kind, path](Context& c) { return ScriptOp(c, kind, path); };
    return true;
}

bool ParseRegfile(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 3, 3, "regfile mac|bbp|rf load|save FILE", e)) return false;
    RegisterKind kind{};
    if (!Kind(a[0], kind, e)) return false;
    const bool load = a[1] == "load";
    if (!load && a[1] != "save") return Fail(e, "\"" + a[1] + "\" is not load or save");
    if (!load && kind == RegisterKind::Mac)
        return Fail(e, "MAC register files are replayed, not saved: use 'mac save-region NAME FILE'");
    if (load ? !ExistingFile(a[2], e) : !WritableTarget(a[2], e)) return false;
    const std::string path = a[2];
    s.run = [kind, load, path](Context& c) { return RegfileOp(c, kind, load, path); };
    return true;
}

// eFuse bits cannot be cleared again: a write there needs --yes, checked
// before the session opens.
bool EepromWriteAllowed(const GlobalOptions& o, std::string& e) {
    if (o.efuse && !o.buffer && !o.yes)
        return Fail(e, "writes to the eFuse are permanent: add --yes to write (nothing was sent)");
    return true;
}

bool ParseEepromRead(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (a.size() == 1) return Fail(e, "give both OFFSET and LENGTH, or neither\nUsage: vq9447-cli [OPTIONS] eeprom read [OFFSET LENGTH]");
    if (!Count(a, 0, 2, "eeprom read [OFFSET LENGTH]", e)) return false;
    std::uint64_t offset = 0, length = 512;
    if (a.size() == 2) {
        if (!Hex(a[0], 511, "offset", offset, e) || !Hex(a[1], 512, "length", length, e)) return false;
        if (length == 0 || offset + length > 512) return Fail(e, "the range must lie inside the 512 content bytes");
    }
    s.run = [offset, length](Context& c) { return EepromReadOp(c, int(offset), int(length)); };
    return true;
}

bool ParseEepromSave(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 1, 1, "eeprom save FILE", e) || !WritableTarget(a[0], e)) return false;
    const std::string path = a[0];
    s.run = [path](Context& c) { return EepromSaveOp(c, path); };
    return true;
}

bool ParseEepromLoad(const Args& a, const GlobalOptions& o, Step& s, std::string& e) {
    if (!Count(a, 1, 1, "eeprom load FILE", e) || !ExistingFile(a[0], e) || !EepromWriteAllowed(o, e)) return false;
    const std::string path = a[0];
    s.run = [path](Context& c) { return EepromLoadOp(c, path); };
    return true;
}

bool ParseEepromWriteWord(const Args& a, const GlobalOptions& o, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "eeprom write-word OFFSET VALUE", e)) return false;
    std::uint64_t offset = 0, value = 0;
    if (!Hex(a[0], 510, "offset", offset, e) || !Hex(a[1], 0xFFFF, "value", value, e)) return false;
    if (offset % 2) return Fail(e, "offset " + a[0] + " is not even: words lie at even offsets");
    if (!EepromWriteAllowed(o, e)) return false;
    s.run = [offset, value](Context& c) { return EepromWriteWordOp(c, std::uint16_t(offset), std::uint16_t(value)); };
    return true;
}

bool ParseEepromSetMac(const Args& a, const GlobalOptions& o, Step& s, std::string& e) {
    if (!Count(a, 2, 2, "eeprom set-mac mac|lan|wan ADDRESS", e)) return false;
    int which = -1;
    if (a[0] == "mac") which = 0;
    else if (a[0] == "lan") which = 1;
    else if (a[0] == "wan") which = 2;
    else return Fail(e, "\"" + a[0] + "\" is not one of mac, lan, wan");
    std::string digits;
    for (char ch : a[1])
        if (ch != ':' && ch != '-') digits += ch;
    if (digits.size() != 12 || !std::all_of(digits.begin(), digits.end(), [](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)); }))
        return Fail(e, "address \"" + a[1] + "\" must be 12 hexadecimal digits (colons allowed)");
    if (!EepromWriteAllowed(o, e)) return false;
    s.run = [which, digits](Context& c) { return EepromSetMacOp(c, which, digits); };
    return true;
}

bool ParseTxrxInit(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 0, 0, "txrx init", e)) return false;
    s.run = [](Context& c) { return TxRxInitOp(c); };
    return true;
}

bool ParseTx(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    std::map<std::string, std::string> o;
    if (!Options(a, {"--channel", "--mode", "--rate", "--bandwidth", "--count", "--power"}, {}, o, e)) return false;
    for (const char* required : {"--channel", "--mode", "--rate", "--bandwidth", "--count"})
        if (!o.count(required))
            return Fail(e, std::string(required) +
                               " is missing\nUsage: vq9447-cli [OPTIONS] tx --channel N --mode M --rate R "
                               "--bandwidth B --count N [--power P]");
    TxRequest r;
    std::uint64_t v = 0;
    if (!Unsigned(o["--channel"], 1, 14, "channel", v, e)) return false;
    r.channel = int(v);
    r.mode = ModeFromText(o["--mode"]);
    if (r.mode < 0) return Fail(e, "mode \"" + o["--mode"] + "\" is not one of CCK, OFDM, HTMIX, HTGF (or 0..3)");
    if (!Unsigned(o["--rate"], 0, RateCount(r.mode) - 1, "rate index", v, e)) return false;
    r.rate = int(v);
    const std::string& b = o["--bandwidth"];
    r.bandwidth = b == "10" ? 0 : b == "20" ? 1 : b == "40" ? 2 : -1;
    if (r.bandwidth < 0) return Fail(e, "bandwidth \"" + b + "\" is not 10, 20 or 40");
    if (!Unsigned(o["--count"], 1, 0xFFFFFFFF, "count", v, e)) return false;
    r.count = std::uint32_t(v);
    if (o.count("--power")) {
        if (!Hex(o["--power"], 0x2F, "TX power", v, e)) return false;
        r.power = int(v);
    }
    s.run = [r](Context& c) { return TxOp(c, r); };
    return true;
}

bool ParseRx(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    std::map<std::string, std::string> o;
    if (!Options(a, {"--seconds"}, {}, o, e)) return false;
    if (!o.count("--seconds")) return Fail(e, "--seconds is missing\nUsage: vq9447-cli [OPTIONS] rx --seconds S");
    std::uint64_t secs = 0;
    if (!Unsigned(o["--seconds"], 1, 86400, "seconds", secs, e)) return false;
    s.run = [secs](Context& c) { return RxOp(c, int(secs)); };
    return true;
}

bool ParseCapture(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (a.empty() || a[0].rfind("--", 0) == 0)
        return Fail(e, "a FILE is needed\nUsage: vq9447-cli [OPTIONS] capture FILE [--times N] [--feq] [--adc6] [--tx] [--manual] [--offset HEX]");
    std::map<std::string, std::string> o;
    if (!Options(Args(a.begin() + 1, a.end()), {"--times", "--offset"}, {"--feq", "--adc6", "--tx", "--manual"}, o, e))
        return false;
    CaptureRequestArgs r;
    r.file = a[0];
    if (!WritableTarget(r.file, e)) return false;
    std::uint64_t v = 0;
    if (o.count("--times")) {
        if (!Unsigned(o["--times"], 1, 99999, "capture count", v, e)) return false;
        r.times = std::uint32_t(v);
    }
    if (o.count("--offset")) {
        if (!Hex(o["--offset"], 0x1FFF, "trigger offset", v, e)) return false;
        r.offset = std::uint32_t(v);
    }
    r.feq = o.count("--feq") > 0;
    r.adc6 = o.count("--adc6") > 0;
    r.tx = o.count("--tx") > 0;
    r.manual = o.count("--manual") > 0;
    if (r.feq && (r.adc6 || r.tx)) return Fail(e, "--adc6 and --tx choose an ADC output: not with --feq");
    if (r.tx && !r.adc6) return Fail(e, "--tx chooses the transmitter's ADC6 output: give --adc6 with it");
    s.run = [r](Context& c) { return CaptureOp(c, r); };
    return true;
}

bool ParseFft(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    std::map<std::string, std::string> o;
    if (!Options(a, {"--bandwidth", "--save-adc"}, {"--spectrum"}, o, e)) return false;
    FftRequestArgs r;
    if (o.count("--bandwidth")) {
        if (o["--bandwidth"] != "20" && o["--bandwidth"] != "40") return Fail(e, "bandwidth must be 20 or 40");
        r.bandwidth = o["--bandwidth"] == "40" ? 40 : 20;
    }
    r.spectrum = o.count("--spectrum") > 0;
    if (o.count("--save-adc")) {
        r.adcFile = o["--save-adc"];
        if (!WritableTarget(r.adcFile, e)) return false;
    }
    s.run = [r](Context& c) { return FftOp(c, r); };
    return true;
}

bool ParseNoise(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (!Count(a, 0, 0, "noise", e)) return false;
    s.run = [](Context& c) { return NoiseOp(c); };
    return true;
}

bool ParseIqCal(const Args& a, const GlobalOptions&, Step& s, std::string& e) {
    if (a.empty()) return Fail(e, "name the search\nUsage: vq9447-cli [OPTIONS] iqcal loft|iq|rxiq [--alc N] [--vga N] [--log-dir DIR]");
    IqCalArgs r;
    if (a[0] == "loft") r.search = IqCalArgs::Search::Loft;
    else if (a[0] == "iq") r.search = IqCalArgs::Search::TxIq;
    else if (a[0] == "rxiq") r.search = IqCalArgs::Search::RxIq;
    else return Fail(e, "\"" + a[0] + "\" is not one of loft, iq, rxiq");
    std::map<std::string, std::string> o;
    if (!Options(Args(a.begin() + 1, a.end()), {"--alc", "--vga", "--log-dir"}, {}, o, e)) return false;
    std::uint64_t v = 0;
    if (o.count("--alc")) {
        if (!Unsigned(o["--alc"], 0, 3, "RF ALC", v, e)) return false;
        r.alc = int(v);
    }
    if (o.count("--vga")) {
        if (!Unsigned(o["--vga"], 0, 255, "RF VGA", v, e)) return false;
        r.vga = int(v);
    }
    if (o.count("--log-dir")) {
        r.logDirectory = o["--log-dir"];
        struct stat st {};
        if (::stat(r.logDirectory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return Fail(e, "folder \"" + r.logDirectory + "\" does not exist");
    }
    s.run = [r](Context& c) { return IqCalOp(c, r); };
    return true;
}

const std::vector<CommandEntry>& Commands() {
    static const std::vector<CommandEntry> table = {
        {"mac read", "mac read ADDR [COUNT]",
         "Reads COUNT (default 1) 32-bit MAC registers from the hexadecimal address ADDR (a multiple of 4); "
         "several registers go in MAC Multi-Read requests of at most 256 words. One line per register: "
         "address and value.",
         ParseMacRead},
        {"mac write", "mac write ADDR VALUE", "Writes the hexadecimal VALUE to the MAC register at ADDR.",
         ParseMacWrite},
        {"mac load-region", "mac load-region NAME FILE",
         "Writes a binary content file into a MAC memory region, four bytes per write, as the MAC page's "
         "\"Load File\" does. NAME is a region of the MAC page (e.g. \"Shared Memory\", packet-buf, cis); case, "
         "blanks and dashes do not matter.",
         ParseMacLoadRegion},
        {"mac save-region", "mac save-region NAME FILE",
         "Reads a MAC memory region and saves it as a binary content file of the region's length.",
         ParseMacSaveRegion},
        {"bbp read", "bbp read REG", "Reads BBP register REG (decimal, or 0x and hexadecimal).", ParseBbpRead},
        {"bbp write", "bbp write REG VALUE",
         "Writes the hexadecimal VALUE to BBP register REG; a write of R66 reaches every receive path.",
         ParseBbpWrite},
        {"rf read", "rf read BANK REG", "Reads RF register REG (0..63) of BANK (0..15), through MAC 0x500.",
         ParseRfRead},
        {"rf write", "rf write BANK REG VALUE", "Writes the hexadecimal VALUE to RF register REG of BANK.",
         ParseRfWrite},
        {"rf dump", "rf dump",
         "Reads all 16 RF banks (one RF Read-Bulk per bank) and prints \"BANK REG VALUE\" lines, the RF "
         "register file format: the output loads back with 'regfile rf load'.",
         ParseRfDump},
        {"script", "script mac|bbp|rf FILE",
         "Runs a MAC, BBP or RF script as the register pages do; their log lines and the closing summary go "
         "to standard output.",
         ParseScript},
        {"regfile", "regfile mac|bbp|rf load|save FILE",
         "Loads (replays) or saves a register file in the register pages' formats. A save whose register reads "
         "fail writes nothing and leaves an existing file as it was. MAC register files are only loaded.",
         ParseRegfile},
        {"eeprom read", "eeprom read [OFFSET LENGTH]",
         "Reads the content (512 bytes, or LENGTH bytes from OFFSET, both hexadecimal) from the EEPROM, the "
         "eFuse (--efuse) or the content buffer (--buffer), 16 bytes a line.",
         ParseEepromRead},
        {"eeprom save", "eeprom save FILE", "Saves the 512 content bytes as a binary content file.",
         ParseEepromSave},
        {"eeprom load", "eeprom load FILE",
         "Writes a binary content file as the EEPROM page's \"Load File\" does. With --efuse it needs --yes.",
         ParseEepromLoad},
        {"eeprom write-word", "eeprom write-word OFFSET VALUE",
         "Writes the 16-bit hexadecimal VALUE at the even hexadecimal OFFSET. With --efuse it needs --yes.",
         ParseEepromWriteWord},
        {"eeprom set-mac", "eeprom set-mac mac|lan|wan ADDRESS",
         "Writes a MAC address (12 hexadecimal digits, colons allowed) into its content field, as the EEPROM "
         "page's \"Set\" does. With --efuse it needs --yes.",
         ParseEepromSetMac},
        {"txrx init", "txrx init",
         "Programs the board as the TX/RX page does when it is first shown (MAC, BBP and RF tables, EEPROM "
         "configuration, channel, bandwidth, receiver calibration) and prints what the page would show.",
         ParseTxrxInit},
        {"tx", "tx --channel N --mode M --rate R --bandwidth B --count N [--power P]",
         "Sends N frames of the TX/RX page's default frame (\"User4: Data+CRC\") on channel N (1..14), mode M "
         "(CCK, OFDM, HTMIX, HTGF or 0..3), rate index R of the mode's rate list, bandwidth B (10, 20, 40), "
         "optional TX power P (hexadecimal 0..2F, path 0). Runs 'txrx init' first when this session has not. "
         "Waits until the board has sent the count and prints the final counters.",
         ParseTx},
        {"rx", "rx --seconds S",
         "Receives for S seconds and prints one line of counters a second: frames, FCS errors, FER, RSSI per "
         "receive path, SNR.",
         ParseRx},
        {"capture", "capture FILE [--times N] [--feq] [--adc6] [--tx] [--manual] [--offset HEX]",
         "Captures baseband samples as the TX/RX page's \"Capture Mode\" does and writes each capture with the "
         "capture data writer: FILE.txt for one capture, FILE_00001.txt .. for --times N. --feq takes the FEQ "
         "output instead of the ADC; --adc6 the ADC6 output (with --tx from the transmitter); --manual a manual "
         "trigger; --offset the trigger offset in words (hexadecimal, default 200).",
         ParseCapture},
        {"fft", "fft [--bandwidth 20|40] [--spectrum] [--save-adc FILE]",
         "One capture cycle of the FFT graph page (forced trigger): prints the noise figure against the golden "
         "noise and, when libOstra.so is found beside the program or on the library path, the RX EVM. "
         "--spectrum prints the 512 points of the averaged spectrum (MHz and dB); --save-adc writes the capture's "
         "8192 I/Q pairs as \"Save ADC Data\" does.",
         ParseFft},
        {"noise", "noise",
         "The Noise Level page's \"2.4G START\": sweeps channels 1..14 and prints the noise of each receive path in "
         "dBm (the middle-four mean of ten samples). Runs 'txrx init' first when this session has not. The 5 GHz "
         "sweep is not offered: its channels lie outside the channel list in force.",
         ParseNoise},
        {"iqcal", "iqcal loft|iq|rxiq [--alc N] [--vga N] [--log-dir DIR]",
         "The IQ Calibration page's \"Full LOFT\", \"Full IQ\" or \"Rx0 IQ\" search with \"RF ALC\" N (0..3) and "
         "\"RF VGA\" N (0..255). Prints the log lines as they are measured and the minimum found; the log file "
         "goes to DIR (default: the current folder). Ctrl+C stops after the current point.",
         ParseIqCal},
    };
    return table;
}

const CommandEntry* Find(const Args& words, std::size_t at, std::size_t& used) {
    if (at + 1 < words.size()) {
        const std::string two = words[at] + " " + words[at + 1];
        for (const CommandEntry& c : Commands())
            if (two == c.name) {
                used = 2;
                return &c;
            }
    }
    if (at < words.size())
        for (const CommandEntry& c : Commands())
            if (words[at] == c.name) {
                used = 1;
                return &c;
            }
    return nullptr;
}

} // namespace

std::string UsageText() {
    std::ostringstream s;
    s << "Usage: vq9447-cli [--interface IF | --simulated] [--efuse | --buffer] [--inic N] [--json] [-v] [--yes]\n"
         "                  COMMAND [ARGS] [-- COMMAND [ARGS] ...]\n\n"
         "Runs board commands without a window. One invocation is one session: the board is put into its\n"
         "test mode first and restored at the end (also on Ctrl+C), as the GUI's \"Exit\" does.\n\n"
         "Options:\n"
         "  --interface IF  the network adapter wired to the board (needs capture privilege)\n"
         "  --simulated     the in-process simulated board\n"
         "  --efuse         EEPROM commands use the eFuse (writes need --yes)\n"
         "  --buffer        EEPROM commands use the program's content buffer (nothing is sent)\n"
         "  --inic N        1: the iNic frame types\n"
         "  --json          one JSON object per result line\n"
         "  -v              name each command on standard error as it starts\n"
         "  --yes           answer yes to the board's questions (eFuse writes)\n"
         "  --help          this text; 'vq9447-cli COMMAND --help' explains a command\n\n"
         "Commands (addresses and values in hexadecimal, BBP/RF register and bank numbers in decimal):\n";
    for (const CommandEntry& c : Commands())
        s << "  " << c.synopsis << "\n";
    s << "\nExit status: 0 success, 1 a board command failed, 2 usage error (nothing sent),\n"
         "3 the adapter cannot be opened or another copy is running, 130 interrupted.\n";
    return s.str();
}

std::string CommandHelp(const std::string& command) {
    for (const CommandEntry& c : Commands()) {
        if (command != c.name) continue;
        std::ostringstream s;
        s << "NAME\n    vq9447-cli " << c.name << "\n\nSYNOPSIS\n    vq9447-cli [OPTIONS] " << c.synopsis
          << "\n\nDESCRIPTION\n";
        // Wrapped at 76 columns.
        std::istringstream words(c.description);
        std::string word, line = "   ";
        while (words >> word) {
            if (line.size() + 1 + word.size() > 76) {
                s << line << "\n";
                line = "   ";
            }
            line += " " + word;
        }
        s << line << "\n";
        if (std::string(c.name) == "tx") s << "\nRATES\n" << RateListText();
        s << "\nEXIT STATUS\n    0 success, 1 a board command failed, 2 usage error, 3 no adapter.\n";
        return s.str();
    }
    return {};
}

ParseResult ParseInvocation(const std::vector<std::string>& args, Invocation& inv, std::string& message) {
    inv = {};
    std::size_t i = 0;
    GlobalOptions& o = inv.options;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            message = UsageText();
            return ParseResult::Help;
        } else if (a == "--simulated") {
            o.simulated = true;
        } else if (a == "--interface") {
            if (i + 1 >= args.size()) return message = "--interface needs an adapter name", ParseResult::Error;
            o.interface = args[++i];
        } else if (a == "--efuse") {
            o.efuse = true;
        } else if (a == "--buffer") {
            o.buffer = true;
        } else if (a == "--inic") {
            const auto v = i + 1 < args.size() ? ParseUnsignedArg(args[i + 1], 1) : std::nullopt;
            if (!v) return message = "--inic needs 0 or 1", ParseResult::Error;
            o.inic = int(*v);
            ++i;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "-v" || a == "--verbose") {
            o.verbose = true;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return message = "unknown option \"" + a + "\"", ParseResult::Error;
        } else {
            break;
        }
    }
    if (o.efuse && o.buffer) return message = "--efuse and --buffer exclude each other", ParseResult::Error;
    if (i >= args.size()) return message = "no command\n" + UsageText(), ParseResult::Error;

    // Commands separated by "--".
    while (i < args.size()) {
        std::size_t end = i;
        while (end < args.size() && args[end] != "--")
            ++end;
        if (end == i) return message = "empty command between \"--\"", ParseResult::Error;
        std::size_t used = 0;
        const CommandEntry* command = Find(args, i, used);
        if (!command || i + used > end) {
            std::string what = args[i];
            if (i + 1 < end) what += " " + args[i + 1];
            return message = "unknown command \"" + what + "\"\n" + UsageText(), ParseResult::Error;
        }
        Args rest(args.begin() + long(i + used), args.begin() + long(end));
        if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
            message = CommandHelp(command->name);
            return ParseResult::Help;
        }
        Step step;
        std::string error;
        if (!command->parse(rest, o, step, error)) return message = std::string(command->name) + ": " + error, ParseResult::Error;
        step.label = command->name;
        for (const std::string& r : rest)
            step.label += " " + r;
        inv.steps.push_back(std::move(step));
        i = end < args.size() ? end + 1 : end;
        if (end + 1 == args.size()) return message = "nothing after the last \"--\"", ParseResult::Error;
    }
    if (o.simulated == !o.interface.empty())
        return message = "give exactly one of --interface IF and --simulated\n" + UsageText(), ParseResult::Error;
    return ParseResult::Ok;
}

} // namespace vq::cli

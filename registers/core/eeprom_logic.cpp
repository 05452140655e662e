#include "registers/core/eeprom_logic.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "device/efuse.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "formats/saved_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace vq {

// ---- LED fields -----------------------------------------------------------

const std::array<LedField, 12> kLedFields = {{
    {1267, LedKind::GA, 0x3C, 0, 0},   // LED G Radio Off
    {1357, LedKind::GA, 0x3C, 4, 4},   // LED G Radio On and Link Down
    {1358, LedKind::GA, 0x3C, 8, 8},   // LED G Link to G
    {1359, LedKind::GA, 0x3C, 12, 12}, // LED G Link to A
    {1360, LedKind::GA, 0x3C, 2, 1},   // LED A Radio Off
    {1361, LedKind::GA, 0x3C, 6, 5},   // LED A Radio On and Link Down
    {1362, LedKind::GA, 0x3C, 10, 9},  // LED A Link to G
    {1363, LedKind::GA, 0x3C, 14, 13}, // LED A Link to A
    {1365, LedKind::ActRadioOff, 0x3E, 0, 2},
    {1366, LedKind::Act, 0x3E, 4, 6},
    {1367, LedKind::Act, 0x3E, 8, 10},
    {1368, LedKind::Act, 0x3E, 12, 14},
}};

namespace {

struct LedCode {
    unsigned bits;
    bool polarityOn;
};

// LED G / LED A: 2-bit mode.
const LedCode kGaCodes[] = {{1, true}, {1, false}, {2, true}, {3, true}};
// LED ACT: high bit = slow blink while the radio is on without link; low bits
// 01 solid, 10 blink on data/management, 11 also on beacons.
const LedCode kActCodes[] = {{5, true},  {5, false}, {6, true},  {7, true}, {1, true},
                             {1, false}, {2, false}, {3, false}, {2, true}, {3, true}};
// The ACT "Radio Off" drop-down offers three of them.
const int kActRadioOffItems[] = {0, 4, 5};

LedCode CodeOf(LedKind kind, int item) {
    switch (kind) {
    case LedKind::GA:
        return kGaCodes[item];
    case LedKind::ActRadioOff:
        return kActCodes[kActRadioOffItems[item]];
    case LedKind::Act:
        break;
    }
    return kActCodes[item];
}

int ItemCount(LedKind kind) {
    return kind == LedKind::GA ? 4 : kind == LedKind::ActRadioOff ? 3 : 10;
}

} // namespace

const std::vector<std::string>& LedItems(LedKind kind) {
    static const std::vector<std::string> ga = {"On", "Off", "Slow blink", "Fast blink"};
    static const std::vector<std::string> act = {
        "Slow blink,Solid on",        "Slow blink,Solid off",
        "Slow blink,Blink data/mgmt", "Slow blink,Blink data/mgmt/beacon",
        "Solid on,Solid on",          "Solid off,Solid off",
        "Solid off,Blink data/mgmt",  "Solid off,Blink data/mgmt/beacon",
        "Solid on,Blink data/mgmt",   "Solid on,Blink data/mgmt/beacon"};
    static const std::vector<std::string> radioOff = {"Slow blink,Solid on", "Solid on,Solid on",
                                                      "Solid off,Solid off"};
    switch (kind) {
    case LedKind::GA:
        return ga;
    case LedKind::ActRadioOff:
        return radioOff;
    case LedKind::Act:
        break;
    }
    return act;
}

int LedItemFor(const LedField& field, std::uint16_t config, std::uint16_t act, std::uint16_t polarity,
               bool high) {
    const std::uint16_t word = field.word == 0x3C ? config : act;
    const bool bitSet = (polarity >> field.polarityBit) & 1;
    const bool on = bitSet == high;
    switch (field.kind) {
    case LedKind::GA: {
        const unsigned mode = (word >> field.shift) & 3;
        if (mode == 0) return kLedKeep;
        if (mode == 1) return on ? 0 : 1;
        return mode == 2 ? 2 : 3; // blinking ignores the polarity
    }
    case LedKind::ActRadioOff: {
        const unsigned bits = (word >> field.shift) & 7;
        if ((bits & 3) != 1) return kLedKeep;
        for (int i = 0; i < 3; ++i) {
            const LedCode c = CodeOf(LedKind::ActRadioOff, i);
            if (c.bits == bits && c.polarityOn == on) return i;
        }
        return kLedClear; // slow blink with the polarity off has no item here
    }
    case LedKind::Act:
        break;
    }
    const unsigned bits = (word >> field.shift) & 7;
    if ((bits & 3) == 0) return kLedKeep;
    for (int i = 0; i < 10; ++i)
        if (kActCodes[i].bits == bits && kActCodes[i].polarityOn == on) return i;
    for (int i = 0; i < 10; ++i) // slow blink with blinking and the polarity off: the blink item
        if (kActCodes[i].bits == bits) return i;
    return kLedClear;
}

void LedApply(const LedField& field, int item, bool high, std::uint16_t& config, std::uint16_t& act,
              std::uint16_t& polarity) {
    if (item < 0 || item >= ItemCount(field.kind)) return;
    const LedCode c = CodeOf(field.kind, item);
    const unsigned mask = (field.kind == LedKind::GA ? 3u : 7u) << field.shift;
    std::uint16_t& word = field.word == 0x3C ? config : act;
    word = std::uint16_t((word & ~mask) | (c.bits << field.shift));
    const std::uint16_t bit = std::uint16_t(1u << field.polarityBit);
    if (c.polarityOn == high)
        polarity |= bit;
    else
        polarity = std::uint16_t(polarity & ~bit);
}

// ---- texts and files -------------------------------------------------------

// The page's offset, length and value fields: blanks, then digits; a long
// number keeps its leading digits (eight hexadecimal, nine decimal).
unsigned HexPrefixValue(const std::string& text) {
    constexpr NumberFormat kHex{
        .base = 16, .blanks = Blanks::Space, .overflow = Overflow::KeepLeading, .limit = 0x10000000};
    return unsigned(NumberPrefix(text, kHex));
}

unsigned DecimalPrefixValue(const std::string& text) {
    constexpr NumberFormat kDecimal{
        .base = 10, .blanks = Blanks::Space, .overflow = Overflow::KeepLeading, .limit = 100000000};
    return unsigned(NumberPrefix(text, kDecimal));
}

std::string MacText(const std::uint8_t b[6]) {
    return Format("%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
}

void MacBytes(const std::string& text, std::uint8_t bytes[6]) {
    auto digit = [&](std::size_t i) { return i < text.size() ? HexDigitValue(text[i]) : 255u; };
    for (int i = 0; i < 6; ++i)
        bytes[i] = std::uint8_t(digit(2 * i) * 16 + digit(2 * i + 1));
}

bool IsMacText(const std::string& text) {
    if (text.size() != 12) return false;
    for (char c : text)
        if (HexDigitValue(c) > 15) return false;
    return true;
}

bool IsKeptByte(int o) {
    return (o >= 4 && o <= 8) || o == 58 || (o >= 82 && o <= 109) || (o >= 120 && o <= 154) ||
           (o >= 166 && o <= 200);
}

void KeepTxPower(std::uint8_t file[kContentSize], const std::uint8_t current[kContentSize]) {
    for (int i = 0; i < kContentSize; ++i)
        if (IsKeptByte(i)) file[i] = current[i];
}

const char* EepromTypeName(std::uint32_t mac0004) {
    switch (mac0004 & 0x30) {
    case 0x00:
        return "93c46";
    case 0x10:
        return "93c66";
    case 0x20:
        return "93c86";
    default:
        return "Unknown Type!";
    }
}

// ---- the page's work --------------------------------------------------------

namespace {

std::string OverflowText(int before, int after) {
    return Format(" eFuse write fail (overflow)!, Free block before write=%d, after write=%d", before, after);
}

const char* const kRangeText = "Write EEPROM Data out of range (offset + length > 512)";

void ToWords(const std::uint8_t* bytes, std::uint16_t* words, int count) {
    for (int i = 0; i < count; ++i)
        words[i] = std::uint16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

bool AllFF(const std::uint8_t* bytes, int n) {
    return std::all_of(bytes, bytes + n, [](std::uint8_t b) { return b == 0xFF; });
}

} // namespace

bool EepromPageLogic::EfuseMode() {
    return State().eepromSource.load() == EepromSourceKind::Efuse;
}
bool EepromPageLogic::BufferMode() {
    return State().eepromSource.load() == EepromSourceKind::Buffer;
}
bool EepromPageLogic::EfuseFamily() {
    return State().efuseChosen || State().eepromSource.load() != EepromSourceKind::EepromCommands;
}

std::uint16_t EepromPageLogic::ReadWord(std::uint16_t offset) {
    CDeviceCommands dev;
    std::uint16_t w = 0;
    dev.EepromRead(offset, w);
    return w;
}

int EepromPageLogic::WriteWord(std::uint16_t offset, std::uint16_t word) {
    CDeviceCommands dev;
    return dev.EepromWrite(offset, word);
}

void EepromPageLogic::ImageWord(std::uint16_t offset, std::uint16_t word) {
    if (!image || offset + 1 >= kContentSize) return;
    image[offset] = std::uint8_t(word);
    image[offset + 1] = std::uint8_t(word >> 8);
}

bool EepromPageLogic::ReadContent(int offset, int length) {
    // The shown content is 512 bytes: a range past it is cut at its end.
    if (!image || offset < 0 || offset >= kContentSize || length <= 0) return true;
    length = std::min(length, kContentSize - offset);
    DeviceSequence sequence;
    CDeviceCommands dev;
    if (BufferMode()) {
        std::memcpy(image + offset, State().eepromBuffer + offset, std::size_t(length));
    } else if (EfuseMode()) {
        EfuseLogicalRead(dev, std::uint16_t(offset), image + offset, length);
    } else {
        std::uint16_t words[kContentSize / 2 + 1];
        const int count = (length + 1) / 2;
        // Failed command: the image keeps what it showed.
        for (int i = 0; i < count; ++i) {
            const int a = offset + 2 * i;
            words[i] = std::uint16_t(image[a] | (a + 1 < kImageSize ? image[a + 1] << 8 : 0));
        }
        const bool read = dev.EepromReadBulk(std::uint16_t(offset), words, std::uint16_t(length)) == 0;
        for (int i = 0; i < length; ++i)
            image[offset + i] = std::uint8_t(words[i / 2] >> (8 * (i & 1)));
        return read;
    }
    return true;
}

void EepromPageLogic::ReadEfuseWords(std::uint16_t words[256]) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    for (int i = 0; i < 256; ++i) {
        words[i] = 0xFFFF;
        EfuseLogicalReadWord(dev, std::uint16_t(2 * i), words[i]);
    }
}

bool EepromPageLogic::ConfirmEfuseWrite(int before, int after) {
    if (after < 0) {
        ShowMessage(OverflowText(before, after), MsgIcon::Warning);
        return false;
    }
    return ShowMessage(EfuseWriteQuestion(before, after), MsgIcon::Question, MsgButtons::OkCancel) ==
           MsgResult::Ok;
}

void EepromPageLogic::ReadWrite() {
    DeviceSequence sequence;
    const unsigned offset = HexPrefixValue(offsetText) & 0xFFFF;
    const unsigned length = DecimalPrefixValue(lengthText);
    const unsigned value = HexPrefixValue(valueText) & 0xFF;
    if (mode == 0) {
        if (valueMode) {
            const std::uint16_t w = ReadWord(std::uint16_t(offset & ~1u));
            valueText = Hex2((offset & 1) ? w >> 8 : w);
        } else {
            ReadContent(int(offset), kContentSize); // Length is not used
        }
        return;
    }
    bool wrote;
    if (valueMode) {
        if (offset >= unsigned(kContentSize)) {
            ShowMessage(kRangeText);
            return;
        }
        wrote = WriteByte(int(offset), std::uint8_t(value));
        if (wrote) ShowFieldsFromImage(int(offset), 1);
    } else {
        wrote = BlockWrite(int(offset), int(length));
        if (wrote) ShowFieldsFromImage(int(offset), int(length));
    }
    if (wrote) ReadLedMode();
}

bool EepromPageLogic::WriteByte(int offset, std::uint8_t value) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    const std::uint16_t even = std::uint16_t(offset & ~1);
    auto merge = [&](std::uint16_t w) {
        return (offset & 1) ? std::uint16_t((w & 0x00FF) | (value << 8))
                            : std::uint16_t((w & 0xFF00) | value);
    };
    if (EfuseMode()) {
        bool mapped = false;
        std::uint16_t old = 0xFFFF;
        if (!State().suppressEfuseQuestion) {
            const int before = EfuseFreeBlocks(dev);
            EfuseLogicalReadWord(dev, even, old, &mapped);
            const std::uint8_t oldByte = (offset & 1) ? std::uint8_t(old >> 8) : std::uint8_t(old);
            const int after = EfuseFreeAfterByteWrite(before, mapped, oldByte, value);
            if (ShowMessage(EfuseWriteQuestion(before, after), MsgIcon::Question, MsgButtons::OkCancel) !=
                MsgResult::Ok)
                return false;
        } else {
            EfuseLogicalReadWord(dev, even, old, &mapped);
        }
        // A fresh block reads as zeros once allocated, so the other byte of an
        // unmapped word is taken as 0.
        if (!mapped) old = 0;
        if (EfuseLogicalWriteWord(dev, even, merge(old)) == 0) ImageWord(even, merge(old));
        RefreshFreeBlocks();
        return true;
    }
    std::uint16_t w = 0;
    dev.EepromRead(even, w);
    if (dev.EepromWrite(even, merge(w)) == 0) ImageWord(even, merge(w));
    return true;
}

bool EepromPageLogic::BlockWrite(int offset, int length) {
    if (length > kMaxBlockWrite) {
        ShowMessage("Write EEPROM Data length must <= 62");
        return false;
    }
    if (length <= 0) {
        ShowMessage("Data length > 0");
        return false;
    }
    if (offset + length > kContentSize) {
        ShowMessage(kRangeText);
        return false;
    }
    if (!image) return false;
    DeviceSequence sequence;
    CDeviceCommands dev;
    if (BufferMode()) {
        std::memcpy(State().eepromBuffer + offset, image + offset, std::size_t(length));
        return true;
    }
    if (!EfuseMode()) {
        std::uint16_t words[kMaxBlockWrite / 2 + 1] = {};
        for (int i = 0; i < (length + 1) / 2; ++i)
            words[i] = std::uint16_t(image[offset + 2 * i] | (image[offset + 2 * i + 1] << 8));
        dev.EepromWriteBulk(std::uint16_t(offset), words, std::uint16_t(length));
        return true;
    }
    std::uint16_t snapshot[256], content[256];
    ReadEfuseWords(snapshot);
    std::uint8_t bytes[kContentSize];
    for (int i = 0; i < 256; ++i) {
        bytes[2 * i] = std::uint8_t(snapshot[i]);
        bytes[2 * i + 1] = std::uint8_t(snapshot[i] >> 8);
    }
    std::memcpy(bytes + offset, image + offset, std::size_t(length));
    ToWords(bytes, content, 256);
    const int before = EfuseFreeBlocks(dev);
    if (!ConfirmEfuseWrite(before, EfuseFreeAfterContentWrite(before, snapshot, content))) return false;
    if (offset % 16 == 0 && length == 16) {
        EfuseLogicalWriteBlock(dev, std::uint16_t(offset), content + offset / 2);
    } else {
        for (int a = offset & ~1; a < offset + length; a += 2)
            EfuseLogicalWriteWord(dev, std::uint16_t(a), content[a / 2]);
    }
    RefreshFreeBlocks();
    return true;
}

void EepromPageLogic::ReadLedMode() {
    ledModeText = Hex2(ReadWord(0x3A) >> 8);
}

void EepromPageLogic::RefreshFreeBlocks() {
    if (!EfuseFamily()) return; // no eFuse behind an EEPROM board
    CDeviceCommands dev;
    freeBlocks = EfuseFreeBlocks(dev);
    freeText = Format("%d / %d", freeBlocks, EfuseLayout().blocks);
}

void EepromPageLogic::ReadTypeText() {
    if (EfuseFamily()) {
        typeText = "E-fuse";
        return;
    }
    CDeviceCommands dev;
    std::uint32_t v = 0;
    if (dev.MacRead(0x0004, v) == 0)
        typeText = EepromTypeName(v);
    else
        typeText = "Unknown Type!";
}

void EepromPageLogic::ReadMacAddresses() {
    DeviceSequence sequence;
    static const std::uint16_t offsets[3] = {0x04, 0x28, 0x2E};
    CDeviceCommands dev;
    for (int k = 0; k < 3; ++k) {
        std::uint8_t b[6] = {};
        const std::uint16_t o = offsets[k];
        if (BufferMode()) {
            std::memcpy(b, State().eepromBuffer + o, 6);
        } else if (EfuseMode()) {
            EfuseLogicalRead(dev, o, b, 6);
        } else {
            std::uint16_t words[3] = {};
            dev.EepromReadBulk(o, words, 6);
            for (int i = 0; i < 3; ++i) {
                b[2 * i] = std::uint8_t(words[i]);
                b[2 * i + 1] = std::uint8_t(words[i] >> 8);
            }
        }
        macTexts[k] = MacText(b);
    }
}

bool EepromPageLogic::SetMacAddress(int which) {
    if (which < 0 || which > 2) return false;
    if (!IsMacText(macTexts[which])) {
        ShowMessage("MAC address must be 12 hexadecimal digits");
        return false;
    }
    std::uint8_t b[6];
    MacBytes(macTexts[which], b);
    std::uint16_t words[3];
    ToWords(b, words, 3);
    DeviceSequence sequence;
    CDeviceCommands dev;
    if (which == 0) {
        // The board MAC goes out as one EEPROM Write-Bulk; a dry run keeps it in the buffer.
        bool wrote = true;
        if (BufferMode())
            std::memcpy(State().eepromBuffer + 4, b, 6);
        else
            wrote = dev.EepromWriteBulk(4, words, 6) == 0;
        if (wrote)
            for (int i = 0; i < 3; ++i)
                ImageWord(std::uint16_t(4 + 2 * i), words[i]);
        ShowFieldsFromImage(4, 6);
        return true;
    }
    const std::uint16_t base = which == 1 ? 0x28 : 0x2E;
    for (int i = 0; i < 3; ++i)
        if (dev.EepromWrite(std::uint16_t(base + 2 * i), words[i]) == 0)
            ImageWord(std::uint16_t(base + 2 * i), words[i]);
    ShowFieldsFromImage(base, 6);
    return true;
}

void EepromPageLogic::ShowLedFields() {
    if (polarity < 0) return;
    DeviceSequence sequence;
    const std::uint16_t config = ReadWord(0x3C), act = ReadWord(0x3E), pol = ReadWord(0x40);
    ShowLedFieldsFrom(config, act, pol);
}

void EepromPageLogic::ShowLedFieldsFrom(std::uint16_t config, std::uint16_t act, std::uint16_t pol) {
    if (polarity < 0) return;
    for (std::size_t i = 0; i < kLedFields.size(); ++i) {
        const int item = LedItemFor(kLedFields[i], config, act, pol, polarity == 0);
        if (item != kLedKeep) ledItems[i] = item;
    }
}

void EepromPageLogic::ShowFieldsFromImage(int offset, int length) {
    if (!image || length <= 0) return;
    auto overlaps = [&](int first, int count) { return offset < first + count && first < offset + length; };
    static const int macOffsets[3] = {0x04, 0x28, 0x2E};
    for (int k = 0; k < 3; ++k)
        if (overlaps(macOffsets[k], 6)) macTexts[k] = MacText(image + macOffsets[k]);
    auto word = [&](int o) { return std::uint16_t(image[o] | (image[o + 1] << 8)); };
    if (overlaps(0x3C, 6)) ShowLedFieldsFrom(word(0x3C), word(0x3E), word(0x40));
}

void EepromPageLogic::SetLed() {
    DeviceSequence sequence;
    const bool efuse = EfuseMode();
    std::uint16_t snapshot[256], work[256];
    if (efuse) {
        ReadEfuseWords(snapshot);
        std::copy(snapshot, snapshot + 256, work);
    }
    auto read = [&](std::uint16_t o) { return efuse ? work[o / 2] : ReadWord(o); };
    auto write = [&](std::uint16_t o, std::uint16_t w) {
        if (efuse)
            work[o / 2] = w;
        else if (WriteWord(o, w) == 0)
            ImageWord(o, w);
    };
    std::uint16_t config = read(0x3C), act = read(0x3E), pol = read(0x40);
    if (polarity >= 0)
        for (std::size_t i = 0; i < kLedFields.size(); ++i)
            if (ledItems[i] >= 0) LedApply(kLedFields[i], ledItems[i], polarity == 0, config, act, pol);
    act |= 0x8888;
    pol |= 0x8888;
    write(0x3C, config);
    write(0x3E, act);
    write(0x40, pol);
    const std::uint16_t modeWord = read(0x3A);
    write(0x3A, std::uint16_t((modeWord & 0x00FF) | ((HexPrefixValue(ledModeText) & 0xFF) << 8)));
    if (!efuse) return;
    CDeviceCommands dev;
    const int before = EfuseFreeBlocks(dev);
    if (!ConfirmEfuseWrite(before, EfuseFreeAfterContentWrite(before, snapshot, work))) return;
    EfuseWriteContent(dev, work, snapshot);
    for (std::uint16_t o = 0x3A; o <= 0x40; o += 2)
        ImageWord(o, work[o / 2]);
    RefreshFreeBlocks();
}

void EepromPageLogic::LoadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ShowMessage("EEPROM Register File not found!");
        return;
    }
    if (!image) return;
    DeviceSequence sequence;
    CDeviceCommands dev;
    // The file is laid over the current content (a short file, the kept TX
    // power bytes): without it, stale bytes would be written.
    if (!ReadAll()) {
        ShowMessage("The content could not be read: " + path + " was not loaded.");
        return;
    }
    // A file shorter than the content leaves the rest as it is now.
    std::uint8_t data[kContentSize];
    std::memcpy(data, image, kContentSize);
    file.read(reinterpret_cast<char*>(data), kContentSize);
    if (keepTxPower) KeepTxPower(data, image);

    if (State().eepromSource.load() == EepromSourceKind::EepromCommands) {
        std::uint16_t words[256];
        ToWords(data, words, 256);
        dev.EepromWriteAll(words);
    } else {
        if (!BufferMode()) {
            std::uint16_t snapshot[256], content[256];
            ToWords(image, snapshot, 256);
            ToWords(data, content, 256);
            const int before = EfuseFreeBlocks(dev);
            if (!ConfirmEfuseWrite(before, EfuseFreeAfterContentWrite(before, snapshot, content))) return;
        }
        for (int b = 0; b < kContentSize; b += 16) {
            if (BufferMode()) {
                std::memcpy(State().eepromBuffer + b, data + b, 16);
                continue;
            }
            if (AllFF(data + b, 16) && AllFF(image + b, 16)) continue;
            std::uint16_t words[8];
            ToWords(data + b, words, 8);
            EfuseLogicalWriteBlock(dev, std::uint16_t(b), words);
            RefreshFreeBlocks();
        }
    }
    ReadLedMode();
    ReadAll();
    // The content changed under the MAC address and LED fields as well.
    ShowFieldsFromImage(0, kContentSize);
}

bool EepromPageLogic::SaveFile(const std::string& path) {
    if (!image) return false;
    if (!ReadAll()) {
        ShowMessage(ReadFailedText("The content", path));
        return false;
    }
    return SaveWholeFile(path, std::string_view(reinterpret_cast<const char*>(image), kContentSize));
}

} // namespace vq

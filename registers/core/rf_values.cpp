#include "registers/core/rf_values.h"

#include "base/format.h"
#include "base/numbers.h"

namespace vq::rf {

namespace {

const char* const kBankNames[kBankCount] = {
    "  Bank 0: Central",       "  Bank 1: Reserved",      "  Bank 2: RF  Common",
    "  Bank 3: VGA Common",    "  Bank 4: RF  Antenna_0", "  Bank 5: VGA Antenna_0",
    "  Bank 6: RF  Antenna_1", "  Bank 7: VGA Antenna_1", "  Bank 8: RF  Antenna_2",
    "  Bank 9: VGA Antenna_2", "  Bank10: RF  Antenna_3", "  Bank11: VGA Antenna_3",
    "  Bank12: Reserved",      "  Bank13: Reserved",      "  Bank14: Reserved",
    "  Bank15: Reserved",
};

// Position of the file name within a path.
std::size_t NameStart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

} // namespace

const char* BankName(int bank) {
    return bank >= 0 && bank < kBankCount ? kBankNames[bank] : "";
}

std::string ChannelCaption(int index) {
    if (index < 0 || index >= kChannelCount) return {};
    const int channel = index + 1;
    const int mhz = channel == 14 ? 2484 : 2407 + 5 * channel;
    return Format("%s%d  %d-MHz", channel < 10 ? "    " : "  ", channel, mhz);
}

int BitButtonId(int firstReg, int reg, int bit) {
    const int base = firstReg == 0 ? kPage1FirstBitId : kPage2FirstBitId;
    return base + 8 * (reg - firstReg) + bit;
}

std::optional<BitPosition> BitFromButtonId(int firstReg, int id) {
    const int base = firstReg == 0 ? kPage1FirstBitId : kPage2FirstBitId;
    const int offset = id - base;
    if (offset < 0 || offset >= 8 * kRegistersPerPage) return std::nullopt;
    return BitPosition{firstReg + offset / 8, offset % 8};
}

int ValueEditId(int firstReg, int reg) {
    return firstReg == 0 ? kPage1FirstValueId + reg : kPage2FirstValueId + (reg - firstReg);
}

bool CaptionShowsSet(const std::string& caption) {
    return DecimalNumber(caption) != 0;
}

std::uint8_t ToggledValue(std::uint8_t current, int bit, bool clear) {
    const std::uint8_t mask = std::uint8_t(1u << (bit & 7));
    return clear ? std::uint8_t(current & ~mask) : std::uint8_t(current | mask);
}

std::uint8_t HexByte(const std::string& text) {
    constexpr NumberFormat kHexField{.base = 16, .blanks = Blanks::Any, .hexPrefix = true};
    return std::uint8_t(NumberPrefix(text, kHexField));
}

int DecimalNumber(const std::string& text) {
    constexpr NumberFormat kDecimalField{
        .base = 10, .blanks = Blanks::Any, .sign = true, .overflow = Overflow::Saturate, .limit = 0x7FFFFFFF};
    return int(NumberPrefix(text, kDecimalField));
}

std::optional<std::uint8_t> TxPowerStep(std::uint8_t current, int delta) {
    const int next = int(current) + delta;
    if (next < 0 || next > kTxPowerMax) return std::nullopt;
    return std::uint8_t(next);
}

std::uint32_t WithTxPower(std::uint32_t reg, int path, std::uint8_t power) {
    const unsigned shift = path == 0 ? 0 : 8;
    return (reg & ~(0x3Fu << shift)) | (std::uint32_t(power & 0x3F) << shift);
}

std::optional<std::uint8_t> FreqOffsetStep(std::uint8_t current, int delta) {
    const int next = int(current) + delta;
    if (current == 0xFF || next < 0 || next > 0xFF) return std::nullopt;
    return std::uint8_t(next);
}

std::string WithTxtExtension(const std::string& path) {
    if (path.find(".txt", NameStart(path)) != std::string::npos) return path;
    return path + ".txt";
}

} // namespace vq::rf

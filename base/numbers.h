// The one number reader of the file formats and edit fields. Each format
// states its rules in a NumberFormat; the reading is always the same, the way
// the C library's scanf conversions read numbers:
//   1. leading blanks are skipped (which characters count as blanks is part of the format);
//   2. an optional '+' or '-' where the format allows a sign;
//   3. for hexadecimal an optional "0x"/"0X", taken only when a digit follows it;
//   4. digits up to the first character that is not one (or up to maxDigits);
//   5. a number too large for the format wraps, saturates or keeps its leading
//      digits, as the format says.
// No digit at all is "no number": found is false and nothing is consumed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vq {

// Value of one hexadecimal digit (0-9, A-F, a-f); 255 for any other character.
std::uint8_t HexDigitValue(char c);

enum class Blanks {
    None,     // nothing is skipped
    Space,    // ' '
    SpaceTab, // ' ' and '\t'
    Any,      // the C library's white space: ' ', '\t', '\n', '\v', '\f', '\r'
};

enum class Overflow {
    Wrap,        // modulo 2^32 (the low bits stay exact)
    Saturate,    // the magnitude stops at `limit`
    KeepLeading, // digits are taken into the value while it is below `limit`; the rest are read but ignored
};

struct NumberFormat {
    int base = 10; // 10 or 16
    Blanks blanks = Blanks::Any;
    bool sign = false;
    bool hexPrefix = false;    // hexadecimal only
    std::size_t maxDigits = 0; // 0: no limit
    Overflow overflow = Overflow::Wrap;
    std::uint64_t limit = 0; // for Saturate and KeepLeading
};

struct ScannedNumber {
    bool found = false;
    // The magnitude as the overflow rule leaves it, negated after a '-'.
    // Cast to an unsigned 32-bit type, a negative wrapped value reads as the
    // C library's unsigned conversions give it (0 - magnitude).
    std::int64_t value = 0;
    std::size_t end = 0; // index just past the number (the start position when none was found)
};

// Reads one number from `text` starting at `pos`.
ScannedNumber ScanNumber(std::string_view text, std::size_t pos, const NumberFormat& format);

// The number at the start of `text`, 0 when there is none.
inline std::int64_t NumberPrefix(std::string_view text, const NumberFormat& format) {
    return ScanNumber(text, 0, format).value;
}

} // namespace vq

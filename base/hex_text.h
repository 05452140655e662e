// Hexadecimal text helpers shared by the pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vq {

// One hexadecimal digit (0-9, A-F, a-f) to its value; any other character gives 255.
std::uint8_t HexDigitValue(char c);
// Two characters per byte, high nibble first; a character that is not a digit
// counts as 0 and a trailing odd character is ignored.
std::vector<std::uint8_t> HexTextToBytes(const std::string& text);

} // namespace vq

// Hexadecimal text to bytes, as the frame, key and MAC address fields give it.
#pragma once

#include "base/numbers.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq {

// Two characters per byte, high nibble first; a character that is not a digit
// counts as 0 and a trailing odd character is ignored.
std::vector<std::uint8_t> HexTextToBytes(const std::string& text);

} // namespace vq

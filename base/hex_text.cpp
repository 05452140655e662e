#include "base/hex_text.h"

namespace vq {

std::vector<std::uint8_t> HexTextToBytes(const std::string& text) {
    auto nibble = [](char c) {
        const std::uint8_t d = HexDigitValue(c);
        return d > 15 ? std::uint8_t(0) : d;
    };
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(std::uint8_t((nibble(text[i]) << 4) | nibble(text[i + 1])));
    return out;
}

} // namespace vq

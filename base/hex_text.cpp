#include "base/hex_text.h"

namespace vq {

std::uint8_t HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return std::uint8_t(c - '0');
    if (c >= 'A' && c <= 'F') return std::uint8_t(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return std::uint8_t(c - 'a' + 10);
    return 255;
}

std::vector<std::uint8_t> HexTextToBytes(const std::string& text) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        std::uint8_t hi = HexDigitValue(text[i]), lo = HexDigitValue(text[i + 1]);
        if (hi == 255) hi = 0;
        if (lo == 255) lo = 0;
        out.push_back(std::uint8_t((hi << 4) | lo));
    }
    return out;
}

} // namespace vq

// The number reader under every format it can be given: the first bytes
// choose the format, the rest is the text.

#include "base/numbers.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    vq::NumberFormat f;
    f.base = data[0] & 1 ? 16 : 10;
    f.blanks = vq::Blanks((data[0] >> 1) & 3);
    f.sign = data[0] & 8;
    f.hexPrefix = data[0] & 16;
    f.overflow = vq::Overflow((data[0] >> 5) % 3);
    f.maxDigits = data[1] & 15;
    f.limit = std::uint64_t(data[2]) << (data[1] >> 4) * 4;
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);
    for (std::size_t pos = 0; pos <= text.size();) {
        const vq::ScannedNumber n = vq::ScanNumber(text, pos, f);
        if (n.end < pos || n.end > text.size()) std::abort();
        if (!n.found && (n.end != pos || n.value != 0)) std::abort(); // no number consumes nothing
        const std::uint64_t magnitude = n.value < 0 ? 0 - std::uint64_t(n.value) : std::uint64_t(n.value);
        if (n.found && f.overflow == vq::Overflow::Saturate && f.limit && magnitude > f.limit) std::abort();
        pos = n.end > pos ? n.end : pos + 1;
    }
    return 0;
}

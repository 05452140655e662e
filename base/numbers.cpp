#include "base/numbers.h"

#include <charconv>

namespace vq {

std::uint8_t HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return std::uint8_t(c - '0');
    if (c >= 'A' && c <= 'F') return std::uint8_t(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return std::uint8_t(c - 'a' + 10);
    return 255;
}

namespace {

bool IsBlank(char c, Blanks blanks) {
    switch (blanks) {
    case Blanks::None:
        return false;
    case Blanks::Space:
        return c == ' ';
    case Blanks::SpaceTab:
        return c == ' ' || c == '\t';
    case Blanks::Any:
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }
    return false;
}

bool IsDigit(char c, int base) {
    return base == 16 ? HexDigitValue(c) < 16 : (c >= '0' && c <= '9');
}

std::uint64_t Convert(const char* first, const char* last, int base) {
    std::uint64_t v = 0;
    std::from_chars(first, last, v, base);
    return v;
}

// Value of the digit run [first, last) under the overflow rule.
std::uint64_t Magnitude(const char* first, const char* last, const NumberFormat& f) {
    switch (f.overflow) {
    case Overflow::Wrap: {
        // Chunks that fit 64 bits, folded together modulo 2^32.
        const std::ptrdiff_t chunk = f.base == 16 ? 8 : 9;
        std::uint32_t acc = 0;
        for (const char* p = first; p < last; p += chunk) {
            const char* q = last - p > chunk ? p + chunk : last;
            std::uint32_t scale = 1;
            for (const char* s = p; s < q; ++s)
                scale *= std::uint32_t(f.base);
            acc = acc * scale + std::uint32_t(Convert(p, q, f.base));
        }
        return acc;
    }
    case Overflow::Saturate: {
        std::uint64_t v = 0;
        const auto r = std::from_chars(first, last, v, f.base);
        if (r.ec == std::errc::result_out_of_range || v > f.limit) return f.limit;
        return v;
    }
    case Overflow::KeepLeading: {
        // A digit joins the value only while the value read so far is below the limit.
        const char* p = first;
        while (p + 1 < last && *p == '0')
            ++p;
        for (const char* q = p + 1; q <= last; ++q) {
            const std::uint64_t v = Convert(p, q, f.base);
            if (v >= f.limit || q == last) return v;
        }
        return 0;
    }
    }
    return 0;
}

} // namespace

ScannedNumber ScanNumber(std::string_view text, std::size_t pos, const NumberFormat& f) {
    ScannedNumber out;
    out.end = pos;
    std::size_t p = pos;
    while (p < text.size() && IsBlank(text[p], f.blanks))
        ++p;
    bool negative = false;
    if (f.sign && p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    if (f.base == 16 && f.hexPrefix && p + 2 < text.size() && text[p] == '0' &&
        (text[p + 1] == 'x' || text[p + 1] == 'X') && IsDigit(text[p + 2], 16))
        p += 2;
    const std::size_t start = p;
    while (p < text.size() && IsDigit(text[p], f.base) && (f.maxDigits == 0 || p - start < f.maxDigits))
        ++p;
    if (p == start) return out;
    const std::uint64_t magnitude = Magnitude(text.data() + start, text.data() + p, f);
    out.found = true;
    // Negated as unsigned: a magnitude of 2^63 has no signed negative.
    out.value = std::int64_t(negative ? 0 - magnitude : magnitude);
    out.end = p;
    return out;
}

} // namespace vq

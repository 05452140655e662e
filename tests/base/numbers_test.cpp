// The number reader and the formatting helper every file format shares.
#include "base/format.h"
#include "base/numbers.h"

#include <gtest/gtest.h>

#include <string>

using namespace vq;

namespace {

constexpr NumberFormat kDec{.base = 10, .blanks = Blanks::Any, .sign = true};
constexpr NumberFormat kHex{.base = 16, .blanks = Blanks::Any, .sign = true, .hexPrefix = true};
constexpr NumberFormat kHexNoPrefix{.base = 16, .blanks = Blanks::SpaceTab};
constexpr NumberFormat kField{.base = 16, .blanks = Blanks::None};
constexpr NumberFormat kSpaceOnly{.base = 10, .blanks = Blanks::Space};
constexpr NumberFormat kTwoDigits{.base = 16, .blanks = Blanks::SpaceTab, .maxDigits = 2};
constexpr NumberFormat kSaturate{
    .base = 10, .blanks = Blanks::Any, .sign = true, .overflow = Overflow::Saturate, .limit = 0x7FFFFFFF};
constexpr NumberFormat kLeadingDec{
    .base = 10, .blanks = Blanks::Any, .overflow = Overflow::KeepLeading, .limit = 100000000};
constexpr NumberFormat kLeadingHex{
    .base = 16, .blanks = Blanks::Space, .overflow = Overflow::KeepLeading, .limit = 0x10000000};

struct Row {
    const char* text;
    const NumberFormat* format;
    bool found;
    std::int64_t value;
    std::size_t end;
};

} // namespace

TEST(Numbers, ScanfLikeRules) {
    const Row rows[] = {
        // Blanks, sign, stop at the first non-digit.
        {"  42 rest", &kDec, true, 42, 4},
        {"\t\r\n-17,", &kDec, true, -17, 6},
        {"+8", &kDec, true, 8, 2},
        {"-", &kDec, false, 0, 0},
        {"x12", &kDec, false, 0, 0},
        {"", &kDec, false, 0, 0},
        {" 12", &kField, false, 0, 0},      // the field skips nothing
        {"\t12", &kSpaceOnly, false, 0, 0}, // only ' ' is a blank there
        {"  12", &kSpaceOnly, true, 12, 4},
        // Hexadecimal: both cases, 0x only when a digit follows it.
        {"0x1F", &kHex, true, 0x1F, 4},
        {" 0XaB;", &kHex, true, 0xAB, 5},
        {"0x", &kHex, true, 0, 1},
        {"0xG", &kHex, true, 0, 1},
        {"-0x10", &kHex, true, -16, 5},
        {"0x10", &kHexNoPrefix, true, 0, 1}, // without the prefix rule "x" ends the number
        {"1G", &kField, true, 1, 1},
        {" 1A3", &kTwoDigits, true, 0x1A, 3},
        // Overflow: wrap modulo 2^32, saturate, keep the leading digits.
        {"123456789A", &kHex, true, 0x3456789A, 10},
        {"4294967296300", &kDec, true, 300, 13},
        {"99999999999999999999", &kDec, true, 1661992959, 20}, // (10^20 - 1) mod 2^32
        {"99999999999", &kSaturate, true, 0x7FFFFFFF, 11},
        {"-99999999999", &kSaturate, true, -0x7FFFFFFF, 12},
        {"2147483647", &kSaturate, true, 2147483647, 10},
        {"12345678901 x", &kLeadingDec, true, 123456789, 11},
        {"000000000012", &kLeadingDec, true, 12, 12},
        {"123456789", &kLeadingHex, true, 0x12345678, 9},
        {"0FFFFFFF", &kLeadingHex, true, 0x0FFFFFFF, 8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        const ScannedNumber n = ScanNumber(r.text, 0, *r.format);
        EXPECT_EQ(n.found, r.found);
        EXPECT_EQ(n.value, r.value);
        EXPECT_EQ(n.end, r.end);
    }
    // A scan continues where the last one ended; a wrapped negative reads as 0 - magnitude.
    const ScannedNumber first = ScanNumber("1 2 3F", 0, kDec);
    const ScannedNumber second = ScanNumber("1 2 3F", first.end, kDec);
    EXPECT_EQ(ScanNumber("1 2 3F", second.end, kHex).value, 0x3F);
    EXPECT_EQ(std::uint32_t(ScanNumber("-1", 0, kDec).value), 0xFFFFFFFFu);
    EXPECT_EQ(NumberPrefix("zz", kDec), 0);
}

TEST(Numbers, HexDigitsAndFormatting) {
    const std::pair<char, int> digits[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'g', 255}, {' ', 255}};
    for (auto [c, v] : digits)
        EXPECT_EQ(HexDigitValue(c), v) << c;

    EXPECT_EQ(Format("%s : Error Message => %d", "MAC Read", -1), "MAC Read : Error Message => -1");
    EXPECT_EQ(Hex2(0x1AB), "AB");
    const std::string wide(1000, 'x');
    EXPECT_EQ(Format("<%s>", wide.c_str()), "<" + wide + ">"); // no fixed buffer cuts it
}

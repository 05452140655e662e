// Values and arithmetic of the RF register pages that need no widgets: bank
// and channel captions, control ids of the register rows, the spin rules of
// the TX power and crystal frequency offset trims and the file name rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vq::rf {

constexpr int kBankCount = 16;
constexpr int kRegistersPerBank = 64;
constexpr int kRegistersPerPage = 32;
constexpr int kChannelCount = 14;

// "  Bank 0: Central" ... "  Bank15: Reserved" (index = bank number).
const char* BankName(int bank);
// "    1  2412-MHz" ... "  14  2484-MHz" (index 0..13).
std::string ChannelCaption(int index);

// Control ids of the register rows. Page 1 shows R0..R31, page 2 R32..R63.
constexpr int kPage1FirstBitId = 1660;   // bit b of Rr: 1660 + 8r + b
constexpr int kPage2FirstBitId = 1404;   // bit b of Rr: 1404 + 8(r - 32) + b
constexpr int kPage1FirstValueId = 1366; // value edit of Rr: 1366 + r
constexpr int kPage2FirstValueId = 1247; // value edit of Rr: 1247 + (r - 32)

struct BitPosition {
    int reg;
    int bit;
};
// Button id of register `reg`, bit `bit` on the page whose first register is
// `firstReg` (0 or 32).
int BitButtonId(int firstReg, int reg, int bit);
// Register and bit of a button id; nothing when the id is not a bit button of that page.
std::optional<BitPosition> BitFromButtonId(int firstReg, int id);
int ValueEditId(int firstReg, int reg);

// The caption of a bit button reads as a number: non-zero means the bit is
// shown set. The toggled register value and the new caption follow from it.
bool CaptionShowsSet(const std::string& caption);
std::uint8_t ToggledValue(std::uint8_t current, int bit, bool clear);

// Hexadecimal text of an edit box ("2F", "0x2f", " 7"): the leading
// hexadecimal number, 0 when there is none (only its low 8 bits are kept).
std::uint8_t HexByte(const std::string& text);
// Decimal text ("40"), 0 when there is none; the full number is returned.
int DecimalNumber(const std::string& text);

// TX power trims live in MAC register 0x13B0: TX power 0 in bits 0..5,
// TX power 1 in bits 8..13; a trim step stays within 0..0x2F.
constexpr std::uint32_t kTxPowerRegister = 0x13B0;
constexpr int kTxPowerMax = 0x2F;
// New trim after a spin step of `delta` (+1/-1), or nothing when it would leave the range.
std::optional<std::uint8_t> TxPowerStep(std::uint8_t current, int delta);
std::uint32_t WithTxPower(std::uint32_t reg, int path, std::uint8_t power);

// Crystal frequency offset in RF bank 0 R12. The horizontal spin adds one for
// the left arrow and subtracts one for the right arrow; a shown value of FF is
// never stepped.
constexpr int kFreqOffsetBank = 0;
constexpr int kFreqOffsetRegister = 12;
std::optional<std::uint8_t> FreqOffsetStep(std::uint8_t current, int delta);

// Register and dump files: ".txt" is appended when the file name does not
// contain ".txt" anywhere.
std::string WithTxtExtension(const std::string& path);

} // namespace vq::rf

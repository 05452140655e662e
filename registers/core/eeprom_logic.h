// What the EEPROM page does, without widgets: the content image and its reads
// and writes through the three content sources (EEPROM commands, eFuse, the
// program's buffer), the LED field codec, the MAC address texts and content
// files.
//
// Content words are little-endian in the image: word at offset a = byte a +
// 256 x byte a+1.
#pragma once

#include <array>
#include "base/hex_text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq {

class CDeviceCommands;

constexpr int kContentSize = 512;
constexpr int kImageSize = 1024;
constexpr int kMaxBlockWrite = 62;

// ---- LED fields -----------------------------------------------------------

enum class LedKind { GA, ActRadioOff, Act };

struct LedField {
    int id; // control id of the drop-down
    LedKind kind;
    std::uint16_t word; // 0x3C or 0x3E
    int shift;          // lowest bit of the field
    int polarityBit;    // bit of word 0x40
};

// The twelve drop-downs: LED G (4), LED A (4), LED ACT (4), each group in the
// order "Radio Off", "Radio On and Link Down", "Link to G", "Link to A".
extern const std::array<LedField, 12> kLedFields;
const std::vector<std::string>& LedItems(LedKind kind);

constexpr int kLedKeep = -2;  // leave the drop-down as it is
constexpr int kLedClear = -1; // no selection
// Item showing the field's bits (`high`: "High" selected, else "Low").
int LedItemFor(const LedField& field, std::uint16_t config, std::uint16_t act, std::uint16_t polarity,
               bool high);
// Writes the encoding of `item` into the words.
void LedApply(const LedField& field, int item, bool high, std::uint16_t& config, std::uint16_t& act,
              std::uint16_t& polarity);

// ---- texts and files -------------------------------------------------------

// Leading hexadecimal / decimal digits of a text (none: 0).
unsigned HexPrefixValue(const std::string& text);
unsigned DecimalPrefixValue(const std::string& text);
// "%02X" x 6, first byte first.
std::string MacText(const std::uint8_t bytes[6]);
// Two characters per byte, high digit first; a non-digit counts as 255 and the
// byte keeps the low 8 bits. Missing characters count as non-digits.
void MacBytes(const std::string& text, std::uint8_t bytes[6]);
bool IsMacText(const std::string& text); // exactly 12 hexadecimal digits

// Bytes that "Keep Current TxPower" takes from the current content.
bool IsKeptByte(int offset);
void KeepTxPower(std::uint8_t file[kContentSize], const std::uint8_t current[kContentSize]);

// EEPROM type from MAC register 0x0004 bits 4..5.
const char* EepromTypeName(std::uint32_t mac0004);

// ---- the page's work --------------------------------------------------------

class EepromPageLogic {
  public:
    // The page's 1024-byte content image (bytes 0..511 shown); null while the
    // page is not active.
    std::uint8_t* image = nullptr;

    // Page values.
    std::string offsetText = "0000";
    std::string lengthText = "0000";
    std::string valueText = "00";
    std::string ledModeText = "00";
    int mode = 0; // 0 READ, 1 WRITE
    bool valueMode = true;
    bool keepTxPower = false;
    int polarity = -1; // -1 none, 0 "High", 1 "Low"
    std::array<int, 12> ledItems{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    std::array<std::string, 3> macTexts; // MAC Addr., LAN MAC, WAN MAC
    std::string typeText;
    int freeBlocks = 0;
    std::string freeText;

    // Where the content is.
    static bool EfuseMode();   // eFuse source
    static bool BufferMode();  // program buffer
    static bool EfuseFamily(); // eFuse or its buffer (connected with the eFuse)

    // Reads `length` bytes from `offset` into the image, clamped to the
    // content. False when the EEPROM command failed (the image keeps what it
    // showed).
    bool ReadContent(int offset, int length);
    bool ReadAll() { return ReadContent(0, kContentSize); }
    // "R/W" with the current values.
    void ReadWrite();
    void ReadLedMode();
    void RefreshFreeBlocks();
    void ReadTypeText();
    void ReadMacAddresses();
    // "Set" of MAC Addr. (0), LAN MAC (1) or WAN MAC (2). False when the text is refused.
    bool SetMacAddress(int which);
    // LED drop-downs from the content (needs a High/Low choice).
    void ShowLedFields();
    // The MAC address texts and LED drop-downs whose bytes lie in the image
    // range [offset, offset + length), taken from the image.
    void ShowFieldsFromImage(int offset, int length);
    void SetLed();
    // "Load File" / "Save As..." of a chosen file. A save whose content read
    // fails writes nothing; a save that cannot be written leaves the old file.
    void LoadFile(const std::string& path);
    bool SaveFile(const std::string& path);

    // Content words through the current source (eFuse: logical read).
    std::uint16_t ReadWord(std::uint16_t offset);
    // 0 when the word was written.
    int WriteWord(std::uint16_t offset, std::uint16_t word);

  private:
    // True when the write went ahead (not refused, not cancelled).
    bool BlockWrite(int offset, int length);
    bool WriteByte(int offset, std::uint8_t value);
    void ReadEfuseWords(std::uint16_t words[256]);
    bool ConfirmEfuseWrite(int before, int after);
    // A word the device took: into the image, so that the view shows it.
    void ImageWord(std::uint16_t offset, std::uint16_t word);
    void ShowLedFieldsFrom(std::uint16_t config, std::uint16_t act, std::uint16_t polarity);
};

} // namespace vq

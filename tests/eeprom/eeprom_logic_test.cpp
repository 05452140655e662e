#include "agent/efuse.h"
#include "device/efuse.h"
#include "registers/core/eeprom_logic.h"
#include "tests/support/board_fixture.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

using namespace vq;
using vq::agent::EfuseDevice;

namespace {

class EepromLogicTest : public vq::test::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        UseEfuseGeometry();
        fuse = board->Device<EfuseDevice>();
        logic.image = image;
    }
    void TearDown() override {
        BoardTest::TearDown();
        for (auto& f : files)
            std::remove(f.c_str());
    }
    void UseEfuse() {
        State().efuseChosen = true;
        State().eepromSource = EepromSourceKind::Efuse;
    }
    std::string TempFile(const std::vector<std::uint8_t>& bytes) {
        char name[] = "/tmp/eeprom_test_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        files.push_back(name);
        return name;
    }
    EfuseDevice* fuse = nullptr;
    EepromPageLogic logic;
    std::uint8_t image[kImageSize] = {};
    std::vector<std::string> files;
};

} // namespace

TEST(LedCodec, EveryItemRoundTripsInBothPolarities) {
    for (const LedField& f : kLedFields) {
        const int items = int(LedItems(f.kind).size());
        for (bool high : {true, false}) {
            for (int item = 0; item < items; ++item) {
                std::uint16_t config = 0x5555, act = 0x1111, pol = high ? 0x0000 : 0xFFFF;
                LedApply(f, item, high, config, act, pol);
                EXPECT_EQ(LedItemFor(f, config, act, pol, high), item)
                    << f.id << " item " << item << " high " << high;
                // Only the field's own bits and its polarity bit change.
                const std::uint16_t own = std::uint16_t((f.kind == LedKind::GA ? 3u : 7u) << f.shift);
                if (f.word == 0x3C) {
                    EXPECT_EQ(config & ~own, 0x5555 & ~own);
                    EXPECT_EQ(act, 0x1111);
                } else {
                    EXPECT_EQ(act & ~own, 0x1111 & ~own);
                    EXPECT_EQ(config, 0x5555);
                }
                EXPECT_EQ(pol & ~(1u << f.polarityBit), (high ? 0x0000 : 0xFFFF) & ~(1u << f.polarityBit));
            }
        }
    }
}

TEST(LedCodec, PolaritySenseAndUnshownCombinations) {
    const LedField& gRadioOff = kLedFields[0]; // 0x3C bits 0-1, polarity bit 0
    ASSERT_EQ(gRadioOff.id, 1267);
    // Mode 01 with the polarity bit set: "On" when active high, "Off" when active low.
    EXPECT_EQ(LedItemFor(gRadioOff, 0x0001, 0, 0x0001, true), 0);
    EXPECT_EQ(LedItemFor(gRadioOff, 0x0001, 0, 0x0001, false), 1);
    EXPECT_EQ(LedItemFor(gRadioOff, 0x0001, 0, 0x0000, false), 0);
    EXPECT_EQ(LedItemFor(gRadioOff, 0x0000, 0, 0x0001, true), kLedKeep); // mode 00
    const LedField& aLinkA = kLedFields[7];
    ASSERT_EQ(aLinkA.id, 1363);
    EXPECT_EQ(LedItemFor(aLinkA, 0xC000, 0, 0, true), 3); // "Fast blink"
    EXPECT_EQ(LedItemFor(aLinkA, 0x4000, 0, 0x2000, false), 1);

    const LedField& actOff = kLedFields[8];
    ASSERT_EQ(actOff.id, 1365);
    EXPECT_EQ(LedItemFor(actOff, 0, 0x0005, 0x0004, true), 0);         // slow blink, solid on
    EXPECT_EQ(LedItemFor(actOff, 0, 0x0005, 0x0000, true), kLedClear); // slow blink, polarity off: no item
    EXPECT_EQ(LedItemFor(actOff, 0, 0x0001, 0x0000, true), 2);         // "Solid off,Solid off"
    EXPECT_EQ(LedItemFor(actOff, 0, 0x0002, 0x0004, true), kLedKeep);  // only 01 is offered here
    const LedField& actLinkG = kLedFields[10];
    ASSERT_EQ(actLinkG.id, 1367);
    EXPECT_EQ(LedItemFor(actLinkG, 0, 0x0300, 0x0000, true), 7); // "Solid off,Blink data/mgmt/beacon"
    EXPECT_EQ(LedItemFor(actLinkG, 0, 0x0400, 0x0400, true), kLedKeep);
    EXPECT_EQ(LedItems(LedKind::Act)[7], "Solid off,Blink data/mgmt/beacon");
}

TEST(EepromTexts, MacDigitsKeepTxPowerRangesAndType) {
    std::uint8_t b[6];
    MacBytes("000C439447A1", b);
    EXPECT_EQ(MacText(b), "000C439447A1");
    MacBytes("0G", b); // 'G' counts 255: 0*16 + 255
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], std::uint8_t(255 * 16 + 255));
    EXPECT_TRUE(IsMacText("abcdef012345"));
    EXPECT_FALSE(IsMacText("abcdef01234"));
    EXPECT_FALSE(IsMacText("abcdef01234g"));
    EXPECT_EQ(HexPrefixValue("1f3"), 0x1F3u);
    EXPECT_EQ(HexPrefixValue("zz"), 0u);
    EXPECT_EQ(DecimalPrefixValue("62x"), 62u);

    EXPECT_EQ(EepromTypeName(0x00), std::string("93c46"));
    EXPECT_EQ(EepromTypeName(0x1F), std::string("93c66"));
    EXPECT_EQ(EepromTypeName(0x20), std::string("93c86"));
    EXPECT_EQ(EepromTypeName(0x30), std::string("Unknown Type!"));
}

TEST_F(EepromLogicTest, SingleByteWriteKeepsTheOtherByte) {
    board->SetEepromWord(0x34, 0x3322);
    logic.mode = 1;
    logic.valueMode = true;
    logic.offsetText = "35";
    logic.valueText = "12";
    board->ClearLog();
    logic.ReadWrite();
    const auto reads = Exchanges(cmd::EepromRead);
    ASSERT_GE(reads.size(), 1u);
    EXPECT_EQ(reads[0].payload, (std::vector<std::uint8_t>{0x00, 0x34}));
    const auto writes = Exchanges(cmd::EepromWrite);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].payload, (std::vector<std::uint8_t>{0x00, 0x34, 0x12, 0x22}));
    EXPECT_EQ(board->EepromWord(0x34), 0x1222);
    // The LED mode byte is read again after the write.
    EXPECT_EQ(Exchanges(cmd::EepromRead).back().payload, (std::vector<std::uint8_t>{0x00, 0x3A}));

    // Reading back with Value-Mode: the odd offset shows the high byte.
    logic.mode = 0;
    logic.valueText = "00";
    logic.ReadWrite();
    EXPECT_EQ(logic.valueText, "12");
    logic.offsetText = "34";
    logic.ReadWrite();
    EXPECT_EQ(logic.valueText, "22");
}

TEST_F(EepromLogicTest, BlockWriteLengthLimits) {
    for (int i = 0; i < 80; ++i)
        image[0x40 + i] = std::uint8_t(i);
    logic.mode = 1;
    logic.valueMode = false;
    logic.offsetText = "40";
    logic.lengthText = "63";
    board->ClearLog();
    logic.ReadWrite();
    EXPECT_EQ(prompter.Last(), "Write EEPROM Data length must <= 62");
    logic.lengthText = "0";
    logic.ReadWrite();
    EXPECT_EQ(prompter.Last(), "Data length > 0");
    EXPECT_EQ(board->LogSize(), 0u);

    logic.lengthText = "62";
    logic.ReadWrite();
    const auto bulk = Exchanges(cmd::EepromWriteBulk);
    ASSERT_EQ(bulk.size(), 1u);
    EXPECT_EQ(bulk[0].payload.size(), 4u + 62u);
    EXPECT_EQ(GetBe16(bulk[0].payload.data()), 0x40);
    EXPECT_EQ(GetBe16(bulk[0].payload.data() + 2), 62);
    for (int i = 0; i < 62; ++i)
        EXPECT_EQ(board->Eeprom()[0x40 + i], i);

    // A range past the content is refused instead of reading past the image.
    prompter.Clear();
    board->ClearLog();
    logic.offsetText = "1F0";
    logic.lengthText = "20";
    logic.ReadWrite();
    EXPECT_EQ(prompter.Last(), "Write EEPROM Data out of range (offset + length > 512)");
    EXPECT_EQ(board->LogSize(), 0u);
}

TEST_F(EepromLogicTest, ContentReadIsClampedToTheContent) {
    std::memset(image, 0xAA, sizeof image);
    logic.mode = 0;
    logic.valueMode = false;
    logic.offsetText = "1F0";
    logic.ReadWrite();
    const auto bulk = Exchanges(cmd::EepromReadBulk);
    ASSERT_EQ(bulk.size(), 1u);
    EXPECT_EQ(bulk[0].payload, (std::vector<std::uint8_t>{0x01, 0xF0, 0x00, 0x10}));
    EXPECT_EQ(std::memcmp(image + 0x1F0, board->Eeprom() + 0x1F0, 16), 0);
    EXPECT_EQ(image[0x200], 0xAA);
    EXPECT_EQ(image[0x1EF], 0xAA);

    board->ClearLog();
    logic.offsetText = "FFFF";
    logic.ReadWrite();
    EXPECT_EQ(board->LogSize(), 0u);

    logic.offsetText = "0";
    logic.ReadWrite();
    EXPECT_EQ(std::memcmp(image, board->Eeprom(), 512), 0);
}

TEST_F(EepromLogicTest, EfuseEmptyShowsAllFreeAndOverflowWritesNothing) {
    UseEfuse();
    logic.RefreshFreeBlocks();
    EXPECT_EQ(logic.freeText, "60 / 60");
    logic.ReadAll();
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(image[i], 0xFF) << i;

    // Leave two free map bytes: a 62-byte write at 0x0E touches five blocks.
    for (int a = 962; a <= 1019; ++a)
        fuse->fuse[a] = 0xFF;
    logic.RefreshFreeBlocks();
    EXPECT_EQ(logic.freeText, "2 / 60");
    for (int i = 0; i < 62; ++i)
        image[0x0E + i] = std::uint8_t(i);
    logic.mode = 1;
    logic.valueMode = false;
    logic.offsetText = "0E";
    logic.lengthText = "62";
    fuse->physicalWrites = 0;
    logic.ReadWrite();
    EXPECT_EQ(prompter.Last(), " eFuse write fail (overflow)!, Free block before write=2, after write=-3");
    EXPECT_EQ(prompter.Texts().size(), 1u);
    EXPECT_EQ(fuse->physicalWrites, 0u);
}

TEST_F(EepromLogicTest, EfuseBlockWriteAsksThenWritesWordsOrAFullBlock) {
    UseEfuse();
    for (int i = 0; i < 16; ++i)
        image[0x20 + i] = std::uint8_t(0x10 + i);
    logic.mode = 1;
    logic.valueMode = false;
    logic.offsetText = "20";
    logic.lengthText = "16";
    prompter.Script({MsgResult::Cancel});
    logic.ReadWrite();
    EXPECT_EQ(prompter.Last(), "Free block before write=60, after write=59, are you sure to write?");
    EXPECT_EQ(fuse->Lookup(2), -1);
    logic.ReadWrite(); // OK
    EXPECT_EQ(fuse->Lookup(2), 59);
    for (int i = 0; i < 16; i += 2)
        EXPECT_EQ(fuse->LogicalWord(0x20 + i), (0x10 + i) | ((0x11 + i) << 8));
    EXPECT_EQ(logic.freeText, "59 / 60");

    // Three bytes at an odd offset: words 0x41..0x43 -> words 0x40 and 0x42; the
    // rest of the fresh block reads 0.
    image[0x41] = 0x01;
    image[0x42] = 0x02;
    image[0x43] = 0x03;
    logic.offsetText = "41";
    logic.lengthText = "3";
    logic.ReadWrite();
    EXPECT_EQ(fuse->LogicalWord(0x40), 0x01FF);
    EXPECT_EQ(fuse->LogicalWord(0x42), 0x0302);
    EXPECT_EQ(fuse->LogicalWord(0x44), 0x0000);
}

TEST_F(EepromLogicTest, EfuseValueModeWriteAsksUnlessSuppressed) {
    UseEfuse();
    logic.mode = 1;
    logic.valueMode = true;
    logic.offsetText = "35";
    logic.valueText = "12";
    logic.ReadWrite();
    EXPECT_EQ(prompter.Texts().front(), "Free block before write=60, after write=59, are you sure to write?");
    // Unmapped: the other byte is taken as 0, not 0xFF.
    EXPECT_EQ(fuse->LogicalWord(0x34), 0x1200);
    EXPECT_EQ(logic.freeText, "59 / 60");
    EXPECT_EQ(logic.ledModeText, "00"); // word 0x3A of the fresh block

    prompter.Clear();
    State().suppressEfuseQuestion = true;
    logic.offsetText = "34";
    logic.valueText = "00"; // 0x00 over 0x00: no block
    logic.ReadWrite();
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(logic.freeText, "59 / 60");
    logic.valueText = "01";
    logic.offsetText = "35"; // 0x01 over 0x12 clears bits: the block moves
    logic.ReadWrite();
    EXPECT_EQ(fuse->LogicalWord(0x34), 0x0100);
    EXPECT_EQ(logic.freeText, "58 / 60");
}

TEST_F(EepromLogicTest, LoadFileKeepsTxPowerRangesAndFillsShortFiles) {
    std::vector<std::uint8_t> file(512);
    for (int i = 0; i < 512; ++i)
        file[i] = std::uint8_t(i * 7 + 1);
    const std::uint8_t* current = board->Eeprom();
    std::uint8_t before[512];
    std::memcpy(before, current, 512);
    logic.keepTxPower = true;
    logic.LoadFile(TempFile(file));
    const auto all = Exchanges(cmd::EepromWriteAll);
    ASSERT_EQ(all.size(), 1u);
    ASSERT_EQ(all[0].payload.size(), 512u);
    for (int i = 0; i < 512; ++i) {
        const std::uint8_t sent = all[0].payload[(i & ~1) + ((i & 1) ? 0 : 1)]; // BE words
        const bool kept = (i >= 4 && i <= 8) || i == 58 || (i >= 82 && i <= 109) || (i >= 120 && i <= 154) ||
                          (i >= 166 && i <= 200);
        EXPECT_EQ(sent, kept ? before[i] : file[i]) << i;
    }
    EXPECT_EQ(board->Eeprom()[9], file[9]);
    EXPECT_EQ(board->Eeprom()[8], before[8]);
    EXPECT_EQ(std::memcmp(image, board->Eeprom(), 512), 0); // read again afterwards

    // A short file changes only what it holds.
    std::memcpy(before, board->Eeprom(), 512);
    logic.keepTxPower = false;
    logic.LoadFile(TempFile({0xDE, 0xAD, 0xBE}));
    EXPECT_EQ(board->Eeprom()[0], 0xDE);
    EXPECT_EQ(board->Eeprom()[2], 0xBE);
    EXPECT_EQ(std::memcmp(board->Eeprom() + 3, before + 3, 509), 0);

    logic.LoadFile("/nonexistent/dir/file.bin");
    EXPECT_EQ(prompter.Last(), "EEPROM Register File not found!");
}

TEST_F(EepromLogicTest, LoadFileIntoEfuseSkipsBlankBlocks) {
    UseEfuse();
    std::vector<std::uint8_t> file(512, 0xFF);
    file[0x00] = 0x47;
    file[0x01] = 0x94;
    file[0x1F0] = 0x01;
    logic.LoadFile(TempFile(file));
    EXPECT_EQ(prompter.Last(), "Free block before write=60, after write=58, are you sure to write?");
    EXPECT_EQ(fuse->Lookup(0), 59);
    EXPECT_EQ(fuse->Lookup(31), 58);
    EXPECT_EQ(fuse->Lookup(1), -1);
    EXPECT_EQ(logic.freeText, "58 / 60");
    EXPECT_EQ(image[0], 0x47);
    EXPECT_EQ(image[0x1F0], 0x01);
    EXPECT_EQ(image[0x1F1], 0xFF);
}

TEST_F(EepromLogicTest, LedSetEncodesTheFieldsAndSetsTheFixedBits) {
    board->SetEepromWord(0x3A, 0x1234);
    board->SetEepromWord(0x3C, 0x0000);
    board->SetEepromWord(0x3E, 0x0000);
    board->SetEepromWord(0x40, 0x0000);
    logic.polarity = 1; // "Low"
    logic.ledItems.fill(-1);
    logic.ledItems[0] = 0; // LED G Radio Off "On": mode 01, polarity bit clear when active low
    logic.ledItems[4] = 2; // LED A Radio Off "Slow blink": mode 10
    logic.ledItems[9] = 5; // ACT Radio On Link Down "Solid off,Solid off": 001, polarity off -> bit 6 set
    logic.ledModeText = "A5";
    logic.SetLed();
    EXPECT_EQ(board->EepromWord(0x3C), 0x0009);
    EXPECT_EQ(board->EepromWord(0x3E), 0x0010 | 0x8888);
    EXPECT_EQ(board->EepromWord(0x40), 0x0040 | 0x8888); // bits 0 and 1 clear: polarity on, active low
    EXPECT_EQ(board->EepromWord(0x3A), 0xA534);

    // Without a High/Low choice only the fixed bits change.
    logic.polarity = -1;
    logic.ledItems.fill(3);
    board->SetEepromWord(0x3C, 0x0000);
    board->SetEepromWord(0x40, 0x0000);
    logic.SetLed();
    EXPECT_EQ(board->EepromWord(0x3C), 0x0000);
    EXPECT_EQ(board->EepromWord(0x40), 0x8888);

    // The fields shown again from the content.
    logic.polarity = 1;
    logic.ledItems.fill(-1);
    board->SetEepromWord(0x3C, 0x0009);
    board->SetEepromWord(0x40, 0x0001);
    logic.ShowLedFields();
    EXPECT_EQ(logic.ledItems[0], 1); // bit set, active low: "Off"
    EXPECT_EQ(logic.ledItems[4], 2);
    EXPECT_EQ(logic.ledItems[1], -1); // mode 00 leaves it
    logic.polarity = 0;
    logic.ShowLedFields();
    EXPECT_EQ(logic.ledItems[0], 0); // "On"
}

TEST_F(EepromLogicTest, LedSetInEfuseWritesTheWholeContentOnce) {
    UseEfuse();
    logic.polarity = 0;
    logic.ledItems.fill(-1);
    logic.ledItems[0] = 0;
    logic.ledModeText = "01";
    logic.SetLed();
    ASSERT_EQ(prompter.Texts().size(), 1u); // one question for all four words
    EXPECT_EQ(prompter.Last(), "Free block before write=60, after write=59, are you sure to write?");
    EXPECT_EQ(fuse->LogicalWord(0x3A), 0x01FF);
    EXPECT_EQ(fuse->LogicalWord(0x3C), 0xFFFD); // bits 0-1 = 01 in a blank word
    EXPECT_EQ(fuse->LogicalWord(0x3E), 0xFFFF);
    EXPECT_EQ(fuse->LogicalWord(0x40), 0xFFFF);
    // Block 3 (0x30..0x3F) changed; block 4 (0x40..) stays blank and is not written.
    EXPECT_EQ(fuse->Lookup(3), 59);
    EXPECT_EQ(fuse->Lookup(4), -1);
    EXPECT_EQ(logic.freeText, "59 / 60");
}

TEST_F(EepromLogicTest, MacAddressWrites) {
    logic.macTexts = {"001122334455", "66778899AABB", "CCDDEEFF0011"};
    logic.SetMacAddress(0);
    const auto bulk = Exchanges(cmd::EepromWriteBulk);
    ASSERT_EQ(bulk.size(), 1u);
    EXPECT_EQ(bulk[0].payload, (std::vector<std::uint8_t>{0, 4, 0, 6, 0x11, 0x00, 0x33, 0x22, 0x55, 0x44}));
    logic.SetMacAddress(1);
    const auto words = Exchanges(cmd::EepromWrite);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].payload, (std::vector<std::uint8_t>{0, 0x28, 0x77, 0x66}));
    EXPECT_EQ(words[2].payload, (std::vector<std::uint8_t>{0, 0x2C, 0xBB, 0xAA}));
    logic.SetMacAddress(2);
    logic.ReadMacAddresses();
    EXPECT_EQ(logic.macTexts[0], "001122334455");
    EXPECT_EQ(logic.macTexts[1], "66778899AABB");
    EXPECT_EQ(logic.macTexts[2], "CCDDEEFF0011");

    board->ClearLog();
    logic.macTexts[1] = "66778899AAB";
    EXPECT_FALSE(logic.SetMacAddress(1));
    EXPECT_EQ(board->LogSize(), 0u);

    // In eFuse mode each LAN word asks the question.
    UseEfuse();
    prompter.Clear();
    logic.macTexts[1] = "66778899AABB";
    logic.SetMacAddress(1);
    EXPECT_EQ(prompter.Texts().size(), 3u);
    EXPECT_EQ(fuse->LogicalWord(0x2A), 0x9988);
}

TEST_F(EepromLogicTest, BufferModeSendsNoFrame) {
    State().efuseChosen = true;
    State().eepromSource = EepromSourceKind::Buffer;
    board->ClearLog();
    State().eepromBuffer[0x35] = 0x77;
    logic.ReadAll();
    EXPECT_EQ(image[0x35], 0x77);
    logic.mode = 1;
    logic.valueMode = true;
    logic.offsetText = "35";
    logic.valueText = "12";
    logic.ReadWrite();
    EXPECT_EQ(State().eepromBuffer[0x35], 0x12);
    logic.valueMode = false;
    image[0x10] = 0x42;
    logic.offsetText = "10";
    logic.lengthText = "2";
    logic.ReadWrite();
    EXPECT_EQ(State().eepromBuffer[0x10], 0x42);
    logic.polarity = 0;
    logic.ledItems.fill(0);
    logic.SetLed();
    logic.ShowLedFields();
    logic.macTexts = {"001122334455", "66778899AABB", "CCDDEEFF0011"};
    for (int k = 0; k < 3; ++k)
        logic.SetMacAddress(k);
    logic.ReadMacAddresses();
    std::vector<std::uint8_t> file(512, 0x5A);
    logic.LoadFile(TempFile(file));
    EXPECT_EQ(State().eepromBuffer[0x100], 0x5A);
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(EepromLogicTest, SaveAsWritesTheFreshContent) {
    const std::string path = TempFile({});
    ASSERT_TRUE(logic.SaveFile(path));
    std::ifstream in(path, std::ios::binary);
    std::vector<char> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(got.size(), 512u);
    EXPECT_EQ(std::memcmp(got.data(), board->Eeprom(), 512), 0);

    logic.ReadTypeText();
    EXPECT_EQ(logic.typeText, "93c66");
    board->SetRawMac(0x0004, 0x20);
    logic.ReadTypeText();
    EXPECT_EQ(logic.typeText, "93c86");
    UseEfuse();
    logic.ReadTypeText();
    EXPECT_EQ(logic.typeText, "E-fuse");
}

TEST_F(EepromLogicTest, WritesShowWhatTheyChangedWithoutAnotherRead) {
    // The hex view, the MAC address texts and the LED drop-downs kept their
    // old values until "Read ALL".
    auto write = [&](bool valueMode, const char* offset, const char* value, const char* length) {
        logic.mode = 1;
        logic.valueMode = valueMode;
        logic.offsetText = offset;
        logic.valueText = value;
        logic.lengthText = length;
        logic.ReadWrite();
    };
    logic.ReadAll();
    logic.ReadMacAddresses();
    logic.polarity = 0;
    logic.ShowLedFields();
    ASSERT_NE(logic.ledItems[0], 3);
    board->ClearLog();
    write(true, "35", "12", "0");
    EXPECT_EQ(image[0x35], 0x12);
    write(true, "5", "ab", "0");
    EXPECT_EQ(logic.macTexts[0].substr(2, 2), "AB");
    write(true, "3C", "03", "0"); // LED G Radio Off: fast blink
    EXPECT_EQ(logic.ledItems[0], 3);
    std::memcpy(image + 0x28, "\xA0\xA1\xA2\xA3\xA4\xA5", 6);
    write(false, "28", "00", "6");
    EXPECT_EQ(logic.macTexts[1], "A0A1A2A3A4A5");
    logic.macTexts[2] = "0123456789AB";
    logic.SetMacAddress(2);
    EXPECT_EQ(MacText(image + 0x2E), "0123456789AB");
    EXPECT_EQ(CountCommands(cmd::EepromReadBulk), 0u); // shown from what was written, not read back

    std::vector<std::uint8_t> file(512);
    for (int i = 0; i < 512; ++i)
        file[i] = std::uint8_t(0x40 + i);
    file[0x3C] = 0x02; // slow blink
    logic.LoadFile(TempFile(file));
    EXPECT_EQ(logic.macTexts[2], MacText(file.data() + 0x2E));
    EXPECT_EQ(logic.ledItems[0], 2);
}

TEST_F(EepromLogicTest, LoadFileNeedsTheCurrentContent) {
    // The file is laid over the content it replaces: without it, stale bytes
    // (the kept TX power ranges among them) would go to the EEPROM.
    const std::string content = TempFile(std::vector<std::uint8_t>(512, 0x77));
    logic.keepTxPower = true;
    board->faults.failCommand = cmd::EepromReadBulk;
    logic.LoadFile(content);
    EXPECT_EQ(CountCommands(cmd::EepromWriteAll), 0u);
    EXPECT_EQ(prompter.Last(), "The content could not be read: " + content + " was not loaded.");
}

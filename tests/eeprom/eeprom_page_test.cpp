#include "agent/efuse.h"
#include "controls/hex_edit.h"
#include "registers/eeprom/eeprom_page.h"
#include "tests/support/gui_board_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>
#include <cstring>

using namespace vq;
using vq::agent::EfuseDevice;

namespace {

class EepromPageTest : public vq::test::GuiBoardTest {
  protected:
    void SetUp() override {
        GuiBoardTest::SetUp();
        UseEfuseGeometry();
        fuse = board->Device<EfuseDevice>();
    }
    void TearDown() override {
        page.reset();
        GuiBoardTest::TearDown();
    }
    CEEPROMPage& Open() {
        page = std::make_unique<CEEPROMPage>();
        page->resize(1400, 640);
        page->Activate();
        return *page;
    }
    QString Text(int id) {
        if (auto* l = page->ControlAs<QLabel>(id)) return l->text();
        if (auto* e = page->ControlAs<QLineEdit>(id)) return e->text();
        if (auto* b = page->ControlAs<QAbstractButton>(id)) return b->text();
        return "?";
    }
    void Click(int id) { page->ControlAs<QAbstractButton>(id)->click(); }
    EfuseDevice* fuse = nullptr;
    std::unique_ptr<CEEPROMPage> page;
};

} // namespace

TEST_F(EepromPageTest, ControlsAndCaptions) {
    Open();
    EXPECT_EQ(page->Caption(), "EEPROM");
    const std::pair<int, const char*> captions[] = {{1104, "Set"},
                                                    {1502, "Set"},
                                                    {1503, "Set"},
                                                    {1001, "&READ"},
                                                    {1002, "&WRITE"},
                                                    {1145, "Value-Mode"},
                                                    {1005, "R/W"},
                                                    {1008, "Read &ALL"},
                                                    {1007, "Load File"},
                                                    {1183, "Save As..."},
                                                    {1209, "Keep Current TxPower"},
                                                    {1275, "EEPROM Buffer Mode"},
                                                    {1404, "Disable Write Warning"},
                                                    {1434, "Free Block:"},
                                                    {1364, "Set"},
                                                    {1406, "eFuse Mode"},
                                                    {1401, "Logical View"},
                                                    {1407, "Physical View"},
                                                    {1408, "Check"}};
    for (const auto& [id, text] : captions)
        EXPECT_EQ(Text(id), text) << id;
    for (int id : {1313, 1103, 1257, 1258, 1003, 1009, 1004, 1006, 1409, 1405, 1372, 1010})
        EXPECT_NE(page->Control(id), nullptr) << id;
    auto* pol = page->ControlAs<QComboBox>(1372);
    ASSERT_EQ(pol->count(), 2);
    EXPECT_EQ(pol->itemText(0), "High");
    EXPECT_EQ(pol->itemText(1), "Low");
    EXPECT_EQ(pol->currentIndex(), -1);
    for (int id : {1267, 1357, 1358, 1359, 1360, 1361, 1362, 1363}) {
        auto* c = page->ControlAs<QComboBox>(id);
        ASSERT_NE(c, nullptr) << id;
        EXPECT_EQ(c->count(), 4);
        EXPECT_EQ(c->itemText(2), "Slow blink");
        EXPECT_FALSE(c->isEnabled());
    }
    EXPECT_EQ(page->ControlAs<QComboBox>(1365)->count(), 3);
    for (int id : {1366, 1367, 1368})
        EXPECT_EQ(page->ControlAs<QComboBox>(id)->count(), 10);
    // Start values.
    EXPECT_EQ(Text(1003), "0000");
    EXPECT_EQ(Text(1004), "0000");
    EXPECT_EQ(Text(1009), "00");
    EXPECT_TRUE(page->ControlAs<QRadioButton>(1001)->isChecked());
    EXPECT_TRUE(page->ControlAs<QCheckBox>(1145)->isChecked());
    EXPECT_FALSE(page->ControlAs<QLineEdit>(1004)->isEnabled());
    EXPECT_TRUE(page->ControlAs<QLineEdit>(1009)->isReadOnly());
    EXPECT_EQ(page->ControlAs<QLineEdit>(1003)->maxLength(), 4);
    EXPECT_EQ(page->ControlAs<QLineEdit>(1103)->maxLength(), 12);
}

TEST_F(EepromPageTest, EepromModeInitialisationAndActivation) {
    Open();
    EXPECT_EQ(Text(1313), "93c66");
    EXPECT_EQ(Text(1409), "EEPROM");
    EXPECT_EQ(Text(1103), "000C43944701");
    EXPECT_EQ(Text(1257), "000C43944702");
    EXPECT_FALSE(page->Control(1275)->isEnabled());
    EXPECT_FALSE(page->Control(1404)->isEnabled());
    EXPECT_FALSE(page->Control(1405)->isEnabled());
    EXPECT_FALSE(page->ControlAs<QCheckBox>(1406)->isChecked());
    ASSERT_NE(page->Image(), nullptr);
    EXPECT_EQ(page->HexEdit()->Length(), 512);
    EXPECT_EQ(page->HexEdit()->Data(), page->Image());
    EXPECT_EQ(std::memcmp(page->Image(), board->Eeprom(), 512), 0);
    // Leaving the page frees the image; the hex view lets go of it first.
    EXPECT_TRUE(page->OnKillActive());
    EXPECT_EQ(page->Image(), nullptr);
    EXPECT_EQ(page->HexEdit()->Length(), 0);
}

TEST_F(EepromPageTest, ModeControlsFollowTheValueModeRule) {
    Open();
    auto* length = page->ControlAs<QLineEdit>(1004);
    auto* value = page->ControlAs<QLineEdit>(1009);
    Click(1002); // WRITE, Value-Mode on
    EXPECT_FALSE(length->isEnabled());
    EXPECT_FALSE(value->isReadOnly());
    Click(1145); // Value-Mode off
    EXPECT_TRUE(length->isEnabled());
    EXPECT_TRUE(value->isReadOnly());
    Click(1001); // READ
    EXPECT_FALSE(length->isEnabled());
    EXPECT_TRUE(value->isReadOnly());
    Click(1145); // Value-Mode on in READ
    EXPECT_FALSE(length->isEnabled());
    EXPECT_TRUE(value->isReadOnly());
}

TEST_F(EepromPageTest, EfuseModeShowsFreeBlocksAndBufferModeSwitches) {
    State().efuseChosen = true;
    State().eepromSource = EepromSourceKind::Efuse;
    Open();
    EXPECT_EQ(Text(1313), "E-fuse");
    EXPECT_EQ(Text(1409), "E-fuse");
    EXPECT_EQ(Text(1405), "60 / 60");
    EXPECT_TRUE(page->Control(1405)->isEnabled());
    EXPECT_TRUE(page->Control(1275)->isEnabled());
    EXPECT_TRUE(page->ControlAs<QCheckBox>(1406)->isChecked());
    EXPECT_EQ(Text(1103), "FFFFFFFFFFFF");
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(page->Image()[i], 0xFF);

    // Buffer mode: the content comes from the program's buffer, no frame.
    State().eepromBuffer[0] = 0x12;
    board->ClearLog();
    Click(1275);
    EXPECT_EQ(State().eepromSource.load(), EepromSourceKind::Buffer);
    EXPECT_EQ(page->Image()[0], 0x12);
    page->ControlAs<QLineEdit>(1003)->setText("0");
    Click(1005);
    EXPECT_EQ(Text(1009), "12");
    EXPECT_EQ(board->LogSize(), 0u);
    Click(1275);
    EXPECT_EQ(State().eepromSource.load(), EepromSourceKind::Efuse);
    EXPECT_EQ(page->Image()[0], 0xFF);

    Click(1404);
    EXPECT_TRUE(State().suppressEfuseQuestion);
    Click(1002);
    page->ControlAs<QLineEdit>(1003)->setText("35");
    page->ControlAs<QLineEdit>(1009)->setText("12");
    Click(1005);
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(fuse->LogicalWord(0x34), 0x1200);
    EXPECT_EQ(Text(1405), "59 / 60");
}

TEST_F(EepromPageTest, PolarityChoiceShowsAndEnablesTheLedFields) {
    board->SetEepromWord(0x3C, 0x0001); // LED G Radio Off mode 01
    board->SetEepromWord(0x40, 0x0001); // its polarity bit set
    board->SetEepromWord(0x3A, 0x5A00);
    Open();
    EXPECT_EQ(Text(1010), "5A");
    auto* pol = page->ControlAs<QComboBox>(1372);
    auto* g = page->ControlAs<QComboBox>(1267);
    pol->setCurrentIndex(1);
    emit pol->activated(1); // "Low"
    EXPECT_TRUE(g->isEnabled());
    EXPECT_EQ(g->currentText(), "Off");
    pol->setCurrentIndex(0);
    emit pol->activated(0); // "High"
    EXPECT_EQ(g->currentText(), "On");

    // LED "Set" writes the fields with the fixed bits and the LED mode byte.
    page->ControlAs<QComboBox>(1357)->setCurrentIndex(3); // "Fast blink"
    page->ControlAs<QLineEdit>(1010)->setText("3C");
    Click(1364);
    EXPECT_EQ(board->EepromWord(0x3C), 0x0031);
    EXPECT_EQ(board->EepromWord(0x40) & 0x8899, 0x8899);
    EXPECT_EQ(board->EepromWord(0x3A), 0x3C00);
}

TEST_F(EepromPageTest, LoadAndSaveThroughTheFileDialogs) {
    Open();
    const std::string base = "/tmp/eeprom_page_test_" + std::to_string(::getpid());
    dialogs.answers = {QString::fromStdString(base)};
    Click(1183);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(dialogs.calls[0].save);
    EXPECT_EQ(dialogs.calls[0].filter, "EEPROM content File (*.bin)|*.bin||");
    FILE* f = std::fopen((base + ".bin").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::uint8_t saved[600];
    EXPECT_EQ(std::fread(saved, 1, sizeof saved, f), 512u);
    std::fclose(f);
    EXPECT_EQ(std::memcmp(saved, board->Eeprom(), 512), 0);

    // Change the board, load the saved file back: the content returns.
    board->SetEepromWord(0x100, 0x1234);
    dialogs.answers = {QString::fromStdString(base)};
    Click(1007);
    EXPECT_EQ(board->EepromWord(0x100), saved[0x100] | (saved[0x101] << 8));
    dialogs.answers = {QString::fromStdString(base + ".none")};
    Click(1007);
    EXPECT_EQ(prompter.Last(), "EEPROM Register File not found!");
    std::remove((base + ".bin").c_str());
}

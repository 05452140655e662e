#include "controls/core/hex_model.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

// 8 bytes per row, wide offset: offset cells 1..9, hex cells 10..33, characters 34..41.
struct ModelFixture : ::testing::Test {
    void SetUp() override {
        for (int i = 0; i < 20; ++i)
            bytes[i] = static_cast<std::uint8_t>(0x30 + i);
        m.SetData(bytes, 20);
        m.UpdateVisibleRows(1000, 10);
    }
    std::uint8_t bytes[20];
    HexEditModel m;
};

} // namespace

TEST_F(ModelFixture, TwentyBytesAtEightPerRowGiveThreeRowsWithBlankPadding) {
    EXPECT_EQ(m.visibleRows, 3);
    EXPECT_EQ(m.MaxTop(), 0);
    EXPECT_EQ(m.OffsetText(16), "00000010 ");
    EXPECT_EQ(m.HexText(16), "40 41 42 43             ");
    EXPECT_EQ(m.CharText(16), "@ABC");
    m.wideOffset = false;
    EXPECT_EQ(m.OffsetText(16), "0010 ");
    EXPECT_EQ(m.OffsetCells(), 5);
    // A window of two rows holds fewer rows than the data.
    m.UpdateVisibleRows(25, 10);
    EXPECT_EQ(m.visibleRows, 2);
    EXPECT_EQ(m.MaxTop(), 8);
}

TEST_F(ModelFixture, HitTestMapsCellsToBytesAndColumns) {
    const int w = 7, h = 10;
    auto hit = [&](int cell, int row) { return m.HitTest((cell - 1) * w + 3, row * h + 2, w, h); };
    HexHit r = hit(3, 1); // offset column of row 1
    EXPECT_TRUE(r.hit);
    EXPECT_EQ(r.offset, 8);
    EXPECT_EQ(r.column, kHexColOffset);
    r = hit(10, 0); // first digit of byte 0
    EXPECT_EQ(r.offset, 0);
    EXPECT_EQ(r.column, kHexColHigh);
    r = hit(14, 0); // second digit of byte 1
    EXPECT_EQ(r.offset, 1);
    EXPECT_EQ(r.column, kHexColLow);
    r = hit(36, 1); // third character of row 1
    EXPECT_EQ(r.offset, 10);
    EXPECT_EQ(r.column, kHexColChars);
    EXPECT_FALSE(hit(42, 0).hit);         // right of the character column
    EXPECT_FALSE(hit(10 + 3 * 5, 2).hit); // byte 21 of a 20-byte buffer
    EXPECT_FALSE(hit(10, 3).hit);         // below the last row
    EXPECT_TRUE(hit(10 + 3 * 3, 2).hit);  // byte 19
}

TEST_F(ModelFixture, MovementKeysStayInsideTheData) {
    m.caretCol = kHexColHigh;
    m.Key(HexKey::Left, false, false); // nothing before byte 0
    EXPECT_EQ(m.caretPos, 0);
    EXPECT_EQ(m.caretCol, kHexColHigh);
    m.Key(HexKey::Right, false, false);
    EXPECT_EQ(m.caretCol, kHexColLow);
    m.Key(HexKey::Right, false, false);
    EXPECT_EQ(m.caretPos, 1);
    EXPECT_EQ(m.caretCol, kHexColHigh);
    m.Key(HexKey::Left, false, false);
    EXPECT_EQ(m.caretPos, 0);
    EXPECT_EQ(m.caretCol, kHexColLow);
    m.Key(HexKey::Up, false, false); // below 0 becomes 0
    EXPECT_EQ(m.caretPos, 0);
    m.caretPos = 12;
    m.Key(HexKey::Down, false, false); // 20 would leave the data: undone
    EXPECT_EQ(m.caretPos, 12);
    m.Key(HexKey::End, false, false);
    EXPECT_EQ(m.caretPos, 15);
    m.Key(HexKey::Home, false, false);
    EXPECT_EQ(m.caretPos, 8);
    m.Key(HexKey::End, false, true);
    EXPECT_EQ(m.caretPos, 19);
    m.Key(HexKey::Home, false, true);
    EXPECT_EQ(m.caretPos, 0);
    m.Key(HexKey::Tab, false, false);
    EXPECT_EQ(m.caretCol, kHexColChars);
    m.Key(HexKey::Tab, false, false);
    EXPECT_EQ(m.caretCol, kHexColHigh);
    // In the offset column the arrows do not move the caret.
    m.caretCol = kHexColOffset;
    m.Key(HexKey::Down, false, false);
    m.Key(HexKey::Right, false, false);
    EXPECT_EQ(m.caretPos, 0);
}

TEST_F(ModelFixture, ScrollingKeepsTheCaretInTheViewAndKeyboardScrollDoesNot) {
    m.UpdateVisibleRows(20, 10); // two rows of three
    m.caretCol = kHexColChars;
    m.caretPos = 9;
    m.ScrollLineDown();
    EXPECT_EQ(m.top, 8);
    EXPECT_EQ(m.caretPos, 17); // the caret follows the view
    m.ScrollLineDown();        // the last row is visible already
    EXPECT_EQ(m.top, 8);
    m.ScrollThumb(0);
    EXPECT_EQ(m.top, 0);
    EXPECT_EQ(m.caretPos, 9);
    m.Key(HexKey::Down, false, false); // caret to byte 17: the view scrolls a row, the caret stays
    EXPECT_EQ(m.caretPos, 17);
    EXPECT_EQ(m.top, 8);
    m.ScrollPageUp();
    EXPECT_EQ(m.top, 0);
    m.ScrollPageDown();
    EXPECT_EQ(m.top, 8); // clamped to the last full view
}

TEST_F(ModelFixture, ShiftMovementSelectsAndRightToLeftIsCopiedAscending) {
    m.caretCol = kHexColChars;
    m.caretPos = 5;
    m.Key(HexKey::Left, true, false);
    m.Key(HexKey::Left, true, false);
    EXPECT_EQ(m.selStart, 5);
    EXPECT_EQ(m.selEnd, 3);
    EXPECT_EQ(m.SelectedBytes(), (std::vector<std::uint8_t>{0x33, 0x34}));
    m.Key(HexKey::Right, false, false); // without Shift the selection goes
    EXPECT_FALSE(m.HasSelection());
    // Hex column: the byte under the caret counts.
    m.caretCol = kHexColHigh;
    m.caretPos = 2;
    m.Key(HexKey::Right, true, false);
    EXPECT_EQ(m.SelectedBytes(), (std::vector<std::uint8_t>{0x32}));
}

TEST(HexModel, InsertionAndDeletionNeedLengthChangesAndNeverTouchTheOwnersBuffer) {
    std::uint8_t owner[4] = {1, 2, 3, 4};
    HexEditModel m;
    m.SetData(owner, 4);
    m.caretPos = 3;
    EXPECT_FALSE(m.Key(HexKey::Delete, false, false)); // fixed length
    EXPECT_FALSE(m.Backspace());
    EXPECT_EQ(m.Length(), 4);
    m.allowLengthChange = true;
    EXPECT_TRUE(m.Key(HexKey::Delete, false, false)); // the last byte
    EXPECT_EQ(m.Length(), 3);
    EXPECT_EQ(m.caretPos, 2);
    EXPECT_TRUE(m.OwnsBuffer());
    EXPECT_EQ(std::vector<std::uint8_t>(m.Data(), m.Data() + 3), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(owner[3], 4); // the owner's buffer is left as it was
    m.selStart = 0;
    m.selEnd = 2;
    m.caretPos = 1;
    EXPECT_TRUE(m.Key(HexKey::Insert, false, false)); // as many zeros as selected, at the caret
    EXPECT_EQ(std::vector<std::uint8_t>(m.Data(), m.Data() + m.Length()),
              (std::vector<std::uint8_t>{1, 0, 0, 2, 3}));
    m.caretPos = 1;
    EXPECT_TRUE(m.Backspace());
    EXPECT_EQ(m.caretPos, 0);
    EXPECT_EQ(m.Data()[0], 0);
    m.SelectAll();
    EXPECT_TRUE(m.DeleteSelection());
    EXPECT_EQ(m.Length(), 0);
    EXPECT_TRUE(m.Paste({7, 8})); // an emptied control still takes a paste
    EXPECT_EQ(m.Length(), 2);
    // Handing a new buffer drops the control's own one.
    std::uint8_t other[2] = {9, 9};
    m.SetData(other, 2);
    EXPECT_FALSE(m.OwnsBuffer());
    EXPECT_EQ(m.Data(), other);
}

TEST(HexModel, PasteInsertsOrOverwritesAtTheInsertionPoint) {
    std::uint8_t owner[4] = {1, 2, 3, 4};
    HexEditModel m;
    m.SetData(owner, 4);
    m.caretPos = 1;
    m.caretCol = kHexColLow; // after the byte
    EXPECT_TRUE(m.Paste({0xAA, 0xBB, 0xCC, 0xDD}));
    EXPECT_EQ(std::vector<std::uint8_t>(owner, owner + 4), (std::vector<std::uint8_t>{1, 2, 0xAA, 0xBB}));
    m.allowLengthChange = true;
    m.caretCol = kHexColHigh;
    EXPECT_TRUE(m.Paste({0x55}));
    EXPECT_EQ(m.Length(), 5);
    EXPECT_EQ(m.Data()[1], 0x55);
    EXPECT_EQ(m.caretPos, 1); // the caret does not move
    m.selStart = 3;
    m.selEnd = 1; // selection replaced, from its lower end
    EXPECT_TRUE(m.Paste({0x66}));
    EXPECT_EQ(std::vector<std::uint8_t>(m.Data(), m.Data() + m.Length()),
              (std::vector<std::uint8_t>{1, 0x66, 0xAA, 0xBB}));
}

TEST(HexModel, ClipboardTextForBothColumnsAndNoDataDoesNothing) {
    const std::uint8_t b[] = {0x41, 0x00, 0x42};
    EXPECT_EQ(HexClipboardText(b, 3, false), "41 00 42 ");
    EXPECT_EQ(HexClipboardText(b, 3, true), "A.B");
    HexEditModel empty;
    EXPECT_FALSE(empty.Key(HexKey::Delete, false, false));
    EXPECT_FALSE(empty.TypeCharacter('a'));
    EXPECT_FALSE(empty.Paste({1}));
    EXPECT_FALSE(empty.HitTest(5, 5, 7, 10).hit);
}

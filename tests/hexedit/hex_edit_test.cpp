#include "controls/hex_edit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

using namespace vq;

namespace {

class HexEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        edit.resize(600, 400);
        edit.show();
        edit.setFocus();
        QApplication::clipboard()->clear();
    }
    QByteArray ClipboardBinary() const {
        const QMimeData* m = QApplication::clipboard()->mimeData();
        return m ? m->data(QString::fromLatin1(kBinaryDataMime)) : QByteArray();
    }
    QString ClipboardText() const { return QApplication::clipboard()->text(); }
    CHexEdit edit;
};

} // namespace

TEST_F(HexEditTest, TwentyBytesShowThreeRowsAndScrollBarsExist) {
    std::uint8_t data[20] = {};
    edit.SetData(data, 20);
    EXPECT_EQ(edit.VisibleRows(), 3);
    EXPECT_EQ(edit.BytesPerRow(), 8);
    EXPECT_EQ(edit.font().pixelSize(), 12);
    EXPECT_EQ(edit.font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(edit.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(edit.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // A painted frame: white background, text drawn somewhere in the first row only.
    const QImage image = edit.Render();
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), QColor(Qt::white));
    edit.SetBytesPerRow(16);
    EXPECT_EQ(edit.VisibleRows(), 2);
}

TEST_F(HexEditTest, NibbleTypingEditsTheOwnersBufferInPlace) {
    std::uint8_t data[4] = {0x00, 0x11, 0x22, 0x33};
    edit.SetData(data, 4);
    QSignalSpy changed(&edit, &CHexEdit::dataChanged);
    edit.SetCaret(0, kHexColHigh);
    QTest::keyClicks(&edit, "a5");
    EXPECT_EQ(data[0], 0xA5);
    EXPECT_EQ(edit.CaretPosition(), 1);
    EXPECT_EQ(edit.CaretColumn(), kHexColHigh);
    EXPECT_EQ(changed.count(), 2);
    QTest::keyClicks(&edit, "AFg");
    EXPECT_EQ(data[1], 0x11); // upper-case digits and other letters are ignored
    edit.SetCaret(2, kHexColChars);
    QTest::keyClicks(&edit, "Z");
    EXPECT_EQ(data[2], 'Z');
    EXPECT_EQ(edit.CaretPosition(), 3);
    edit.SetReadOnly(true);
    QTest::keyClicks(&edit, "Q");
    EXPECT_EQ(data[3], 0x33);
    EXPECT_EQ(edit.Data(), data);
}

TEST_F(HexEditTest, CtrlCPutsBinaryDataAndTheColumnsText) {
    std::uint8_t data[3] = {0x41, 0x00, 0x42};
    edit.SetData(data, 3);
    edit.SetCaret(0, kHexColHigh);
    edit.SetSelection(0, 3);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(ClipboardBinary(), QByteArray("\x41\x00\x42", 3));
    EXPECT_EQ(ClipboardText(), QStringLiteral("41 00 42 "));
    edit.SetCaret(0, kHexColChars);
    edit.SetSelection(0, 3);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(ClipboardBinary(), QByteArray("\x41\x00\x42", 3));
    EXPECT_EQ(ClipboardText(), QStringLiteral("A.B"));
}

TEST_F(HexEditTest, RightToLeftShiftSelectionCopiesAscending) {
    std::uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    edit.SetData(data, 6);
    edit.SetCaret(4, kHexColChars);
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(edit.SelectionStart(), 4);
    EXPECT_EQ(edit.SelectionEnd(), 1);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(ClipboardBinary(), QByteArray("\x02\x03\x04", 3));
}

TEST_F(HexEditTest, MouseDragSelectsAndShiftClickExtends) {
    std::uint8_t data[16] = {};
    edit.SetData(data, 16);
    const int w = edit.CharWidth(), h = edit.LineHeight();
    auto charCell = [&](int byte) { return QPoint((9 + 24 + byte % 8) * w + w / 2, (byte / 8) * h + h / 2); };
    QTest::mousePress(edit.viewport(), Qt::LeftButton, {}, charCell(6));
    EXPECT_EQ(edit.CaretPosition(), 6);
    EXPECT_EQ(edit.CaretColumn(), kHexColChars);
    QTest::mouseMove(edit.viewport(), charCell(2));
    QMouseEvent move(QEvent::MouseMove, QPointF(charCell(2)),
                     edit.viewport()->mapToGlobal(QPointF(charCell(2))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(edit.viewport(), &move);
    QTest::mouseRelease(edit.viewport(), Qt::LeftButton, {}, charCell(2));
    EXPECT_EQ(edit.SelectionStart(), 6);
    EXPECT_EQ(edit.SelectionEnd(), 2);
    // Shift+click: from the caret to the clicked byte, plus one in the hex column.
    const QPoint hex9((9 + 3 * 1) * w + 1, h + h / 2);
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, Qt::ShiftModifier, hex9);
    EXPECT_EQ(edit.SelectionStart(), 6);
    EXPECT_EQ(edit.SelectionEnd(), 10);
    EXPECT_EQ(edit.CaretPosition(), 9);
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, hex9); // a plain click clears it
    EXPECT_EQ(edit.SelectionStart(), -1);
}

TEST_F(HexEditTest, DeleteOnTheLastByteWithLengthChanges) {
    std::uint8_t data[4] = {1, 2, 3, 4};
    edit.SetData(data, 4);
    edit.SetCaret(3, kHexColHigh);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.Length(), 4); // fixed length by default
    edit.SetAllowLengthChange(true);
    QSignalSpy changed(&edit, &CHexEdit::dataChanged);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.Length(), 3);
    EXPECT_EQ(edit.CaretPosition(), 2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_NE(edit.Data(), data);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(edit.Data()), 3), QByteArray("\x01\x02\x03", 3));
    EXPECT_EQ(data[3], 4);
}

TEST_F(HexEditTest, PasteTakesBinaryDataFirstElseTheTextAsCharacters) {
    std::uint8_t data[4] = {1, 2, 3, 4};
    edit.SetData(data, 4);
    edit.SetAllowLengthChange(true);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kBinaryDataMime), QByteArray("\x09\x08", 2));
    mime->setText(QStringLiteral("zz"));
    QApplication::clipboard()->setMimeData(mime);
    edit.SetCaret(1, kHexColHigh);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(edit.Data()), edit.Length()),
              QByteArray("\x01\x09\x08\x02\x03\x04", 6));
    EXPECT_EQ(edit.CaretPosition(), 1);
    QApplication::clipboard()->setText(QStringLiteral("41"));
    edit.SetCaret(0, kHexColLow);
    edit.Paste();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(edit.Data()), edit.Length()),
              QByteArray("\x01"
                         "41"
                         "\x09\x08\x02\x03\x04",
                         8));
    // Cut: copy, then delete the selection.
    edit.SetCaret(1, kHexColHigh);
    edit.SetSelection(1, 3);
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(ClipboardBinary(), QByteArray("41"));
    EXPECT_EQ(edit.Length(), 6);
}

TEST_F(HexEditTest, ContextMenuHasSevenEntriesWithTheirEnablingRules) {
    std::uint8_t data[4] = {};
    edit.SetData(data, 4);
    edit.SetAllowLengthChange(true);
    auto entries = [&]() {
        std::unique_ptr<QMenu> menu(edit.CreateContextMenu());
        QStringList texts;
        QList<bool> enabled;
        for (QAction* a : menu->actions()) {
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
            enabled << a->isEnabled();
        }
        return std::make_pair(texts, enabled);
    };
    auto [texts, enabled] = entries();
    EXPECT_EQ(texts, (QStringList{"&Undo", "-", "Cu&t", "&Copy", "&Paste", "&Delete", "&Select All"}));
    EXPECT_EQ(enabled, (QList<bool>{false, true, false, false, false, false, true}));
    edit.SetSelection(0, 2);
    QApplication::clipboard()->setText(QStringLiteral("x"));
    enabled = entries().second;
    EXPECT_EQ(enabled, (QList<bool>{false, true, true, true, true, true, true}));
    // Fixed length: nothing can be cut or deleted.
    edit.SetAllowLengthChange(false);
    enabled = entries().second;
    EXPECT_FALSE(enabled[2]);
    EXPECT_FALSE(enabled[5]);
    EXPECT_TRUE(enabled[3]);
}

TEST_F(HexEditTest, ScrollBarFollowsKeyboardAndMovesTheCaretWhenDragged) {
    std::vector<std::uint8_t> data(1024);
    edit.SetData(data.data(), 1024);
    const int rows = edit.VisibleRows();
    ASSERT_GT(rows, 2);
    ASSERT_LT(rows, 128);
    edit.SetCaret(0, kHexColChars);
    QTest::keyClick(&edit, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(edit.CaretPosition(), 1023);
    EXPECT_EQ(edit.Top(), (128 - rows) * 8);
    EXPECT_EQ(edit.verticalScrollBar()->value(), 128 - rows);
    QTest::keyClick(&edit, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(edit.Top(), 0);
    EXPECT_EQ(edit.CaretPosition(), 0);
    edit.verticalScrollBar()->setValue(3); // thumb: top and caret move by three rows
    EXPECT_EQ(edit.Top(), 24);
    EXPECT_EQ(edit.CaretPosition(), 24);
    edit.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(edit.Top(), 16);
    EXPECT_EQ(edit.CaretPosition(), 16);
}

TEST_F(HexEditTest, DraggingBelowTheWindowScrollsAndExtendsTheSelection) {
    std::vector<std::uint8_t> data(1024);
    edit.SetData(data.data(), 1024);
    const int w = edit.CharWidth(), h = edit.LineHeight();
    const QPoint start((9 + 24) * w + w / 2, h / 2); // character 0
    QTest::mousePress(edit.viewport(), Qt::LeftButton, {}, start);
    const QPoint below(start.x(), edit.viewport()->height() + 5);
    QMouseEvent move(QEvent::MouseMove, QPointF(below), edit.viewport()->mapToGlobal(QPointF(below)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit.viewport(), &move);
    EXPECT_EQ(edit.Top(), 8);
    EXPECT_EQ(edit.SelectionStart(), 0);
    EXPECT_EQ(edit.SelectionEnd(), 8 + (edit.VisibleRows() - 1) * 8);
    // Still held outside: the view goes on scrolling (however slowly the
    // build runs, the timer's next tick comes).
    QTRY_VERIFY_WITH_TIMEOUT(edit.Top() > 8, 5000);
    QTest::mouseRelease(edit.viewport(), Qt::LeftButton, {}, below);
    const int top = edit.Top();
    QTest::qWait(80);
    EXPECT_EQ(edit.Top(), top);
}

TEST_F(HexEditTest, HexSelectionsHoldBothEndBytesInEitherDirection) {
    // A right-to-left drag from byte 9 to byte 4 copied only bytes 5..8.
    std::uint8_t data[32];
    for (int i = 0; i < 32; ++i)
        data[i] = std::uint8_t(i);
    edit.SetData(data, 32);
    const int w = edit.CharWidth(), h = edit.LineHeight();
    auto cell = [&](int byte, int digit) {
        return QPoint((9 + 3 * (byte % 8) + digit) * w + w / 2, (byte / 8) * h + h / 2);
    };
    auto drag = [&](QPoint from, QPoint to) {
        QTest::mousePress(edit.viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), edit.viewport()->mapToGlobal(QPointF(to)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit.viewport(), &move);
        QTest::mouseRelease(edit.viewport(), Qt::LeftButton, {}, to);
    };
    auto shiftClick = [&](QPoint from, QPoint to) {
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, Qt::ShiftModifier, to);
    };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"drag forward to a second digit", [&] { drag(cell(4, 0), cell(9, 1)); }},
        {"drag backward", [&] { drag(cell(9, 0), cell(4, 0)); }},
        {"shift+click forward to a second digit", [&] { shiftClick(cell(4, 1), cell(9, 1)); }},
        {"shift+click backward", [&] { shiftClick(cell(9, 0), cell(4, 1)); }},
        {"shift+left nine nibbles from byte 9",
         [&] {
             edit.SetCaret(9, kHexColHigh);
             for (int i = 0; i < 9; ++i)
                 QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier);
         }},
    };
    for (const auto& [name, select] : cases) {
        SCOPED_TRACE(name);
        select();
        QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(ClipboardBinary(), QByteArray("\x04\x05\x06\x07\x08\x09", 6));
    }
    // Ctrl+A, as the menu shows it, selects everything.
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(std::pair(edit.SelectionStart(), edit.SelectionEnd()), std::pair(0, 32));
}

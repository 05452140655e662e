// State and editing rules of the hex edit control, free of widgets: layout in
// character cells, hit test, caret movement, nibble and character editing,
// insertion/deletion, selection and the clipboard texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vq {

// Caret columns.
enum HexColumn : int {
    kHexColOffset = 0,
    kHexColChars = 1,
    kHexColHigh = 2, // high nibble of the hex column
    kHexColLow = 3,  // low nibble of the hex column
};

enum class HexKey { Tab, Left, Right, Up, Down, PageUp, PageDown, Home, End, Insert, Delete };

struct HexHit {
    bool hit = false;
    int offset = 0;
    int column = kHexColOffset;
};

inline bool HexPrintable(std::uint8_t b) {
    return b >= 0x20 && b < 0x7F;
}

// Clipboard text of a block: characters ("." for unprintable bytes) for the
// character column, else "XX " per byte.
std::string HexClipboardText(const std::uint8_t* bytes, int count, bool characters);

class HexEditModel {
  public:
    // ---- data -------------------------------------------------------------
    // Shows the owner's buffer in place; a buffer of the model's own is dropped.
    void SetData(std::uint8_t* buffer, int length);
    std::uint8_t* Data() const { return data_; }
    int Length() const { return length_; }
    bool HasData() const { return data_ != nullptr && length_ > 0; }
    // Length-changing edits build a buffer of the model's own. Off: Insert,
    // Delete and Backspace do nothing and Paste overwrites.
    bool allowLengthChange = false;
    bool readOnly = false;
    bool OwnsBuffer() const { return data_ != nullptr && data_ == own_.data(); }

    // ---- layout -----------------------------------------------------------
    int bytesPerRow = 8;
    bool showOffset = true, wideOffset = true, showHex = true, showChars = true;
    int OffsetCells() const { return showOffset ? (wideOffset ? 9 : 5) : 0; }
    int HexCells() const { return showHex ? bytesPerRow * 3 : 0; }
    int CharCells() const { return showChars ? bytesPerRow : 0; }
    int TotalCells() const { return OffsetCells() + HexCells() + CharCells(); }
    int TotalRows() const { return length_ <= 0 ? 0 : (length_ + bytesPerRow - 1) / bytesPerRow; }
    // Visible rows for a window of `height` pixels: what fits, or the rows of
    // the data when it is shorter than that.
    void UpdateVisibleRows(int height, int lineHeight);
    int visibleRows = 1;
    // Highest top (row aligned) that still fills the window.
    int MaxTop() const;

    // Row text pieces (the hex text of a short row is padded with blanks).
    std::string OffsetText(int rowStart) const;
    std::string HexText(int rowStart) const;
    std::string CharText(int rowStart) const;

    // ---- position ---------------------------------------------------------
    int top = 0;
    int caretPos = 0;
    int caretCol = kHexColOffset;
    int selStart = -1, selEnd = -1; // end exclusive; -1/-1: none
    // Byte where a Shift or mouse selection started; it stays selected in the
    // hex column whichever way the selection grows.
    int anchor = -1;
    bool HasSelection() const { return selStart >= 0 && selEnd >= 0 && selStart != selEnd; }
    int SelectionLow() const { return selStart < selEnd ? selStart : selEnd; }
    int SelectionHigh() const { return selStart < selEnd ? selEnd : selStart; }
    void ClearSelection() { selStart = selEnd = anchor = -1; }
    // Selection from the anchor to `byte`. In the hex column both are whole
    // bytes of it, in either direction; in the character column the positions
    // lie before the characters (end exclusive, as in text).
    void SelectTo(int byte, bool hexColumn);
    bool InHex() const { return caretCol == kHexColHigh || caretCol == kHexColLow; }

    // Point in pixels of the client area -> byte and caret column.
    HexHit HitTest(int x, int y, int charWidth, int lineHeight) const;
    // Pixel rectangle of the caret relative to the client area.
    void CaretRect(int charWidth, int lineHeight, int& x, int& y, int& w, int& h) const;
    bool CaretVisible() const;

    // Mouse: button down at a hit (shift: extend; drag: a drag starts).
    void MouseDown(const HexHit& hit, bool shift, bool dragStarted);
    // Mouse move with the button held; returns true when the selection changed.
    bool MouseDrag(const HexHit& hit);

    // ---- keyboard ---------------------------------------------------------
    // Movement keys, Insert and Delete. True when something changed.
    bool Key(HexKey key, bool shift, bool ctrl);
    // A typed character (not Ctrl). True when the data changed.
    bool TypeCharacter(unsigned ch);
    bool Backspace();

    // ---- editing ----------------------------------------------------------
    bool InsertZeros(int at, int count);
    bool InsertBytes(int at, const std::uint8_t* bytes, int count);
    bool DeleteRange(int from, int to); // [from, to)
    bool DeleteSelection();
    std::vector<std::uint8_t> SelectedBytes() const;
    std::string SelectionText() const { return SelectionTextFor(caretCol == kHexColChars); }
    std::string SelectionTextFor(bool characters) const;
    // Paste `bytes`: insert (or overwrite without length changes) at the caret,
    // after the byte on a low nibble, or in place of the selection.
    bool Paste(const std::vector<std::uint8_t>& bytes);
    void SelectAll();

    // ---- vertical scrolling (the caret follows the view) -----------------
    void ScrollLineUp();
    void ScrollLineDown();
    void ScrollPageUp();
    void ScrollPageDown();
    void ScrollThumb(int row);
    // Sets top and moves the caret by the same amount unless `moveCaret` is off.
    void ScrollTo(int newTop, bool moveCaret);
    int ScrollPosition() const { return bytesPerRow > 0 ? top / bytesPerRow : 0; }

  private:
    void ReplaceBuffer(std::vector<std::uint8_t> bytes);
    void ClampPositions();
    void EnsureCaretVisible();
    void SetCaretInto(int pos);

    std::uint8_t* data_ = nullptr;
    int length_ = 1024;
    std::vector<std::uint8_t> own_;
};

} // namespace vq

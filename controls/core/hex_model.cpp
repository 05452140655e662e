#include "controls/core/hex_model.h"

#include "base/format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vq {

std::string HexClipboardText(const std::uint8_t* bytes, int count, bool characters) {
    std::string text;
    if (!bytes || count <= 0) return text;
    text.reserve(characters ? count : count * 3);
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        if (characters) {
            text.push_back(HexPrintable(b) ? static_cast<char>(b) : '.');
        } else {
            text.push_back(digits[b >> 4]);
            text.push_back(digits[b & 0xF]);
            text.push_back(' ');
        }
    }
    return text;
}

void HexEditModel::SetData(std::uint8_t* buffer, int length) {
    // The owner may hand back the buffer it read from Data(): keep it then.
    if (buffer != own_.data()) own_ = {};
    data_ = buffer;
    length_ = std::max(0, length);
    ClampPositions();
}

void HexEditModel::UpdateVisibleRows(int height, int lineHeight) {
    int rows = lineHeight > 0 ? height / lineHeight : 1;
    if (rows < 1) rows = 1;
    if (length_ < bytesPerRow * rows) rows = std::max(1, TotalRows());
    visibleRows = rows;
    top = std::min(top, MaxTop());
}

int HexEditModel::MaxTop() const {
    const int rows = TotalRows() - visibleRows;
    return rows > 0 ? rows * bytesPerRow : 0;
}

std::string HexEditModel::OffsetText(int rowStart) const {
    return wideOffset ? Format("%08X ", unsigned(rowStart)) : Format("%04X ", unsigned(rowStart));
}

std::string HexEditModel::HexText(int rowStart) const {
    std::string text;
    for (int i = 0; i < bytesPerRow; ++i) {
        const int at = rowStart + i;
        if (data_ && at < length_)
            text += HexClipboardText(data_ + at, 1, false);
        else
            text += "   ";
    }
    return text;
}

std::string HexEditModel::CharText(int rowStart) const {
    const int n = std::max(0, std::min(bytesPerRow, length_ - rowStart));
    return data_ ? HexClipboardText(data_ + rowStart, n, true) : std::string();
}

HexHit HexEditModel::HitTest(int x, int y, int charWidth, int lineHeight) const {
    HexHit h;
    if (!data_ || length_ <= 0 || charWidth <= 0 || lineHeight <= 0 || x < 0 || y < 0) return h;
    const int row = y / lineHeight;
    if (row >= visibleRows) return h;
    const int rowStart = top + row * bytesPerRow;
    if (rowStart >= length_) return h;
    const int cell = (x + charWidth) / charWidth; // 1-based cell under the point
    const int oc = OffsetCells(), hc = HexCells(), cc = CharCells();
    if (cell <= oc) {
        h.offset = rowStart;
        h.column = kHexColOffset;
    } else if (cell <= oc + hc) {
        const int index = cell - oc - 1;
        h.offset = rowStart + index / 3;
        h.column = index % 3 == 0 ? kHexColHigh : kHexColLow;
    } else if (cell <= oc + hc + cc) {
        h.offset = rowStart + (cell - oc - hc - 1);
        h.column = kHexColChars;
    } else {
        return h;
    }
    if (h.offset >= length_) return HexHit{};
    h.hit = true;
    return h;
}

bool HexEditModel::CaretVisible() const {
    return data_ && length_ > 0 && caretPos >= top && caretPos < top + visibleRows * bytesPerRow;
}

void HexEditModel::CaretRect(int charWidth, int lineHeight, int& x, int& y, int& w, int& h) const {
    const int row = (caretPos - top) / bytesPerRow;
    const int inRow = (caretPos - top) % bytesPerRow;
    y = row * lineHeight;
    h = lineHeight;
    w = charWidth;
    switch (caretCol) {
    case kHexColOffset:
        x = 0;
        if (showOffset && inRow == 0) w = (wideOffset ? 8 : 4) * charWidth;
        break;
    case kHexColChars:
        x = (OffsetCells() + HexCells() + inRow) * charWidth;
        break;
    case kHexColHigh:
        x = (OffsetCells() + inRow * 3) * charWidth;
        break;
    default:
        x = (OffsetCells() + inRow * 3 + 1) * charWidth;
        break;
    }
}

void HexEditModel::SelectTo(int byte, bool hexColumn) {
    if (anchor < 0) anchor = caretPos;
    byte = std::clamp(byte, 0, std::max(0, length_ - 1));
    if (!hexColumn) {
        selStart = anchor;
        selEnd = std::min(length_, byte);
    } else if (byte >= anchor) {
        selStart = anchor;
        selEnd = std::min(length_, byte + 1);
    } else {
        selStart = std::min(length_, anchor + 1);
        selEnd = byte;
    }
}

void HexEditModel::MouseDown(const HexHit& hit, bool shift, bool dragStarted) {
    if (!hit.hit) return;
    const bool hex = hit.column == kHexColHigh || hit.column == kHexColLow;
    if (shift) {
        anchor = caretPos;
        SelectTo(hit.offset, hex);
    } else if (dragStarted) {
        anchor = selStart = selEnd = hit.offset;
    } else {
        ClearSelection();
    }
    caretPos = hit.offset;
    caretCol = hit.column;
}

bool HexEditModel::MouseDrag(const HexHit& hit) {
    if (!hit.hit || selStart < 0) return false;
    const bool hex = hit.column == kHexColHigh || hit.column == kHexColLow;
    const int start = selStart, end = selEnd;
    SelectTo(hit.offset, hex);
    return selStart != start || selEnd != end;
}

bool HexEditModel::Key(HexKey key, bool shift, bool ctrl) {
    if (!data_) return false;
    if (key == HexKey::Insert) {
        if (readOnly) return false;
        return InsertZeros(caretPos, HasSelection() ? SelectionHigh() - SelectionLow() : 1);
    }
    if (key == HexKey::Delete) {
        if (readOnly) return false;
        return HasSelection() ? DeleteSelection() : DeleteRange(caretPos, caretPos + 1);
    }
    if (length_ <= 0) return false;

    const int oldPos = caretPos, oldCol = caretCol;
    int pos = caretPos, col = caretCol;
    const bool offsetCol = col == kHexColOffset;
    const int rowStart = pos - pos % bytesPerRow;
    switch (key) {
    case HexKey::Tab:
        col = (col == kHexColOffset || col == kHexColChars) ? kHexColHigh : kHexColChars;
        break;
    case HexKey::Left:
        if (col == kHexColChars)
            --pos;
        else if (col == kHexColLow)
            col = kHexColHigh;
        else if (col == kHexColHigh) {
            if (pos == 0) break; // already on the first nibble
            --pos;
            col = kHexColLow;
        }
        break;
    case HexKey::Right:
        if (col == kHexColChars)
            ++pos;
        else if (col == kHexColHigh)
            col = kHexColLow;
        else if (col == kHexColLow) {
            ++pos;
            col = kHexColHigh;
        }
        break;
    case HexKey::Up:
        if (!offsetCol) pos -= bytesPerRow;
        break;
    case HexKey::Down:
        if (!offsetCol) pos += bytesPerRow;
        break;
    case HexKey::PageUp:
        pos -= visibleRows * bytesPerRow;
        break;
    case HexKey::PageDown:
        pos += visibleRows * bytesPerRow;
        break;
    case HexKey::Home:
        pos = ctrl ? 0 : rowStart;
        break;
    case HexKey::End:
        pos = ctrl ? length_ - 1 : std::min(rowStart + bytesPerRow - 1, length_ - 1);
        break;
    default:
        break;
    }
    if (pos < 0) pos = 0;
    if (pos >= length_) {
        pos = oldPos; // would leave the data
        col = oldCol;
    }
    caretPos = pos;
    caretCol = col;
    if (shift) {
        if (selStart < 0) anchor = oldPos;
        SelectTo(pos, InHex());
    } else {
        ClearSelection();
    }
    EnsureCaretVisible();
    return pos != oldPos || col != oldCol || shift;
}

bool HexEditModel::TypeCharacter(unsigned ch) {
    if (!data_ || readOnly || length_ <= 0 || ch == '\t') return false;
    if (caretPos >= length_) return false;
    if (caretCol == kHexColChars) {
        if (ch < 0x20 || ch > 0xFF || ch == 0x7F) return false; // control keys are no characters
        data_[caretPos] = static_cast<std::uint8_t>(ch);
        if (caretPos + 1 < length_) ++caretPos;
        EnsureCaretVisible();
        return true;
    }
    if (!InHex()) return false;
    unsigned v;
    if (ch >= '0' && ch <= '9')
        v = ch - '0';
    else if (ch >= 'a' && ch <= 'f')
        v = ch - 'a' + 10;
    else
        return false;
    std::uint8_t& b = data_[caretPos];
    if (caretCol == kHexColHigh) {
        b = static_cast<std::uint8_t>((b & 0x0F) | (v << 4));
        caretCol = kHexColLow;
    } else {
        b = static_cast<std::uint8_t>((b & 0xF0) | v);
        if (caretPos + 1 < length_) {
            ++caretPos;
            caretCol = kHexColHigh;
        }
    }
    EnsureCaretVisible();
    return true;
}

bool HexEditModel::Backspace() {
    if (!data_ || readOnly || caretPos <= 0) return false;
    return DeleteRange(caretPos - 1, caretPos);
}

void HexEditModel::ReplaceBuffer(std::vector<std::uint8_t> bytes) {
    length_ = static_cast<int>(bytes.size());
    if (bytes.empty()) bytes.resize(1); // keep a buffer so that an emptied control can take a paste
    own_ = std::move(bytes);
    data_ = own_.data();
    ClampPositions();
}

bool HexEditModel::InsertZeros(int at, int count) {
    if (count <= 0) return false;
    std::vector<std::uint8_t> zeros(static_cast<std::size_t>(count), 0);
    return InsertBytes(at, zeros.data(), count);
}

bool HexEditModel::InsertBytes(int at, const std::uint8_t* bytes, int count) {
    if (!data_ || readOnly || !allowLengthChange || !bytes || count <= 0) return false;
    at = std::clamp(at, 0, length_);
    std::vector<std::uint8_t> next;
    next.reserve(static_cast<std::size_t>(length_) + count);
    next.insert(next.end(), data_, data_ + at);
    next.insert(next.end(), bytes, bytes + count);
    next.insert(next.end(), data_ + at, data_ + length_);
    ReplaceBuffer(std::move(next));
    return true;
}

bool HexEditModel::DeleteRange(int from, int to) {
    if (!data_ || readOnly || !allowLengthChange) return false;
    from = std::clamp(from, 0, length_);
    to = std::clamp(to, 0, length_);
    if (from >= to) return false;
    std::vector<std::uint8_t> next;
    next.reserve(static_cast<std::size_t>(length_ - (to - from)));
    next.insert(next.end(), data_, data_ + from);
    next.insert(next.end(), data_ + to, data_ + length_);
    if (caretPos >= to)
        caretPos -= to - from;
    else if (caretPos > from)
        caretPos = from;
    ClearSelection();
    ReplaceBuffer(std::move(next));
    return true;
}

bool HexEditModel::DeleteSelection() {
    if (!HasSelection() || !allowLengthChange || readOnly) return false;
    return DeleteRange(SelectionLow(), SelectionHigh());
}

std::vector<std::uint8_t> HexEditModel::SelectedBytes() const {
    if (!data_ || !HasSelection()) return {};
    const int lo = std::clamp(SelectionLow(), 0, length_);
    const int hi = std::clamp(SelectionHigh(), 0, length_);
    return std::vector<std::uint8_t>(data_ + lo, data_ + hi);
}

std::string HexEditModel::SelectionTextFor(bool characters) const {
    const auto bytes = SelectedBytes();
    return HexClipboardText(bytes.data(), static_cast<int>(bytes.size()), characters);
}

bool HexEditModel::Paste(const std::vector<std::uint8_t>& bytes) {
    if (!data_ || readOnly || bytes.empty()) return false;
    const int n = static_cast<int>(bytes.size());
    if (allowLengthChange) {
        const int caret = caretPos;
        int at;
        if (HasSelection()) {
            at = SelectionLow();
            DeleteRange(SelectionLow(), SelectionHigh());
        } else {
            at = std::min(length_, caretPos + (caretCol == kHexColLow ? 1 : 0));
        }
        InsertBytes(at, bytes.data(), n);
        caretPos = caret;
        ClampPositions();
        return true;
    }
    // Fixed length: overwrite from the insertion point up to the end of the data.
    const int at = HasSelection() ? SelectionLow() : caretPos + (caretCol == kHexColLow ? 1 : 0);
    const int count = std::min(n, length_ - at);
    if (at < 0 || count <= 0) return false;
    std::memcpy(data_ + at, bytes.data(), static_cast<std::size_t>(count));
    return true;
}

void HexEditModel::SelectAll() {
    if (!data_) return;
    anchor = selStart = 0;
    selEnd = length_;
}

void HexEditModel::ScrollTo(int newTop, bool moveCaret) {
    newTop = std::clamp(newTop, 0, MaxTop());
    newTop -= newTop % bytesPerRow;
    const int delta = newTop - top;
    top = newTop;
    if (moveCaret && delta != 0) SetCaretInto(caretPos + delta);
}

void HexEditModel::ScrollLineUp() {
    if (top >= bytesPerRow) ScrollTo(top - bytesPerRow, true);
}

void HexEditModel::ScrollLineDown() {
    if (top + visibleRows * bytesPerRow < length_) ScrollTo(top + bytesPerRow, true);
}

void HexEditModel::ScrollPageUp() {
    ScrollTo(top - visibleRows * bytesPerRow, true);
}
void HexEditModel::ScrollPageDown() {
    ScrollTo(top + visibleRows * bytesPerRow, true);
}
void HexEditModel::ScrollThumb(int row) {
    ScrollTo(row * bytesPerRow, true);
}

void HexEditModel::SetCaretInto(int pos) {
    caretPos = std::clamp(pos, 0, std::max(0, length_ - 1));
}

void HexEditModel::ClampPositions() {
    SetCaretInto(caretPos);
    if (selStart > length_ || selEnd > length_) ClearSelection();
    if (bytesPerRow < 1) bytesPerRow = 1;
    top = std::clamp(top - top % bytesPerRow, 0, std::max(0, MaxTop()));
}

void HexEditModel::EnsureCaretVisible() {
    const int rowStart = caretPos - caretPos % bytesPerRow;
    if (caretPos < top)
        ScrollTo(rowStart, false);
    else if (caretPos >= top + visibleRows * bytesPerRow)
        ScrollTo(rowStart - (visibleRows - 1) * bytesPerRow, false);
}

} // namespace vq

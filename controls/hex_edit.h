// Hex viewer and editor: offset, hexadecimal and character columns over a
// byte buffer, caret on a byte or one of its nibbles, mouse and keyboard
// selection, in-place editing, insertion/deletion, clipboard and context menu.
//
// Ownership: SetData() shows the owner's buffer in place and in-place edits go
// straight into it. The control never frees that buffer. With
// SetAllowLengthChange(true), insertion, deletion, cut and paste build a buffer
// of the control's own; the owner then reads the content back through Data()
// and Length() (dataChanged() is emitted after every edit). Without it (the
// default) the length is fixed: Insert, Delete, Backspace and Cut do nothing
// (their menu entries are disabled) and Paste overwrites from the insertion
// point up to the end of the data.
#pragma once

#include "controls/core/hex_model.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <cstdint>

class QMenu;
class QTimer;
class QMimeData;

namespace vq {

// Clipboard format of the raw bytes; on Windows this is the registered format "BinaryData".
extern const char* const kBinaryDataMime;

class CHexEdit : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit CHexEdit(QWidget* parent = nullptr);
    ~CHexEdit() override;

    void SetData(std::uint8_t* buffer, int length);
    void SetAllowLengthChange(bool allow);
    bool AllowLengthChange() const { return model_.allowLengthChange; }
    const std::uint8_t* Data() const { return model_.Data(); }
    int Length() const { return model_.Length(); }
    void SetBytesPerRow(int count);
    int BytesPerRow() const { return model_.bytesPerRow; }
    void SetReadOnly(bool on) { model_.readOnly = on; }
    bool IsReadOnly() const { return model_.readOnly; }
    // Repaint after the owner changed the buffer.
    void Refresh();

    void SetShowOffset(bool on);
    void SetWideOffset(bool on);
    void SetShowHex(bool on);
    void SetShowCharacters(bool on);

    // Caret and selection (offsets; column: see HexColumn).
    int CaretPosition() const { return model_.caretPos; }
    int CaretColumn() const { return model_.caretCol; }
    void SetCaret(int position, int column);
    int SelectionStart() const { return model_.selStart; }
    int SelectionEnd() const { return model_.selEnd; }
    void SetSelection(int start, int end);
    int Top() const { return model_.top; }
    int VisibleRows();
    int LineHeight();
    int CharWidth();

    // Edit commands (also on the keyboard and the context menu).
    void Copy();
    void Cut();
    void Paste();
    void DeleteSelection();
    void SelectAll();
    void Undo() {}
    bool CanPaste() const;
    // The context menu with its entries enabled for the current state; the
    // caller owns it.
    QMenu* CreateContextMenu();

    // Rendering of the whole client area (what paintEvent copies to the window).
    QImage Render();

    const HexEditModel& Model() const { return model_; }

  signals:
    void dataChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

  private:
    void Measure();
    void UpdateScrollBars();
    void SyncScrollBar();
    void Changed(bool dataEdited);
    void ShowContextMenu(const QPoint& globalPos);
    QMimeData* MakeMimeData() const;
    HexHit Hit(const QPoint& p);
    // Selection end follows a point of a drag; above or below the window the view scrolls a row.
    void DragTo(QPoint p);

    HexEditModel model_;
    bool metricsStale_ = true;
    bool moving_ = false;  // a keyboard movement scrolls: the caret is not moved again
    bool syncing_ = false; // the scroll bar is being set from the model
    bool caretShown_ = false;
    bool pressed_ = false;
    QPoint pressPos_;
    HexHit pressHit_;
    QPoint dragPos_;
    QTimer* autoScroll_ = nullptr;
    int charWidth_ = 0;
    int lineHeight_ = 0;
};

} // namespace vq

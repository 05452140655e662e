#include "controls/hex_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace vq {

// Qt maps this name to the registered clipboard format "BinaryData" on
// Windows; elsewhere it is a private MIME type of the same name.
const char* const kBinaryDataMime = "application/x-qt-windows-mime;value=\"BinaryData\"";

CHexEdit::CHexEdit(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont f(QStringLiteral("Courier New"));
    f.setPixelSize(12);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    setFont(f);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    autoScroll_ = new QTimer(this);
    autoScroll_->setInterval(50);
    connect(autoScroll_, &QTimer::timeout, this, [this] {
        if (pressed_ && model_.Data() && model_.selStart >= 0)
            DragTo(dragPos_);
        else
            autoScroll_->stop();
    });
}

CHexEdit::~CHexEdit() = default;

void CHexEdit::SetData(std::uint8_t* buffer, int length) {
    model_.SetData(buffer, length);
    metricsStale_ = true;
    Measure();
    viewport()->update();
}

void CHexEdit::SetAllowLengthChange(bool allow) {
    model_.allowLengthChange = allow;
}

void CHexEdit::SetBytesPerRow(int count) {
    if (count < 1) return;
    model_.bytesPerRow = count;
    model_.top -= model_.top % count;
    metricsStale_ = true;
    viewport()->update();
}

void CHexEdit::Refresh() {
    metricsStale_ = true;
    viewport()->update();
}

void CHexEdit::SetShowOffset(bool on) {
    model_.showOffset = on;
    Refresh();
}
void CHexEdit::SetWideOffset(bool on) {
    model_.wideOffset = on;
    Refresh();
}
void CHexEdit::SetShowHex(bool on) {
    model_.showHex = on;
    Refresh();
}
void CHexEdit::SetShowCharacters(bool on) {
    model_.showChars = on;
    Refresh();
}

void CHexEdit::SetCaret(int position, int column) {
    model_.caretPos = std::clamp(position, 0, std::max(0, model_.Length() - 1));
    model_.caretCol = std::clamp(column, 0, 3);
    moving_ = true;
    if (model_.caretPos < model_.top || model_.caretPos >= model_.top + VisibleRows() * model_.bytesPerRow)
        model_.ScrollTo(model_.caretPos - model_.caretPos % model_.bytesPerRow, false);
    SyncScrollBar();
    moving_ = false;
    viewport()->update();
}

void CHexEdit::SetSelection(int start, int end) {
    model_.anchor = model_.selStart = start;
    model_.selEnd = end;
    viewport()->update();
}

int CHexEdit::VisibleRows() {
    if (metricsStale_) Measure();
    return model_.visibleRows;
}

int CHexEdit::LineHeight() {
    if (metricsStale_) Measure();
    return lineHeight_;
}

int CHexEdit::CharWidth() {
    if (metricsStale_) Measure();
    return charWidth_;
}

void CHexEdit::Measure() {
    const QFontMetrics fm(font());
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    lineHeight_ = std::max(1, fm.height());
    model_.UpdateVisibleRows(viewport()->height(), lineHeight_);
    UpdateScrollBars();
    metricsStale_ = false;
}

void CHexEdit::UpdateScrollBars() {
    syncing_ = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, model_.TotalRows() - model_.visibleRows));
    v->setPageStep(model_.visibleRows);
    v->setSingleStep(1);
    v->setValue(model_.ScrollPosition());
    // The horizontal range covers the row; horizontal scrolling does not move the drawing.
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, model_.TotalCells() * charWidth_ - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width()));
    syncing_ = false;
}

void CHexEdit::SyncScrollBar() {
    syncing_ = true;
    verticalScrollBar()->setValue(model_.ScrollPosition());
    syncing_ = false;
}

void CHexEdit::scrollContentsBy(int, int) {
    if (!syncing_) {
        const int row = verticalScrollBar()->value();
        if (row * model_.bytesPerRow != model_.top) {
            // Line, page and thumb scrolling: the caret keeps its place in the view.
            model_.ScrollTo(row * model_.bytesPerRow, !moving_);
            if (model_.ScrollPosition() != row) SyncScrollBar();
        }
    }
    viewport()->update();
}

QImage CHexEdit::Render() {
    const QSize size = viewport()->size().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!model_.Data()) return image;
    if (metricsStale_) Measure();

    QPainter p(&image);
    p.setFont(font());
    const QFontMetrics fm(font());
    const int ascent = fm.ascent();
    const QPalette& pal = palette();
    const QColor normalText = pal.color(QPalette::Text), normalBack = pal.color(QPalette::Base);
    const QColor selText = pal.color(QPalette::HighlightedText), selBack = pal.color(QPalette::Highlight);
    const bool sel = model_.HasSelection();
    const int lo = model_.SelectionLow(), hi = model_.SelectionHigh();
    const bool selHex = sel && model_.InHex();
    const bool selChars = sel && model_.caretCol == kHexColChars;
    const int cw = charWidth_, lh = lineHeight_;
    const int bpr = model_.bytesPerRow;

    auto draw = [&](int y, int cell, const std::string& text, bool selected) {
        const QRect r(cell * cw, y, static_cast<int>(text.size()) * cw, lh);
        p.fillRect(r, selected ? selBack : normalBack);
        p.setPen(selected ? selText : normalText);
        // One cell per character: the font's advance may be fractional, the cell grid is not.
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] != ' ')
                p.drawText(r.left() + static_cast<int>(i) * cw, y + ascent, QString(QLatin1Char(text[i])));
    };

    for (int row = 0; row < model_.visibleRows; ++row) {
        const int start = model_.top + row * bpr;
        const int y = row * lh;
        if (start >= model_.Length() || y + lh > size.height()) break;
        if (model_.showOffset) draw(y, 0, model_.OffsetText(start), false);
        if (model_.showHex) {
            const std::string hex = model_.HexText(start);
            if (!selHex) {
                draw(y, model_.OffsetCells(), hex, false);
            } else {
                for (int i = 0; i < bpr; ++i) {
                    const int at = start + i;
                    draw(y, model_.OffsetCells() + 3 * i, hex.substr(3 * i, 3), at >= lo && at < hi);
                }
            }
        }
        if (model_.showChars) {
            const std::string chars = model_.CharText(start);
            const int x0 = model_.OffsetCells() + model_.HexCells();
            if (!selChars) {
                draw(y, x0, chars, false);
            } else {
                for (int i = 0; i < static_cast<int>(chars.size()); ++i)
                    draw(y, x0 + i, chars.substr(i, 1), start + i >= lo && start + i < hi);
            }
        }
    }

    // The caret: an inverted cell, shown while the control has the focus and no selection.
    if (caretShown_ && !sel && model_.CaretVisible()) {
        int x, y, w, h;
        model_.CaretRect(cw, lh, x, y, w, h);
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillRect(QRect(x, y, w, h), Qt::black);
    }
    return image;
}

void CHexEdit::paintEvent(QPaintEvent*) {
    // Drawn off-screen, then copied to the window in one step.
    const QImage image = Render();
    QPainter p(viewport());
    p.drawImage(0, 0, image);
}

void CHexEdit::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    metricsStale_ = true;
    Measure();
}

void CHexEdit::Changed(bool dataEdited) {
    metricsStale_ = true;
    moving_ = true;
    Measure();
    SyncScrollBar();
    moving_ = false;
    viewport()->update();
    if (dataEdited) emit dataChanged();
}

bool CHexEdit::focusNextPrevChild(bool) {
    return false;
} // Tab belongs to the control

bool CHexEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Keys the control handles itself are not shortcuts of the window.
        auto* k = static_cast<QKeyEvent*>(event);
        const bool ctrl = k->modifiers() & Qt::ControlModifier;
        switch (k->key()) {
        case Qt::Key_A:
        case Qt::Key_C:
        case Qt::Key_X:
        case Qt::Key_V:
        case Qt::Key_Z:
            if (ctrl) {
                event->accept();
                return true;
            }
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Insert:
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return true;
        default:
            break;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        // Tab and Backtab would otherwise move the focus.
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CHexEdit::keyPressEvent(QKeyEvent* event) {
    if (!model_.Data()) {
        event->ignore();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int lengthBefore = model_.Length();

    auto movement = [&](HexKey key) {
        moving_ = true;
        const bool changed = model_.Key(key, shift, ctrl);
        SyncScrollBar();
        moving_ = false;
        if (changed) {
            const bool edited = key == HexKey::Insert || key == HexKey::Delete;
            if (edited || model_.Length() != lengthBefore)
                Changed(true);
            else
                viewport()->update();
        }
    };

    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        movement(HexKey::Tab);
        return;
    case Qt::Key_Left:
        movement(HexKey::Left);
        return;
    case Qt::Key_Right:
        movement(HexKey::Right);
        return;
    case Qt::Key_Up:
        movement(HexKey::Up);
        return;
    case Qt::Key_Down:
        movement(HexKey::Down);
        return;
    case Qt::Key_PageUp:
        movement(HexKey::PageUp);
        return;
    case Qt::Key_PageDown:
        movement(HexKey::PageDown);
        return;
    case Qt::Key_Home:
        movement(HexKey::Home);
        return;
    case Qt::Key_End:
        movement(HexKey::End);
        return;
    case Qt::Key_Insert:
        movement(HexKey::Insert);
        return;
    case Qt::Key_Delete:
        movement(HexKey::Delete);
        return;
    case Qt::Key_Backspace:
        if (model_.Backspace()) Changed(true);
        return;
    default:
        break;
    }

    if (ctrl) {
        switch (event->key()) {
        case Qt::Key_A:
            SelectAll();
            break;
        case Qt::Key_C:
            if (model_.HasSelection()) Copy();
            break;
        case Qt::Key_X:
            if (model_.HasSelection()) Cut();
            break;
        case Qt::Key_V:
            Paste();
            break;
        case Qt::Key_Z:
            break; // no undo
        default:
            event->ignore();
            break;
        }
        return;
    }

    const QString text = event->text();
    if (text.isEmpty()) {
        event->ignore();
        return;
    }
    moving_ = true;
    const bool edited = model_.TypeCharacter(text.at(0).unicode());
    SyncScrollBar();
    moving_ = false;
    if (edited) Changed(true);
}

HexHit CHexEdit::Hit(const QPoint& p) {
    if (metricsStale_) Measure();
    return model_.HitTest(p.x(), p.y(), charWidth_, lineHeight_);
}

void CHexEdit::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton || !model_.Data()) return;
    pressed_ = true;
    pressPos_ = event->position().toPoint();
    const HexHit hit = Hit(pressPos_);
    pressHit_ = hit;
    model_.MouseDown(hit, event->modifiers() & Qt::ShiftModifier, false);
    viewport()->update();
}

void CHexEdit::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || !(event->buttons() & Qt::LeftButton) || !model_.Data()) return;
    const QPoint p = event->position().toPoint();
    // A drag starts once the pointer has moved far enough from the press.
    if (model_.selStart < 0) {
        if (!pressHit_.hit || (p - pressPos_).manhattanLength() < QApplication::startDragDistance()) return;
        model_.MouseDown(pressHit_, false, true);
    }
    dragPos_ = p;
    DragTo(p);
    // Above or below the window the view keeps scrolling while the button is held.
    if (p.y() < 0 || p.y() >= viewport()->height())
        autoScroll_->start();
    else
        autoScroll_->stop();
}

void CHexEdit::DragTo(QPoint p) {
    bool changed = false;
    if (p.y() < 0) {
        const int top = model_.top;
        model_.ScrollLineUp();
        changed = top != model_.top;
        p.setY(0);
    } else if (p.y() >= viewport()->height() || p.y() >= model_.visibleRows * lineHeight_) {
        const int top = model_.top;
        if (p.y() >= viewport()->height()) model_.ScrollLineDown();
        changed = top != model_.top;
        p.setY(std::max(0, std::min(viewport()->height(), model_.visibleRows * lineHeight_) - 1));
    }
    if (changed) SyncScrollBar();
    HexHit hit = Hit(p);
    if (!hit.hit) {
        // Past the end of a short last row: the end of the data.
        if (p.y() / std::max(1, lineHeight_) < model_.visibleRows && model_.Length() > 0 &&
            model_.top + (p.y() / lineHeight_) * model_.bytesPerRow < model_.Length()) {
            const int rowStart = model_.top + (p.y() / lineHeight_) * model_.bytesPerRow;
            const int cell = p.x() / charWidth_;
            if (cell >= model_.OffsetCells()) {
                hit.hit = true;
                hit.offset = std::min(model_.Length() - 1, rowStart + model_.bytesPerRow - 1);
                hit.column = cell < model_.OffsetCells() + model_.HexCells() ? kHexColLow : kHexColChars;
            }
        }
    }
    if (model_.MouseDrag(hit)) changed = true;
    if (changed) viewport()->update();
}

void CHexEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = false;
        autoScroll_->stop();
    }
}

void CHexEdit::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    caretShown_ = model_.Data() != nullptr;
    viewport()->update();
}

void CHexEdit::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    caretShown_ = false;
    viewport()->update();
}

QMimeData* CHexEdit::MakeMimeData() const {
    const auto bytes = model_.SelectedBytes();
    auto* mime = new QMimeData;
    mime->setData(
        QString::fromLatin1(kBinaryDataMime),
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    const std::string text = model_.SelectionText();
    mime->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    return mime;
}

void CHexEdit::Copy() {
    if (!model_.Data() || !model_.HasSelection()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    clipboard->setMimeData(MakeMimeData());
}

void CHexEdit::Cut() {
    if (!model_.Data() || !model_.HasSelection() || model_.readOnly || !model_.allowLengthChange) return;
    Copy();
    if (model_.DeleteSelection()) Changed(true);
}

bool CHexEdit::CanPaste() const {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
    return mime && (mime->hasFormat(QString::fromLatin1(kBinaryDataMime)) || mime->hasText());
}

void CHexEdit::Paste() {
    if (!model_.Data() || model_.readOnly) return;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
    if (!mime) return;
    QByteArray block;
    if (mime->hasFormat(QString::fromLatin1(kBinaryDataMime)))
        block = mime->data(QString::fromLatin1(kBinaryDataMime));
    else if (mime->hasText())
        block = mime->text().toLatin1(); // the characters themselves, not parsed as hex
    else
        return;
    const std::vector<std::uint8_t> bytes(block.begin(), block.end());
    if (model_.Paste(bytes)) Changed(true);
}

void CHexEdit::DeleteSelection() {
    if (model_.DeleteSelection()) Changed(true);
}

void CHexEdit::SelectAll() {
    model_.SelectAll();
    viewport()->update();
}

QMenu* CHexEdit::CreateContextMenu() {
    auto* menu = new QMenu(this);
    const bool sel = model_.Data() && model_.HasSelection();
    const bool editable = model_.Data() && !model_.readOnly;
    const bool resizable = editable && model_.allowLengthChange;

    QAction* undo = menu->addAction(tr("&Undo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setEnabled(false);
    menu->addSeparator();
    QAction* cut = menu->addAction(tr("Cu&t"), this, &CHexEdit::Cut);
    cut->setShortcut(QKeySequence::Cut);
    cut->setEnabled(sel && resizable);
    QAction* copy = menu->addAction(tr("&Copy"), this, &CHexEdit::Copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(sel);
    QAction* paste = menu->addAction(tr("&Paste"), this, &CHexEdit::Paste);
    paste->setShortcut(QKeySequence::Paste);
    paste->setEnabled(editable && CanPaste());
    QAction* del = menu->addAction(tr("&Delete"), this, &CHexEdit::DeleteSelection);
    del->setShortcut(QKeySequence::Delete);
    del->setEnabled(sel && resizable);
    QAction* all = menu->addAction(tr("&Select All"), this, &CHexEdit::SelectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(model_.Data() != nullptr);
    return menu;
}

void CHexEdit::ShowContextMenu(const QPoint& globalPos) {
    QMenu* menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void CHexEdit::contextMenuEvent(QContextMenuEvent* event) {
    // From the keyboard's menu key the menu opens 5 pixels inside the top-left corner.
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard ? viewport()->mapToGlobal(QPoint(5, 5))
                                                                     : event->globalPos();
    ShowContextMenu(at);
}

} // namespace vq

// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's side of a log pane: keys, mouse, wheel, the context menu and input methods.

#include "console/logpane.h"
#include "logstore/panetext.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace {

using Motion = corvane::TextCursor::Motion;
using Unit = corvane::TextCursor::Unit;

// Half a window of surrounding text for an input method around the caret.
constexpr std::int64_t kSurroundingReach = 512;

} // namespace

bool TLogPane::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Keys the pane edits or moves with are its own while it has the focus, not the
        // window's shortcuts.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool printable = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                               !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (printable || key == QKeySequence::Copy || key == QKeySequence::Cut ||
            key == QKeySequence::Paste || key == QKeySequence::SelectAll ||
            key == QKeySequence::Delete || key->key() == Qt::Key_Backspace ||
            key->key() == Qt::Key_Home || key->key() == Qt::Key_End || key->key() == Qt::Key_Left ||
            key->key() == Qt::Key_Right) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TLogPane::keyPressEvent(QKeyEvent* event) {
    if (HandleEditKey(event) || HandleMotionKey(event)) {
        event->accept();
        return;
    }
    const QString text = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (!text.isEmpty() && text.at(0).isPrint() && !command) {
        InsertText(text);
        event->accept();
        return;
    }
    event->ignore();
}

bool TLogPane::HandleEditKey(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::Cut) {
        cut();
    } else if (event == QKeySequence::Paste) {
        paste();
    } else if (event == QKeySequence::SelectAll) {
        SelectAll();
    } else if (event == QKeySequence::InsertParagraphSeparator ||
               event == QKeySequence::InsertLineSeparator) {
        InsertText(QStringLiteral("\n"));
    } else if (event == QKeySequence::DeleteEndOfWord) {
        Delete(cursor_.DeletionByWord(true));
    } else if (event == QKeySequence::DeleteStartOfWord) {
        Delete(cursor_.DeletionByWord(false));
    } else if (event == QKeySequence::Delete) {
        Delete(cursor_.DeletionByCharacter(true));
    } else if (event->key() == Qt::Key_Backspace &&
               !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        Delete(cursor_.DeletionByCharacter(false));
    } else {
        return false;
    }
    return true;
}

void TLogPane::Delete(corvane::TextRange range) {
    ReplaceText(range.from, range.to, QString());
}

bool TLogPane::HandleMotionKey(QKeyEvent* event) {
    struct Binding {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Motion motion;
    };
    static const Binding kBindings[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Motion::NextCharacter},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
         Motion::PreviousCharacter},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Motion::NextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Motion::PreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Motion::NextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Motion::PreviousLine},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Motion::StartOfLine},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Motion::EndOfLine},
        {QKeySequence::MoveToStartOfBlock, QKeySequence::SelectStartOfBlock, Motion::StartOfLine},
        {QKeySequence::MoveToEndOfBlock, QKeySequence::SelectEndOfBlock, Motion::EndOfLine},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
         Motion::StartOfText},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Motion::EndOfText},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Motion::NextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Motion::PreviousPage},
    };
    for (const Binding& binding : kBindings) {
        const bool extend = event == binding.select;
        if (!extend && event != binding.move)
            continue;
        const int rows = VisibleRows();
        // A page turns the view too, and the caret keeps its row on the screen.
        if (binding.motion == Motion::NextPage || binding.motion == Motion::PreviousPage)
            topLine_ = std::clamp<std::int64_t>(
                topLine_ + (binding.motion == Motion::NextPage ? rows : -rows), 0, MaxTopLine());
        cursor_.Move(binding.motion, extend, rows);
        CursorMoved();
        return true;
    }
    return false;
}

void TLogPane::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const auto [line, cell] = CellAt(point);
    if (event->button() == Qt::LeftButton) {
        // A third press soon after a double-click, near it, selects the line.
        const bool triple =
            tripleClickTimer_.isActive() &&
            (point - doubleClickPoint_).manhattanLength() < QApplication::startDragDistance();
        tripleClickTimer_.stop();
        cursor_.Press(line, cell, triple ? Unit::Line : Unit::Character,
                      !triple && (event->modifiers() & Qt::ShiftModifier));
        CursorMoved();
        dragging_ = true;
        dragPoint_ = point;
    } else if (event->button() == Qt::MiddleButton &&
               QGuiApplication::clipboard()->supportsSelection()) {
        // X11: the middle button pastes the primary selection where it is clicked.
        const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
        MoveCaret(cursor_.NearestTo(line, cell), false);
        if (!text.isEmpty())
            InsertText(text);
    }
    event->accept();
}

void TLogPane::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    dragPoint_ = event->position().toPoint();
    AutoScrollStep();
    // Past the edge the text keeps scrolling towards the pointer while the button is held.
    if (viewport()->rect().contains(dragPoint_))
        autoScrollTimer_.stop();
    else if (!autoScrollTimer_.isActive())
        autoScrollTimer_.start(50, this);
}

void TLogPane::AutoScrollStep() {
    if (!dragging_) {
        autoScrollTimer_.stop();
        return;
    }
    const auto [line, cell] = CellAt(dragPoint_);
    cursor_.DragTo(line, cell);
    CursorMoved();
}

void TLogPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    autoScrollTimer_.stop();
}

void TLogPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const auto [line, cell] = CellAt(point);
    cursor_.Press(line, cell, Unit::Word, false);
    CursorMoved();
    dragging_ = true;
    dragPoint_ = point;
    doubleClickPoint_ = point;
    tripleClickTimer_.start(QApplication::doubleClickInterval(), this);
}

void TLogPane::wheelEvent(QWheelEvent* event) {
    // One notch (120 eighths of a degree) scrolls as many lines as the desktop says; with
    // Shift, or on a sideways wheel, as many times three columns.
    const bool sideways = (event->modifiers() & Qt::ShiftModifier) || event->angleDelta().x() != 0;
    const int delta = sideways && event->angleDelta().x() != 0 ? event->angleDelta().x()
                                                               : event->angleDelta().y();
    int& remainder = sideways ? wheelRemainder_.rx() : wheelRemainder_.ry();
    remainder += delta * QApplication::wheelScrollLines();
    const int steps = remainder / 120;
    remainder -= steps * 120;
    if (sideways)
        leftColumn_ -= 3 * steps;
    else
        topLine_ -= steps;
    ClampScroll();
    SyncScrollBars();
    viewport()->update();
    event->accept();
}

QMenu* TLogPane::createStandardContextMenu() {
    auto* menu = new QMenu(this);
    const bool selection = HasSelection();
    const auto add = [&](const QString& text, const char* name, QKeySequence::StandardKey key,
                         bool enabled, auto slot) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action =
            menu->addAction(shortcut.isEmpty() ? text : text + u'\t' + shortcut, this, slot);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
    };
    add(tr("Cu&t"), "edit-cut", QKeySequence::Cut, selection, [this] { cut(); });
    add(tr("&Copy"), "edit-copy", QKeySequence::Copy, selection, [this] { copy(); });
    add(tr("&Paste"), "edit-paste", QKeySequence::Paste,
        !QGuiApplication::clipboard()->text().isEmpty(), [this] { paste(); });
    add(tr("Delete"), "edit-delete", QKeySequence::UnknownKey, selection,
        [this] { DeleteSelection(); });
    menu->addSeparator();
    const bool empty = store_.LineCount() == 1 && store_.LineLength(0) == 0;
    add(tr("Select All"), "select-all", QKeySequence::SelectAll, !empty, [this] { SelectAll(); });
    emit ContextMenuBuilt(menu);
    return menu;
}

void TLogPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TLogPane::inputMethodEvent(QInputMethodEvent* event) {
    // Only what the input method commits becomes text; its pre-edit text is not drawn.
    if (!event->commitString().isEmpty())
        InsertText(event->commitString());
    event->accept();
}

QVariant TLogPane::inputMethodQuery(Qt::InputMethodQuery query) const {
    // The surrounding text is a window of the caret's line, so a long line is never sent whole.
    const TextPos caret = Caret();
    const TextPos anchor = Anchor();
    const std::int64_t start = std::max<std::int64_t>(0, caret.column - kSurroundingReach);
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImFont:
        return font();
    case Qt::ImCursorRectangle:
        return cursorRect().translated(viewport()->pos());
    case Qt::ImCursorPosition:
        return static_cast<int>(caret.column - start);
    case Qt::ImAnchorPosition:
        return static_cast<int>(std::clamp(anchor.line == caret.line ? anchor.column - start
                                           : anchor < caret          ? std::int64_t{0}
                                                                     : 2 * kSurroundingReach,
                                           std::int64_t{0}, 2 * kSurroundingReach));
    case Qt::ImSurroundingText:
        return corvane::ShownLine(store_.Line(caret.line, start, 2 * kSurroundingReach));
    case Qt::ImCurrentSelection:
        return anchor.line == caret.line ? SelectedText() : QString();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// The operator's side of a log pane: keys, mouse, wheel, the context menu and input methods.

#include "console/logpane.h"
#include "logstore/wordstops.h"
#include "core/codepage.h"

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

// How far word motion and a double-click look along a line: a word longer than this is taken
// in pieces, so a line of megabytes is never read whole for one key.
constexpr std::int64_t kWordReach = 4096;

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
    const auto next = [this](TextPos pos) {
        if (pos.column < store_.LineLength(pos.line))
            return TextPos{pos.line, pos.column + 1};
        return pos.line + 1 < store_.LineCount() ? TextPos{pos.line + 1, 0} : pos;
    };
    const auto previous = [this](TextPos pos) {
        if (pos.column > 0)
            return TextPos{pos.line, pos.column - 1};
        return pos.line > 0 ? TextPos{pos.line - 1, store_.LineLength(pos.line - 1)} : pos;
    };
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
        ReplaceText(caret_,
                    HasSelection()
                        ? anchor_
                        : TextPos{caret_.line,
                                  [&] {
                                      const auto after =
                                          store_.Line(caret_.line, caret_.column, kWordReach);
                                      return caret_.column + static_cast<std::int64_t>(
                                                                 corvane::NextWordStop(after));
                                  }()},
                    QString());
    } else if (event == QKeySequence::DeleteStartOfWord) {
        ReplaceText(caret_,
                    HasSelection()
                        ? anchor_
                        : TextPos{caret_.line,
                                  [&] {
                                      const std::int64_t from =
                                          std::max<std::int64_t>(0, caret_.column - kWordReach);
                                      const auto before =
                                          store_.Line(caret_.line, from, caret_.column - from);
                                      return from + static_cast<std::int64_t>(
                                                        corvane::PreviousWordStop(before));
                                  }()},
                    QString());
    } else if (event == QKeySequence::Delete) {
        ReplaceText(caret_, HasSelection() ? anchor_ : next(caret_), QString());
    } else if (event->key() == Qt::Key_Backspace &&
               !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        ReplaceText(caret_, HasSelection() ? anchor_ : previous(caret_), QString());
    } else {
        return false;
    }
    return true;
}

bool TLogPane::HandleMotionKey(QKeyEvent* event) {
    struct Motion {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
    };
    enum Kind {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        StartOfLine,
        EndOfLine,
        StartOfBlock,
        EndOfBlock,
        StartOfDocument,
        EndOfDocument,
        NextPage,
        PreviousPage,
        kKinds
    };
    static const Motion kMotions[kKinds] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine},
        {QKeySequence::MoveToStartOfBlock, QKeySequence::SelectStartOfBlock},
        {QKeySequence::MoveToEndOfBlock, QKeySequence::SelectEndOfBlock},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage},
    };
    int kind = 0;
    bool extend = false;
    for (; kind < kKinds; ++kind) {
        if (event == kMotions[kind].move)
            break;
        if (event == kMotions[kind].select) {
            extend = true;
            break;
        }
    }
    if (kind == kKinds)
        return false;

    const TextPos from = std::min(anchor_, caret_);
    const TextPos to = std::max(anchor_, caret_);
    TextPos pos = caret_;
    const std::int64_t length = store_.LineLength(pos.line);
    const std::int64_t lastLine = store_.LineCount() - 1;
    const auto vertical = [&](std::int64_t lines) {
        const std::int64_t column = desiredColumn_;
        const std::int64_t line = std::clamp<std::int64_t>(pos.line + lines, 0, lastLine);
        MoveCaret({line, std::min(column, store_.LineLength(line))}, extend);
        desiredColumn_ = column;
    };
    switch (kind) {
    case NextChar:
        // Without Shift, a selection collapses to its end, as in every text edit.
        pos = !extend && HasSelection() ? to
              : pos.column < length     ? TextPos{pos.line, pos.column + 1}
              : pos.line < lastLine     ? TextPos{pos.line + 1, 0}
                                        : pos;
        break;
    case PreviousChar:
        pos = !extend && HasSelection() ? from
              : pos.column > 0          ? TextPos{pos.line, pos.column - 1}
              : pos.line > 0            ? TextPos{pos.line - 1, store_.LineLength(pos.line - 1)}
                                        : pos;
        break;
    case NextWord:
        if (pos.column >= length && pos.line < lastLine) {
            pos = {pos.line + 1, 0};
        } else {
            const auto after = store_.Line(pos.line, pos.column, kWordReach);
            pos.column += static_cast<std::int64_t>(corvane::NextWordStop(after));
        }
        break;
    case PreviousWord:
        if (pos.column == 0 && pos.line > 0) {
            pos = {pos.line - 1, store_.LineLength(pos.line - 1)};
        } else {
            const std::int64_t start = std::max<std::int64_t>(0, pos.column - kWordReach);
            const auto before = store_.Line(pos.line, start, pos.column - start);
            pos.column = start + static_cast<std::int64_t>(corvane::PreviousWordStop(before));
        }
        break;
    case NextLine:
        vertical(1);
        return true;
    case PreviousLine:
        vertical(-1);
        return true;
    case StartOfLine:
    case StartOfBlock:
        pos.column = 0;
        break;
    case EndOfLine:
    case EndOfBlock:
        pos.column = length;
        break;
    case StartOfDocument:
        pos = {};
        break;
    case EndOfDocument:
        pos = store_.End();
        break;
    case NextPage:
    case PreviousPage: {
        // The page turns and the caret keeps its row on the screen, as in a text edit.
        const int rows = VisibleRows();
        const std::int64_t lines = kind == NextPage ? rows : -rows;
        topLine_ = std::clamp<std::int64_t>(topLine_ + lines, 0, MaxTopLine());
        vertical(lines);
        return true;
    }
    default:
        return false;
    }
    MoveCaret(pos, extend);
    return true;
}

void TLogPane::mousePressEvent(QMouseEvent* event) {
    const TextPos pos = PositionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        MoveCaret(pos, event->modifiers() & Qt::ShiftModifier);
        dragging_ = true;
        dragPoint_ = event->position().toPoint();
    } else if (event->button() == Qt::MiddleButton &&
               QGuiApplication::clipboard()->supportsSelection()) {
        // X11: the middle button pastes the primary selection where it is clicked.
        const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
        MoveCaret(pos, false);
        if (!text.isEmpty())
            InsertText(text);
    }
    event->accept();
}

void TLogPane::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    dragPoint_ = event->position().toPoint();
    MoveCaret(PositionAt(dragPoint_), true);
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
    MoveCaret(PositionAt(dragPoint_), true);
}

void TLogPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    autoScrollTimer_.stop();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TLogPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const TextPos pos = PositionAt(event->position().toPoint());
    const std::int64_t start = std::max<std::int64_t>(0, pos.column - kWordReach);
    const auto around = store_.Line(pos.line, start, 2 * kWordReach);
    const corvane::Span word =
        corvane::WordAt(around, static_cast<std::size_t>(pos.column - start));
    SetSelection({pos.line, start + static_cast<std::int64_t>(word.begin)},
                 {pos.line, start + static_cast<std::int64_t>(word.end)});
    dragging_ = false;
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
    const std::int64_t start = std::max<std::int64_t>(0, caret_.column - kSurroundingReach);
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
        return static_cast<int>(caret_.column - start);
    case Qt::ImAnchorPosition:
        return static_cast<int>(std::clamp(anchor_.line == caret_.line ? anchor_.column - start
                                           : anchor_ < caret_          ? std::int64_t{0}
                                                                       : 2 * kSurroundingReach,
                                           std::int64_t{0}, 2 * kSurroundingReach));
    case Qt::ImSurroundingText:
        return corvane::FromCodePage(store_.Line(caret_.line, start, 2 * kSurroundingReach));
    case Qt::ImCurrentSelection:
        return anchor_.line == caret_.line ? SelectedText() : QString();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

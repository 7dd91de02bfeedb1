// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A log pane: a plain-text pane that the program appends whole lines to and the operator may type
// into. No wrapping, both scroll bars, no length limit.
//
// The text lives in a LineStore, not in a text document: the font is monospaced, so a column's x
// is column x advance and only the rows and columns in view are ever read or drawn. A line of
// megabytes costs no more to append, scroll or paint than a short one. Appends change the model
// (text, caret, scroll position) at once; the scroll bars and the picture follow at most once per
// display frame, however many lines arrived in it.

#include "core/bytestring.h"
#include "logstore/linestore.h"
#include "logstore/textcursor.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class QMenu;
class QMimeData;
class TPaneCopy;
namespace corvane {
class LineCapture;
class LocalTimeText;
} // namespace corvane

// An offset, count or scroll value of the pane for Qt's int-sized interfaces, saturated.
inline int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

class TLogPane : public QAbstractScrollArea {
    Q_OBJECT

public:
    using TextPos = corvane::TextPos;

    explicit TLogPane(QWidget* parent);
    // With the store's memory budget and spool folder of the caller's choosing.
    TLogPane(QWidget* parent, corvane::LineStore::Limits limits);
    ~TLogPane() override;

    // Appends line (program code page) so that it starts on a line of its own: after a closing
    // line break it is followed by one; after text the operator typed, it is preceded by one. A CR
    // LF inside the line splits it. The caret goes after the insert, the selection is dropped and
    // the pane scrolls so that the new line and the caret are in view. The line's time is when it
    // came into being (core/walltime.h); without one, now.
    void Append(const corvane::ByteString& line, std::int64_t time);
    void Append(const corvane::ByteString& line) { Append(line, corvane::WallClockNow()); }
    // Appends the lines in turn, the ith with times[i], and follows them once: the caret, the
    // scrolling and the change signal as after the last of them.
    void Append(std::span<const corvane::ByteString> lines, std::span<const std::int64_t> times);
    // Every line appended from now on also goes to capture, with its time; null: none.
    void SetCapture(corvane::LineCapture* capture) { capture_ = capture; }
    void Clear();
    // Shows the data lines in view from now on, the whole text at once (logstore/dataview.h);
    // the capture takes the lines as shown too.
    void SetView(corvane::PaneView view);
    corvane::PaneView View() const { return store_.View(); }

    // reading
    // The whole text, its lines joined by "\n", as the pane shows it (panetext.h).
    QString toPlainText() const;
    const corvane::LineStore& Store() const { return store_; }
    std::int64_t LineCount() const { return store_.LineCount(); }
    corvane::ByteString Line(std::int64_t line) const { return store_.Line(line); }
    // The lines that have a time: all but the empty line after the last line break, where the
    // next line will go (an empty pane, at the start or after Clear, has none).
    std::int64_t LinesWithTimes() const {
        const std::int64_t lines = store_.LineCount();
        return store_.LineLength(lines - 1) == 0 ? lines - 1 : lines;
    }

    // caret and selection: the selection runs from the anchor to the caret (empty when equal)
    TextPos Caret() const { return cursor_.Caret(); }
    TextPos Anchor() const { return cursor_.Anchor(); }
    bool HasSelection() const { return cursor_.HasSelection(); }
    QString SelectedText() const;
    // Puts the anchor and the caret (each clamped into the text) and scrolls the caret into view.
    void SetSelection(TextPos anchor, TextPos caret);
    void SelectAll();

    // editing, as the operator's keys and menu do it
    // Replaces the selection (or inserts at the caret) with text; each "\n", "\r\n" or "\r"
    // starts a new line, a character the code page lacks becomes '?' (panetext.h).
    void InsertText(const QString& text);
    // Replaces the text between two places with text (as InsertText) and puts the caret after it.
    void ReplaceText(TextPos from, TextPos to, const QString& text);
    // A selection beyond the copy limit is not put on the clipboard (building it would take
    // seconds and keep gigabytes): CopyRefused is emitted instead, and a selection beyond it is
    // not offered as the primary selection either. A large selection is counted and copied in
    // slices (panecopy.h), and may be refused only once counted; Cut deletes it once it is on
    // the clipboard, unless the text was edited meanwhile. True when copied or being copied.
    bool copy();
    // The same with each line preceded by its time when times is given ("Copy with Times"; the
    // limit counts the text without them); copied runs once the text is on the clipboard.
    bool CopySelection(corvane::LocalTimeText* times, std::function<void()> copied = {});
    void SetCopyLimit(std::int64_t bytes) { copyLimit_ = bytes; }
    std::int64_t CopyLimit() const { return copyLimit_; }
    // What puts the pane's text on the clipboard and the primary selection.
    TPaneCopy* Copier() const { return copier_; }
    void cut();
    void paste();
    void DeleteSelection();

    // view
    std::int64_t FirstVisibleLine() const { return topLine_; }
    std::int64_t FirstVisibleColumn() const { return leftColumn_; } // in cells (tabstops.h)
    int VisibleRows() const { return rows_; }                       // rows wholly in view
    int VisibleColumns() const { return columns_; }                 // columns wholly in view
    // The cell of pos in viewport coordinates (the caret's rectangle is its left edge).
    QRect CellRect(TextPos pos) const;
    QRect cursorRect() const; // the caret, as QPlainTextEdit::cursorRect
    // The place nearest to point (viewport coordinates), clamped into the text.
    TextPos PositionAt(QPoint point) const;
    // The line and the cell, as a fraction, under point (viewport coordinates).
    std::pair<std::int64_t, double> CellAt(QPoint point) const;
    // Scrolls as little as needed to bring pos into view.
    void EnsureVisible(TextPos pos);

    // The menu the right button opens: Cut, Copy, Paste, Delete, Select All, and what the tools
    // the pane hosts add to it (ContextMenuBuilt).
    QMenu* createStandardContextMenu();

    // Room at one edge of the text for a widget the pane hosts (a column beside it, a bar under
    // it): the text's rows and columns are those of the smaller viewport. Several hosted widgets
    // at one edge (owner: each one's own) are stacked in the order they first asked, the first
    // farthest from the text; a size of 0 gives the room back.
    void SetEdgeRoom(Qt::Edge edge, int size, const QObject* owner = nullptr);
    // The room at the edge between the text and owner's: that of the widgets nearer the text.
    int EdgeRoomInside(Qt::Edge edge, const QObject* owner) const;

signals:
    // The text changed: an append, Clear, or the operator's edit.
    void textChanged();
    // The context menu is built and not yet shown: the pane's tools add their items to it.
    void ContextMenuBuilt(QMenu* menu);
    // Copy or Cut found the selection larger than the copy limit, and left the clipboard alone.
    void CopyRefused();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

public:
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    struct EdgeRoom {
        Qt::Edge edge;
        const QObject* owner;
        int size;
    };
    std::vector<EdgeRoom> edgeRooms_; // in the order first asked
    friend class TLogPaneAccessible;

    // model
    // Moves the caret (keeping the anchor when extending a selection) and scrolls it into view.
    void MoveCaret(TextPos pos, bool extend);
    // After the cursor moved: the caret comes into view, blinks anew, readers hear of it, and a
    // new selection goes to the X11 primary selection.
    void CursorMoved();
    // Puts the cursor after an edit of the store's text.
    void PlaceCursor(TextPos anchor, TextPos caret);
    void OfferSelection();
    // The text of a small selection offered to the primary selection is read when another
    // program asks for it; before the text changes, it is kept as it is.
    void KeepOfferedSelection();
    // Follows the store when it dropped old lines (disk full): every held line number moves down.
    bool FollowShiftedLines();
    // Readers are told of a change in one event of bounded size; appends are told once a
    // frame, all of them in one event.
    void NotifyTextChange(std::int64_t offset, const QString& removed, const QString& inserted);
    void NotifyCaret();
    void FlushAnnouncements();
    // At most a bounded part of the text from one place to another, as readers get it.
    QString AnnouncedText(TextPos from, TextPos to) const;
    // Character offset of pos in the whole text ("\n" between lines), and back; for
    // accessibility only. Lines before a cached line are summed once and reused.
    std::int64_t OffsetOf(TextPos pos) const;
    TextPos PosAtOffset(std::int64_t offset) const;
    void ForgetOffsetsFrom(std::int64_t line) const;
    // The accessible editing calls leave the caret where a text cursor's position would follow
    // an edit to: at its place, moved by the change before it.
    void ReplaceKeepingCaret(TextPos from, TextPos to, const QString& text);

    // view
    void UpdateMetrics();
    void UpdateCapacity(); // rows and columns in view, from the viewport's size
    std::int64_t MaxTopLine() const;
    std::int64_t MaxLeftColumn() const;
    void ClampScroll();
    // Once per frame at most: the scroll bars follow the model, and the viewport repaints.
    void RequestFrame();
    void Frame();
    void SyncScrollBars();
    void RestartBlink();
    void DrawRow(class QPainter& painter, std::int64_t line, int y) const;

    // input
    bool HandleEditKey(QKeyEvent* event);
    bool HandleMotionKey(QKeyEvent* event);
    void Delete(corvane::TextRange range);
    void AutoScrollStep();

    corvane::LineStore store_;
    corvane::TextCursor cursor_{store_};
    corvane::LineCapture* capture_ = nullptr;
    std::int64_t shiftedOut_ = 0;
    std::int64_t topLine_ = 0;
    std::int64_t leftColumn_ = 0;

    // metrics of the monospaced font
    int margin_ = 4;
    int lineHeight_ = 1;
    int ascent_ = 1;
    qreal advance_ = 1;
    int rows_ = 1;
    int columns_ = 1;
    // How each byte value is drawn: within a row's run of text (the font's own glyph, one cell
    // wide), alone in its cell (a glyph of another width or from another font), or as a blank
    // cell (control characters), or, for a lone LF or CR, as a mark of our own (breakmark.h).
    // Either way it takes one cell, so columns stay arithmetic.
    enum class Cell : std::uint8_t { InRun, Alone, Blank, Mark };
    std::array<Cell, 256> cells_{};
    std::array<char16_t, 256> characters_{}; // the character of each byte value

    QTimer frameTimer_;
    QElapsedTimer sinceFrame_;
    bool syncingBars_ = false;
    QBasicTimer blinkTimer_;
    bool caretShown_ = true;
    QBasicTimer autoScrollTimer_;
    QPoint dragPoint_;
    bool dragging_ = false;
    // A press this soon after a double-click, near it, is a triple-click.
    QBasicTimer tripleClickTimer_;
    QPoint doubleClickPoint_;
    corvane::TextRange lastSelection_; // as the last move left it: a change is offered anew
    QPointer<QMimeData> offered_;      // the pane's selection, while it is the primary one
    std::int64_t copyLimit_ = std::int64_t{256} << 20;
    TPaneCopy* copier_;

    // Appends not yet told to readers: from this offset on, or -1.
    std::int64_t unannouncedFrom_ = -1;
    bool caretUnannounced_ = false;
    std::pair<std::int64_t, std::int64_t> announcedSelection_; // the last told, as offsets
    QPoint wheelRemainder_; // eighths of a degree not yet scrolled

    mutable std::int64_t offsetLine_ = 0;  // a line whose start offset is known
    mutable std::int64_t offsetValue_ = 0; // that offset
};

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

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <cstdint>

class QMenu;
namespace corvane {
class LineCapture;
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
    // Every line appended from now on also goes to capture, with its time; null: none.
    void SetCapture(corvane::LineCapture* capture) { capture_ = capture; }
    void Clear();

    // reading
    // The whole text, its lines joined by "\n".
    QString toPlainText() const;
    const corvane::LineStore& Store() const { return store_; }
    std::int64_t LineCount() const { return store_.LineCount(); }
    corvane::ByteString Line(std::int64_t line) const { return store_.Line(line); }

    // caret and selection: the selection runs from the anchor to the caret (empty when equal)
    TextPos Caret() const { return caret_; }
    TextPos Anchor() const { return anchor_; }
    bool HasSelection() const { return caret_ != anchor_; }
    QString SelectedText() const;
    // Puts the anchor and the caret (each clamped into the text) and scrolls the caret into view.
    void SetSelection(TextPos anchor, TextPos caret);
    void SelectAll();

    // editing, as the operator's keys and menu do it
    // Replaces the selection (or inserts at the caret) with text; each "\n", "\r\n" or "\r"
    // starts a new line, a character the code page lacks becomes '?'.
    void InsertText(const QString& text);
    // Replaces the text between two places with text (as InsertText) and puts the caret after it.
    void ReplaceText(TextPos from, TextPos to, const QString& text);
    void copy() const;
    void cut();
    void paste();
    void DeleteSelection();

    // view
    std::int64_t FirstVisibleLine() const { return topLine_; }
    std::int64_t FirstVisibleColumn() const { return leftColumn_; }
    int VisibleRows() const { return rows_; }       // rows wholly in view
    int VisibleColumns() const { return columns_; } // columns wholly in view
    // The cell of pos in viewport coordinates (the caret's rectangle is its left edge).
    QRect CellRect(TextPos pos) const;
    QRect cursorRect() const; // the caret, as QPlainTextEdit::cursorRect
    // The place nearest to point (viewport coordinates), clamped into the text.
    TextPos PositionAt(QPoint point) const;
    // Scrolls as little as needed to bring pos into view.
    void EnsureVisible(TextPos pos);

    // The menu the right button opens: Cut, Copy, Paste, Delete, Select All.
    QMenu* createStandardContextMenu();

signals:
    // The text changed: an append, Clear, or the operator's edit.
    void textChanged();

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
    friend class TLogPaneAccessible;

    // model
    TextPos Clamp(TextPos pos) const;
    // Moves the caret (keeping the anchor when extending a selection) and scrolls it into view.
    void MoveCaret(TextPos pos, bool extend);
    // Follows the store when it dropped old lines (disk full): every held line number moves down.
    bool FollowShiftedLines();
    void NotifyTextChange(std::int64_t offset, const QString& removed, const QString& inserted);
    void NotifyCaret();
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
    void AutoScrollStep();

    corvane::LineStore store_;
    corvane::LineCapture* capture_ = nullptr;
    std::int64_t shiftedOut_ = 0;
    TextPos caret_;
    TextPos anchor_;
    std::int64_t desiredColumn_ = 0; // kept by Up/Down/PgUp/PgDn across short lines
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
    // cell (control characters). Either way it takes one cell, so columns stay arithmetic.
    enum class Cell : std::uint8_t { InRun, Alone, Blank };
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
    QPoint wheelRemainder_; // eighths of a degree not yet scrolled

    mutable std::int64_t offsetLine_ = 0;  // a line whose start offset is known
    mutable std::int64_t offsetValue_ = 0; // that offset
};

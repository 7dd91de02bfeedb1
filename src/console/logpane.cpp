#include "console/logpane.h"

#include "console/logpaneaccessible.h"
#include "core/codepage.h"
#include "logstore/linecapture.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>
#include <climits>

using corvane::ByteString;
using corvane::FromCodePage;

namespace {

// The shortest time between two frames (60 a second): a flood of appends repaints the pane and
// moves its scroll bars this often at most, not once per line.
constexpr int kFrameMs = 16;

int ToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

// Pasted or typed text with every line break as "\n", the one break the store knows.
QString WithPlainBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

} // namespace

TLogPane::TLogPane(QWidget* parent) : TLogPane(parent, corvane::LineStore::Limits{}) {}

TLogPane::TLogPane(QWidget* parent, corvane::LineStore::Limits limits)
    : QAbstractScrollArea(parent), store_(std::move(limits)) {
    InstallLogPaneAccessibility();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, &TLogPane::Frame);
    sinceFrame_.start();
    UpdateMetrics();
}

TLogPane::~TLogPane() = default;

// ---- the text ----

void TLogPane::Append(const ByteString& line, std::int64_t time) {
    const bool accessible = LogPaneAnnouncesChanges();
    const TextPos oldEnd = accessible ? store_.End() : TextPos{};
    const std::int64_t offset = accessible ? OffsetOf(oldEnd) : 0;
    store_.AppendLine(line, time);
    if (capture_)
        capture_->Add(line, time);
    const bool shifted = FollowShiftedLines();
    caret_ = anchor_ = store_.End();
    desiredColumn_ = caret_.column;
    // The caret stands on the line after the new one, or at its end after typed text: keeping
    // it in view keeps the new line in view too.
    EnsureVisible(caret_);
    emit textChanged();
    if (accessible) {
        if (shifted) {
            QAccessibleTextUpdateEvent update(this, 0, QString(), toPlainText());
            AnnounceLogPaneChange(&update);
        } else {
            NotifyTextChange(offset, QString(), FromCodePage(store_.Text(oldEnd, store_.End())));
        }
        NotifyCaret();
    }
}

void TLogPane::Clear() {
    const bool accessible = LogPaneAnnouncesChanges();
    const QString removed = accessible ? toPlainText() : QString();
    store_.Clear();
    shiftedOut_ = store_.LinesShiftedOut();
    caret_ = anchor_ = TextPos{};
    desiredColumn_ = topLine_ = leftColumn_ = 0;
    ForgetOffsetsFrom(0);
    RequestFrame();
    emit textChanged();
    if (accessible) {
        NotifyTextChange(0, removed, QString());
        NotifyCaret();
    }
}

QString TLogPane::toPlainText() const {
    return FromCodePage(store_.Text({}, store_.End()));
}

QString TLogPane::SelectedText() const {
    return FromCodePage(store_.Text(anchor_, caret_));
}

TLogPane::TextPos TLogPane::Clamp(TextPos pos) const {
    pos.line = std::clamp<std::int64_t>(pos.line, 0, store_.LineCount() - 1);
    pos.column = std::clamp<std::int64_t>(pos.column, 0, store_.LineLength(pos.line));
    return pos;
}

void TLogPane::SetSelection(TextPos anchor, TextPos caret) {
    anchor_ = Clamp(anchor);
    MoveCaret(caret, true);
}

void TLogPane::SelectAll() {
    anchor_ = {};
    caret_ = store_.End();
    desiredColumn_ = caret_.column;
    viewport()->update();
    NotifyCaret();
}

void TLogPane::MoveCaret(TextPos pos, bool extend) {
    caret_ = Clamp(pos);
    if (!extend)
        anchor_ = caret_;
    desiredColumn_ = caret_.column;
    EnsureVisible(caret_);
    RestartBlink();
    NotifyCaret();
}

void TLogPane::InsertText(const QString& text) {
    ReplaceText(anchor_, caret_, text);
}

void TLogPane::ReplaceText(TextPos from, TextPos to, const QString& text) {
    from = Clamp(from);
    to = Clamp(to);
    if (to < from)
        std::swap(from, to);
    const ByteString bytes = corvane::ToCodePage(WithPlainBreaks(text));
    const bool accessible = LogPaneAnnouncesChanges();
    const std::int64_t offset = accessible ? OffsetOf(from) : 0;
    const QString removed = accessible ? FromCodePage(store_.Text(from, to)) : QString();
    const TextPos end = store_.Replace(from, to, bytes);
    ForgetOffsetsFrom(from.line);
    FollowShiftedLines();
    caret_ = anchor_ = Clamp(end);
    desiredColumn_ = caret_.column;
    EnsureVisible(caret_);
    RestartBlink();
    emit textChanged();
    if (accessible) {
        NotifyTextChange(offset, removed, FromCodePage(bytes));
        NotifyCaret();
    }
}

void TLogPane::ReplaceKeepingCaret(TextPos from, TextPos to, const QString& text) {
    if (to < from)
        std::swap(from, to);
    const std::int64_t start = OffsetOf(Clamp(from));
    const std::int64_t removed = OffsetOf(Clamp(to)) - start;
    const auto added = static_cast<std::int64_t>(corvane::ToCodePage(WithPlainBreaks(text)).size());
    // As a text cursor follows an edit: a place inside the removed text goes to its start, a
    // place after it (or at an insertion point) moves by the change.
    const auto follow = [&](std::int64_t place) {
        if (place < start)
            return place;
        if (place < start + removed)
            return start + added;
        return place - removed + added;
    };
    const std::int64_t caret = follow(OffsetOf(caret_));
    const std::int64_t anchor = follow(OffsetOf(anchor_));
    ReplaceText(from, to, text);
    anchor_ = PosAtOffset(anchor);
    MoveCaret(PosAtOffset(caret), true);
}

void TLogPane::DeleteSelection() {
    if (HasSelection())
        ReplaceText(anchor_, caret_, QString());
}

void TLogPane::copy() const {
    if (HasSelection())
        QGuiApplication::clipboard()->setText(SelectedText());
}

void TLogPane::cut() {
    copy();
    DeleteSelection();
}

void TLogPane::paste() {
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        InsertText(text);
}

bool TLogPane::FollowShiftedLines() {
    const std::int64_t now = store_.LinesShiftedOut();
    const std::int64_t dropped = now - shiftedOut_;
    if (dropped == 0)
        return false;
    shiftedOut_ = now;
    const auto follow = [&](TextPos pos) {
        pos.line -= dropped;
        return pos.line < 0 ? TextPos{} : Clamp(pos);
    };
    caret_ = follow(caret_);
    anchor_ = follow(anchor_);
    topLine_ = std::max<std::int64_t>(0, topLine_ - dropped);
    ForgetOffsetsFrom(0);
    ClampScroll();
    RequestFrame();
    return true;
}

// ---- accessibility ----

void TLogPane::NotifyTextChange(std::int64_t offset, const QString& removed,
                                const QString& inserted) {
    const int at = ToInt(offset);
    if (!removed.isEmpty() && !inserted.isEmpty()) {
        QAccessibleTextUpdateEvent event(this, at, removed, inserted);
        AnnounceLogPaneChange(&event);
    } else if (!removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, at, removed);
        AnnounceLogPaneChange(&event);
    } else if (!inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(this, at, inserted);
        AnnounceLogPaneChange(&event);
    }
}

void TLogPane::NotifyCaret() {
    if (!LogPaneAnnouncesChanges())
        return;
    const std::int64_t caret = OffsetOf(caret_);
    const std::int64_t anchor = OffsetOf(anchor_);
    QAccessibleTextSelectionEvent selection(this, ToInt(std::min(caret, anchor)),
                                            ToInt(std::max(caret, anchor)));
    selection.setCursorPosition(ToInt(caret));
    AnnounceLogPaneChange(&selection);
    QAccessibleTextCursorEvent cursor(this, ToInt(caret));
    AnnounceLogPaneChange(&cursor);
}

std::int64_t TLogPane::OffsetOf(TextPos pos) const {
    // Walks from the known line, the way a reader moves: a few lines either way.
    if (pos.line < offsetLine_ / 2)
        ForgetOffsetsFrom(0);
    for (; offsetLine_ > pos.line; --offsetLine_)
        offsetValue_ -= store_.LineLength(offsetLine_ - 1) + 1;
    for (; offsetLine_ < pos.line; ++offsetLine_)
        offsetValue_ += store_.LineLength(offsetLine_) + 1;
    return offsetValue_ + pos.column;
}

TLogPane::TextPos TLogPane::PosAtOffset(std::int64_t offset) const {
    offset = std::max<std::int64_t>(0, offset);
    if (offset < offsetValue_ / 2)
        ForgetOffsetsFrom(0);
    for (; offsetLine_ > 0 && offset < offsetValue_; --offsetLine_)
        offsetValue_ -= store_.LineLength(offsetLine_ - 1) + 1;
    const std::int64_t last = store_.LineCount() - 1;
    for (; offsetLine_ < last && offsetValue_ + store_.LineLength(offsetLine_) < offset;
         ++offsetLine_)
        offsetValue_ += store_.LineLength(offsetLine_) + 1;
    return {offsetLine_, std::min(offset - offsetValue_, store_.LineLength(offsetLine_))};
}

void TLogPane::ForgetOffsetsFrom(std::int64_t line) const {
    // The start of a line depends only on the lines before it.
    if (line < offsetLine_)
        offsetLine_ = offsetValue_ = 0;
}

// ---- the view ----

void TLogPane::UpdateMetrics() {
    const QFontMetrics metrics(font());
    const QFontMetricsF exact(font());
    lineHeight_ = std::max(1, metrics.height());
    ascent_ = metrics.ascent();
    // The advance of a run, as drawText places it, divided back to one cell.
    constexpr int kSample = 64;
    advance_ = std::max<qreal>(1, exact.horizontalAdvance(QString(kSample, u'0')) / kSample);
    for (std::size_t value = 0; value < cells_.size(); ++value) {
        const QChar c = FromCodePage(ByteString(1, static_cast<char>(value))).at(0);
        characters_[value] = c.unicode();
        const bool control = c.category() == QChar::Other_Control || c == QChar::SoftHyphen;
        if (control)
            cells_[value] = Cell::Blank;
        else if (metrics.inFontUcs4(c.unicode()) &&
                 std::abs(exact.horizontalAdvance(c) - advance_) < 0.01)
            cells_[value] = Cell::InRun;
        else
            cells_[value] = Cell::Alone;
    }
    UpdateCapacity();
}

void TLogPane::UpdateCapacity() {
    rows_ = std::max(1, (viewport()->height() - 2 * margin_) / lineHeight_);
    columns_ = std::max(1, static_cast<int>((viewport()->width() - 2 * margin_) / advance_));
}

std::int64_t TLogPane::MaxTopLine() const {
    return std::max<std::int64_t>(0, store_.LineCount() - VisibleRows());
}

std::int64_t TLogPane::MaxLeftColumn() const {
    // One cell more than the longest line: the caret after its last character.
    return std::max<std::int64_t>(0, store_.LongestLine() + 1 - VisibleColumns());
}

void TLogPane::ClampScroll() {
    topLine_ = std::clamp<std::int64_t>(topLine_, 0, MaxTopLine());
    leftColumn_ = std::clamp<std::int64_t>(leftColumn_, 0, MaxLeftColumn());
}

void TLogPane::EnsureVisible(TextPos pos) {
    const int rows = VisibleRows();
    if (pos.line < topLine_)
        topLine_ = pos.line;
    else if (pos.line >= topLine_ + rows)
        topLine_ = pos.line - rows + 1;
    const int columns = VisibleColumns();
    if (pos.column < leftColumn_)
        leftColumn_ = pos.column;
    else if (pos.column >= leftColumn_ + columns)
        leftColumn_ = pos.column - columns + 1;
    ClampScroll();
    RequestFrame();
}

QRect TLogPane::CellRect(TextPos pos) const {
    const qreal x = margin_ + static_cast<qreal>(pos.column - leftColumn_) * advance_;
    const std::int64_t y = margin_ + (pos.line - topLine_) * lineHeight_;
    return QRect(static_cast<int>(std::clamp<qreal>(x, INT_MIN / 2, INT_MAX / 2)),
                 static_cast<int>(std::clamp<std::int64_t>(y, INT_MIN / 2, INT_MAX / 2)),
                 qCeil(advance_), lineHeight_);
}

QRect TLogPane::cursorRect() const {
    QRect rect = CellRect(caret_);
    rect.setWidth(1);
    return rect;
}

TLogPane::TextPos TLogPane::PositionAt(QPoint point) const {
    const std::int64_t row =
        static_cast<std::int64_t>(std::floor(qreal(point.y() - margin_) / lineHeight_));
    // A click in the right half of a cell puts the caret after it.
    const std::int64_t column =
        static_cast<std::int64_t>(std::floor(qreal(point.x() - margin_) / advance_ + 0.5));
    return Clamp({topLine_ + row, leftColumn_ + std::max<std::int64_t>(0, column)});
}

void TLogPane::RequestFrame() {
    if (frameTimer_.isActive())
        return;
    const auto since = static_cast<int>(std::min<qint64>(sinceFrame_.elapsed(), kFrameMs));
    frameTimer_.start(kFrameMs - since);
}

void TLogPane::Frame() {
    sinceFrame_.restart();
    SyncScrollBars();
    viewport()->update();
}

void TLogPane::SyncScrollBars() {
    syncingBars_ = true;
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, ToInt(MaxTopLine()));
    vertical->setPageStep(VisibleRows());
    vertical->setValue(ToInt(topLine_));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, ToInt(MaxLeftColumn()));
    horizontal->setPageStep(VisibleColumns());
    horizontal->setSingleStep(3);
    horizontal->setValue(ToInt(leftColumn_));
    syncingBars_ = false;
}

void TLogPane::scrollContentsBy(int dx, int dy) {
    if (syncingBars_)
        return;
    // Only the bar that moved speaks: the other may still show the last frame's place.
    if (dy != 0)
        topLine_ = verticalScrollBar()->value();
    if (dx != 0)
        leftColumn_ = horizontalScrollBar()->value();
    viewport()->update();
}

bool TLogPane::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) {
        UpdateCapacity();
        ClampScroll();
        SyncScrollBars();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TLogPane::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        ClampScroll();
        RequestFrame();
    }
}

void TLogPane::RestartBlink() {
    caretShown_ = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        blinkTimer_.start(flash / 2, this);
    else
        blinkTimer_.stop();
    viewport()->update();
}

void TLogPane::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
}

void TLogPane::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    blinkTimer_.stop();
    caretShown_ = false;
    viewport()->update();
}

void TLogPane::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blinkTimer_.timerId()) {
        caretShown_ = !caretShown_;
        viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
    } else if (event->timerId() == autoScrollTimer_.timerId()) {
        AutoScrollStep();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void TLogPane::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(font());
    const QRect area = event->rect();
    const int firstRow = std::max(0, (area.top() - margin_) / lineHeight_);
    const int lastRow = std::max(0, (area.bottom() - margin_) / lineHeight_);
    for (int row = firstRow; row <= lastRow; ++row) {
        const std::int64_t line = topLine_ + row;
        if (line >= store_.LineCount())
            break;
        DrawRow(painter, line, margin_ + row * lineHeight_);
    }
}

void TLogPane::DrawRow(QPainter& painter, std::int64_t line, int y) const {
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    const QPalette& colours = palette();
    // One cell more than fits, for the one cut at the right edge.
    const std::int64_t columns = VisibleColumns() + 1;
    const ByteString bytes = store_.Line(line, leftColumn_, columns);
    const auto count = static_cast<std::int64_t>(bytes.size());
    const auto cellX = [&](std::int64_t index) {
        return margin_ + static_cast<qreal>(index) * advance_;
    };

    // The selected cells of this row, as indices into bytes; a selected line break shows as
    // one more selected cell after the line's text.
    std::int64_t selBegin = 0;
    std::int64_t selEnd = 0;
    const TextPos from = std::min(anchor_, caret_);
    const TextPos to = std::max(anchor_, caret_);
    if (from != to && from.line <= line && line <= to.line) {
        const std::int64_t begin = line == from.line ? from.column : 0;
        const std::int64_t end =
            line == to.line ? to.column : store_.LineLength(line) + 1; // with its line break
        selBegin = std::clamp<std::int64_t>(begin - leftColumn_, 0, columns);
        selEnd = std::clamp<std::int64_t>(end - leftColumn_, 0, columns);
        if (selEnd > selBegin)
            painter.fillRect(
                QRectF(cellX(selBegin), y, (selEnd - selBegin) * advance_, lineHeight_),
                colours.brush(group, QPalette::Highlight));
    }

    // The row as one run of text, cells that are not drawn within it blanked.
    QString run(static_cast<qsizetype>(count), u' ');
    bool alone = false;
    for (std::int64_t i = 0; i < count; ++i) {
        const auto value = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        if (cells_[value] == Cell::InRun)
            run[i] = QChar(characters_[value]);
        else
            alone = alone || cells_[value] == Cell::Alone;
    }
    const int baseline = y + ascent_;
    const auto drawPart = [&](std::int64_t begin, std::int64_t end, QPalette::ColorRole role) {
        if (end <= begin)
            return;
        painter.setPen(colours.color(group, role));
        painter.drawText(QPointF(cellX(begin), baseline), run.mid(begin, end - begin));
        if (!alone)
            return;
        for (std::int64_t i = begin; i < end; ++i) {
            const auto value = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
            if (cells_[value] == Cell::Alone)
                painter.drawText(QPointF(cellX(i), baseline), QString(QChar(characters_[value])));
        }
    };
    const std::int64_t textSelBegin = std::min(selBegin, count);
    const std::int64_t textSelEnd = std::min(selEnd, count);
    drawPart(0, textSelBegin, QPalette::Text);
    drawPart(textSelBegin, textSelEnd, QPalette::HighlightedText);
    drawPart(std::max(textSelEnd, textSelBegin), count, QPalette::Text);

    if (caret_.line == line && caretShown_ && hasFocus()) {
        const std::int64_t column = caret_.column - leftColumn_;
        if (column >= 0 && column <= columns)
            painter.fillRect(QRectF(cellX(column), y, 1, lineHeight_),
                             colours.brush(group, QPalette::Text));
    }
}

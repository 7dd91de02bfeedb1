// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/logpane.h"

#include "console/breakmark.h"
#include "console/logpaneaccessible.h"
#include "console/mutedink.h"
#include "console/panecopy.h"
#include "logstore/dataview.h"
#include "logstore/linecapture.h"
#include "logstore/panetext.h"
#include "logstore/rowcells.h"
#include "logstore/selectiontext.h"
#include "logstore/tabstops.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>
#include <climits>

using corvane::ByteString;
using corvane::ShownText;
using corvane::TextRange;

namespace {

// The shortest time between two frames (60 a second): a flood of appends repaints the pane and
// moves its scroll bars this often at most, not once per line.
constexpr int kFrameMs = 16;

// The most characters one accessibility event carries: a reader that wants more asks for it.
// Beyond it, sending a change whole would put megabytes through the accessibility bus at once.
constexpr std::int64_t kAnnounceReach = 4096;

// A selection up to this size is offered as the primary selection by the pane itself and read
// when asked for (a millisecond or two); a larger one is built in slices and offered when built.
constexpr std::int64_t kKeptSelection = 1 << 20;

// A small selection of the pane as X11's primary selection: its text is read from the pane only
// when a program asks for it, or when the pane is about to change it.
class OfferedSelection : public QMimeData {
public:
    OfferedSelection(const TLogPane* pane, TextRange range) : pane_(pane), range_(range) {}

    // The text as it stands now: the pane is about to change it.
    void Keep() {
        if (!kept_ && pane_)
            text_ = Read();
        kept_ = true;
    }

    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& mimeType) const override {
        return mimeType == QLatin1String("text/plain");
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        if (mimeType != QLatin1String("text/plain"))
            return {};
        return kept_ ? text_ : Read();
    }

private:
    QString Read() const {
        return pane_ ? ShownText(pane_->Store(), range_.from, range_.to) : QString();
    }

    QPointer<const TLogPane> pane_;
    TextRange range_;
    QString text_;
    bool kept_ = false;
};

} // namespace

TLogPane::TLogPane(QWidget* parent) : TLogPane(parent, corvane::LineStore::Limits{}) {}

TLogPane::TLogPane(QWidget* parent, corvane::LineStore::Limits limits)
    : QAbstractScrollArea(parent), store_(std::move(limits)),
      copier_(new TPaneCopy(this, [this] { emit CopyRefused(); })) {
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

TLogPane::~TLogPane() {
    // A selection this pane offered stays pasteable after it is gone, as in any X program.
    KeepOfferedSelection();
}

// ---- the text ----

void TLogPane::Append(const ByteString& line, std::int64_t time) {
    Append(std::span(&line, 1), std::span(&time, 1));
}

void TLogPane::Append(std::span<const ByteString> lines, std::span<const std::int64_t> times) {
    const bool accessible = LogPaneAnnouncesChanges();
    if (accessible && unannouncedFrom_ < 0)
        unannouncedFrom_ = OffsetOf(store_.End());
    ByteString shown;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        store_.AppendLine(lines[i], times[i]);
        if (capture_ && View().view != corvane::DataView::Hex) {
            shown.clear();
            corvane::AppendLineInView(lines[i], View(), shown);
            capture_->Add(shown, times[i]);
        } else if (capture_) {
            capture_->Add(lines[i], times[i]);
        }
    }
    const bool shifted = FollowShiftedLines();
    PlaceCursor(store_.End(), store_.End());
    // The caret stands on the line after the new one, or at its end after typed text: keeping
    // it in view keeps the new line in view too.
    EnsureVisible(Caret());
    emit textChanged();
    if (accessible) {
        if (shifted) {
            // The top of the text went: readers hear of it as the text anew from the start.
            unannouncedFrom_ = 0;
        }
        // Told at the next frame, with every other append of it.
        caretUnannounced_ = true;
        RequestFrame();
    }
}

void TLogPane::Clear() {
    const bool accessible = LogPaneAnnouncesChanges();
    if (accessible)
        FlushAnnouncements();
    const QString removed = accessible ? AnnouncedText({}, store_.End()) : QString();
    KeepOfferedSelection();
    store_.Clear();
    shiftedOut_ = store_.LinesShiftedOut();
    PlaceCursor({}, {});
    topLine_ = leftColumn_ = 0;
    ForgetOffsetsFrom(0);
    RequestFrame();
    emit textChanged();
    if (accessible) {
        NotifyTextChange(0, removed, QString());
        NotifyCaret();
    }
}

void TLogPane::SetView(corvane::PaneView view) {
    if (view == View())
        return;
    // Columns mean other characters now: the caret and the selection keep their lines.
    const TextPos anchor = Anchor();
    const TextPos caret = Caret();
    store_.SetView(view);
    PlaceCursor(store_.Clamp(anchor), store_.Clamp(caret));
    ForgetOffsetsFrom(0);
    ClampScroll();
    RequestFrame();
    emit textChanged();
}

QString TLogPane::toPlainText() const {
    return ShownText(store_, {}, store_.End());
}

QString TLogPane::SelectedText() const {
    return ShownText(store_, Anchor(), Caret());
}

void TLogPane::SetSelection(TextPos anchor, TextPos caret) {
    cursor_.Select(anchor, caret);
    CursorMoved();
}

void TLogPane::SelectAll() {
    cursor_.SelectAll();
    CursorMoved();
}

void TLogPane::MoveCaret(TextPos pos, bool extend) {
    cursor_.MoveTo(pos, extend);
    CursorMoved();
}

void TLogPane::CursorMoved() {
    EnsureVisible(Caret());
    RestartBlink();
    // After any append not yet told, so that readers hear of the text before the caret in it.
    caretUnannounced_ = true;
    FlushAnnouncements();
    const TextRange selection = cursor_.HasSelection() ? cursor_.Selection() : TextRange{};
    if (selection.from != lastSelection_.from || selection.to != lastSelection_.to) {
        lastSelection_ = selection;
        OfferSelection();
    }
}

void TLogPane::PlaceCursor(TextPos anchor, TextPos caret) {
    cursor_.Select(anchor, caret);
    lastSelection_ = cursor_.HasSelection() ? cursor_.Selection() : TextRange{};
}

void TLogPane::OfferSelection() {
    // As Qt's own editors do: every selection, made by keys or the mouse, becomes the primary
    // selection where the platform has one; one beyond the copy limit does not, as a clipboard
    // manager would ask for it at once.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!HasSelection() || !clipboard->supportsSelection())
        return;
    const TextRange selection = cursor_.Selection();
    const std::int64_t size =
        corvane::SizeUpTo(store_, selection.from, selection.to, kKeptSelection);
    if (size > kKeptSelection) {
        copier_->Offer(selection, copyLimit_);
        return;
    }
    copier_->StopOffer();
    if (size > copyLimit_) {
        clipboard->clear(QClipboard::Selection);
        return;
    }
    auto* offered = new OfferedSelection(this, selection);
    clipboard->setMimeData(offered, QClipboard::Selection);
    offered_ = offered;
}

void TLogPane::KeepOfferedSelection() {
    if (auto* offered = static_cast<OfferedSelection*>(offered_.data()))
        offered->Keep();
    offered_ = nullptr;
}

void TLogPane::InsertText(const QString& text) {
    ReplaceText(Anchor(), Caret(), text);
}

void TLogPane::ReplaceText(TextPos from, TextPos to, const QString& text) {
    from = store_.Clamp(from);
    to = store_.Clamp(to);
    if (to < from)
        std::swap(from, to);
    const std::vector<ByteString> lines = corvane::LinesToKeep(text);
    const bool accessible = LogPaneAnnouncesChanges();
    if (accessible)
        FlushAnnouncements();
    const std::int64_t offset = accessible ? OffsetOf(from) : 0;
    const QString removed = accessible ? AnnouncedText(from, to) : QString();
    KeepOfferedSelection();
    const TextPos end = store_.Replace(from, to, lines);
    ForgetOffsetsFrom(from.line);
    FollowShiftedLines();
    PlaceCursor(end, end);
    EnsureVisible(Caret());
    RestartBlink();
    emit textChanged();
    if (accessible) {
        NotifyTextChange(offset, removed, AnnouncedText(from, Caret()));
        NotifyCaret();
    }
}

void TLogPane::ReplaceKeepingCaret(TextPos from, TextPos to, const QString& text) {
    if (to < from)
        std::swap(from, to);
    const std::int64_t start = OffsetOf(store_.Clamp(from));
    const std::int64_t removed = OffsetOf(store_.Clamp(to)) - start;
    std::int64_t added = -1; // the line breaks between the lines
    for (const ByteString& line : corvane::LinesToKeep(text))
        added += static_cast<std::int64_t>(line.size()) + 1;
    // As a text cursor follows an edit: a place inside the removed text goes to its start, a
    // place after it (or at an insertion point) moves by the change.
    const auto follow = [&](std::int64_t place) {
        if (place < start)
            return place;
        if (place < start + removed)
            return start + added;
        return place - removed + added;
    };
    const std::int64_t caret = follow(OffsetOf(Caret()));
    const std::int64_t anchor = follow(OffsetOf(Anchor()));
    ReplaceText(from, to, text);
    SetSelection(PosAtOffset(anchor), PosAtOffset(caret));
}

void TLogPane::DeleteSelection() {
    if (HasSelection())
        ReplaceText(Anchor(), Caret(), QString());
}

bool TLogPane::copy() {
    return CopySelection(nullptr);
}

void TLogPane::cut() {
    // What cannot be copied is not cut either; what is still being copied is cut once copied,
    // unless an edit came first.
    const TextRange range = cursor_.HasSelection() ? cursor_.Selection() : TextRange{};
    const std::uint64_t rewrites = store_.Rewrites();
    CopySelection(nullptr, [this, range, rewrites] {
        if (store_.Rewrites() == rewrites)
            ReplaceText(range.from, range.to, QString());
    });
}

bool TLogPane::CopySelection(corvane::LocalTimeText* times, std::function<void()> copied) {
    return HasSelection() &&
           copier_->Copy(cursor_.Selection(), copyLimit_, times, std::move(copied));
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
        return pos.line < 0 ? TextPos{} : store_.Clamp(pos);
    };
    PlaceCursor(follow(Anchor()), follow(Caret()));
    topLine_ = std::max<std::int64_t>(0, topLine_ - dropped);
    ForgetOffsetsFrom(0);
    ClampScroll();
    RequestFrame();
    return true;
}

// ---- accessibility ----

void TLogPane::NotifyTextChange(std::int64_t offset, const QString& removed,
                                const QString& inserted) {
    const int at = ClampToInt(offset);
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
    caretUnannounced_ = false;
    const std::int64_t caret = OffsetOf(Caret());
    const std::int64_t anchor = OffsetOf(Anchor());
    // As Qt's editors do: the selection is told when it changed, the caret whenever it moved.
    const std::pair selected{HasSelection() ? std::min(caret, anchor) : 0,
                             HasSelection() ? std::max(caret, anchor) : 0};
    if (selected != announcedSelection_) {
        announcedSelection_ = selected;
        QAccessibleTextSelectionEvent selection(this, ClampToInt(selected.first),
                                                ClampToInt(selected.second));
        selection.setCursorPosition(ClampToInt(caret));
        AnnounceLogPaneChange(&selection);
    }
    QAccessibleTextCursorEvent cursor(this, ClampToInt(caret));
    AnnounceLogPaneChange(&cursor);
}

void TLogPane::FlushAnnouncements() {
    if (unannouncedFrom_ >= 0) {
        const std::int64_t from = unannouncedFrom_;
        unannouncedFrom_ = -1;
        if (LogPaneAnnouncesChanges())
            NotifyTextChange(from, QString(), AnnouncedText(PosAtOffset(from), store_.End()));
    }
    if (caretUnannounced_)
        NotifyCaret();
    caretUnannounced_ = false;
}

QString TLogPane::AnnouncedText(TextPos from, TextPos to) const {
    if (to < from)
        std::swap(from, to);
    const std::int64_t start = OffsetOf(from);
    if (OffsetOf(to) - start > kAnnounceReach)
        to = PosAtOffset(start + kAnnounceReach);
    return ShownText(store_, from, to);
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
        const QChar c = corvane::ShownCharacter(static_cast<unsigned char>(value));
        characters_[value] = c.unicode();
        const bool control = c.category() == QChar::Other_Control || c == QChar::SoftHyphen;
        if (value == '\n' || value == '\r')
            cells_[value] = Cell::Mark;
        else if (control)
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
    const std::int64_t cell = cursor_.CellOf(pos);
    if (cell < leftColumn_)
        leftColumn_ = cell;
    else if (cell >= leftColumn_ + columns)
        leftColumn_ = cell - columns + 1;
    ClampScroll();
    RequestFrame();
}

QRect TLogPane::CellRect(TextPos pos) const {
    const qreal x = margin_ + static_cast<qreal>(cursor_.CellOf(pos) - leftColumn_) * advance_;
    const std::int64_t y = margin_ + (pos.line - topLine_) * lineHeight_;
    return QRect(static_cast<int>(std::clamp<qreal>(x, INT_MIN / 2, INT_MAX / 2)),
                 static_cast<int>(std::clamp<std::int64_t>(y, INT_MIN / 2, INT_MAX / 2)),
                 qCeil(advance_), lineHeight_);
}

QRect TLogPane::cursorRect() const {
    QRect rect = CellRect(Caret());
    rect.setWidth(1);
    return rect;
}

std::pair<std::int64_t, double> TLogPane::CellAt(QPoint point) const {
    const auto row =
        static_cast<std::int64_t>(std::floor(qreal(point.y() - margin_) / lineHeight_));
    return {topLine_ + row, static_cast<double>(leftColumn_) + (point.x() - margin_) / advance_};
}

TLogPane::TextPos TLogPane::PositionAt(QPoint point) const {
    const auto [line, cell] = CellAt(point);
    return cursor_.NearestTo(line, cell);
}

void TLogPane::SetEdgeRoom(Qt::Edge edge, int size, const QObject* owner) {
    const auto mine = std::find_if(edgeRooms_.begin(), edgeRooms_.end(), [&](const EdgeRoom& room) {
        return room.edge == edge && room.owner == owner;
    });
    if (mine != edgeRooms_.end())
        mine->size = size;
    else
        edgeRooms_.push_back({edge, owner, size});
    int total = 0;
    for (const EdgeRoom& room : edgeRooms_)
        total += room.edge == edge ? room.size : 0;
    QMargins margins = viewportMargins();
    switch (edge) {
    case Qt::LeftEdge:
        margins.setLeft(total);
        break;
    case Qt::RightEdge:
        margins.setRight(total);
        break;
    case Qt::TopEdge:
        margins.setTop(total);
        break;
    case Qt::BottomEdge:
        margins.setBottom(total);
        break;
    }
    setViewportMargins(margins);
}

int TLogPane::EdgeRoomInside(Qt::Edge edge, const QObject* owner) const {
    int inside = 0;
    bool past = false;
    for (const EdgeRoom& room : edgeRooms_) {
        if (room.edge != edge)
            continue;
        if (past)
            inside += room.size;
        past = past || room.owner == owner;
    }
    return inside;
}

void TLogPane::RequestFrame() {
    if (frameTimer_.isActive())
        return;
    const auto since = static_cast<int>(std::min<qint64>(sinceFrame_.elapsed(), kFrameMs));
    frameTimer_.start(kFrameMs - since);
}

void TLogPane::Frame() {
    sinceFrame_.restart();
    FlushAnnouncements();
    SyncScrollBars();
    viewport()->update();
}

void TLogPane::SyncScrollBars() {
    syncingBars_ = true;
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, ClampToInt(MaxTopLine()));
    vertical->setPageStep(VisibleRows());
    vertical->setValue(ClampToInt(topLine_));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, ClampToInt(MaxLeftColumn()));
    horizontal->setPageStep(VisibleColumns());
    horizontal->setSingleStep(3);
    horizontal->setValue(ClampToInt(leftColumn_));
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
    } else if (event->timerId() == tripleClickTimer_.timerId()) {
        tripleClickTimer_.stop();
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
    const corvane::RowCells cells = corvane::RowCellsOf(store_, line, leftColumn_, columns);
    const ByteString& bytes = cells.bytes;
    const auto count = static_cast<std::int64_t>(bytes.size());
    const auto cellX = [&](std::int64_t index) {
        return margin_ + static_cast<qreal>(index) * advance_;
    };

    // The selected cells of this row, as indices into bytes; a selected line break shows as
    // one more selected cell after the line's text.
    std::int64_t selBegin = 0;
    std::int64_t selEnd = 0;
    const auto [from, to] = cursor_.Selection();
    if (from != to && from.line <= line && line <= to.line) {
        const std::int64_t begin = line == from.line ? cursor_.CellOf(from) : 0;
        const std::int64_t end =
            line == to.line ? cursor_.CellOf(to) : store_.LineWidth(line) + 1; // with its break
        selBegin = std::clamp<std::int64_t>(begin - leftColumn_, 0, columns);
        selEnd = std::clamp<std::int64_t>(end - leftColumn_, 0, columns);
        if (selEnd > selBegin)
            painter.fillRect(
                QRectF(cellX(selBegin), y, (selEnd - selBegin) * advance_, lineHeight_),
                colours.brush(group, QPalette::Highlight));
    }

    // The row as one run of text, cells that are not drawn within it blanked; the escapes of a
    // Text view line in a run of their own, drawn muted.
    QString run(static_cast<qsizetype>(count), u' ');
    bool alone = false;
    for (std::int64_t i = 0; i < count; ++i) {
        const auto value = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        if (cells_[value] == Cell::InRun)
            run[i] = QChar(characters_[value]);
        else
            alone = alone || cells_[value] == Cell::Alone || cells_[value] == Cell::Mark;
    }
    QString escapes;
    if (View().view == corvane::DataView::Text && store_.InDataView(line)) {
        escapes = QString(static_cast<qsizetype>(count), u' ');
        for (const auto& [from, to] : cells.escapes)
            for (std::int64_t i = from; i < to; ++i)
                std::swap(run[i], escapes[i]);
    }
    const int baseline = y + ascent_;
    const auto drawPart = [&](const QString& text, std::int64_t begin, std::int64_t end,
                              const QColor& ink) {
        if (end <= begin)
            return;
        painter.setPen(ink);
        painter.drawText(QPointF(cellX(begin), baseline), text.mid(begin, end - begin));
        if (!alone || &text != &run)
            return;
        for (std::int64_t i = begin; i < end; ++i) {
            const auto value = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
            if (cells_[value] == Cell::Alone)
                painter.drawText(QPointF(cellX(i), baseline), QString(QChar(characters_[value])));
            else if (cells_[value] == Cell::Mark)
                DrawBreakMark(painter, QRectF(cellX(i), y, advance_, lineHeight_), value == '\n');
        }
    };
    const std::int64_t textSelBegin = std::min(selBegin, count);
    const std::int64_t textSelEnd = std::min(selEnd, count);
    const auto drawRun = [&](const QString& text, const QColor& ink) {
        drawPart(text, 0, textSelBegin, ink);
        drawPart(text, textSelBegin, textSelEnd, colours.color(group, QPalette::HighlightedText));
        drawPart(text, std::max(textSelEnd, textSelBegin), count, ink);
    };
    drawRun(run, colours.color(group, QPalette::Text));
    if (!escapes.isEmpty())
        drawRun(escapes, MutedInk(colours, group));

    if (Caret().line == line && caretShown_ && hasFocus()) {
        const std::int64_t column = cursor_.CellOf(Caret()) - leftColumn_;
        if (column >= 0 && column <= columns)
            painter.fillRect(QRectF(cellX(column), y, 1, lineHeight_),
                             colours.brush(group, QPalette::Text));
    }
}

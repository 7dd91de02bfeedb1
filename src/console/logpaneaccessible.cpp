// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/logpaneaccessible.h"

#include "console/logpane.h"
#include "logstore/panetext.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// How far along a line a word or sentence is looked for around an offset: a line of megabytes
// is not laid out whole for one question.
constexpr std::int64_t kBoundaryReach = 4096;

QAccessibleInterface* MakeLogPaneAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TLogPane") && object && object->isWidgetType())
        return new TLogPaneAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

LogPaneListener listener = nullptr;

} // namespace

bool LogPaneAnnouncesChanges() {
    return listener || QAccessible::isActive();
}

void AnnounceLogPaneChange(QAccessibleEvent* event) {
    if (listener)
        listener(event);
    else
        QAccessible::updateAccessibility(event);
}

void SetLogPaneListener(LogPaneListener newListener) {
    listener = newListener;
}

void InstallLogPaneAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(MakeLogPaneAccessible);
        return true;
    }();
    (void)installed;
}

TLogPaneAccessible::TLogPaneAccessible(QWidget* widget)
    : QAccessibleWidget(widget, QAccessible::EditableText) {}

TLogPane* TLogPaneAccessible::pane() const {
    return static_cast<TLogPane*>(widget());
}

void* TLogPaneAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TLogPaneAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.multiLine = true;
    state.editable = true;
    state.selectableText = true;
    return state;
}

QString TLogPaneAccessible::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Value)
        return pane()->toPlainText();
    return QAccessibleWidget::text(kind);
}

void TLogPaneAccessible::setText(QAccessible::Text kind, const QString& text) {
    if (kind == QAccessible::Value)
        pane()->ReplaceText({}, pane()->Store().End(), text);
    else
        QAccessibleWidget::setText(kind, text);
}

void TLogPaneAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !pane()->HasSelection())
        return;
    const std::int64_t caret = pane()->OffsetOf(pane()->Caret());
    const std::int64_t anchor = pane()->OffsetOf(pane()->Anchor());
    *startOffset = ClampToInt(std::min(caret, anchor));
    *endOffset = ClampToInt(std::max(caret, anchor));
}

int TLogPaneAccessible::selectionCount() const {
    return pane()->HasSelection() ? 1 : 0;
}

void TLogPaneAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void TLogPaneAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        pane()->SetSelection(pane()->Caret(), pane()->Caret());
}

void TLogPaneAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0)
        pane()->SetSelection(pane()->PosAtOffset(startOffset), pane()->PosAtOffset(endOffset));
}

int TLogPaneAccessible::cursorPosition() const {
    return ClampToInt(pane()->OffsetOf(pane()->Caret()));
}

void TLogPaneAccessible::setCursorPosition(int position) {
    const corvane::TextPos pos = pane()->PosAtOffset(position);
    pane()->SetSelection(pos, pos);
}

QString TLogPaneAccessible::text(int startOffset, int endOffset) const {
    return corvane::ShownText(pane()->Store(), pane()->PosAtOffset(startOffset),
                              pane()->PosAtOffset(endOffset));
}

int TLogPaneAccessible::characterCount() const {
    return ClampToInt(pane()->OffsetOf(pane()->Store().End()));
}

std::pair<int, int> TLogPaneAccessible::Boundary(int offset,
                                                 QAccessible::TextBoundaryType boundary) const {
    const int count = characterCount();
    offset = std::clamp(offset, 0, count);
    const corvane::TextPos pos = pane()->PosAtOffset(offset);
    const std::int64_t lineStart = offset - pos.column;
    const std::int64_t length = pane()->Store().LineLength(pos.line);
    switch (boundary) {
    case QAccessible::CharBoundary:
        return {offset, std::min(offset + 1, count)};
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary:
        // Lines are never wrapped: a line on the screen is a line of the text.
        return {ClampToInt(lineStart), ClampToInt(lineStart + length)};
    case QAccessible::NoBoundary:
        return {0, count};
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary:
        break;
    }
    // Words and sentences as a text edit finds them: within the line, laid out by Qt's own
    // text engine over the part of the line around the offset.
    const std::int64_t from = std::max<std::int64_t>(0, pos.column - kBoundaryReach);
    const std::int64_t to = std::min(length, pos.column + kBoundaryReach);
    QTextDocument piece(corvane::ShownLine(pane()->Store().Line(pos.line, from, to - from)));
    QTextCursor cursor(&piece);
    cursor.setPosition(static_cast<int>(pos.column - from));
    const QPair<int, int> found = QAccessible::qAccessibleTextBoundaryHelper(cursor, boundary);
    return {ClampToInt(lineStart + from + found.first),
            ClampToInt(lineStart + from + found.second)};
}

QString TLogPaneAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int* startOffset, int* endOffset) const {
    const auto [start, end] = Boundary(offset, boundaryType);
    *startOffset = start;
    *endOffset = end;
    return text(start, end);
}

QString TLogPaneAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int* startOffset, int* endOffset) const {
    // The unit that ends where the one at offset begins; at the very start, that one itself,
    // as a text edit answers.
    const int start = Boundary(offset, boundaryType).first;
    return textAtOffset(start > 0 ? start - 1 : offset, boundaryType, startOffset, endOffset);
}

QString TLogPaneAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
    return textAtOffset(Boundary(offset, boundaryType).second, boundaryType, startOffset,
                        endOffset);
}

QRect TLogPaneAccessible::characterRect(int offset) const {
    if (offset < 0 || offset >= characterCount())
        return QRect();
    const QRect cell = pane()->CellRect(pane()->PosAtOffset(offset));
    return QRect(pane()->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

int TLogPaneAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint local = pane()->viewport()->mapFromGlobal(point);
    if (!pane()->viewport()->rect().contains(local))
        return -1;
    return ClampToInt(pane()->OffsetOf(pane()->PositionAt(local)));
}

void TLogPaneAccessible::scrollToSubstring(int startIndex, int endIndex) {
    pane()->EnsureVisible(pane()->PosAtOffset(endIndex));
    pane()->EnsureVisible(pane()->PosAtOffset(startIndex));
}

QString TLogPaneAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    // One font and colour throughout: the whole text is one run of attributes.
    const int count = characterCount();
    if (offset < -2 || offset > count) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    *startOffset = 0;
    *endOffset = count;
    return QStringLiteral("font-family:\"%1\";font-size:%2px;")
        .arg(pane()->font().family())
        .arg(pane()->font().pixelSize());
}

void TLogPaneAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, QString());
}

void TLogPaneAccessible::insertText(int offset, const QString& text) {
    replaceText(offset, offset, text);
}

void TLogPaneAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    pane()->ReplaceKeepingCaret(pane()->PosAtOffset(startOffset), pane()->PosAtOffset(endOffset),
                                text);
}

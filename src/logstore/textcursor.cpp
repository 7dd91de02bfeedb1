// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/textcursor.h"

#include "logstore/tabstops.h"
#include "logstore/wordstops.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

// How far word motion and a double-click look along a line: a word longer than this is taken
// in pieces, so a line of megabytes is never read whole for one key.
constexpr std::int64_t kWordReach = 4096;

} // namespace

TextRange TextCursor::Selection() const {
    return {std::min(anchor_, caret_), std::max(anchor_, caret_)};
}

TextPos TextCursor::NextCharacter(TextPos pos) const {
    pos = store_.Clamp(pos);
    if (pos.column < store_.LineLength(pos.line))
        return {pos.line, pos.column + 1};
    return pos.line + 1 < store_.LineCount() ? TextPos{pos.line + 1, 0} : pos;
}

TextPos TextCursor::PreviousCharacter(TextPos pos) const {
    pos = store_.Clamp(pos);
    if (pos.column > 0)
        return {pos.line, pos.column - 1};
    return pos.line > 0 ? TextPos{pos.line - 1, store_.LineLength(pos.line - 1)} : pos;
}

TextPos TextCursor::NextWord(TextPos pos) const {
    pos = store_.Clamp(pos);
    if (pos.column == store_.LineLength(pos.line))
        return NextCharacter(pos);
    const ByteString after = store_.Line(pos.line, pos.column, kWordReach);
    return {pos.line, pos.column + static_cast<std::int64_t>(NextWordStop(after))};
}

TextPos TextCursor::PreviousWord(TextPos pos) const {
    pos = store_.Clamp(pos);
    if (pos.column == 0)
        return PreviousCharacter(pos);
    const std::int64_t start = std::max<std::int64_t>(0, pos.column - kWordReach);
    const ByteString before = store_.Line(pos.line, start, pos.column - start);
    return {pos.line, start + static_cast<std::int64_t>(PreviousWordStop(before))};
}

TextRange TextCursor::WordAt(TextPos pos) const {
    pos = store_.Clamp(pos);
    const std::int64_t start = std::max<std::int64_t>(0, pos.column - kWordReach);
    const ByteString around = store_.Line(pos.line, start, 2 * kWordReach);
    const Span word = corvane::WordAt(around, static_cast<std::size_t>(pos.column - start));
    return {{pos.line, start + static_cast<std::int64_t>(word.begin)},
            {pos.line, start + static_cast<std::int64_t>(word.end)}};
}

TextRange TextCursor::LineAt(std::int64_t line) const {
    const TextPos start = store_.Clamp({line, 0});
    const bool last = start.line + 1 == store_.LineCount();
    return {start,
            last ? TextPos{start.line, store_.LineLength(start.line)} : TextPos{start.line + 1, 0}};
}

std::int64_t TextCursor::CellOf(TextPos pos) const {
    pos = store_.Clamp(pos);
    if (!store_.HasTabs(pos.line))
        return pos.column;
    // From the mark the store took before the place on a long line, else from the line's start.
    const LineStore::TextMark mark = store_.TextViewMark(pos.line, pos.column);
    if (mark.column < 0)
        return CellAfter(store_.Line(pos.line, 0, pos.column));
    return CellAfter(store_.Line(pos.line, mark.column, pos.column - mark.column), mark.cell);
}

// The end of a line from the mark at or before a cell (its column and cell), holding the byte
// drawn at that cell and the one after it: each byte takes a cell at least.
TextCursor::LineEnd TextCursor::EndFrom(std::int64_t line, double cell) const {
    const auto whole = static_cast<std::int64_t>(std::floor(std::max(0.0, cell)));
    const LineStore::TextMark mark = store_.TextViewMarkAtCell(line, whole);
    const std::int64_t column = std::max<std::int64_t>(mark.column, 0);
    const std::int64_t start = std::max<std::int64_t>(mark.cell, 0);
    return {store_.Line(line, column, whole - start + 2), column, start};
}

TextPos TextCursor::NearestTo(std::int64_t line, double cell) const {
    line = store_.Clamp({line, 0}).line;
    if (store_.HasTabs(line)) {
        const LineEnd end = EndFrom(line, cell);
        return {line, end.column + ColumnNearest(end.text, cell, end.cell)};
    }
    const auto column = static_cast<std::int64_t>(std::floor(std::max(0.0, cell) + 0.5));
    return store_.Clamp({line, column});
}

TextPos TextCursor::CharacterAt(std::int64_t line, double cell) const {
    line = store_.Clamp({line, 0}).line;
    const auto whole = static_cast<std::int64_t>(std::floor(std::max(0.0, cell)));
    if (store_.HasTabs(line)) {
        const LineEnd end = EndFrom(line, cell);
        return {line, end.column + ColumnUnder(end.text, whole, end.cell)};
    }
    return store_.Clamp({line, whole});
}

void TextCursor::SetCaret(TextPos pos, bool extend) {
    caret_ = store_.Clamp(pos);
    if (!extend)
        anchor_ = caret_;
    goalCell_ = CellOf(caret_);
}

void TextCursor::Move(Motion motion, bool extend, std::int64_t pageLines) {
    const auto vertical = [&](std::int64_t lines) {
        const std::int64_t goal = goalCell_;
        SetCaret(NearestTo(caret_.line + lines, static_cast<double>(goal)), extend);
        goalCell_ = goal;
    };
    switch (motion) {
    case Motion::NextCharacter:
        // Without Shift, a selection collapses to its end, as in every text edit.
        SetCaret(!extend && HasSelection() ? Selection().to : NextCharacter(caret_), extend);
        break;
    case Motion::PreviousCharacter:
        SetCaret(!extend && HasSelection() ? Selection().from : PreviousCharacter(caret_), extend);
        break;
    case Motion::NextWord:
        SetCaret(NextWord(caret_), extend);
        break;
    case Motion::PreviousWord:
        SetCaret(PreviousWord(caret_), extend);
        break;
    case Motion::NextLine:
        vertical(1);
        break;
    case Motion::PreviousLine:
        vertical(-1);
        break;
    case Motion::NextPage:
        vertical(std::max<std::int64_t>(1, pageLines));
        break;
    case Motion::PreviousPage:
        vertical(-std::max<std::int64_t>(1, pageLines));
        break;
    case Motion::StartOfLine:
        SetCaret({caret_.line, 0}, extend);
        break;
    case Motion::EndOfLine:
        SetCaret({caret_.line, store_.LineLength(caret_.line)}, extend);
        break;
    case Motion::StartOfText:
        SetCaret({}, extend);
        break;
    case Motion::EndOfText:
        SetCaret(store_.End(), extend);
        break;
    }
}

void TextCursor::MoveTo(TextPos pos, bool extend) {
    SetCaret(pos, extend);
}

void TextCursor::Select(TextPos anchor, TextPos caret) {
    anchor_ = store_.Clamp(anchor);
    SetCaret(caret, true);
}

void TextCursor::SelectAll() {
    Select({}, store_.End());
}

void TextCursor::Press(std::int64_t line, double cell, Unit unit, bool extend) {
    unit_ = unit;
    switch (unit) {
    case Unit::Character:
        SetCaret(NearestTo(line, cell), extend);
        pressed_ = {anchor_, anchor_};
        return;
    case Unit::Word:
        pressed_ = WordAt(CharacterAt(line, cell));
        break;
    case Unit::Line:
        pressed_ = LineAt(line);
        break;
    }
    Select(pressed_.from, pressed_.to);
}

void TextCursor::DragTo(std::int64_t line, double cell) {
    if (unit_ == Unit::Character) {
        SetCaret(NearestTo(line, cell), true);
        return;
    }
    // The pressed unit stays selected; the selection grows by whole units of the text under
    // the pointer, away from the pressed one.
    const TextPos under = CharacterAt(line, cell);
    const TextRange unit = unit_ == Unit::Word ? WordAt(under) : LineAt(under.line);
    if (unit.from < pressed_.from)
        Select(pressed_.to, unit.from);
    else
        Select(pressed_.from, std::max(unit.to, pressed_.to));
}

TextRange TextCursor::DeletionByCharacter(bool forward) const {
    if (HasSelection())
        return Selection();
    return forward ? TextRange{caret_, NextCharacter(caret_)}
                   : TextRange{PreviousCharacter(caret_), caret_};
}

TextRange TextCursor::DeletionByWord(bool forward) const {
    if (HasSelection())
        return Selection();
    return forward ? TextRange{caret_, NextWord(caret_)} : TextRange{PreviousWord(caret_), caret_};
}

void TextCursor::Follow() {
    caret_ = store_.Clamp(caret_);
    anchor_ = store_.Clamp(anchor_);
    pressed_ = {store_.Clamp(pressed_.from), store_.Clamp(pressed_.to)};
}

} // namespace corvane

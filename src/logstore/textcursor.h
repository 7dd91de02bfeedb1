// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The caret and the selection of a pane over a line store, and every rule by which they move:
// by characters, words, lines and pages as the keys move them, and by the characters, words or
// lines that a click, a double-click or a triple-click (and a drag after it) selects. A widget
// only maps its keys and mouse gestures to these calls; nothing here knows of one.
//
// Columns count bytes; cells count what the screen shows (tabstops.h). A place the cursor is
// given is clamped into the text.

#include "logstore/linestore.h"

#include <cstdint>

namespace corvane {

struct TextRange {
    TextPos from;
    TextPos to;
};

class TextCursor {
public:
    explicit TextCursor(const LineStore& store) : store_(store) {}

    enum class Motion {
        NextCharacter,
        PreviousCharacter,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        StartOfLine,
        EndOfLine,
        StartOfText,
        EndOfText,
        NextPage,
        PreviousPage,
    };
    // What a press selects: a caret (a click), a word (a double-click) or a line (a
    // triple-click); a drag after it extends the selection by the same unit.
    enum class Unit { Character, Word, Line };

    // state: the selection runs from the anchor to the caret (empty when they are equal)
    TextPos Caret() const { return caret_; }
    TextPos Anchor() const { return anchor_; }
    bool HasSelection() const { return caret_ != anchor_; }
    TextRange Selection() const; // in text order

    // places, read from the store
    TextPos NextCharacter(TextPos pos) const;
    TextPos PreviousCharacter(TextPos pos) const;
    // Ctrl+Right and Ctrl+Left: to the next start of a word, or over the line break at either
    // end of a line.
    TextPos NextWord(TextPos pos) const;
    TextPos PreviousWord(TextPos pos) const;
    // The run of one class (wordstops.h) that holds the character at pos (the one before it at
    // the line's end), and the line at pos with its line break (none after the last line).
    TextRange WordAt(TextPos pos) const;
    TextRange LineAt(std::int64_t line) const;
    // The cell where pos stands on the screen, and back: the caret place nearest a point cell
    // cells from the line's start, and the character drawn at a cell.
    std::int64_t CellOf(TextPos pos) const;
    TextPos NearestTo(std::int64_t line, double cell) const;
    TextPos CharacterAt(std::int64_t line, double cell) const;

    // moves
    // Moves the caret by motion; extend keeps the anchor (Shift), otherwise the selection goes
    // (and a plain Left or Right collapses it to its start or end). Up, Down and the pages keep
    // the cell the caret had before it crossed shorter lines; a page is pageLines lines.
    void Move(Motion motion, bool extend, std::int64_t pageLines = 1);
    void MoveTo(TextPos pos, bool extend);
    void Select(TextPos anchor, TextPos caret);
    void SelectAll();
    // A press with the pointer cell cells into line (as NearestTo); extend: with Shift.
    void Press(std::int64_t line, double cell, Unit unit, bool extend);
    // The pointer, with the button held since Press, is there now.
    void DragTo(std::int64_t line, double cell);

    // What a deleting key takes away: the selection, or else the character or the word after
    // (forward) or before the caret, the line break included at either end of a line.
    TextRange DeletionByCharacter(bool forward) const;
    TextRange DeletionByWord(bool forward) const;

    // The store changed under the cursor: its places are clamped (or set anew by the caller).
    void Follow();

private:
    struct LineEnd {
        ByteString text;
        std::int64_t column = 0; // where text starts
        std::int64_t cell = 0;   // the cell it is drawn from
    };
    LineEnd EndFrom(std::int64_t line, double cell) const;
    void SetCaret(TextPos pos, bool extend);

    const LineStore& store_;
    TextPos caret_;
    TextPos anchor_;
    std::int64_t goalCell_ = 0; // kept by Up, Down and the pages across shorter lines
    Unit unit_ = Unit::Character;
    TextRange pressed_; // the unit the press selected, which a drag never gives up
};

} // namespace corvane

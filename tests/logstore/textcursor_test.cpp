// SPDX-License-Identifier: GPL-3.0-or-later
// The caret and selection rules of a pane, without a window: keys, clicks, double- and
// triple-clicks with their drags, and the deleting keys, each as a Qt text edit has them.
#include "logstore/tabstops.h"
#include "logstore/textcursor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using corvane::LineStore;
using corvane::TextCursor;
using corvane::TextPos;
using corvane::TextRange;
using Motion = TextCursor::Motion;
using Unit = TextCursor::Unit;

// A store holding the lines given (the last one without a line break).
class Cursor : public ::testing::Test {
protected:
    void Hold(const std::string& text) {
        store.Clear();
        store.Replace({}, {}, text);
        cursor.Follow();
    }
    std::string Selected() const {
        const TextRange range = cursor.Selection();
        return store.Text(range.from, range.to);
    }

    LineStore store;
    TextCursor cursor{store};
};

TEST_F(Cursor, CharactersAndWordsStepOverLineBreaks) {
    Hold("alpha beta_2, gamma\n\nlast");
    cursor.MoveTo({0, 0}, false);
    const TextPos words[] = {{0, 6}, {0, 12}, {0, 14}, {0, 19}, {1, 0}, {2, 0}, {2, 4}, {2, 4}};
    for (const TextPos& stop : words) {
        cursor.Move(Motion::NextWord, false);
        EXPECT_EQ(cursor.Caret(), stop);
    }
    for (const TextPos& stop : {TextPos{2, 0}, TextPos{1, 0}, TextPos{0, 19}, TextPos{0, 14}}) {
        cursor.Move(Motion::PreviousWord, false);
        EXPECT_EQ(cursor.Caret(), stop);
    }
    cursor.MoveTo({0, 19}, false);
    cursor.Move(Motion::NextCharacter, false);
    EXPECT_EQ(cursor.Caret(), (TextPos{1, 0}));
    cursor.Move(Motion::PreviousCharacter, false);
    EXPECT_EQ(cursor.Caret(), (TextPos{0, 19}));
    cursor.MoveTo({}, false);
    cursor.Move(Motion::PreviousCharacter, false);
    EXPECT_EQ(cursor.Caret(), (TextPos{}));

    // Without Shift, Left and Right collapse a selection to its start and its end.
    cursor.Select({0, 2}, {0, 8});
    cursor.Move(Motion::PreviousCharacter, false);
    EXPECT_EQ(cursor.Caret(), (TextPos{0, 2}));
    EXPECT_FALSE(cursor.HasSelection());
    cursor.Select({0, 8}, {0, 2});
    cursor.Move(Motion::NextCharacter, false);
    EXPECT_EQ(cursor.Caret(), (TextPos{0, 8}));
}

TEST_F(Cursor, UpDownAndPagesKeepTheCellAcrossShortLines) {
    Hold("0123456789\nab\n\tx\n0123456789\n0123456789");
    cursor.MoveTo({0, 9}, false);
    cursor.Move(Motion::NextLine, true);
    EXPECT_EQ(cursor.Caret(), (TextPos{1, 2}));
    EXPECT_EQ(cursor.Anchor(), (TextPos{0, 9}));
    // The TAB reaches from cell 0 to 8: cell 9 is the middle of the x after it.
    cursor.Move(Motion::NextLine, true);
    EXPECT_EQ(cursor.Caret(), (TextPos{2, 2}));
    cursor.Move(Motion::NextLine, false);
    EXPECT_EQ(cursor.Caret(), (TextPos{3, 9}));
    cursor.Move(Motion::PreviousPage, false, 3);
    EXPECT_EQ(cursor.Caret(), (TextPos{0, 9}));
    cursor.Move(Motion::NextPage, false, 10);
    EXPECT_EQ(cursor.Caret(), (TextPos{4, 9}));
    cursor.Move(Motion::EndOfLine, false);
    cursor.Move(Motion::StartOfText, true);
    EXPECT_EQ(Selected(), store.Text({}, store.End()));
    cursor.Move(Motion::StartOfLine, false);
    cursor.Move(Motion::EndOfText, false);
    EXPECT_EQ(cursor.Caret(), store.End());
}

TEST_F(Cursor, ClicksFindTheCharacterOrThePlaceUnderThePointer) {
    Hold("-> 01 0A\n\tab");
    // Cell 7.7 is the right half of A, the last character of "0A": the caret goes after it,
    // but the character under the pointer is A itself.
    EXPECT_EQ(cursor.NearestTo(0, 7.7), (TextPos{0, 8}));
    EXPECT_EQ(cursor.CharacterAt(0, 7.7), (TextPos{0, 7}));
    EXPECT_EQ(cursor.NearestTo(0, 7.4), (TextPos{0, 7}));
    EXPECT_EQ(cursor.NearestTo(0, 80), (TextPos{0, 8}));
    EXPECT_EQ(cursor.NearestTo(5, -3), (TextPos{1, 0}));
    // On a line with a TAB: its cells 0-7 are the TAB, the caret goes to its nearer end.
    EXPECT_EQ(cursor.CharacterAt(1, 6.5), (TextPos{1, 0}));
    EXPECT_EQ(cursor.NearestTo(1, 3.9), (TextPos{1, 0}));
    EXPECT_EQ(cursor.NearestTo(1, 4.1), (TextPos{1, 1}));
    EXPECT_EQ(cursor.CharacterAt(1, 8.2), (TextPos{1, 1}));
    EXPECT_EQ(cursor.CellOf({1, 2}), 9);
}

TEST_F(Cursor, DoubleClickSelectsTheWordUnderThePointerAndItsDragGrowsByWords) {
    Hold("-> 01 0A FF\nnext line, here");
    cursor.Press(0, 7.7, Unit::Word, false);
    EXPECT_EQ(Selected(), "0A");

    cursor.DragTo(0, 9.2); // onto the F of FF
    EXPECT_EQ(Selected(), "0A FF");
    cursor.DragTo(1, 6.0); // onto "line"
    EXPECT_EQ(Selected(), "0A FF\nnext line");
    cursor.DragTo(0, 3.2); // back before the pressed word: onto "01"
    EXPECT_EQ(Selected(), "01 0A");
    EXPECT_EQ(cursor.Caret(), (TextPos{0, 3}));
    EXPECT_EQ(cursor.Anchor(), (TextPos{0, 8}));
    cursor.DragTo(0, 6.5); // within the pressed word: just that word
    EXPECT_EQ(Selected(), "0A");
    cursor.DragTo(0, 40); // past the end of the line: to its end
    EXPECT_EQ(Selected(), "0A FF");
}

TEST_F(Cursor, TripleClickSelectsTheLineAndItsDragGrowsByLines) {
    Hold("first\nsecond\nthird\nlast");
    cursor.Press(1, 2.0, Unit::Line, false);
    EXPECT_EQ(Selected(), "second\n");
    cursor.DragTo(2, 1.0);
    EXPECT_EQ(Selected(), "second\nthird\n");
    cursor.DragTo(0, 3.0);
    EXPECT_EQ(Selected(), "first\nsecond\n");
    cursor.DragTo(3, 4.0);
    EXPECT_EQ(Selected(), "second\nthird\nlast");
    cursor.Press(3, 0.0, Unit::Line, false);
    EXPECT_EQ(Selected(), "last") << "the last line has no line break to take";

    // A plain click then drags by characters, and Shift with a click extends.
    cursor.Press(0, 1.0, Unit::Character, false);
    EXPECT_FALSE(cursor.HasSelection());
    cursor.DragTo(1, 2.0);
    EXPECT_EQ(Selected(), "irst\nse");
    cursor.Press(2, 1.0, Unit::Character, true);
    EXPECT_EQ(Selected(), "irst\nsecond\nt");
}

TEST_F(Cursor, DeletingKeysTakeTheLineBreakAtEitherEndOfALine) {
    Hold("one two\nthree");
    cursor.MoveTo({1, 0}, false);
    const TextRange backWord = cursor.DeletionByWord(false);
    EXPECT_EQ(backWord.from, (TextPos{0, 7}));
    EXPECT_EQ(backWord.to, (TextPos{1, 0}));
    cursor.MoveTo({0, 7}, false);
    const TextRange word = cursor.DeletionByWord(true);
    EXPECT_EQ(word.from, (TextPos{0, 7}));
    EXPECT_EQ(word.to, (TextPos{1, 0}));
    EXPECT_EQ(cursor.DeletionByCharacter(true).to, (TextPos{1, 0}));
    cursor.MoveTo({0, 4}, false);
    EXPECT_EQ(cursor.DeletionByWord(false).from, (TextPos{0, 0}));
    EXPECT_EQ(cursor.DeletionByWord(true).to, (TextPos{0, 7}));
    EXPECT_EQ(cursor.DeletionByCharacter(false).from, (TextPos{0, 3}));
    // A selection is what every deleting key takes.
    cursor.Select({1, 3}, {0, 2});
    for (bool forward : {false, true})
        for (const TextRange& range :
             {cursor.DeletionByWord(forward), cursor.DeletionByCharacter(forward)}) {
            EXPECT_EQ(range.from, (TextPos{0, 2}));
            EXPECT_EQ(range.to, (TextPos{1, 3}));
        }
}

TEST(TabStops, CellsAndColumnsOfALine) {
    using corvane::CellAfter;
    using corvane::ColumnNearest;
    using corvane::ColumnUnder;
    EXPECT_EQ(CellAfter(""), 0);
    EXPECT_EQ(CellAfter("abc"), 3);
    EXPECT_EQ(CellAfter("\t"), 8);
    EXPECT_EQ(CellAfter("1234567\t"), 8);
    EXPECT_EQ(CellAfter("12345678\t"), 16);
    EXPECT_EQ(CellAfter("a\tb\tc"), 17);
    // Tab-separated columns line up: each field starts at the same cell.
    EXPECT_EQ(CellAfter("x\t"), CellAfter("longer\t"));
    const std::string line = "ab\tc";
    const std::int64_t under[] = {0, 1, 2, 2, 2, 2, 2, 2, 3, 4, 4};
    for (std::int64_t cell = 0; cell < 11; ++cell)
        EXPECT_EQ(ColumnUnder(line, cell), under[cell]) << cell;
    EXPECT_EQ(ColumnNearest(line, 0.4), 0);
    EXPECT_EQ(ColumnNearest(line, 1.6), 2);
    EXPECT_EQ(ColumnNearest(line, 4.9), 2);
    EXPECT_EQ(ColumnNearest(line, 5.0), 3);
    EXPECT_EQ(ColumnNearest(line, 8.6), 4);
    EXPECT_EQ(ColumnNearest(line, 99), 4);
}

} // namespace

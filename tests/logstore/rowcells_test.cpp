// SPDX-License-Identifier: GPL-3.0-or-later
// Long data lines of the Text view, marked as the store renders them: every reader of some of
// their columns or cells (a row's text, its cells and escapes, the caret's cell and back) finds
// what the whole line gives, wherever the view cuts a character, an escape or a tab's cells.
#include "logstore/dataview.h"
#include "logstore/linestore.h"
#include "logstore/rowcells.h"
#include "logstore/tabstops.h"
#include "logstore/textcursor.h"
#include "mixedbytes.h"
#include "payload/hexcodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

using namespace corvane;

namespace {

// A line rendered whole, with the cell of each of its columns and its escapes, walked from its
// start.
struct WholeLine {
    explicit WholeLine(ByteString line) : text(std::move(line)), escapes(EscapesIn(text)) {
        std::int64_t cell = 0;
        for (const char byte : text) {
            cellAt.push_back(cell);
            cell = CellAfter(byte, cell);
        }
        cellAt.push_back(cell);
    }

    // Its row of cells [first, first + count), walked from the column that holds the first.
    RowCells Row(std::int64_t first, std::int64_t count) const {
        RowCells row;
        auto column = static_cast<std::size_t>(
            std::upper_bound(cellAt.begin(), cellAt.end(), first) - cellAt.begin());
        column = column > 0 ? column - 1 : 0;
        for (std::int64_t cell = cellAt[column]; column < text.size(); ++column) {
            const char byte = text[column];
            for (const std::int64_t next = CellAfter(byte, cell); cell < next; ++cell)
                if (cell >= first && cell < first + count)
                    row.bytes.push_back(byte == '\t' ? ' ' : byte);
            if (cell >= first + count)
                break;
        }
        const auto shown = static_cast<std::int64_t>(row.bytes.size());
        for (const auto& [from, to] : escapes) {
            const std::int64_t begin = cellAt[static_cast<std::size_t>(from)] - first;
            const std::int64_t end = std::min(cellAt[static_cast<std::size_t>(to)] - first, shown);
            if (begin < shown && end > std::max<std::int64_t>(begin, 0))
                row.escapes.emplace_back(std::max<std::int64_t>(begin, 0), end);
        }
        return row;
    }

    ByteString text;
    std::vector<std::pair<std::int64_t, std::int64_t>> escapes;
    std::vector<std::int64_t> cellAt;
};

// Line 0 holds tabs, line 1 none; each is several pieces long.
class MarkedTextView : public ::testing::TestWithParam<TextEncoding> {
protected:
    void SetUp() override {
        ByteString untabbed = MixedBytes(90'000, 5);
        std::replace(untabbed.begin(), untabbed.end(), '\t', 'T');
        store_.AppendLine("-> " + StrToHexView(MixedBytes(120'000, 11)), 0);
        store_.AppendLine("<- " + StrToHexView(untabbed), 0);
        store_.SetView({DataView::Text, GetParam()});
    }

    // The line as rendered whole, which marks it.
    ByteString Whole(std::int64_t line) { return store_.Line(line); }

    // Places (columns or cells) to look at: around every third mark, at the line's ends and at
    // random.
    std::vector<std::int64_t> Places(std::int64_t line, std::int64_t end,
                                     std::int64_t LineStore::TextMark::*of) const {
        std::vector<std::int64_t> places = {0, 1, 3, 4, 5, end - 90, end - 1, end};
        int marks = 0;
        for (std::int64_t at = store_.LineLength(line); at >= 0; ++marks) {
            const LineStore::TextMark mark = store_.TextViewMark(line, at);
            if (mark.column < 0)
                break;
            for (std::int64_t near = -5; near <= 5 && marks % 3 == 0; ++near)
                places.push_back(mark.*of + near);
            at = mark.column - 1;
        }
        std::mt19937 random(7);
        std::uniform_int_distribution<std::int64_t> anywhere(0, end);
        for (int i = 0; i < 60; ++i)
            places.push_back(anywhere(random));
        std::erase_if(places, [&](std::int64_t place) { return place < 0 || place > end; });
        return places;
    }

    LineStore store_;
};

TEST_P(MarkedTextView, LengthsWidthsAndMarksAreThoseOfTheWholeLine) {
    for (const std::int64_t line : {0, 1}) {
        const ByteString whole = Whole(line);
        EXPECT_EQ(store_.LineLength(line), static_cast<std::int64_t>(whole.size()));
        EXPECT_EQ(store_.LineWidth(line), CellAfter(whole));
        EXPECT_EQ(store_.HasTabs(line), whole.find('\t') != ByteString::npos);
        int marks = 0;
        for (std::int64_t at = store_.LineLength(line); at >= 0; ++marks) {
            const LineStore::TextMark mark = store_.TextViewMark(line, at);
            if (mark.column < 0)
                break;
            ASSERT_LE(mark.column, at);
            EXPECT_EQ(mark.cell, CellAfter(std::string_view(whole).substr(
                                     0, static_cast<std::size_t>(mark.column))));
            const LineStore::TextMark byCell = store_.TextViewMarkAtCell(line, mark.cell);
            EXPECT_EQ(byCell.column, mark.column);
            EXPECT_EQ(byCell.byte, mark.byte);
            at = mark.column - 1;
        }
        EXPECT_GE(marks, 3) << "line " << line;
    }
}

TEST_P(MarkedTextView, ColumnsAreReadFromTheMarkAsTheWholeLineShowsThem) {
    for (const std::int64_t line : {0, 1}) {
        // Before the line is marked, and after.
        const std::int64_t deep = 60'001;
        const ByteString before = store_.Line(line, deep, 300);
        const ByteString whole = Whole(line);
        EXPECT_EQ(before, whole.substr(deep, 300));
        const auto length = static_cast<std::int64_t>(whole.size());
        for (const std::int64_t column : Places(line, length, &LineStore::TextMark::column))
            for (const std::int64_t count : {1, 4, 81, 300})
                ASSERT_EQ(
                    store_.Line(line, column, count),
                    whole.substr(static_cast<std::size_t>(column), static_cast<std::size_t>(count)))
                    << "line " << line << ", columns " << column << " + " << count;
    }
}

TEST_P(MarkedTextView, RowsInViewHaveTheWholeLinesCellsAndEscapes) {
    for (const std::int64_t line : {0, 1}) {
        const WholeLine whole(Whole(line));
        const std::int64_t width = whole.cellAt.back();
        for (const std::int64_t first : Places(line, width, &LineStore::TextMark::cell)) {
            const RowCells row = RowCellsOf(store_, line, first, 81);
            const RowCells expected = whole.Row(first, 81);
            ASSERT_EQ(row.bytes, expected.bytes) << "line " << line << ", cell " << first;
            ASSERT_EQ(row.escapes, expected.escapes) << "line " << line << ", cell " << first;
        }
    }
}

TEST_P(MarkedTextView, TheCaretsCellsAreThoseOfTheWholeLine) {
    const TextCursor cursor(store_);
    for (const std::int64_t line : {0, 1}) {
        const ByteString whole = Whole(line);
        const auto length = static_cast<std::int64_t>(whole.size());
        for (const std::int64_t column : Places(line, length, &LineStore::TextMark::column))
            ASSERT_EQ(cursor.CellOf({line, column}), CellAfter(std::string_view(whole).substr(
                                                         0, static_cast<std::size_t>(column))))
                << "line " << line << ", column " << column;
        const std::int64_t width = CellAfter(whole);
        for (const std::int64_t cell : Places(line, width + 3, &LineStore::TextMark::cell)) {
            for (const double point : {cell + 0.2, cell + 0.5, cell + 0.9}) {
                ASSERT_EQ(cursor.NearestTo(line, point),
                          (TextPos{line, ColumnNearest(whole, point)}))
                    << "line " << line << ", cell " << point;
                ASSERT_EQ(cursor.CharacterAt(line, point),
                          (TextPos{line, ColumnUnder(whole, static_cast<std::int64_t>(point))}))
                    << "line " << line << ", cell " << point;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, MarkedTextView,
                         ::testing::Values(TextEncoding::Utf8, TextEncoding::Windows1251));

} // namespace

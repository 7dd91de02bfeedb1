// SPDX-License-Identifier: GPL-3.0-or-later
// Find in the data lines of the Text and the Hex and Text views, a piece at a time: whatever the
// pieces, and wherever the columns in view, the matches are those of the whole line, found in
// the line as the view shows it and in its bytes where the view shows them.
#include "findfixtures.h"
#include "logstore/dataview.h"
#include "logstore/linefind.h"
#include "logstore/linestore.h"
#include "mixedbytes.h"
#include "payload/hexcodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

using namespace corvane;

namespace {

constexpr std::array<PaneView, 3> kViews = {{{DataView::Text, TextEncoding::Utf8},
                                             {DataView::Text, TextEncoding::Windows1251},
                                             {DataView::HexAndText, TextEncoding::Utf8}}};

// Plain text (escapes, a backslash, letters in any case) and hex bytes: a CR LF, a Cyrillic
// letter's two bytes and one of them alone, bytes that are also text ("AB"), a control byte.
constexpr std::array<const char*, 10> kQueries = {
    "0d 0a", "d0 9f", "9f", "ab", "AB", "41 42", "1b 5b", "x0D", "\\\\", "ok",
};

// The whole line's matches, found as the view was first searched: the text as the view shows the
// whole line, the bytes mapped to columns byte by byte, the two together left to right without
// overlapping, at one place the longer.
std::vector<Match> WholeLine(const LineStore& store, const FindQuery& query, std::int64_t line) {
    const ByteString text = store.Line(line);
    std::vector<Match> all;
    query.MatchesInText(text, line, &all);
    ByteString bytes;
    const std::int64_t prefix = store.DataBytes(line, bytes).value();
    const ByteString& sought = query.HexBytes();
    const PaneView view = store.View();
    const auto shown = static_cast<std::int64_t>(bytes.size() - LineEndLength(bytes));
    TextColumns columns(view.encoding, shown, 0, 1);
    columns.Read(bytes, 0);
    std::vector<std::pair<std::int64_t, std::int64_t>> of;
    for (std::int64_t at = 0; at < static_cast<std::int64_t>(bytes.size()); ++at)
        of.push_back(view.view == DataView::Text ? columns.Of(at)
                                                 : std::pair{3 * at + 1, 3 * at + 3});
    for (std::size_t at = sought.empty() ? ByteString::npos : bytes.find(sought);
         at != ByteString::npos; at = bytes.find(sought, at + sought.size())) {
        const std::int64_t from = of[at].first;
        const std::int64_t to = of[at + sought.size() - 1].second;
        if (to > from)
            all.push_back({{line, prefix + from}, to - from});
    }
    std::sort(all.begin(), all.end(), [](const Match& a, const Match& b) {
        return a.from.column != b.from.column ? a.from.column < b.from.column : a.length > b.length;
    });
    std::vector<Match> matches;
    for (const Match& match : all)
        if (matches.empty() || match.from.column >= matches.back().To().column)
            matches.push_back(match);
    return matches;
}

std::vector<Match> InPieces(const LineStore& store, const FindQuery& query, std::int64_t line,
                            std::int64_t bytes) {
    std::vector<Match> matches;
    FindQuery::LineScan scan{line};
    std::size_t count = 0;
    do {
        count += query.ScanPiece(store, scan, bytes, &matches);
    } while (!scan.Done());
    EXPECT_EQ(count, matches.size());
    EXPECT_EQ(scan.next, store.LineLength(line)) << "a scan ends at the line's end";
    return matches;
}

// Data lines of mixed bytes, each kept packed, but the last, of a few bytes kept as text;
// several end in CR LF or in half of one.
class FindInView : public testing::Test {
protected:
    void SetUp() override {
        const std::array<std::pair<std::size_t, const char*>, 6> lines = {{
            {700, "\r\n"},
            {1500, ""},
            {333, "\r"},
            {40, "\r\n"},
            {2, "\r\n"},
            {3, ""},
        }};
        std::uint32_t seed = 7;
        for (const auto& [size, end] : lines) {
            bytes_.push_back(MixedBytes(size, seed++) + end);
            store_.AppendLine((seed % 2 ? "-> " : "-> (127.0.0.5) :") + StrToHexView(bytes_.back()),
                              0);
        }
        store_.AppendLine("AB ok 0D 0A \\x0D plain", 0);
    }

    LineStore store_;
    std::vector<ByteString> bytes_;
};

TEST_F(FindInView, PiecesOfAnySizeFindWhatTheWholeLineFinds) {
    for (const PaneView view : kViews) {
        store_.SetView(view);
        for (const char* text : kQueries) {
            const FindQuery query(text, {});
            for (std::int64_t line = 0; line + 1 < store_.LineCount() - 1; ++line) {
                const std::vector<Match> whole = WholeLine(store_, query, line);
                EXPECT_EQ(query.MatchesIn(store_, line, line), whole)
                    << text << " in line " << line << ", view " << static_cast<int>(view.view);
                for (const std::int64_t piece : {1, 2, 5, 64, 333}) {
                    EXPECT_EQ(InPieces(store_, query, line, piece), whole)
                        << text << " in line " << line << ", pieces of " << piece << ", view "
                        << static_cast<int>(view.view) << '/' << static_cast<int>(view.encoding);
                }
            }
        }
    }
}

TEST_F(FindInView, TheColumnsInViewFindWhatTheWholeLineFindsThere) {
    for (const PaneView view : kViews) {
        store_.SetView(view);
        for (const char* text : kQueries) {
            const FindQuery query(text, {});
            for (std::int64_t line = 0; line < store_.LineCount() - 1; ++line) {
                const std::vector<Match> whole = query.MatchesIn(store_, line, line);
                const std::int64_t length = store_.LineLength(line);
                for (std::int64_t from :
                     {std::int64_t{0}, std::int64_t{3}, length / 3, length / 2 + 1, length - 40}) {
                    from = std::max<std::int64_t>(from, 0);
                    const std::int64_t to = from + 80;
                    EXPECT_EQ(query.MatchesInColumns(store_, line, from, to),
                              WithinColumns(whole, from, to))
                        << text << " in line " << line << " from " << from << ", view "
                        << static_cast<int>(view.view) << '/' << static_cast<int>(view.encoding);
                }
            }
        }
    }
}

// Hand-checked places: a match across a UTF-8 letter's bytes takes the letter's column, one of
// its bytes alone takes it too, and bytes that are also text are one match where both are.
TEST(FindInViewByHand, BytesAreMarkedWhereTheViewShowsThem) {
    LineStore store;
    store.AppendLine("-> " + StrToHexView("\xD0\x9F"
                                          "AB\x1B\\\r\n"),
                     0);
    store.SetView(kViews[0]);
    ASSERT_EQ(store.Line(0), "->  \xCF"
                             "AB\\x1B\\\\");
    const auto find = [&](const char* text) { return FindQuery(text, {}).MatchesIn(store, 0, 0); };
    EXPECT_EQ(find("9f"), std::vector{At(0, 4, 1)});
    EXPECT_EQ(find("9f 41"), std::vector{At(0, 4, 2)});
    EXPECT_EQ(find("41 42"), std::vector{At(0, 5, 2)});
    EXPECT_EQ(find("ab"), std::vector{At(0, 5, 2)}) << "the text AB, not the byte AB";
    EXPECT_EQ(find("1b 5c"), std::vector{At(0, 7, 6)});
    EXPECT_EQ(find("5c 0d 0a"), std::vector{At(0, 11, 2)}) << "the line end takes nothing";
    EXPECT_TRUE(find("0d 0a").empty());
    store.SetView(kViews[2]);
    EXPECT_EQ(find("9f 41"), std::vector{At(0, 7, 5)});
    EXPECT_EQ(find("0d 0a"), std::vector{At(0, 22, 5)});
}

// Long lines in the Text view: the walk and the count go through them a piece at a time, stopping
// inside them, and still see and number every match of the whole line.
TEST(FindInViewByHand, TheWalkAndTheCountGoThroughALongLineInPieces) {
    LineStore store;
    const ByteString bytes = MixedBytes(400'000, 3);
    store.AppendLine("-> " + StrToHexView(bytes), 0);
    store.AppendLine("-> " + StrToHexView(bytes.substr(0, 190'000)), 0);
    store.SetView(kViews[0]);
    const FindQuery query("d0 9f", {});
    const std::vector<Match> all = query.MatchesIn(store, 0, store.LineCount() - 1);
    const std::vector<Match> first = WholeLine(store, query, 0);
    std::vector<Match> whole = first;
    const std::vector<Match> second = WholeLine(store, query, 1);
    whole.insert(whole.end(), second.begin(), second.end());
    ASSERT_EQ(all, whole);
    ASSERT_GT(all.size(), 250u);

    // The columns in view, deep in the line, before and after the store rendered it whole.
    const std::int64_t length = store.LineLength(0);
    for (const std::int64_t from : {length / 5, length / 2 + 3, length - 100}) {
        store.SetView({}); // which lets the marks go
        store.SetView(kViews[0]);
        ASSERT_EQ(store.TextViewMark(0, from).column, -1);
        EXPECT_EQ(query.MatchesInColumns(store, 0, from, from + 200),
                  WithinColumns(first, from, from + 200))
            << "from " << from;
        ASSERT_EQ(store.Line(0).size(), static_cast<std::size_t>(length));
        EXPECT_EQ(query.MatchesInColumns(store, 0, from, from + 200),
                  WithinColumns(first, from, from + 200))
            << "from " << from << ", marked";
    }

    MatchCounter counter(query);
    int steps = 0;
    while (!counter.Step(store, FindClock::time_point::min()))
        ++steps;
    EXPECT_GT(steps, 2) << "slices that end inside the lines";
    EXPECT_EQ(counter.Total(store), static_cast<std::int64_t>(all.size()));
    for (std::size_t i = 0; i < all.size(); i += 97)
        EXPECT_EQ(counter.NumberOf(store, all[i]), static_cast<std::int64_t>(i + 1));

    // Forward from a match's end and backward from its start, each in slices.
    for (const std::size_t i : {std::size_t{0}, all.size() / 2, all.size() - 2}) {
        MatchWalk forward(query, all[i].To(), MatchWalk::Direction::Forward);
        while (!forward.Step(store, FindClock::time_point::min())) {
        }
        EXPECT_EQ(forward.Result(), all[i + 1]);
        MatchWalk backward(query, all[i + 1].from, MatchWalk::Direction::Backward);
        while (!backward.Step(store, FindClock::time_point::min())) {
        }
        EXPECT_EQ(backward.Result(), all[i]);
    }
}

} // namespace

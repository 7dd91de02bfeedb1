// SPDX-License-Identifier: GPL-3.0-or-later
// Find over a line store: what matches (case, Cyrillic, hex bytes), the walk to the next and the
// previous match round the ends, and the count with the number of a match, over spooled lines
// and lines arriving between steps.
#include "findfixtures.h"
#include "logstore/linefind.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace corvane;

namespace {

std::vector<Match> Matches(const FindQuery& query, std::string_view text) {
    std::vector<Match> matches;
    query.MatchesInText(text, 0, &matches);
    return matches;
}

TEST(FindQuery, MatchesPlainTextWithAndWithoutCase) {
    const FindQuery anyCase("ab", {});
    EXPECT_EQ(Matches(anyCase, "xAbab aB"), (std::vector{At(0, 1, 2), At(0, 3, 2), At(0, 6, 2)}));
    const FindQuery exact("ab", {.matchCase = true});
    EXPECT_EQ(Matches(exact, "xAbab aB"), std::vector{At(0, 3, 2)});

    // Cyrillic in Windows-1251: "Ошибка" found as "ОШИБКА", Ё as ё.
    const FindQuery cyrillic("\xEE\xF8\xE8\xE1\xEA\xE0 \xB8", {});
    EXPECT_EQ(Matches(cyrillic, "1 \xCE\xD8\xC8\xC1\xCA\xC0 \xA8"), std::vector{At(0, 2, 8)});
    EXPECT_TRUE(Matches(FindQuery("\xEE", {.matchCase = true}), "\xCE").empty());

    // A text without letters matches the same in any case; a letter beside it still folds.
    EXPECT_EQ(Matches(FindQuery("127.0", {}), "-> (127.0.0.1)"), std::vector{At(0, 4, 5)});
    EXPECT_EQ(Matches(FindQuery("(127.0.0.1) :", {}), "-> (127.0.0.1) : 0A"),
              std::vector{At(0, 3, 13)});
    EXPECT_EQ(Matches(FindQuery("1) : 0a", {}), "-> (127.0.0.1) : 0A"), std::vector{At(0, 12, 7)});

    // Left to right, never overlapping; nothing for an empty text.
    EXPECT_EQ(Matches(FindQuery("aa", {}), "aaaaa"), (std::vector{At(0, 0, 2), At(0, 2, 2)}));
    EXPECT_TRUE(Matches(FindQuery("", {}), "anything").empty());
}

TEST(FindQuery, FoldsTheLettersAndOnlyTheLettersWhereverTheyStandInALine) {
    // Lines are folded a word of eight bytes at a time: each ASCII byte is tried at every place
    // of a word and of the word after it, followed by a Q so that the query has a letter (a query
    // without one leaves lines unfolded). Flipping the 0x20 bit finds a letter's other case, and
    // nothing for any other byte.
    for (int byte = 1; byte < 0x80; ++byte) {
        if (byte == ' ')
            continue;
        const char c = static_cast<char>(byte);
        const bool letter = (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
        const std::string flipped{static_cast<char>(byte ^ 0x20), 'q'};
        for (std::int64_t at = 0; at < 17; ++at) {
            std::string line(24, ' ');
            line[static_cast<std::size_t>(at)] = c;
            line[static_cast<std::size_t>(at) + 1] = 'Q';
            EXPECT_EQ(Matches(FindQuery(std::string{c, 'q'}, {}), line), std::vector{At(0, at, 2)})
                << "byte " << byte << " at " << at;
            EXPECT_EQ(Matches(FindQuery(flipped, {}), line),
                      letter ? std::vector{At(0, at, 2)} : std::vector<Match>{})
                << "byte " << byte << " at " << at;
        }
    }
}

TEST(FindQuery, HexTextFindsWholeByteGroupsOfTheHexView) {
    const ByteString line = "-> (127.0.0.1) : 31 0D 0A 0D 0A";
    // Typed in lower case with Match case on: the bytes are found all the same, as whole groups.
    const FindQuery crlf("0d 0a", {.matchCase = true});
    EXPECT_EQ(crlf.HexBytes(), ByteString("\x0D\x0A"));
    EXPECT_EQ(Matches(crlf, line), (std::vector{At(0, 20, 5), At(0, 26, 5)}));
    // One-digit tokens and extra spaces are bytes too.
    EXPECT_EQ(Matches(FindQuery("d  a", {.matchCase = true}), line),
              (std::vector{At(0, 20, 5), At(0, 26, 5)}));
    // "1 0" is text in the address and the groups "31 0D": as bytes it is 01 00, in no group.
    EXPECT_EQ(Matches(FindQuery("1 0", {.matchCase = true}), line), std::vector{At(0, 18, 3)});
    // The bytes of a group never match across a group's middle: "D 0A" in " 0D 0A" starts on the
    // second digit; typed as bytes it is 0D 0A, found where the groups start.
    EXPECT_EQ(Matches(FindQuery("D 0A", {.matchCase = true}), line),
              (std::vector{At(0, 20, 5), At(0, 26, 5)}));
    // Text and bytes at one place are one match.
    EXPECT_EQ(Matches(FindQuery("31", {.matchCase = true}), "31: 31"),
              (std::vector{At(0, 0, 2), At(0, 4, 2)}));
}

// A store of numbered lines, "n: -> 0D 0A" on every tenth and "n: text" on the others.
void Fill(LineStore& store, int from, int to) {
    for (int number = from; number < to; ++number)
        store.AppendLine(std::to_string(number) + (number % 10 == 0 ? ": -> 0D 0A" : ": text"),
                         number);
}

Match Walk(const LineStore& store, const FindQuery& query, TextPos from,
           MatchWalk::Direction direction, bool* wrapped = nullptr) {
    MatchWalk walk(query, from, direction);
    EXPECT_TRUE(walk.Step(store, kNoDeadline));
    EXPECT_TRUE(walk.Result().has_value());
    if (wrapped)
        *wrapped = walk.Wrapped();
    return walk.Result().value_or(Match{});
}

TEST(MatchWalk, StepsForwardAndBackWrappingRoundTheEnds) {
    LineStore store;
    Fill(store, 0, 100);
    const FindQuery query("0d 0a", {});
    bool wrapped = true;
    // From the caret on line 5: the next is on line 10, where the view starts after "10: ->".
    const Match next = Walk(store, query, {5, 0}, MatchWalk::Direction::Forward, &wrapped);
    EXPECT_EQ(next, At(10, 7, 5));
    EXPECT_FALSE(wrapped);
    // From a match's end, the one after it; from its start backwards, the one before it.
    EXPECT_EQ(Walk(store, query, next.To(), MatchWalk::Direction::Forward), At(20, 7, 5));
    EXPECT_EQ(Walk(store, query, next.from, MatchWalk::Direction::Backward), At(0, 6, 5));
    // Round the ends.
    EXPECT_EQ(Walk(store, query, {95, 0}, MatchWalk::Direction::Forward, &wrapped), At(0, 6, 5));
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(Walk(store, query, {0, 6}, MatchWalk::Direction::Backward, &wrapped), At(90, 7, 5));
    EXPECT_TRUE(wrapped);

    // The only match is found again from its own end, going round once.
    LineStore one;
    one.AppendLine("a needle here", 0);
    const Match only = Walk(one, FindQuery("needle", {}), {0, 8}, MatchWalk::Direction::Forward);
    EXPECT_EQ(only, At(0, 2, 6));
    EXPECT_EQ(Walk(one, FindQuery("needle", {}), {0, 2}, MatchWalk::Direction::Backward), only);

    // None at all: the walk ends without one.
    MatchWalk none(FindQuery("absent", {}), {50, 0}, MatchWalk::Direction::Forward);
    EXPECT_TRUE(none.Step(store, kNoDeadline));
    EXPECT_FALSE(none.Result().has_value());
}

TEST(MatchWalk, GoesOnAcrossStepsAndFindsLinesThatArriveMeanwhile) {
    LineStore store;
    Fill(store, 1, 5000); // no line 0: the first match is on line 9 (number 10)
    MatchWalk walk(FindQuery("needle", {}), {0, 0}, MatchWalk::Direction::Forward);
    // A deadline already past: each step searches a few hundred lines and stops.
    int steps = 0;
    while (!walk.Step(store, FindClock::time_point::min())) {
        if (++steps == 3)
            store.AppendLine("the needle at last", 0);
    }
    EXPECT_GE(steps, 3);
    ASSERT_TRUE(walk.Result().has_value());
    EXPECT_EQ(*walk.Result(), At(4999, 4, 6));
}

TEST(MatchWalk, StartsAgainFromItsPlaceWhenTheTextIsRewritten) {
    LineStore store;
    Fill(store, 0, 3000);
    MatchWalk walk(FindQuery("needle", {}), {2995, 0}, MatchWalk::Direction::Forward);
    EXPECT_FALSE(walk.Step(store, FindClock::time_point::min()));
    store.Clear();
    store.AppendLine("x", 0);
    store.AppendLine("a needle", 0);
    ASSERT_TRUE(walk.Step(store, kNoDeadline));
    // From the place clamped into the new text (its last line), round to the top.
    EXPECT_EQ(walk.Result(), At(1, 2, 6));
}

TEST(MatchCounter, CountsAllMatchesAndNumbersThemAsLinesArrive) {
    LineStore store;
    Fill(store, 0, 10'000);
    const FindQuery query("0D 0a", {.matchCase = true});
    MatchCounter counter(query);
    EXPECT_FALSE(counter.NumberOf(store, At(9990, 9, 5)).has_value()) << "not counted yet";
    int steps = 0;
    while (!counter.Step(store, FindClock::time_point::min()))
        ++steps;
    EXPECT_GT(steps, 10) << "the count went in steps";
    EXPECT_TRUE(counter.CaughtUp(store));
    EXPECT_EQ(counter.Total(store), 1000);
    EXPECT_EQ(counter.NumberOf(store, At(0, 6, 5)), 1);
    EXPECT_EQ(counter.NumberOf(store, At(4100, 9, 5)), 411) << "past a block of 4096 lines";
    EXPECT_EQ(counter.NumberOf(store, At(9990, 9, 5)), 1000);
    EXPECT_FALSE(counter.NumberOf(store, At(9990, 8, 5)).has_value()) << "no match there";

    // Lines arrive: the count falls behind and catches up with them.
    Fill(store, 10'000, 10'100);
    EXPECT_FALSE(counter.CaughtUp(store));
    EXPECT_TRUE(counter.Step(store, kNoDeadline));
    EXPECT_EQ(counter.Total(store), 1010);
    // A line the operator types into after the count: counted afresh.
    store.Replace(store.End(), store.End(), " 0D 0A", 0);
    EXPECT_FALSE(counter.CaughtUp(store)) << "an edit makes the count start again";
    EXPECT_TRUE(counter.Step(store, kNoDeadline));
    EXPECT_EQ(counter.Total(store), 1011);
    EXPECT_EQ(counter.NumberOf(store, At(10'100, 1, 5)), 1011);

    // An edit before a numbered match renumbers it, asked for again as before.
    EXPECT_EQ(counter.NumberOf(store, At(4100, 9, 5)), 411);
    store.Replace({0, 6}, {0, 11}, "", 0);
    EXPECT_FALSE(counter.NumberOf(store, At(4100, 9, 5)).has_value()) << "the count starts again";
    EXPECT_TRUE(counter.Step(store, kNoDeadline));
    EXPECT_EQ(counter.NumberOf(store, At(4100, 9, 5)), 410);
}

TEST(MatchCounter, CountsSpooledLinesAsTheyAreReadBackFromDisk) {
    TempFolder folder;
    LineStore store({.memoryBudget = 64 << 10, .spoolFolder = folder.Path().string()});
    Fill(store, 0, 30'000);
    ASSERT_GT(store.BytesSpooled(), std::size_t{128} << 10);
    MatchCounter counter(FindQuery("0d 0a", {}));
    EXPECT_TRUE(counter.Step(store, kNoDeadline));
    EXPECT_EQ(counter.Total(store), 3000);
    const FindQuery query("7: text", {});
    EXPECT_EQ(query.MatchesIn(store, 0, 99).size(), 10u) << "7, 17 ... 97; 70 is a hex line";
    EXPECT_EQ(query.MatchesIn(store, 29'990, 40'000).size(), 1u) << "clamped to the text";
    EXPECT_EQ(Walk(store, query, {10, 0}, MatchWalk::Direction::Forward), At(17, 1, 7));
}

// The columns in view of a long line are searched alone, and find what the whole line's search
// finds there: plain text in any case, and hex bytes only as whole groups of the view.
TEST(FindQuery, TheColumnsOfALongLineFindWhatTheWholeLineFindsThere) {
    LineStore store;
    std::string line = "<- (127.0.0.5) :";
    for (int i = 0; i < 200'000; ++i)
        line += i % 7 == 3 ? " 0D 0A" : " 41";
    store.AppendLine("prefix 0D 0A text before the view" + line, 0);
    store.AppendLine("a plain line with Ab and aB, ab", 0);
    for (const char* text : {"0d 0a", "0A 41 41", "a 4", "ab"}) {
        const FindQuery query(text, {});
        for (std::int64_t number : {0, 1}) {
            const std::vector<Match> whole = query.MatchesIn(store, number, number);
            for (std::int64_t from : {0, 7, 30, 301'234, 599'990}) {
                const std::int64_t to = from + 120;
                EXPECT_EQ(query.MatchesInColumns(store, number, from, to),
                          WithinColumns(whole, from, to))
                    << text << " in line " << number << " from " << from;
            }
        }
    }
}

// A slice of the count ends after about a quarter megabyte of lines, however few lines that is; the
// numbers of matches come out right across blocks that end by bytes.
TEST(MatchCounter, ASliceEndsByTheBytesItSearchedAndNumbersStayRight) {
    LineStore store;
    const std::string filler(64 << 10, 'x');
    for (int number = 0; number < 100; ++number)
        store.AppendLine(filler + (number % 3 == 0 ? " hit" : "") + " hit", 0);
    MatchCounter counter(FindQuery("hit", {}));
    EXPECT_FALSE(counter.Step(store, FindClock::time_point::min()));
    EXPECT_GE(counter.LinesCounted(), 1);
    EXPECT_LE(counter.LinesCounted(), 5)
        << "a quarter megabyte of 64 KiB lines, and the one beyond";
    while (!counter.Step(store, kNoDeadline)) {
    }
    EXPECT_EQ(counter.Total(store), 100 + 34);
    std::int64_t expected = 0;
    for (std::int64_t line = 0; line < 100; ++line) {
        const std::vector<Match> matches = FindQuery("hit", {}).MatchesIn(store, line, line);
        for (const Match& match : matches)
            EXPECT_EQ(counter.NumberOf(store, match), ++expected) << "line " << line;
    }
}

// A long line is split across blocks of the count: a match in it is numbered as soon as the count
// has passed it, without the rest of its line, and the numbers hold across the blocks' edges.
TEST(MatchCounter, AMatchInALongLineIsNumberedOnceTheCountHasPassedIt) {
    LineStore store;
    std::string line(3 << 20, 'x');
    for (std::size_t at = 5; at + 3 < line.size(); at += 99'991)
        line.replace(at, 3, "hit");
    // Across the edges of the count's pieces.
    for (std::size_t piece = 1; piece < 12; ++piece)
        line.replace(piece * (256 << 10) - 1, 3, "hit");
    store.AppendLine("hit before", 0);
    store.AppendLine(line, 0);
    store.AppendLine(line, 0);
    const FindQuery query("hit", {});
    std::vector<Match> all = query.MatchesIn(store, 0, store.LineCount() - 1);
    ASSERT_GT(all.size(), 60u);

    MatchCounter counter(query);
    const Match early = query.MatchesIn(store, 1, 1).front();
    const Match late = query.MatchesIn(store, 1, 1).back();
    while (counter.LinesCounted() < 1 || !counter.NumberOf(store, early)) {
        ASSERT_FALSE(counter.Step(store, FindClock::time_point::min()));
    }
    EXPECT_EQ(counter.LinesCounted(), 1) << "still in the long line";
    EXPECT_EQ(counter.NumberOf(store, early), 2);
    EXPECT_FALSE(counter.NumberOf(store, late).has_value()) << "not counted yet";

    while (!counter.Step(store, kNoDeadline)) {
    }
    EXPECT_EQ(counter.Total(store), static_cast<std::int64_t>(all.size()));
    std::int64_t expected = 0;
    for (const Match& match : all)
        EXPECT_EQ(counter.NumberOf(store, match), ++expected)
            << match.from.line << ':' << match.from.column;
    EXPECT_FALSE(counter.NumberOf(store, At(1, 6, 3)).has_value()) << "no match there";
}

// Long lines are searched a piece at a time: a walk's slice ends inside a line of megabytes, and
// the walk and the count still see every match of the whole lines, those across the pieces'
// edges included.
TEST(MatchWalk, LongLinesAreSearchedInPiecesThatMissNoMatch) {
    LineStore store;
    std::string line(700'000, 'x');
    for (std::size_t at : {10u, 262'141u, 524'285u, 699'990u})
        line.replace(at, 6, "needle");
    store.AppendLine(line, 0);
    store.AppendLine(std::string(4 << 20, 'y'), 0);
    store.AppendLine("a needle", 0);
    const FindQuery query("needle", {});
    const std::vector<Match> all = query.MatchesIn(store, 0, store.LineCount() - 1);
    ASSERT_EQ(all.size(), 5u);

    MatchWalk sliced(query, {0, 699'997}, MatchWalk::Direction::Forward);
    EXPECT_FALSE(sliced.Step(store, FindClock::time_point::min())) << "ended inside the 4 MiB";

    for (auto direction : {MatchWalk::Direction::Forward, MatchWalk::Direction::Backward}) {
        std::vector<Match> walked;
        TextPos from{0, 0};
        if (direction == MatchWalk::Direction::Backward)
            from = store.End();
        for (std::size_t i = 0; i < all.size(); ++i) {
            MatchWalk walk(query, from, direction);
            while (!walk.Step(store, kNoDeadline)) {
            }
            ASSERT_TRUE(walk.Result().has_value());
            walked.push_back(*walk.Result());
            from = direction == MatchWalk::Direction::Forward ? walk.Result()->To()
                                                              : walk.Result()->from;
        }
        if (direction == MatchWalk::Direction::Backward)
            std::reverse(walked.begin(), walked.end());
        EXPECT_EQ(walked, all);
    }

    MatchCounter counter(query);
    while (!counter.Step(store, FindClock::time_point::min())) {
    }
    EXPECT_EQ(counter.Total(store), 5);
}

} // namespace

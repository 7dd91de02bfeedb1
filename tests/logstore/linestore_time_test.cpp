// SPDX-License-Identifier: GPL-3.0-or-later
// The time of every line: kept as appended, through edits and through the spool file.
#include "logstore/linestore.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <string>

using corvane::LineStore;
using corvane::TextPos;

namespace {

constexpr std::int64_t kBase = 1'796'000'000'000'000; // December 2026, in microseconds

TEST(LineStoreTime, AppendedLinesKeepTheirTimesAndAnEditStampsOnlyTheLinesItMakes) {
    LineStore store;
    store.AppendLine("first", kBase);
    store.AppendLine("a\r\nb", kBase + 7);
    ASSERT_EQ(store.LineCount(), 4);
    EXPECT_EQ(store.LineTime(0), kBase);
    EXPECT_EQ(store.LineTime(1), kBase + 7) << "the pieces of one append share its time";
    EXPECT_EQ(store.LineTime(2), kBase + 7);
    EXPECT_EQ(store.LineTime(3), kBase + 7) << "the empty line after the break";

    // Typing into a line keeps its time; a line break typed there makes a line of the edit's.
    store.Replace({1, 1}, {1, 1}, "x\ny", kBase + 100);
    ASSERT_EQ(store.Line(1), "ax");
    ASSERT_EQ(store.Line(2), "y");
    EXPECT_EQ(store.LineTime(1), kBase + 7);
    EXPECT_EQ(store.LineTime(2), kBase + 100);
    EXPECT_EQ(store.LineTime(3), kBase + 7) << "lines after the edit keep theirs";

    // The empty last line typed into is the operator's line.
    store.Replace(store.End(), store.End(), "typed", kBase + 200);
    EXPECT_EQ(store.LineTime(4), kBase + 200);
    // The program's line after typed text starts a line of its own, with its time.
    store.AppendLine("next", kBase + 300);
    EXPECT_EQ(store.LineTime(4), kBase + 200);
    EXPECT_EQ(store.LineTime(5), kBase + 300);
}

TEST(LineStoreTime, RewritesCountEditsClearAndNothingElse) {
    LineStore store;
    const std::uint64_t start = store.Rewrites();
    store.AppendLine("one", kBase);
    store.AppendLine("two", kBase);
    EXPECT_EQ(store.Rewrites(), start) << "appends are not rewrites";
    store.Replace({0, 0}, {0, 1}, "O", kBase);
    EXPECT_EQ(store.Rewrites(), start + 1);
    store.Clear();
    EXPECT_EQ(store.Rewrites(), start + 2);
    store.Replace({0, 0}, {0, 0}, "", kBase);
    EXPECT_EQ(store.Rewrites(), start + 2) << "an edit that changes nothing";
}

TEST(LineStoreTime, TimesOfSpooledLinesReadBackAndFollowEdits) {
    TempFolder folder;
    LineStore store({.memoryBudget = 64 << 10, .spoolFolder = folder.Path().string()});
    constexpr int kLines = 20'000;
    for (int number = 0; number < kLines; ++number)
        store.AppendLine("line " + std::to_string(number) + " -> 01 02 03 04 05 06",
                         kBase + number);
    ASSERT_GT(store.BytesSpooled(), std::size_t{128} << 10);
    for (int number = 0; number < kLines; ++number)
        ASSERT_EQ(store.LineTime(number), kBase + number) << number;

    // Lines taken out near the top: every later line keeps its own time.
    store.Replace({10, 0}, {20, 0}, "", kBase - 1);
    EXPECT_EQ(store.LineTime(10), kBase + 20);
    EXPECT_EQ(store.LineTime(kLines - 11), kBase + kLines - 1);
}

} // namespace

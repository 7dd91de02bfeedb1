// SPDX-License-Identifier: GPL-3.0-or-later
// A range's text built in steps: the same text as built at once, a long line spread over several
// steps, and the text as it was when the build began whatever the store does meanwhile.
#include "logstore/panetext.h"
#include "logstore/selectiontext.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using corvane::ByteString;
using corvane::LineStore;
using corvane::SelectionText;
using corvane::TextPos;

// A deadline already passed: each step does the least it may.
constexpr auto kPassed = std::chrono::steady_clock::time_point::min();

// A line of 3.5 MiB among short ones, with every byte value somewhere.
class SelectionTextBuild : public ::testing::Test {
protected:
    void SetUp() override {
        ByteString bytes;
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value);
        store.AppendLine("first \xC0\xFF line", 1);
        store.AppendLine(bytes, 2);
        store.AppendLine(ByteString(kLong, 'L') + "\r\nsplit", 3);
        for (int i = 0; i < 600; ++i)
            store.AppendLine("short " + std::to_string(i), 4 + i);
    }

    // Builds the text in the smallest steps; how many it took.
    static int Steps(SelectionText& text) {
        int steps = 1;
        while (!text.Step(kPassed))
            ++steps;
        return steps;
    }

    static constexpr std::int64_t kLong = (std::int64_t{7} << 20) / 2;
    LineStore store;
};

TEST_F(SelectionTextBuild, InStepsTheTextIsTheShownTextOfTheRange) {
    const TextPos end = store.End();
    const std::vector<std::pair<TextPos, TextPos>> ranges = {
        {{0, 0}, end},          {end, {0, 0}},          {{0, 3}, {1, 200}}, {{1, 10}, {1, 12}},
        {{2, 100}, {2, kLong}}, {{0, 2}, {4, 0}},       {{5, 1}, {600, 3}}, {end, end},
        {{1, 0}, {2, 0}},       {{3, 0}, {end.line, 0}}};
    for (const auto& [from, to] : ranges) {
        SelectionText text(store, from, to);
        Steps(text);
        EXPECT_TRUE(text.Done());
        EXPECT_EQ(text.Take(), corvane::ShownText(store, from, to))
            << from.line << ':' << from.column << " to " << to.line << ':' << to.column;
    }
}

TEST_F(SelectionTextBuild, ALongLineIsSpreadOverStepsAndShortLinesShareOne) {
    SelectionText longLine(store, {2, 0}, {2, kLong});
    EXPECT_GE(Steps(longLine), 4) << "a megabyte a step at most";
    EXPECT_EQ(longLine.Take().size(), kLong);

    SelectionText shortLines(store, {3, 0}, {603, 0});
    EXPECT_LE(Steps(shortLines), 4) << "600 short lines";
}

TEST_F(SelectionTextBuild, TheTextIsTheOneThereWasWhenTheBuildBegan) {
    const QString before = corvane::ShownText(store, {0, 2}, store.End());
    SelectionText text(store, {0, 2}, store.End(), nullptr, before.size());
    ASSERT_FALSE(text.Step(kPassed));
    store.Replace({0, 0}, {2, 5}, "edited");
    ASSERT_FALSE(text.Step(kPassed));
    store.Clear();
    store.AppendLine("after the clear", 5);
    Steps(text);
    EXPECT_EQ(text.Take(), before);
}

TEST_F(SelectionTextBuild, WithTimesInStepsAsAtOnce) {
    corvane::LocalTimeText clock;
    SelectionText text(store, {0, 4}, store.End(), &clock);
    Steps(text);
    corvane::LocalTimeText other;
    EXPECT_EQ(text.Take(), corvane::TextOf(store, {0, 4}, store.End(), &other));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// A range's text built in steps: the same text as built at once, a long line spread over several
// steps, and the text as it was when the build began whatever the store does meanwhile.
#include "logstore/panetext.h"
#include "logstore/selectiontext.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <chrono>

namespace {

using corvane::ByteString;
using corvane::LineStore;
using corvane::SelectionText;
using corvane::TextPos;

// A deadline already passed: each step does the least it may.
constexpr auto kPassed = std::chrono::steady_clock::time_point::min();

// 2026-12-07 17:07:20.123456 UTC, and a time 0.100512 s later.
constexpr std::int64_t kTime = 1796663240123456;
constexpr std::int64_t kLater = kTime + 100512;

// The local time as Qt writes it, to the millisecond.
QString Local(std::int64_t time, const char* format) {
    return QDateTime::fromMSecsSinceEpoch(time / 1000).toString(QLatin1String(format));
}

// The text built at once, as text.
QString Built(const LineStore& store, TextPos from, TextPos to,
              corvane::LocalTimeText* clock = nullptr) {
    SelectionText text(store, from, to, clock);
    EXPECT_TRUE(text.Step(std::chrono::steady_clock::time_point::max()));
    return QString::fromUtf8(text.Take());
}

QString WithTimes(const LineStore& store, TextPos from, TextPos to) {
    corvane::LocalTimeText clock;
    return Built(store, from, to, &clock);
}

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
        EXPECT_EQ(QString::fromUtf8(text.Take()), corvane::ShownText(store, from, to))
            << from.line << ':' << from.column << " to " << to.line << ':' << to.column;
    }
}

TEST_F(SelectionTextBuild, ALongLineIsSpreadOverStepsAndShortLinesShareOne) {
    SelectionText longLine(store, {2, 0}, {2, kLong});
    EXPECT_GE(Steps(longLine), 4) << "a megabyte a step at most";
    EXPECT_EQ(longLine.Take(), QByteArray(kLong, 'L'));

    SelectionText shortLines(store, {3, 0}, {603, 0});
    EXPECT_LE(Steps(shortLines), 6) << "600 short lines, counted and then built, 256 a step";
}

TEST_F(SelectionTextBuild, TheTextIsTheOneThereWasWhenTheBuildBegan) {
    const QString before = corvane::ShownText(store, {0, 2}, store.End());
    SelectionText text(store, {0, 2}, store.End());
    ASSERT_FALSE(text.Step(kPassed));
    store.Replace({0, 0}, {2, 5}, "edited");
    ASSERT_FALSE(text.Step(kPassed));
    store.Clear();
    store.AppendLine("after the clear", 5);
    Steps(text);
    EXPECT_EQ(QString::fromUtf8(text.Take()), before);
}

TEST_F(SelectionTextBuild, ARangeBeyondTheLimitIsCountedInStepsAndNotBuilt) {
    const TextPos end = store.End();
    const std::int64_t size = corvane::ShownText(store, {0, 3}, end).size();
    EXPECT_EQ(corvane::SizeUpTo(store, end, {0, 3}, corvane::SelectionText::kNoLimit), size);
    EXPECT_GT(corvane::SizeUpTo(store, {0, 3}, end, 1000), 1000);

    SelectionText within(store, {0, 3}, end, nullptr, size);
    Steps(within);
    EXPECT_FALSE(within.TooLarge());
    EXPECT_EQ(within.Size(), size);
    EXPECT_EQ(QString::fromUtf8(within.Take()).size(), size);

    SelectionText beyond(store, {0, 3}, end, nullptr, size - 1);
    int steps = 1;
    while (!beyond.Step(kPassed)) {
        EXPECT_EQ(beyond.Built(), 0) << "nothing built while counting";
        ++steps;
    }
    EXPECT_GT(steps, 1) << "counted in steps";
    EXPECT_TRUE(beyond.TooLarge());
    EXPECT_TRUE(beyond.Take().isEmpty());

    // One line alone, beyond it.
    SelectionText part(store, {2, 10}, {2, 20}, nullptr, 9);
    Steps(part);
    EXPECT_TRUE(part.TooLarge());
}

TEST_F(SelectionTextBuild, WithTimesInStepsAsAtOnce) {
    corvane::LocalTimeText clock;
    SelectionText text(store, {0, 4}, store.End(), &clock);
    Steps(text);
    EXPECT_EQ(QString::fromUtf8(text.Take()), WithTimes(store, {0, 4}, store.End()));
}

TEST(SelectionTextWithTimes, EachLineOfTheRangeAfterItsTime) {
    LineStore store;
    store.AppendLine("first line", kTime);
    store.AppendLine("second", kLater);
    store.AppendLine("third", kLater + 1000);
    const QString t0 = Local(kTime, "HH:mm:ss.zzz");
    const QString t1 = Local(kLater, "HH:mm:ss.zzz");
    const QString t2 = Local(kLater + 1000, "HH:mm:ss.zzz");

    // From inside the first line to inside the third, in either order.
    const QString expected = t0 + "\tline\n" + t1 + "\tsecond\n" + t2 + "\tth";
    EXPECT_EQ(WithTimes(store, {0, 6}, {2, 2}), expected);
    EXPECT_EQ(WithTimes(store, {2, 2}, {0, 6}), expected);
    // Whole lines, their last line break included: no time for the empty part after it.
    EXPECT_EQ(WithTimes(store, {1, 0}, {2, 0}), t1 + "\tsecond\n");

    // A lone LF or CR inside a line comes out as the pane shows it, as plain Copy gives it: the
    // text holds the pane's lines and no others.
    store.Clear();
    store.AppendLine("a\nb\rc\xC0", kTime);
    EXPECT_EQ(WithTimes(store, {0, 0}, store.End()), t0 + QString::fromUtf8("\ta␊b␍cА\n"));
}

} // namespace

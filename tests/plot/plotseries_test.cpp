// SPDX-License-Identifier: GPL-3.0-or-later
// The series over their time window: made as names come, trimmed as time goes, kept while paused.
#include "plot/plotseries.h"
#include "seriesnames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using corvane::LineNumber;
using corvane::PlotSample;
using corvane::PlotSeries;

constexpr std::int64_t kMs = 1000;
constexpr std::int64_t kStart = 1'765'000'000 * PlotSeries::kSecond;

class PlotSeriesTest : public testing::Test {
protected:
    // One line at kStart + ms, of the numbers written as "name=value" or a bare value.
    void Line(std::int64_t ms, std::vector<std::pair<std::string, double>> numbers) {
        std::vector<LineNumber> parsed;
        int position = 0;
        for (const auto& [name, value] : numbers)
            parsed.push_back({name, name.empty() ? ++position : 0, value});
        series_.Add(kStart + ms * kMs, "", parsed);
    }
    const PlotSeries::Series& Named(const std::string& name) const {
        for (const auto& one : series_.All())
            if (one.name == name)
                return one;
        ADD_FAILURE() << "no series " << name;
        return series_.All().front();
    }
    std::vector<std::string> Names() const { return SeriesNames(series_); }

    PlotSeries series_;
};

TEST_F(PlotSeriesTest, SeriesAppearMidStreamAndGoSilent) {
    Line(0, {{"", 1}});
    Line(100, {{"", 2}, {"temp", 20}});
    Line(200, {{"", 3}, {"temp", 21}, {"", 30}});
    Line(300, {{"", 4}});
    EXPECT_EQ(Names(), (std::vector<std::string>{"1", "temp", "2"}));
    EXPECT_EQ(Named("1").samples.size(), 4u);
    EXPECT_EQ(Named("temp").samples,
              (std::deque<PlotSample>{{kStart + 100 * kMs, 20}, {kStart + 200 * kMs, 21}}));
    EXPECT_EQ(Named("2").samples, (std::deque<PlotSample>{{kStart + 200 * kMs, 30}}));
    // Once the window has passed it, a silent series has nothing left to show but keeps its
    // place (and its colour).
    Line(10'250, {{"", 5}});
    EXPECT_TRUE(Named("temp").samples.empty());
    EXPECT_TRUE(Named("2").samples.empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"1", "temp", "2"}));
    EXPECT_EQ(Named("1").samples.size(), 2u);
}

TEST_F(PlotSeriesTest, WindowTrimsOldSamples) {
    series_.SetWindow(2 * PlotSeries::kSecond);
    for (std::int64_t ms = 0; ms <= 5000; ms += 100)
        Line(ms, {{"v", static_cast<double>(ms)}});
    const auto& samples = Named("v").samples;
    ASSERT_EQ(samples.size(), 21u); // 3,000 ms to 5,000 ms
    EXPECT_EQ(samples.front().time, kStart + 3000 * kMs);
    EXPECT_EQ(samples.back().time, kStart + 5000 * kMs);
    EXPECT_EQ(series_.ViewEnd(), kStart + 5000 * kMs);
    EXPECT_EQ(series_.ViewStart(), kStart + 3000 * kMs);
    // A shorter window trims at once; a longer one shows more only as more comes.
    series_.SetWindow(PlotSeries::kSecond);
    EXPECT_EQ(samples.size(), 11u);
    series_.SetWindow(PlotSeries::kLongestWindow);
    EXPECT_EQ(samples.size(), 11u);
    Line(6000, {{"v", 1}});
    EXPECT_EQ(samples.size(), 12u);
}

TEST_F(PlotSeriesTest, WindowIsHeldToItsRange) {
    series_.SetWindow(0);
    EXPECT_EQ(series_.Window(), PlotSeries::kShortestWindow);
    series_.SetWindow(3600 * PlotSeries::kSecond);
    EXPECT_EQ(series_.Window(), PlotSeries::kLongestWindow);
    EXPECT_EQ(PlotSeries().Window(), 10 * PlotSeries::kSecond);
}

TEST_F(PlotSeriesTest, PauseKeepsDataAndView) {
    series_.SetWindow(PlotSeries::kSecond);
    for (std::int64_t ms = 0; ms <= 1000; ms += 10)
        Line(ms, {{"a", 1}});
    series_.SetPaused(true);
    const std::uint64_t changes = series_.Changes();
    for (std::int64_t ms = 1010; ms <= 5000; ms += 10)
        Line(ms, {{"a", 2}, {"b", 3}});
    EXPECT_GT(series_.Changes(), changes);
    EXPECT_EQ(series_.ViewEnd(), kStart + 1000 * kMs);
    EXPECT_EQ(Named("a").samples.size(), 501u);
    EXPECT_EQ(Named("a").samples.front().time, kStart);
    EXPECT_EQ(Named("b").samples.size(), 400u);
    series_.SetPaused(false);
    EXPECT_EQ(series_.ViewEnd(), kStart + 5000 * kMs);
    EXPECT_EQ(Named("a").samples.size(), 101u);
    EXPECT_EQ(Named("b").samples.size(), 101u);
}

TEST_F(PlotSeriesTest, SeventeenthSeriesIsDropped) {
    std::vector<std::pair<std::string, double>> numbers;
    for (int i = 0; i < 20; ++i)
        numbers.emplace_back("s" + std::to_string(i), i);
    Line(0, numbers);
    Line(10, numbers);
    ASSERT_EQ(series_.All().size(), PlotSeries::kMaxSeries);
    EXPECT_EQ(series_.All().back().name, "s15");
    EXPECT_EQ(series_.Dropped(), 8u);
    EXPECT_EQ(series_.SamplesKept(), 32);
}

TEST_F(PlotSeriesTest, PrefixesKeepSendersApart) {
    const std::vector<LineNumber> numbers{{"t", 0, 1}, {{}, 1, 2}};
    series_.Add(kStart, "127.0.0.5 ", numbers);
    series_.Add(kStart, "127.0.0.6 ", numbers);
    series_.Add(kStart, "", numbers);
    EXPECT_EQ(Names(), (std::vector<std::string>{"127.0.0.5 t", "127.0.0.5 1", "127.0.0.6 t",
                                                 "127.0.0.6 1", "t", "1"}));
}

TEST_F(PlotSeriesTest, LineWithoutNumbersChangesNothing) {
    const std::uint64_t changes = series_.Changes();
    series_.Add(kStart, "", {});
    EXPECT_EQ(series_.Changes(), changes);
    EXPECT_FALSE(series_.Started());
}

TEST_F(PlotSeriesTest, SeriesKeepsAtMostItsCap) {
    series_.SetPaused(true);
    const std::vector<LineNumber> numbers{{"v", 0, 0}};
    for (std::size_t i = 0; i < PlotSeries::kMaxSamples + 5; ++i)
        series_.Add(kStart + static_cast<std::int64_t>(i), "", numbers);
    EXPECT_EQ(Named("v").samples.size(), PlotSeries::kMaxSamples);
    EXPECT_EQ(Named("v").samples.front().time, kStart + 5);
}

} // namespace

namespace {

TEST_F(PlotSeriesTest, CursorReadsTheNearestSample) {
    EXPECT_EQ(corvane::NearestSample({}, kStart), nullptr);
    for (std::int64_t ms : {0, 100, 200})
        Line(ms, {{"v", static_cast<double>(ms)}});
    const auto& samples = Named("v").samples;
    const auto valueAt = [&](std::int64_t ms) {
        return corvane::NearestSample(samples, kStart + ms * kMs)->value;
    };
    EXPECT_EQ(valueAt(-500), 0);
    EXPECT_EQ(valueAt(49), 0);
    EXPECT_EQ(valueAt(50), 0); // as near: the earlier
    EXPECT_EQ(valueAt(51), 100);
    EXPECT_EQ(valueAt(100), 100);
    EXPECT_EQ(valueAt(180), 200);
    EXPECT_EQ(valueAt(9000), 200);
}

} // namespace

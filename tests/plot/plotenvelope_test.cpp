// SPDX-License-Identifier: GPL-3.0-or-later
// What a chart draws of many samples: per column the first, lowest, highest and last.
#include "plot/plotenvelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using corvane::PlotSample;

constexpr std::int64_t kStart = 1'765'000'000'000'000;

std::vector<PlotSample> Envelope(const std::deque<PlotSample>& samples, std::int64_t from,
                                 std::int64_t to, int columns) {
    std::vector<PlotSample> out;
    corvane::AppendEnvelope(samples, from, to, columns, out);
    return out;
}

TEST(PlotEnvelope, FewSamplesAreAllKept) {
    std::deque<PlotSample> samples;
    for (int i = 0; i < 50; ++i)
        samples.push_back({kStart + i * 1000, i * 0.5});
    const auto out = Envelope(samples, kStart, kStart + 49'000, 1000);
    EXPECT_EQ(out, std::vector<PlotSample>(samples.begin(), samples.end()));
    // Four a column are kept too.
    EXPECT_EQ(Envelope(samples, kStart, kStart + 3000, 1).size(), 4u);
}

TEST(PlotEnvelope, EachColumnKeepsItsEndsAndExtremesInOrder) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-100, 100);
    std::deque<PlotSample> samples;
    for (int i = 0; i < 10'000; ++i)
        samples.push_back({kStart + i * 1000, value(random)});
    const std::int64_t from = kStart + 1'000'000;
    const std::int64_t to = kStart + 9'000'000;
    constexpr int kColumns = 97;
    const auto out = Envelope(samples, from, to, kColumns);
    EXPECT_LE(out.size(), 4u * kColumns);
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
    EXPECT_EQ(out.front().time, from);
    EXPECT_EQ(out.back().time, to);
    const auto columnOf = [&](std::int64_t time) {
        return std::min<std::int64_t>((time - from) * kColumns / (to - from), kColumns - 1);
    };
    for (int column = 0; column < kColumns; ++column) {
        std::vector<PlotSample> in;
        std::vector<PlotSample> drawn;
        for (const auto& sample : samples)
            if (sample.time >= from && sample.time <= to && columnOf(sample.time) == column)
                in.push_back(sample);
        for (const auto& sample : out)
            if (columnOf(sample.time) == column)
                drawn.push_back(sample);
        ASSERT_FALSE(in.empty());
        const auto byValue = [](const auto& a, const auto& b) { return a.value < b.value; };
        EXPECT_EQ(drawn.front(), in.front()) << column;
        EXPECT_EQ(drawn.back(), in.back()) << column;
        EXPECT_EQ(std::min_element(drawn.begin(), drawn.end(), byValue)->value,
                  std::min_element(in.begin(), in.end(), byValue)->value);
        EXPECT_EQ(std::max_element(drawn.begin(), drawn.end(), byValue)->value,
                  std::max_element(in.begin(), in.end(), byValue)->value);
        for (const auto& sample : drawn)
            EXPECT_NE(std::find(in.begin(), in.end(), sample), in.end()) << "only real samples";
    }
}

TEST(PlotEnvelope, NothingOutsideTheSpan) {
    const std::deque<PlotSample> samples{{kStart, 1}, {kStart + 10, 2}, {kStart + 20, 3}};
    EXPECT_EQ(Envelope(samples, kStart + 5, kStart + 15, 100),
              (std::vector<PlotSample>{{kStart + 10, 2}}));
    EXPECT_TRUE(Envelope(samples, kStart + 30, kStart + 40, 100).empty());
    EXPECT_TRUE(Envelope({}, kStart, kStart + 40, 100).empty());
}

} // namespace

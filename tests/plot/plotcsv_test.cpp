// SPDX-License-Identifier: GPL-3.0-or-later
// The samples written as CSV and read back.
#include "plot/plotcsv.h"

#include "core/codepage.h"
#include "core/walltime.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>

namespace {

using corvane::ByteString;
using corvane::LineNumber;
using corvane::PlotSample;
using corvane::PlotSeries;

constexpr std::int64_t kStart = 1'765'000'000'123'456;

// RFC 4180 rows: fields split at commas outside quotes, "" inside quotes a quote.
std::vector<std::vector<std::string>> ReadCsv(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (quoted) {
            if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
                field += '"';
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::exchange(field, {}));
        } else if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            row.push_back(std::exchange(field, {}));
            rows.push_back(std::exchange(row, {}));
            ++at;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty() && row.empty()) << "the last row is not ended";
    return rows;
}

std::string TimeText(std::int64_t time) {
    corvane::LocalTimeText clock;
    ByteString text;
    clock.AppendFull(text, time);
    return text;
}

class PlotCsvTest : public testing::Test {
protected:
    PlotCsvTest() {
        // Awkward values, a series that starts late, one that goes silent, and two lines at
        // one time.
        const double values[] = {0.1, -1e-300, 1.0 / 3, 12345678.9, -0.0, 6.02214076e23};
        for (int i = 0; i < 60; ++i) {
            std::vector<LineNumber> numbers{{{}, 1, values[i % 6] * i}};
            if (i >= 10)
                numbers.push_back({"late, \"quoted\"", 0, i * 0.5});
            if (i < 30)
                numbers.push_back({name_, 0, -i * 1e-3});
            const std::int64_t time = kStart + (i == 41 ? 40 : i) * 1'000;
            series_.Add(time, "", numbers);
        }
    }

    const ByteString name_ = corvane::ToCodePage(QString::fromUtf8("темп"));
    PlotSeries series_;
};

TEST_F(PlotCsvTest, ReadsBackEqualToTheSamples) {
    const auto rows = ReadCsv(corvane::PlotCsv(series_, series_.ViewStart(), series_.ViewEnd()));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "1", "темп", "late, \"quoted\""}));
    // Each column read back, as (time text, value), against the series' samples.
    for (std::size_t column = 1; column < rows[0].size(); ++column) {
        std::vector<std::pair<std::string, double>> read;
        for (std::size_t row = 1; row < rows.size(); ++row) {
            ASSERT_EQ(rows[row].size(), rows[0].size()) << row;
            const std::string& field = rows[row][column];
            if (field.empty())
                continue;
            double value = 0;
            const auto end = std::from_chars(field.data(), field.data() + field.size(), value);
            ASSERT_EQ(end.ptr, field.data() + field.size()) << field;
            read.emplace_back(rows[row][0], value);
        }
        std::vector<std::pair<std::string, double>> expected;
        for (const PlotSample& sample : series_.All()[column - 1].samples)
            expected.emplace_back(TimeText(sample.time), sample.value);
        EXPECT_EQ(read, expected) << rows[0][column];
        for (std::size_t i = 0; i < read.size(); ++i)
            EXPECT_EQ(std::signbit(read[i].second), std::signbit(expected[i].second));
    }
    // One row a time, and another for the second line at the same time.
    EXPECT_EQ(rows.size(), 1u + 60u);
}

TEST_F(PlotCsvTest, OnlyTheSpanAsked) {
    const auto rows = ReadCsv(corvane::PlotCsv(series_, kStart + 20'000, kStart + 24'000));
    ASSERT_EQ(rows.size(), 1u + 5u);
    EXPECT_EQ(rows[1][0], TimeText(kStart + 20'000));
    EXPECT_EQ(rows[5][0], TimeText(kStart + 24'000));
    EXPECT_EQ(rows[5][2], "-0.024");
    EXPECT_EQ(rows[5][3], "12");
}

TEST(PlotCsv, NoSeriesIsTheHeaderAlone) {
    const PlotSeries none;
    EXPECT_EQ(corvane::PlotCsv(none, 0, INT64_MAX), "time\r\n");
}

} // namespace

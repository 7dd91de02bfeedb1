// SPDX-License-Identifier: GPL-3.0-or-later
// The lower pane's lines into the series: as the Text view decodes them, from the links followed.
#include "plot/plotfeed.h"

#include "core/codepage.h"
#include "core/handover.h"
#include "core/logarrows.h"
#include "payload/hexcodec.h"
#include "seriesnames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using corvane::ByteString;
using corvane::PlotFeed;
using corvane::PlotFollow;
using corvane::PlotLink;
using corvane::PlotSeries;

constexpr std::int64_t kTime = 1'765'000'000'000'000;

// A serial data line of the lower pane, as the receive worker writes it.
ByteString SerialLine(std::string_view bytes) {
    ByteString line = corvane::kReceivedArrow;
    corvane::AppendHexView(line, bytes.data(), bytes.size());
    return line;
}

// A datagram's line, its sender shown or not (only one host listened to).
ByteString DatagramLine(std::string_view bytes, std::string_view sender) {
    ByteString line = corvane::kDatagramArrow;
    if (!sender.empty())
        line.append(" (").append(sender).append(") :");
    corvane::AppendHexView(line, bytes.data(), bytes.size());
    return line;
}

class PlotFeedTest : public testing::Test {
protected:
    std::vector<std::string> Names() const { return SeriesNames(series_); }
    // One line, its numbers in the series when it returns.
    void Take(PlotLink link, std::string_view sender, const ByteString& line, std::int64_t time) {
        feed_.Take(link, sender, {&line, 1}, {&time, 1}, {}, encoding_);
        feed_.Settle();
    }

    corvane::TextEncoding encoding_ = corvane::TextEncoding::Utf8;
    PlotSeries series_;
    PlotFeed feed_{[this](corvane::PlotNumbers& numbers) { numbers.AddTo(series_); }};
};

TEST_F(PlotFeedTest, SerialLineDecodedAsTextView) {
    Take(PlotLink::Serial, {}, SerialLine("t=0.5,sin=0.25,cos=-1e-1\r\n"), kTime);
    ASSERT_EQ(Names(), (std::vector<std::string>{"t", "sin", "cos"}));
    EXPECT_EQ(series_.All()[2].samples.front(), (corvane::PlotSample{kTime, -0.1}));
    // A line end inside the line is an escape in the Text view, not a separator: the word it
    // ends is no number.
    Take(PlotLink::Serial, {}, SerialLine("7\r8 9\n"), kTime + 1);
    ASSERT_EQ(series_.All().size(), 4u);
    EXPECT_EQ(series_.All()[3].name, "1");
    EXPECT_EQ(series_.All()[3].samples.front().value, 9);
}

TEST_F(PlotFeedTest, NamesDecodedInThePanesEncoding) {
    const QString name = QString::fromUtf8("темп");
    const QByteArray utf8 = (name + "=5").toUtf8();
    Take(PlotLink::Serial, {}, SerialLine(std::string_view(utf8.data(), utf8.size())), kTime);
    encoding_ = corvane::TextEncoding::Windows1251;
    const ByteString cp1251 = corvane::ToCodePage(name) + "=6";
    Take(PlotLink::Serial, {}, SerialLine(cp1251), kTime);
    ASSERT_EQ(series_.All().size(), 1u);
    EXPECT_EQ(series_.All()[0].name, corvane::ToCodePage(name));
    EXPECT_EQ(series_.All()[0].samples.size(), 2u);
    // The same UTF-8 bytes read as Windows-1251 are another name.
    Take(PlotLink::Serial, {}, SerialLine(std::string_view(utf8.data(), utf8.size())), kTime);
    EXPECT_EQ(series_.All().size(), 2u);
}

TEST_F(PlotFeedTest, FollowsTheLinksChosen) {
    const ByteString serial = SerialLine("1");
    const ByteString datagram = DatagramLine("2", "127.0.0.5");
    const ByteString fromOneHost = DatagramLine("3", "");
    const auto takeAll = [&] {
        Take(PlotLink::Serial, {}, serial, kTime);
        Take(PlotLink::Udp, "127.0.0.5", datagram, kTime);
        Take(PlotLink::Udp, "127.0.0.6", fromOneHost, kTime);
    };
    feed_.SetFollow(PlotFollow::Serial);
    takeAll();
    EXPECT_EQ(Names(), (std::vector<std::string>{"1"}));
    feed_.SetFollow(PlotFollow::Udp);
    takeAll();
    EXPECT_EQ(Names(), (std::vector<std::string>{"1", "127.0.0.5 1", "127.0.0.6 1"}));
    EXPECT_EQ(series_.All()[0].samples.size(), 1u);
    feed_.SetFollow(PlotFollow::Both);
    takeAll();
    EXPECT_EQ(series_.All()[0].samples.size(), 2u);
    EXPECT_EQ(series_.All()[1].samples.back().value, 2);
    EXPECT_EQ(series_.All()[2].samples.back().value, 3);
}

TEST_F(PlotFeedTest, OtherLinesAddNothing) {
    for (const ByteString& line :
         {ByteString("Port COM1 opened"), ByteString("-> "), SerialLine("no numbers here"),
          ByteString("Lost 12 bytes"), SerialLine("nan, inf")})
        Take(PlotLink::Serial, {}, line, kTime);
    EXPECT_TRUE(series_.All().empty());
    EXPECT_FALSE(series_.Started());
}

// Lines taken faster than they are read, in batches and past the queue's limit, as lines or with
// their bytes, come out in the series in their order, every number of every line; the feed's end
// drops what it has not handed over yet, and nothing reaches the taker after it.
TEST(PlotFeedBatches, EveryLineInOrderPastTheQueuesLimitAndNothingAfterTheEnd) {
    std::vector<ByteString> lines;
    std::vector<ByteString> texts;
    std::vector<std::int64_t> times;
    PlotSeries expected;
    std::vector<corvane::LineNumber> numbers;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = "a=" + std::to_string(i) + " " + std::to_string(-i) + "\n";
        lines.push_back(SerialLine(text));
        texts.push_back(text);
        times.push_back(kTime + i);
        corvane::ParseLineNumbers(std::string_view(text).substr(0, text.size() - 1), numbers);
        expected.Add(times.back(), "", numbers);
    }
    PlotSeries series;
    int handOvers = 0;
    auto feed = std::make_unique<PlotFeed>(
        [&](corvane::PlotNumbers& taken) {
            taken.AddTo(series);
            ++handOvers;
        },
        4096);
    const std::vector<std::string_view> bytes(texts.begin(), texts.end());
    for (std::size_t at = 0, batch = 0; at < lines.size(); ++batch) {
        const std::size_t count = std::min<std::size_t>(1 + at % 97, lines.size() - at);
        feed->Take(PlotLink::Serial, {}, std::span(lines).subspan(at, count),
                   std::span(times).subspan(at, count),
                   batch % 2 ? std::span(bytes).subspan(at, count)
                             : std::span<const std::string_view>(),
                   corvane::TextEncoding::Utf8);
        at += count;
    }
    feed->Settle();
    ASSERT_EQ(SeriesNames(series), SeriesNames(expected));
    for (std::size_t i = 0; i < series.All().size(); ++i) {
        const auto& samples = series.All()[i].samples;
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), expected.All()[i].samples.begin(),
                               expected.All()[i].samples.end()))
            << series.All()[i].name;
    }

    // Its thread is reading these when the feed ends: what it hands over is dropped.
    feed->Take(PlotLink::Serial, {}, lines, times, {}, corvane::TextEncoding::Utf8);
    const int before = handOvers;
    feed.reset();
    corvane::CheckSynchronize();
    EXPECT_EQ(handOvers, before);
}

} // namespace

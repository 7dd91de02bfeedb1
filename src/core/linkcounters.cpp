// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/linkcounters.h"

#include <cstdio>

namespace corvane {

namespace {

constexpr auto kRateSpan = std::chrono::seconds(1);

std::uint64_t Load(const std::atomic<std::uint64_t>& count) {
    return count.load(std::memory_order_relaxed);
}

double PerSecond(std::uint64_t from, std::uint64_t to, LinkCounters::Clock::duration span) {
    const double seconds = std::chrono::duration<double>(span).count();
    // A count reset between the two samples would run backwards: no rate then.
    return seconds > 0 && to >= from ? static_cast<double>(to - from) / seconds : 0.0;
}

// With one decimal below ten units, whole above: "9.5 KB", "12 KB".
std::string Scaled(double value, const char* unit) {
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, unit);
    return text;
}

std::string InBinaryUnits(double value, const char* const units[4]) {
    // Whole bytes unless they round to 1024 or more.
    if (value < 1023.5)
        return std::to_string(static_cast<std::uint64_t>(value + 0.5)) + ' ' + units[0];
    int unit = 1;
    value /= 1024;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return Scaled(value, units[unit]);
}

// "1 line", "1,024 lines"
std::string Counted(std::uint64_t n, const char* thing) {
    return GroupedNumber(n) + ' ' + thing + (n == 1 ? "" : "s");
}

} // namespace

void LinkCounters::Reset(Clock::time_point now) {
    for (auto* count :
         {&receivedBytes_, &receivedLines_, &sentBytes_, &sentLines_, &failedSends_, &lost_})
        count->store(0, std::memory_order_relaxed);
    samples_[0] = {now, 0, 0};
    first_ = 0;
    count_ = 1;
}

LinkCounts LinkCounters::Read(Clock::time_point now) {
    LinkCounts counts;
    counts.receivedBytes = Load(receivedBytes_);
    counts.receivedLines = Load(receivedLines_);
    counts.sentBytes = Load(sentBytes_);
    counts.sentLines = Load(sentLines_);
    counts.failedSends = Load(failedSends_);
    counts.lost = Load(lost_);

    // The rate runs from the latest sample a second old or older, or from the oldest when none
    // is that old; the samples before it are of no more use.
    const auto slot = [this](std::size_t i) -> Sample& {
        return samples_[(first_ + i) % kSamples];
    };
    std::size_t base = 0;
    while (base + 1 < count_ && slot(base + 1).at <= now - kRateSpan)
        ++base;
    first_ = (first_ + base) % kSamples;
    count_ -= base;
    const Sample& from = slot(0);
    counts.receiveRate = PerSecond(from.received, counts.receivedBytes, now - from.at);
    counts.sendRate = PerSecond(from.sent, counts.sentBytes, now - from.at);

    if (count_ == kSamples) {
        first_ = (first_ + 1) % kSamples;
        --count_;
    }
    slot(count_) = {now, counts.receivedBytes, counts.sentBytes};
    ++count_;
    return counts;
}

std::string GroupedNumber(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    return digits;
}

std::string RateText(double bytesPerSecond) {
    static const char* const kUnits[4] = {"B/s", "KB/s", "MB/s", "GB/s"};
    return InBinaryUnits(bytesPerSecond, kUnits);
}

std::string SizeText(std::uint64_t bytes) {
    static const char* const kUnits[4] = {"B", "KB", "MB", "GB"};
    return InBinaryUnits(static_cast<double>(bytes), kUnits);
}

std::string CountsTooltip(const LinkCounts& counts, bool datagrams) {
    const char* const line = datagrams ? "datagram" : "line";
    return "Received " + Counted(counts.receivedBytes, "byte") + " in " +
           Counted(counts.receivedLines, line) + ", " + RateText(counts.receiveRate) + "\nSent " +
           Counted(counts.sentBytes, "byte") + " in " + Counted(counts.sentLines, line) + ", " +
           RateText(counts.sendRate) + "\nFailed sends: " + GroupedNumber(counts.failedSends) +
           "\nLost: " + Counted(counts.lost, datagrams ? "datagram" : "byte");
}

std::string CountsLine(const std::string& link, const LinkCounts& counts, bool datagrams) {
    return link + "  Rx " + SizeText(counts.receivedBytes) + ", " +
           Counted(counts.receivedLines, "line") + ", " + RateText(counts.receiveRate) + "  Tx " +
           SizeText(counts.sentBytes) + ", " + Counted(counts.sentLines, "line") + ", " +
           RateText(counts.sendRate) + "  failed " + GroupedNumber(counts.failedSends) + "  lost " +
           (datagrams ? GroupedNumber(counts.lost) : SizeText(counts.lost));
}

} // namespace corvane

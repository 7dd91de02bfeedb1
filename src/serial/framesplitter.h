// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the lines of received serial data end: the device's own frames, on the receive worker's
// side, before the lines are handed over. The worker feeds it every read with its time and asks it
// when the line still open must be ended by the clock.
//
// A line ends in one of three ways:
// - at each read (one line per read, as the worker has always shown them);
// - at an idle gap: when no byte has come for gapMs;
// - after a byte: after each endByte, a line still open being shown anyway 100 ms after its last
//   byte (and continued on the next line).
// With everyN, no line is longer than n bytes, whichever the way. A line's time is its first
// byte's arrival. Pure logic: no thread, no clock of its own (times are µs, core/walltime.h).

#include "core/bytestring.h"
#include "serial/splitrule.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace corvane {

// How long a line cut short by nothing but the end byte's absence waits for it.
constexpr std::int64_t kHoldAfterLastByte = 100'000; // µs

struct Frame {
    ByteString bytes;
    std::int64_t time = 0; // the first byte's arrival
};

class FrameSplitter {
public:
    explicit FrameSplitter(SplitRule rule = {}) : rule_(rule) {}

    const SplitRule& Rule() const { return rule_; }
    // Ends the open line (into out) and splits by the new rule from then on.
    void SetRule(const SplitRule& rule, std::vector<Frame>& out);

    // The bytes of one read, arrived at time; the lines they end go to out. A line still open
    // when the bytes before now have gone quiet for its time is ended first.
    void Add(std::string_view bytes, std::int64_t time, std::vector<Frame>& out);
    // When the open line is to be ended if no byte comes; nothing when none is open.
    std::optional<std::int64_t> Deadline() const;
    // Ends the open line when its deadline has come by now.
    void Tick(std::int64_t now, std::vector<Frame>& out);
    // Ends the open line whatever its state: the port closes, the device went away.
    void Flush(std::vector<Frame>& out);

private:
    void Append(std::string_view bytes, std::int64_t time, std::vector<Frame>& out);
    void EndLine(std::vector<Frame>& out);

    SplitRule rule_;
    Frame open_;
    bool isOpen_ = false;
    std::int64_t lastByte_ = 0; // arrival of the open line's last byte
};

} // namespace corvane

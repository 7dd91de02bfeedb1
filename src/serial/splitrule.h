// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The way the receive worker splits what it reads into lines (serial/framesplitter.h), as the
// operator chose it for a COM port: how it is written in the settings file, and the one rule the
// worker of the open port follows.

#include <mutex>
#include <string>
#include <string_view>

namespace corvane {

struct SplitRule {
    enum class End { EachRead, IdleGap, AfterByte };
    End end = End::EachRead;
    unsigned gapMs = 5;
    unsigned char endByte = 0x0A;
    bool everyN = false;
    unsigned n = 16;

    // Whether the worker must see each byte's arrival: no pause between its reads.
    bool Timed() const { return end != End::EachRead; }
    bool operator==(const SplitRule&) const = default;
};

// The rule as one line of text, every value kept whichever way is chosen
// ("end=gap gap=5 byte=0A every=1 n=16"; end is read, gap or byte), and back: a part that is
// missing or does not read keeps its default.
std::string SplitRuleText(const SplitRule& rule);
SplitRule SplitRuleFromText(std::string_view text);

// The rule the receive worker follows: the UI thread sets it (the port's rule before it opens, the
// operator's change while it is open); the worker takes it at each receive step. Any thread.
class SharedSplitRule {
public:
    void Set(const SplitRule& rule);
    SplitRule Get() const;

private:
    mutable std::mutex mutex_;
    SplitRule rule_;
};

// The one rule of the serial receive worker, living for the whole run.
SharedSplitRule& ReceivedSplitRule();

} // namespace corvane

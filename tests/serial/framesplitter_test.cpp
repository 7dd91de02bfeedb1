// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting received bytes into lines by each way, on a clock of the test's own (µs).
#include "serial/framesplitter.h"

#include <gtest/gtest.h>

namespace {

using corvane::Frame;
using corvane::FrameSplitter;
using corvane::SplitRule;
using End = SplitRule::End;
using namespace std::literals;

struct Line {
    std::string bytes;
    std::int64_t time;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << '"' << line.bytes << "\"@" << line.time;
}

class Splitting : public ::testing::Test {
protected:
    void Use(SplitRule rule) { splitter_ = FrameSplitter(rule); }
    void Read(std::string_view bytes, std::int64_t time) { splitter_.Add(bytes, time, frames_); }
    std::vector<Line> Lines() {
        std::vector<Line> lines;
        for (const Frame& frame : frames_)
            lines.push_back({frame.bytes, frame.time});
        frames_.clear();
        return lines;
    }

    FrameSplitter splitter_;
    std::vector<Frame> frames_;
};

TEST_F(Splitting, AtEachReadALineARead) {
    Read("abc", 10);
    Read("de", 20);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"abc", 10}, {"de", 20}}));
    EXPECT_FALSE(splitter_.Deadline());

    Use({.everyN = true, .n = 4}); // each read cut into lines of N
    Read("0123456789", 30);
    Read("xy", 40);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"0123", 30}, {"4567", 30}, {"89", 30}, {"xy", 40}}));
}

TEST_F(Splitting, AnIdleGapEndsTheLineAndItsTimeIsTheFirstBytes) {
    Use({.end = End::IdleGap, .gapMs = 5});
    Read("\x01\x03"sv, 1000);
    Read("\x00\x00"sv, 3000); // 2 ms later: the same frame
    Read("\x00\x0A"sv, 7999); // 4.999 ms after the last
    EXPECT_EQ(Lines(), std::vector<Line>{});
    EXPECT_EQ(splitter_.Deadline(), 12999);
    splitter_.Tick(12998, frames_);
    EXPECT_EQ(Lines(), std::vector<Line>{});
    splitter_.Tick(12999, frames_);
    EXPECT_EQ(Lines(), (std::vector<Line>{{std::string("\x01\x03\x00\x00\x00\x0A", 6), 1000}}));
    EXPECT_FALSE(splitter_.Deadline());

    // A read after the gap, with no tick between, ends the line before it first.
    Read("a", 20000);
    Read("b", 30000);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"a", 20000}}));
    splitter_.Flush(frames_);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"b", 30000}}));
}

TEST_F(Splitting, AfterAByteAtTheStartTheEndAndAcrossReads) {
    Use({.end = End::AfterByte, .endByte = '\n'});
    Read("\nabc\n", 100); // at the very start and the very end
    Read("de", 200);      // across two reads
    Read("f\ngh", 300);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"\n", 100},
                                          {"abc\n", 100},
                                          {"de"
                                           "f\n",
                                           200}}));
    // What waits for its end byte is shown 100 ms after its last byte came, and goes on in the
    // next line.
    EXPECT_EQ(splitter_.Deadline(), 300 + corvane::kHoldAfterLastByte);
    Read("i", 50'000);
    splitter_.Tick(50'000 + corvane::kHoldAfterLastByte, frames_);
    Read("j\n", 200'000);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"ghi", 300}, {"j\n", 200'000}}));
}

TEST_F(Splitting, EveryNBytesBesideEachWay) {
    Use({.end = End::AfterByte, .endByte = ';', .everyN = true, .n = 4});
    Read("ab;cdefgh;ij", 1);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"ab;", 1}, {"cdef", 1}, {"gh;", 1}}));
    Read("klmn", 2); // the open "ij" fills to four
    EXPECT_EQ(Lines(), (std::vector<Line>{{"ijkl", 1}}));
    splitter_.Flush(frames_);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"mn", 2}}));

    Use({.end = End::IdleGap, .gapMs = 5, .everyN = true, .n = 3});
    Read("abcd", 10);
    Read("efg", 20);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"abc", 10}, {"def", 10}}));
    splitter_.Tick(20 + 5000, frames_);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"g", 20}}));
}

TEST_F(Splitting, AChangeOfTheWayEndsTheOpenLine) {
    Use({.end = End::IdleGap, .gapMs = 50});
    Read("half", 10);
    splitter_.SetRule({.end = End::AfterByte}, frames_);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"half", 10}}));
    Read("x\ny", 20);
    splitter_.SetRule({}, frames_);
    EXPECT_EQ(Lines(), (std::vector<Line>{{"x\n", 20}, {"y", 20}}));
    EXPECT_EQ(splitter_.Rule(), SplitRule{});
}

} // namespace

namespace {

TEST(SplitRuleText, EveryValueIsKeptWhicheverWayIsChosen) {
    const SplitRule rule{
        .end = End::AfterByte, .gapMs = 20, .endByte = 0xC0, .everyN = true, .n = 256};
    EXPECT_EQ(corvane::SplitRuleText(rule), "end=byte gap=20 byte=C0 every=1 n=256");
    EXPECT_EQ(corvane::SplitRuleFromText(corvane::SplitRuleText(rule)), rule);
    EXPECT_EQ(corvane::SplitRuleText({}), "end=read gap=5 byte=0A every=0 n=16");
    EXPECT_EQ(corvane::SplitRuleFromText(""), SplitRule{});
    // A part that does not read keeps its default; the others are taken.
    EXPECT_EQ(corvane::SplitRuleFromText("end=gap gap=0 byte=G1 every=2 n=70000 junk"),
              SplitRule{.end = End::IdleGap});
    EXPECT_EQ(corvane::SplitRuleFromText("n=3 end=idle byte=0d"),
              (SplitRule{.endByte = 0x0D, .n = 3}));
}

} // namespace

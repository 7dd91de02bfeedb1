// The text rules of the line store, in memory: how the program's lines are appended, how the
// operator's edits change the text, and what is read back.
#include "logstore/linestore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using corvane::LineStore;
using corvane::TextPos;

namespace {

std::vector<std::string> Lines(const LineStore& store) {
    std::vector<std::string> lines;
    for (std::int64_t line = 0; line < store.LineCount(); ++line)
        lines.push_back(store.Line(line));
    return lines;
}

using Text = std::vector<std::string>;

} // namespace

TEST(LineStoreAppend, FollowsTheProgramsRule) {
    LineStore store;
    EXPECT_EQ(Lines(store), (Text{""}));
    store.AppendLine("first");
    EXPECT_EQ(Lines(store), (Text{"first", ""})) << "a line and a line break";
    store.AppendLine("");
    EXPECT_EQ(Lines(store), (Text{"first", "", ""})) << "an empty line is a line too";
    store.AppendLine("a\r\nb\r\n");
    EXPECT_EQ(Lines(store), (Text{"first", "", "a", "b", "", ""})) << "CR LF inside splits";
    store.AppendLine("lone\rcr and lone\nlf");
    EXPECT_EQ(store.Line(5), "lone\rcr and lone\nlf") << "a lone CR or LF does not split";
    EXPECT_EQ(store.LineCount(), 7);
    EXPECT_EQ(store.End(), (TextPos{6, 0}));
}

TEST(LineStoreAppend, AfterTypedTextStartsALineOfItsOwn) {
    LineStore store;
    store.Replace({0, 0}, {0, 0}, "typed");
    store.AppendLine("x\r\ny");
    EXPECT_EQ(Lines(store), (Text{"typed", "x", "y"}));
    store.AppendLine("z");
    EXPECT_EQ(Lines(store), (Text{"typed", "x", "y", "z"}));
    EXPECT_EQ(store.End(), (TextPos{3, 1}));
}

TEST(LineStoreReplace, WithinAndAcrossLinesInEitherOrder) {
    LineStore store;
    for (const char* line : {"alpha", "beta", "gamma", "delta"})
        store.AppendLine(line);

    EXPECT_EQ(store.Replace({1, 1}, {1, 3}, "ET"), (TextPos{1, 3}));
    EXPECT_EQ(store.Line(1), "bETa");
    EXPECT_EQ(store.Replace({2, 2}, {0, 3}, "++"), (TextPos{0, 5})) << "the places reversed";
    EXPECT_EQ(Lines(store), (Text{"alp++mma", "delta", ""}));
    EXPECT_EQ(store.Replace({0, 3}, {0, 5}, "\nmid\n"), (TextPos{2, 0})) << "line breaks inserted";
    EXPECT_EQ(Lines(store), (Text{"alp", "mid", "mma", "delta", ""}));
    EXPECT_EQ(store.Replace({3, 5}, {4, 0}, ""), (TextPos{3, 5})) << "a line break deleted";
    EXPECT_EQ(Lines(store), (Text{"alp", "mid", "mma", "delta"}));
    EXPECT_EQ(store.Replace({0, 0}, store.End(), ""), (TextPos{0, 0}));
    EXPECT_EQ(Lines(store), (Text{""}));
}

TEST(LineStoreRead, PartsOfLinesAndTextInEitherOrder) {
    LineStore store;
    for (const char* line : {"one", "two", "three"})
        store.AppendLine(line);
    EXPECT_EQ(store.Line(2, 1, 3), "hre");
    EXPECT_EQ(store.Line(2, 3, 100), "ee") << "fewer at the line's end";
    EXPECT_EQ(store.Line(2, 5), "") << "none past it";
    EXPECT_EQ(store.Line(2, 9), "");
    EXPECT_EQ(store.LineLength(2), 5);
    EXPECT_EQ(store.Text({0, 1}, {2, 2}), "ne\ntwo\nth");
    EXPECT_EQ(store.Text({2, 2}, {0, 1}, "\r\n"), "ne\r\ntwo\r\nth");
    EXPECT_EQ(store.Text({1, 3}, {1, 1}), "wo");
    EXPECT_EQ(store.Text({0, 0}, store.End()), "one\ntwo\nthree\n");
    EXPECT_THROW(store.Line(store.LineCount()), std::out_of_range);
}

TEST(LineStoreExtent, LongestLineSinceTheLastClear) {
    LineStore store;
    store.AppendLine("12345");
    store.AppendLine("1234567\r\n12");
    EXPECT_EQ(store.LongestLine(), 7);
    store.Replace({1, 0}, {1, 7}, "");
    EXPECT_EQ(store.LongestLine(), 7) << "does not shrink when a line is shortened";
    store.Replace({0, 5}, {2, 0}, "");
    EXPECT_EQ(store.LongestLine(), 7);
    store.Replace({0, 5}, {0, 5}, "6789");
    EXPECT_EQ(store.LongestLine(), 11) << "an edit that joins or lengthens counts";
    store.Clear();
    EXPECT_EQ(store.LongestLine(), 0);
    EXPECT_EQ(Lines(store), (Text{""}));
    EXPECT_EQ(store.BytesSpooled(), 0u);
    store.AppendLine("ab");
    EXPECT_EQ(Lines(store), (Text{"ab", ""}));
    EXPECT_EQ(store.LongestLine(), 2);
}

TEST(LineStoreBytes, EveryByteValueKept) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += static_cast<char>(byte);
    LineStore store;
    store.AppendLine(all);
    // CR LF (13 10) is not in the sequence, so the line stays whole.
    EXPECT_EQ(store.Line(0), all);
    EXPECT_EQ(store.Line(0, 250, 6), all.substr(250));
}

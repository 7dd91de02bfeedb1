// SPDX-License-Identifier: GPL-3.0-or-later
// The text rules of the line store, in memory: how the program's lines are appended, how the
// operator's edits change the text, and what is read back.
#include "logstore/linestore.h"
#include "tempfolder.h"

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
    store.AppendLine("first", 0);
    EXPECT_EQ(Lines(store), (Text{"first", ""})) << "a line and a line break";
    store.AppendLine("", 0);
    EXPECT_EQ(Lines(store), (Text{"first", "", ""})) << "an empty line is a line too";
    store.AppendLine("a\r\nb\r\n", 0);
    EXPECT_EQ(Lines(store), (Text{"first", "", "a", "b", "", ""})) << "CR LF inside splits";
    store.AppendLine("lone\rcr and lone\nlf", 0);
    EXPECT_EQ(store.Line(5), "lone\rcr and lone\nlf") << "a lone CR or LF does not split";
    EXPECT_EQ(store.LineCount(), 7);
    EXPECT_EQ(store.End(), (TextPos{6, 0}));
}

TEST(LineStoreAppend, AfterTypedTextStartsALineOfItsOwn) {
    LineStore store;
    store.Replace({0, 0}, {0, 0}, "typed");
    store.AppendLine("x\r\ny", 0);
    EXPECT_EQ(Lines(store), (Text{"typed", "x", "y"}));
    store.AppendLine("z", 0);
    EXPECT_EQ(Lines(store), (Text{"typed", "x", "y", "z"}));
    EXPECT_EQ(store.End(), (TextPos{3, 1}));
}

TEST(LineStoreReplace, WithinAndAcrossLinesInEitherOrder) {
    LineStore store;
    for (const char* line : {"alpha", "beta", "gamma", "delta"})
        store.AppendLine(line, 0);

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
        store.AppendLine(line, 0);
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

TEST(LineStoreExtent, TheWidestLineFollowsEveryChange) {
    LineStore store;
    store.AppendLine("12345", 0);
    store.AppendLine("1234567\r\n12", 0);
    EXPECT_EQ(store.LongestLine(), 7);
    store.Replace({1, 0}, {1, 7}, "");
    EXPECT_EQ(store.LongestLine(), 5) << "shrinks when the widest line is shortened";
    store.Replace({0, 5}, {0, 5}, "6789");
    EXPECT_EQ(store.LongestLine(), 9) << "an edit that lengthens counts";
    store.AppendLine(std::string(3000, 'x'), 0);
    EXPECT_EQ(store.LongestLine(), 3000);
    store.Replace({3, 0}, {4, 0}, "");
    EXPECT_EQ(store.LongestLine(), 9) << "deleting the widest line gives the next one";
    store.Replace({0, 9}, {2, 0}, "");
    EXPECT_EQ(store.LongestLine(), 11) << "an edit that joins counts";
    store.Clear();
    EXPECT_EQ(store.LongestLine(), 0);
    EXPECT_EQ(Lines(store), (Text{""}));
    EXPECT_EQ(store.BytesSpooled(), 0u);
    store.AppendLine("ab", 0);
    EXPECT_EQ(Lines(store), (Text{"ab", ""}));
    EXPECT_EQ(store.LongestLine(), 2);
}

TEST(LineStoreExtent, ATabReachesToTheNextStopOfEight) {
    LineStore store;
    store.AppendLine("a\tb\r\n\t\t\r\n1234567\tx\r\n12345678\tx", 0);
    EXPECT_EQ(Lines(store), (Text{"a\tb", "\t\t", "1234567\tx", "12345678\tx", ""}));
    EXPECT_EQ(store.LineWidth(0), 9);
    EXPECT_EQ(store.LineWidth(1), 16);
    EXPECT_EQ(store.LineWidth(2), 9);
    EXPECT_EQ(store.LineWidth(3), 17);
    EXPECT_TRUE(store.HasTabs(0));
    EXPECT_FALSE(store.HasTabs(4));
    EXPECT_EQ(store.LongestLine(), 17);
    store.Replace({3, 8}, {3, 9}, "");
    EXPECT_EQ(store.LongestLine(), 16) << "the line lost its TAB";
    EXPECT_FALSE(store.HasTabs(3));
    store.Replace({1, 0}, {2, 0}, "");
    EXPECT_EQ(store.LongestLine(), 9);
}

// A line the pane keeps with a lone LF inside, given line by line: the LF stays in the line.
TEST(LineStoreEdit, LinesGivenOneByOneMayHoldALoneLineFeed) {
    LineStore store;
    store.AppendLine("ab", 0);
    const corvane::ByteString lines[] = {"x\ny", "z"};
    EXPECT_EQ(store.Replace({0, 1}, {0, 1}, lines), (TextPos{1, 1}));
    EXPECT_EQ(Lines(store), (Text{"ax\ny", "zb", ""}));
}

TEST(LineStoreBytes, EveryByteValueKept) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += static_cast<char>(byte);
    LineStore store;
    store.AppendLine(all, 0);
    // CR LF (13 10) is not in the sequence, so the line stays whole.
    EXPECT_EQ(store.Line(0), all);
    EXPECT_EQ(store.Line(0, 250, 6), all.substr(250));
}

namespace {

std::string Repeated(const std::string& text, std::size_t times) {
    std::string repeated;
    for (std::size_t i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

// Every part of every line, read back, is the part of the line appended.
void ExpectEveryPart(const LineStore& store, const std::vector<std::string>& lines) {
    for (std::size_t line = 0; line < lines.size(); ++line) {
        const auto length = static_cast<std::int64_t>(lines[line].size());
        ASSERT_EQ(store.LineLength(line), length) << lines[line];
        for (std::int64_t column = 0; column <= length + 1; ++column)
            for (std::int64_t count = 0; count <= length - column + 2; ++count)
                ASSERT_EQ(store.Line(line, column, count),
                          lines[line].substr(std::min(column, length), count))
                    << lines[line] << " from " << column << " for " << count;
    }
}

// Lines that end in a hex view or nearly do, and lines that only look like one.
std::vector<std::string> HexLines() {
    return {"-> (127.0.0.1) : 01 02 FF 7E 80 00 9A",
            "->  0A 0B 0C 0D",
            " 00 11 22 33 44",
            "-> 01 02 0a 0B 0C 0D 0E",
            "-> 01 02 03 04 05 ",
            "-> 01 02 03",
            "-> 1 02 03 04 05 06",
            "-> 01  02 03 04 05 06",
            std::string(1100, 'p') + " 01 02 03 04 05 06",
            "->" + Repeated(" 5A", 300),
            "<-  31 32 33 34 35"};
}

} // namespace

TEST(LineStoreHexView, EveryPartReadsBackExactly) {
    const std::vector<std::string> lines = HexLines();
    LineStore store;
    for (const std::string& line : lines)
        store.AppendLine(line, 0);
    ExpectEveryPart(store, lines);
    EXPECT_EQ(store.LongestLine(), 1118);
    EXPECT_EQ(store.Text({0, 30}, {2, 5}), lines[0].substr(30) + "\n" + lines[1] + "\n" + " 00 1");
}

TEST(LineStoreHexView, EveryPartOfASpooledLineReadsBackExactly) {
    TempFolder folder;
    const std::vector<std::string> lines = HexLines();
    LineStore store({.memoryBudget = 64 << 10, .spoolFolder = folder.Path().string()});
    for (int copy = 0; copy < 200; ++copy)
        for (const std::string& line : lines)
            store.AppendLine(line, 0);
    ASSERT_GT(store.BytesSpooled(), 0u);
    ExpectEveryPart(store, lines);
}

TEST(LineStoreHexView, AReceivedLineKeepsItsBytesAndNoArrow) {
    // A read of 16 bytes, as "Every N Bytes" 16 cuts them: the line's bytes and its place in the
    // index, the arrow known without being kept.
    const std::string line = "-> " + Repeated(" 3F 01 C4 7E", 4);
    // Chunks of 1 MiB, the one being filled counted whole.
    LineStore store({.memoryBudget = std::size_t{16} << 20, .spoolFolder = {}});
    constexpr std::size_t kLines = 400000;
    for (std::size_t i = 0; i < kLines; ++i)
        store.AppendLine(line, 0);
    EXPECT_LT(store.BytesInMemory(), kLines * (16 + 20) + (std::size_t{1} << 20) + (64 << 10));
    EXPECT_EQ(store.Line(kLines - 1), line);
    EXPECT_EQ(store.Line(kLines - 1, 1, 4), ">  3");
    EXPECT_EQ(store.HexViewStart(7), 3);
}

TEST(LineStoreHexView, KeptInAboutAThirdOfItsText) {
    // 100-byte datagrams as the program shows them: 316 bytes of text, 300 of them the view.
    const std::string line = "-> (127.0.0.1) :" + Repeated(" 3F 01 C4 7E", 25);
    LineStore store({.memoryBudget = std::size_t{1} << 30, .spoolFolder = {}});
    std::size_t text = 0;
    for (int i = 0; i < 200000; ++i) {
        store.AppendLine(line, 0);
        text += line.size();
    }
    EXPECT_LT(store.BytesInMemory(), text / 2);
    EXPECT_EQ(store.Line(199999), line);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The three views of a data line's bytes, alone and as a line store shows its lines in them.
#include "logstore/dataview.h"
#include "logstore/linefind.h"
#include "logstore/linestore.h"
#include "mixedbytes.h"
#include "payload/hexcodec.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using corvane::AppendDataView;
using corvane::ByteString;
using corvane::DataView;
using corvane::PaneView;
using corvane::TextEncoding;

constexpr PaneView kUtf8Text{DataView::Text, TextEncoding::Utf8};
constexpr PaneView k1251Text{DataView::Text, TextEncoding::Windows1251};
constexpr PaneView kHexAndText{DataView::HexAndText, TextEncoding::Utf8};

ByteString View(std::string_view bytes, PaneView view) {
    ByteString out;
    AppendDataView(bytes, view, out);
    return out;
}

ByteString EveryByte() {
    ByteString all;
    for (int value = 0; value < 256; ++value)
        all.push_back(static_cast<char>(value));
    return all;
}

ByteString Escaped(unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return ByteString("\\x") + kDigits[value >> 4] + kDigits[value & 15];
}

// Each byte alone: what the Text view draws for it, by the rules it is made of.
TEST(DataView, TextDrawsEachByteAloneByItsRule) {
    for (unsigned value = 0; value < 256; ++value) {
        SCOPED_TRACE(value);
        const ByteString byte(1, static_cast<char>(value));
        ByteString expected;
        if (value == '\n' || value == '\r')
            expected = ""; // a line end at the end is not drawn
        else if (value == '\t')
            expected = "\t";
        else if (value == '\\')
            expected = "\\\\";
        else if (value < 0x20 || value == 0x7F)
            expected = Escaped(value);
        else if (value < 0x80)
            expected = byte;
        EXPECT_EQ(View(byte, kUtf8Text), " " + (value >= 0x80 ? Escaped(value) : expected));
        // In Windows-1251 every byte of the upper half is a letter or a sign, but 0x98.
        EXPECT_EQ(View(byte, k1251Text), " " + (value == 0x98   ? Escaped(value)
                                                : value >= 0x80 ? byte
                                                                : expected));
    }
}

TEST(DataView, EveryByteInEachViewComesBackFromItsText) {
    const ByteString all = EveryByte();
    EXPECT_EQ(View(all, PaneView{}), corvane::StrToHexView(all));

    const ByteString hexAndText = View(all, kHexAndText);
    ASSERT_EQ(hexAndText.size(), 3 * 256u + 2 + 256);
    EXPECT_EQ(hexAndText.substr(0, 3 * 256), corvane::StrToHexView(all));
    const ByteString column = hexAndText.substr(3 * 256);
    EXPECT_EQ(column.substr(0, 2 + 0x20), "  " + ByteString(0x20, '.'));
    EXPECT_EQ(column.substr(2 + 0x20, 0x7F - 0x20),
              all.substr(0x20, 0x7F - 0x20)); // printable ASCII as itself
    EXPECT_EQ(column.substr(2 + 0x7F), ByteString(0x81, '.'));

    for (const PaneView view : {kUtf8Text, k1251Text}) {
        const ByteString text = View(all, view);
        ASSERT_EQ(text[0], ' ');
        EXPECT_EQ(corvane::TextViewBytes(text.substr(1), view.encoding), all);
    }
}

TEST(DataView, Utf8DecodesWhatIsWellFormedAndEscapesTheRest) {
    struct Case {
        const char* bytes;
        const char* shown;
    };
    const Case cases[] = {
        {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xCF\xF0\xE8\xE2\xE5\xF2"}, // Привет
        {"\xE2\x84\x96 5", "\xB9 5"},                   // № is in the code page
        {"caf\xC3\xA9", "caf\\xC3\\xA9"},               // é decodes, but not in the code page
        {"\xF0\x9F\x98\x80!", "\\xF0\\x9F\\x98\\x80!"}, // beyond the 16-bit plane
        {"\xC0\x80", "\\xC0\\x80"},                     // overlong
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},            // a surrogate
        {"a\xD0", "a\\xD0"},                            // cut at the end
        {"\xD0"
         "b",
         "\\xD0b"},                                   // cut by an ASCII byte
        {"\x80\xBF", "\\x80\\xBF"},                   // lone continuation bytes
        {"\xC2\x85", "\\xC2\\x85"},                   // a C1 control
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}, // beyond U+10FFFF
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const ByteString text = View(c.bytes, kUtf8Text);
        EXPECT_EQ(text, ByteString(" ") + c.shown);
        EXPECT_EQ(corvane::TextViewBytes(text.substr(1), TextEncoding::Utf8), c.bytes);
    }
}

TEST(DataView, CyrillicInEitherEncoding) {
    const ByteString in1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xB8\xE6!"; // Привет, ёж!
    const ByteString inUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD1\x91\xD0\xB6!";
    EXPECT_EQ(View(in1251, k1251Text), " " + in1251);
    EXPECT_EQ(View(inUtf8, kUtf8Text), " " + in1251);
    // Read in the other encoding: Windows-1251 letters are not UTF-8; UTF-8 is letters of 1251.
    EXPECT_EQ(View(in1251, kUtf8Text).substr(0, 9), " \\xCF\\xF0");
    EXPECT_EQ(View(inUtf8, k1251Text).substr(0, 3), " \xD0\x9F");
    for (const PaneView view : {kUtf8Text, k1251Text})
        for (const ByteString& bytes : {in1251, inUtf8})
            EXPECT_EQ(corvane::TextViewBytes(View(bytes, view).substr(1), view.encoding), bytes);
}

TEST(DataView, OnlyTheLineEndAtTheEndIsLeftOut) {
    EXPECT_EQ(View("OK\r\n", kUtf8Text), " OK");
    EXPECT_EQ(View("OK\n", kUtf8Text), " OK");
    EXPECT_EQ(View("OK\r", kUtf8Text), " OK");
    EXPECT_EQ(View("OK", kUtf8Text), " OK");
    EXPECT_EQ(View("\n\r", kUtf8Text), " \\x0A");
    EXPECT_EQ(View("a\r\nb\tc\\x\n\n", kUtf8Text), " a\\x0D\\x0Ab\tc\\\\x\\x0A");
    // Hex and Text leaves nothing out: the line end is two dots.
    EXPECT_EQ(View("OK\r\n", kHexAndText), " 4F 4B 0D 0A  OK..");
}

TEST(DataView, EscapesAreFoundWhereTheyStartAndNotInABackslashOfTheBytes) {
    using Spans = std::vector<std::pair<std::int64_t, std::int64_t>>;
    EXPECT_EQ(corvane::EscapesIn("->  a\\x00b"), (Spans{{5, 9}}));
    EXPECT_EQ(corvane::EscapesIn("->  \\\\x41\\x7F\\\\"), (Spans{{9, 13}}));
    EXPECT_EQ(corvane::EscapesIn("no escapes"), Spans{});
}

TEST(DataView, OnlyDataLinesAreShownInTheView) {
    ByteString out;
    EXPECT_TRUE(corvane::AppendLineInView("->  48 69", kUtf8Text, out));
    EXPECT_EQ(out, "->  Hi");
    out.clear();
    EXPECT_TRUE(corvane::AppendLineInView("-> (127.0.0.5) : 48 69", kUtf8Text, out));
    EXPECT_EQ(out, "-> (127.0.0.5) : Hi");
    out.clear();
    EXPECT_TRUE(corvane::AppendLineInView("-> 48 69", kHexAndText, out)); // one host listened to
    EXPECT_EQ(out, "-> 48 69  Hi");
    // A sent datagram's text as typed, an event, a line the operator typed: as they are.
    for (const char* line : {"<- 48 69", "Начало работы потока приёма", "x 41 42"}) {
        out.clear();
        EXPECT_FALSE(corvane::AppendLineInView(line, kUtf8Text, out));
        EXPECT_EQ(out, line);
    }
    out.clear();
    EXPECT_FALSE(corvane::AppendLineInView("->  48 69", PaneView{}, out));
    EXPECT_EQ(out, "->  48 69");
}

// The store: short hex views kept as text, long ones packed, spooled ones read from disk, all
// shown in the view at once, and every reader (length, width, text, find) following it.
TEST(LineStoreView, SwitchingShowsTheWholeHistoryInTheView) {
    TempFolder folder;
    corvane::LineStore store({.memoryBudget = 256 << 10, .spoolFolder = folder.Path().string()});
    const ByteString sentence = "$GPGGA,1\tx\\y\r\n";
    const ByteString line = "-> " + corvane::StrToHexView(sentence);
    constexpr int kLines = 40000; // more than the budget: the first lines are spooled
    store.AppendLine("Начало работы потока приёма", 1);
    for (int i = 0; i < kLines; ++i)
        store.AppendLine(line, 2 + i);
    store.AppendLine("-> " + corvane::StrToHexView("ok"), 3);
    ASSERT_GT(store.BytesSpooled(), 0u);
    const std::uint64_t rewrites = store.Rewrites();

    store.SetView(kUtf8Text);
    EXPECT_GT(store.Rewrites(), rewrites);
    const ByteString shown = "->  $GPGGA,1\tx\\\\y";
    for (const std::int64_t at : {std::int64_t{1}, std::int64_t{kLines}}) {
        EXPECT_EQ(store.Line(at), shown);
        EXPECT_EQ(store.LineLength(at), static_cast<std::int64_t>(shown.size()));
        EXPECT_TRUE(store.HasTabs(at));
        EXPECT_EQ(store.LineWidth(at), 20); // the tab reaches column 16
        EXPECT_TRUE(store.InDataView(at));
        EXPECT_EQ(store.Line(at, 4, 6), "$GPGGA");
        EXPECT_EQ(store.LineTime(at), 1 + at);
    }
    EXPECT_EQ(store.Line(0), "Начало работы потока приёма");
    EXPECT_FALSE(store.InDataView(0));
    EXPECT_EQ(store.Line(kLines + 1), "->  ok");
    EXPECT_EQ(store.Text({kLines, 4}, {kLines + 1, 6}), "$GPGGA,1\tx\\\\y\n->  ok");
    EXPECT_GE(store.LongestLine(), store.LineWidth(1));

    const corvane::FindQuery query("GPGGA", {});
    corvane::MatchCounter counter(query);
    while (!counter.Step(store, corvane::FindClock::now() + std::chrono::seconds(1))) {
    }
    EXPECT_EQ(counter.Total(store), kLines);

    store.SetView(kHexAndText);
    EXPECT_EQ(store.Line(kLines + 1), "->  6F 6B  ok");
    store.SetView(PaneView{});
    EXPECT_EQ(store.Line(1), line);
    EXPECT_FALSE(store.InDataView(1));

    // A line edited in the Text view is the operator's text from then on.
    store.SetView(kUtf8Text);
    store.Replace({kLines + 1, 6}, {kLines + 1, 6}, "!");
    EXPECT_EQ(store.Line(kLines + 1), "->  ok!");
    store.SetView(PaneView{});
    EXPECT_EQ(store.Line(kLines + 1), "->  ok!");
}

} // namespace

namespace {

using Columns = std::vector<std::pair<std::int64_t, std::int64_t>>;

// The columns of each byte in the Text view, walked with the bytes given piece bytes at a time.
Columns TextColumnsOf(std::string_view bytes, TextEncoding encoding, std::size_t piece) {
    const auto shown = static_cast<std::int64_t>(bytes.size() - corvane::LineEndLength(bytes));
    corvane::TextColumns columns(encoding, shown, 0, 1);
    Columns all;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (at % piece == 0) {
            const auto first = static_cast<std::size_t>(
                std::min<std::int64_t>(columns.Byte(), static_cast<std::int64_t>(at)));
            columns.Read(bytes.substr(first, at + piece + 3 - first),
                         static_cast<std::int64_t>(first));
        }
        all.push_back(columns.Of(static_cast<std::int64_t>(at)));
    }
    return all;
}

TEST(DataView, EachByteStandsWhereTheViewShowsIt) {
    // a, é (two bytes, escaped), П (two bytes, one letter), a tab, a backslash, CR LF left out.
    const ByteString bytes = "a\xC3\xA9\xD0\x9F\t\\\r\n";
    EXPECT_EQ(View(bytes, kUtf8Text), " a\\xC3\\xA9\xCF\t\\\\");
    EXPECT_EQ(
        TextColumnsOf(bytes, TextEncoding::Utf8, bytes.size()),
        (Columns{
            {1, 2}, {2, 6}, {6, 10}, {10, 11}, {10, 11}, {11, 12}, {12, 14}, {14, 14}, {14, 14}}));
}

// Cut into pieces anywhere, in sequences and in the line end, a line's rendering and its bytes'
// columns come out as those of the whole line: each piece's rendering follows the one before,
// and every character starts at the column that the rendering before it ends at.
TEST(DataView, TheTextViewComesOutTheSameAPieceAtATime) {
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Windows1251}) {
        for (std::uint32_t seed = 1; seed <= 20; ++seed) {
            const ByteString bytes = MixedBytes(300 + seed, seed);
            const std::string_view shown =
                std::string_view(bytes).substr(0, bytes.size() - corvane::LineEndLength(bytes));
            const ByteString whole = View(bytes, {DataView::Text, encoding});
            const Columns columns = TextColumnsOf(bytes, encoding, bytes.size());
            for (const std::size_t piece : {1u, 2u, 3u, 5u, 64u}) {
                ByteString pieces = " ";
                for (std::size_t at = 0; at < shown.size();) {
                    ASSERT_EQ(columns[at].first, static_cast<std::int64_t>(pieces.size()))
                        << "seed " << seed << " byte " << at;
                    at += corvane::AppendTextPiece(shown.substr(at), piece, encoding, pieces);
                }
                EXPECT_EQ(pieces, whole) << "seed " << seed << ", pieces of " << piece;
                EXPECT_EQ(TextColumnsOf(bytes, encoding, piece), columns)
                    << "seed " << seed << ", pieces of " << piece;
            }
            EXPECT_EQ(columns.back().second, static_cast<std::int64_t>(whole.size()))
                << "seed " << seed;
        }
    }
}

// A long line in the Hex and Text view is read a part at a time from the bytes under the part,
// spooled or not: every part is that part of the whole line, which is as long and wide as read.
TEST(LineStoreView, PartsOfALongHexAndTextLineAreThoseOfTheWholeLine) {
    TempFolder folder;
    corvane::LineStore store({.memoryBudget = 64 << 10, .spoolFolder = folder.Path().string()});
    for (std::uint32_t seed = 1; seed <= 3; ++seed)
        store.AppendLine((seed == 2 ? "-> (127.0.0.5) :" : "-> ") +
                             corvane::StrToHexView(MixedBytes(40'000 * seed, seed)),
                         seed);
    ASSERT_GT(store.BytesSpooled(), 0u);
    store.SetView(kHexAndText);
    for (std::int64_t line = 0; line < 3; ++line) {
        const ByteString whole = store.Line(line);
        const auto length = static_cast<std::int64_t>(whole.size());
        EXPECT_EQ(store.LineLength(line), length);
        EXPECT_EQ(store.LineWidth(line), length);
        EXPECT_FALSE(store.HasTabs(line));
        EXPECT_TRUE(store.InDataView(line));
        for (const std::int64_t column :
             {std::int64_t{0}, std::int64_t{2}, length / 4 * 3 - 1, length / 4 * 3 + 1, length - 7})
            for (const std::int64_t count : {1, 5, 300})
                EXPECT_EQ(
                    store.Line(line, column, count),
                    whole.substr(static_cast<std::size_t>(column), static_cast<std::size_t>(count)))
                    << "line " << line << " from " << column;
    }
}

// A long line rendered in the Text view leaves marks where characters start, not far before any
// column: the text from a mark is the rendering of the bytes from its byte.
TEST(LineStoreView, ALongTextViewLineIsMarkedWhereItsCharactersStart) {
    corvane::LineStore store;
    const ByteString bytes = MixedBytes(300'000, 5);
    store.AppendLine("-> " + corvane::StrToHexView(bytes), 1);
    for (const PaneView view : {kUtf8Text, k1251Text}) {
        store.SetView(view);
        EXPECT_EQ(store.TextViewMark(0, 1000).column, -1) << "not rendered yet";
        const ByteString whole = store.Line(0);
        const std::string_view shown =
            std::string_view(bytes).substr(0, bytes.size() - corvane::LineEndLength(bytes));
        for (const std::int64_t column :
             {std::int64_t{4}, std::int64_t{70'000}, static_cast<std::int64_t>(whole.size()) - 1}) {
            const corvane::LineStore::TextMark mark = store.TextViewMark(0, column);
            ASSERT_GE(mark.column, 4);
            EXPECT_LE(mark.column, column);
            EXPECT_LT(column - mark.column, 4 * (64 << 10));
            ByteString from;
            corvane::AppendTextPiece(shown.substr(static_cast<std::size_t>(mark.byte)), 100,
                                     view.encoding, from);
            EXPECT_EQ(whole.substr(static_cast<std::size_t>(mark.column), 100), from.substr(0, 100))
                << "column " << column;
        }
    }
}

TEST(LineStoreView, HexBytesAreFoundWhereTheViewShowsThem) {
    corvane::LineStore store;
    store.AppendLine("-> " + corvane::StrToHexView("OK \x1B[0m\r\n"), 1);
    store.AppendLine("-> (127.0.0.5) :" + corvane::StrToHexView("ok"), 2); // kept as text
    store.AppendLine("4F 4B typed", 3);
    const auto find = [&](const char* text) {
        return corvane::FindQuery(text, {}).MatchesIn(store, 0, store.LineCount() - 1);
    };
    using corvane::Match;
    store.SetView(kUtf8Text);
    ASSERT_EQ(store.Line(0), "->  OK \\x1B[0m");
    EXPECT_EQ(find("4f 4b"), (std::vector<Match>{{{0, 4}, 2}, {{2, 0}, 5}}));
    EXPECT_EQ(find("1b"), (std::vector<Match>{{{0, 7}, 4}}));
    EXPECT_EQ(find("6f"), (std::vector<Match>{{{1, 17}, 1}}));
    EXPECT_EQ(find("0d 0a"), std::vector<Match>{}); // the line end is not drawn
    store.SetView(kHexAndText);
    EXPECT_EQ(find("4f 4b"), (std::vector<Match>{{{0, 4}, 5}, {{2, 0}, 5}}));
    EXPECT_EQ(find("0d 0a"), (std::vector<Match>{{{0, 25}, 5}}));
}

} // namespace

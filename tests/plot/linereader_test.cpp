// SPDX-License-Identifier: GPL-3.0-or-later
// A data line's numbers read where its bytes stand, from its text or its bytes, are those of its
// Text view, whatever the bytes.
#include "plot/linereader.h"

#include "core/logarrows.h"
#include "payload/hexcodec.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using corvane::ByteString;
using corvane::LineNumber;
using corvane::TextEncoding;

// The numbers of the line as the Text view writes its bytes.
std::vector<LineNumber> ViewNumbers(std::string_view bytes, TextEncoding encoding,
                                    ByteString& text) {
    text.clear();
    corvane::AppendDataView(bytes, {corvane::DataView::Text, encoding}, text);
    std::vector<LineNumber> numbers;
    corvane::ParseLineNumbers(text, numbers);
    return numbers;
}

TEST(DataLineReader, ReadsWhatTheTextViewShows) {
    // Lines of numbers, names and separators, here and there a byte the view writes otherwise:
    // an escape, a backslash, a line end inside the line, a UTF-8 or an upper-half byte.
    const std::string_view common = "0123456789.,;: \t=+-eEabc";
    const std::string_view rare = "\\\r\n\x01\x7f\xc3\xa9\xd0\x98\xff";
    std::mt19937 random(11);
    corvane::DataLineReader reader;
    ByteString text;
    int withNumbers = 0;
    for (int i = 0; i < 20000; ++i) {
        ByteString bytes;
        const int length = 1 + static_cast<int>(random() % 40);
        for (int at = 0; at < length; ++at)
            bytes.push_back(random() % 30 ? common[random() % common.size()]
                                          : rare[random() % rare.size()]);
        if (random() % 2)
            bytes += random() % 2 ? "\r\n" : "\n";
        const ByteString line =
            corvane::kReceivedArrow + corvane::StrToHexView(bytes); // as the pane keeps it
        for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Windows1251}) {
            const std::vector<LineNumber> expected = ViewNumbers(bytes, encoding, text);
            for (const bool given : {false, true}) {
                const auto read =
                    given ? reader.ReadBytes(bytes, encoding) : reader.Read(line, encoding);
                ASSERT_EQ(read.size(), expected.size()) << bytes;
                for (std::size_t n = 0; n < read.size(); ++n) {
                    EXPECT_EQ(read[n].name, expected[n].name) << bytes;
                    EXPECT_EQ(read[n].position, expected[n].position) << bytes;
                    EXPECT_EQ(read[n].value, expected[n].value) << bytes;
                }
                withNumbers += !read.empty();
            }
        }
    }
    EXPECT_GT(withNumbers, 20000) << "most lines hold numbers";
    EXPECT_TRUE(reader.Read("Port opened 12 34", TextEncoding::Utf8).empty()) << "no data line";
}

} // namespace

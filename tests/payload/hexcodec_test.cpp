// SPDX-License-Identifier: GPL-3.0-or-later
#include "payload/hexcodec.h"

#include "core/exception.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

struct HexCase {
    const char* text;
    ByteString bytes;
};

TEST(HexStrToData, ConvertsTokensToBytes) {
    const HexCase cases[] = {
        {"", ByteString(1, '\0')},
        {"01 03 00 00", ByteString("\x01\x03\x00\x00", 4)},
        {"0a 0B", "\x0A\x0B"},
        {"01  02", ByteString("\x01\x00\x02", 3)},
        {"01 ", ByteString("\x01\x00", 2)},
        {" 01", ByteString("\x00\x01", 2)},
        {" ", ByteString(2, '\0')},
        {"123", "\x23"},
        {"1FF", "\xFF"},
        {"100", ByteString(1, '\0')},
        {"FFFFFFFFF", "\xFF"},
        {"ff Fe 7f", "\xFF\xFE\x7F"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexStrToData(c.text), c.bytes) << '"' << c.text << '"';
}

TEST(HexStrToData, RefusesAnythingButHexDigitsAndSingleSpaces) {
    for (const char* text : {"0G", "01 -1", "$10", "01\t02", "0x10", "01,02", "1 2 z"}) {
        try {
            HexStrToData(text);
            ADD_FAILURE() << '"' << text << "\" converted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "No Hex-Number");
            EXPECT_STREQ(e.ClassName(), "EConvertError");
        }
    }
}

TEST(HexToInt, ShiftsDigitsInWith32BitWrap) {
    EXPECT_EQ(HexToInt(""), 0);
    EXPECT_EQ(HexToInt("7fffffff"), 0x7FFFFFFF);
    EXPECT_EQ(HexToInt("80000000"), INT32_MIN);
    EXPECT_EQ(HexToInt("123456789"), 0x23456789);
    // A long token is converted whole: its value is that of its last eight digits.
    EXPECT_EQ(HexToInt(ByteString(300, '0') + "AB"), 0xAB);
    EXPECT_THROW(HexToInt(ByteString(256, '0') + "G"), EConvertError);
}

TEST(StrToHexView, ShowsEveryByteAsSpaceAndTwoUpperCaseDigits) {
    EXPECT_EQ(StrToHexView(""), "");
    EXPECT_EQ(StrToHexView(ByteString("\x00\x7F\x80\xFF", 4)), " 00 7F 80 FF");
}

TEST(AppendHexView, WritesTheViewAfterWhatIsThere) {
    ByteString line = "-> (10.0.0.7) :";
    line.reserve(64);
    AppendHexView(line, "\x01\x02", 2);
    EXPECT_EQ(line, "-> (10.0.0.7) : 01 02");
    AppendHexView(line, "", 0);
    EXPECT_EQ(line, "-> (10.0.0.7) : 01 02");
}

TEST(HexCodec, EveryByteValueRoundTripsThroughTheView) {
    ByteString all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const ByteString view = StrToHexView(all);
    ASSERT_EQ(view.size(), 3u * 256);
    EXPECT_EQ(HexStrToData(view.substr(1)), all);
}

} // namespace

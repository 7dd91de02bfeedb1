// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/inttext.h"

#include "core/exception.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

TEST(IntegerText, ReadsDecimalAndHexWithSignAndLeadingSpaces) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", 0},
        {"19200", 19200},
        {"  12", 12},
        {"+7", 7},
        {"-1", -1},
        {"007", 7},
        {"$10", 16},
        {"$4B00", 19200},
        {"x1f", 31},
        {"X1F", 31},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {" -0x1", -1},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"-$FFFFFFFF", 1},
    };
    for (const auto& [text, value] : cases) {
        const auto read = TryStrToInt(text);
        ASSERT_TRUE(read.has_value()) << '"' << text << '"';
        EXPECT_EQ(*read, value) << '"' << text << '"';
    }
}

TEST(IntegerText, RefusesEverythingElse) {
    for (const char* text :
         {"", " ", "-", "+-1", "--1", "$", "0x", "12 ", "12a", "abc", "1.5", "2147483648",
          "-2147483649", "$100000000", "\t1", "1e3", "0x$1", "$-1", "99999999999999999999"}) {
        EXPECT_FALSE(TryStrToInt(text).has_value()) << '"' << text << '"';
    }
}

TEST(IntegerText, StrToIntNamesTheTextInItsError) {
    try {
        StrToInt("12a");
        FAIL() << "converted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    }
    EXPECT_EQ(StrToInt("4001"), 4001);
}

} // namespace

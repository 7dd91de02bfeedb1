// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of a line: a table of lines and what each holds.
#include "plot/linenumbers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using corvane::LineNumber;

// A number as the table writes it: "name=value" or "#position=value".
std::vector<std::string> Numbers(std::string_view line) {
    std::vector<LineNumber> numbers;
    corvane::ParseLineNumbers(line, numbers);
    std::vector<std::string> written;
    for (const LineNumber& number : numbers) {
        std::string name =
            number.name.empty() ? "#" + std::to_string(number.position) : std::string(number.name);
        char value[32];
        std::snprintf(value, sizeof value, "%g", number.value);
        written.push_back(name + "=" + value);
    }
    return written;
}

using Strings = std::vector<std::string>;

TEST(LineNumbers, SeparatorsSignsAndExponents) {
    EXPECT_EQ(Numbers("12.5, -3, 4e-2"), (Strings{"#1=12.5", "#2=-3", "#3=0.04"}));
    EXPECT_EQ(Numbers("+1;2\t3 4"), (Strings{"#1=1", "#2=2", "#3=3", "#4=4"}));
    EXPECT_EQ(Numbers("1E+3 -2.5e-1 .5 5. -0"),
              (Strings{"#1=1000", "#2=-0.25", "#3=0.5", "#4=5", "#5=-0"}));
    EXPECT_EQ(Numbers(" ,; 7 ;, "), (Strings{"#1=7"}));
    EXPECT_EQ(Numbers("1,,2"), (Strings{"#1=1", "#2=2"}));
}

TEST(LineNumbers, DecimalCommaIsTwoNumbers) {
    EXPECT_EQ(Numbers("3,14"), (Strings{"#1=3", "#2=14"}));
    EXPECT_EQ(Numbers("temp=21,5"), (Strings{"temp=21", "#1=5"}));
}

TEST(LineNumbers, WordsThatAreNotNumbersArePassedOver) {
    for (const char* line :
         {"", "   ", "hello world", "nan", "inf -inf NaN Infinity +inf", "1e", "e5", "-", ".", "+.",
          "0x1A", "1.2.3", "--1", "21.5C", "1e999", "-1e999", "\\x0D"})
        EXPECT_EQ(Numbers(line), Strings{}) << line;
    EXPECT_EQ(Numbers("value nan 2 inf 3"), (Strings{"#1=2", "#2=3"}));
}

TEST(LineNumbers, NamedPairs) {
    EXPECT_EQ(Numbers("temp:21.5 hum=40"), (Strings{"temp=21.5", "hum=40"}));
    EXPECT_EQ(Numbers("t=0.01,sin=0.0627905,cos=0.998027"),
              (Strings{"t=0.01", "sin=0.0627905", "cos=0.998027"}));
    EXPECT_EQ(Numbers("temp: 21.5 hum= -4"), (Strings{"temp=21.5", "hum=-4"}));
    EXPECT_EQ(Numbers("a:b=3"), (Strings{"a:b=3"}));
    // A named value that is no number names nothing, and the word after it stays unnamed.
    EXPECT_EQ(Numbers("temp:nan hum=inf"), Strings{});
    EXPECT_EQ(Numbers("temp: nan 5"), (Strings{"#1=5"}));
    EXPECT_EQ(Numbers("temp: hum: 5"), (Strings{"hum=5"}));
    // A clock time or a number before the mark is no name.
    EXPECT_EQ(Numbers("12:30:45 t=3"), (Strings{"t=3"}));
    EXPECT_EQ(Numbers("5:3 -1=2 .5=1 =4"), Strings{});
}

TEST(LineNumbers, MixedLinesNumberTheUnnamedAmongThemselves) {
    EXPECT_EQ(Numbers("x=1 2 y:3 4"), (Strings{"x=1", "#1=2", "y=3", "#2=4"}));
    EXPECT_EQ(Numbers("reading 7 of 9: 3.5"), (Strings{"#1=7", "#2=3.5"}));
}

TEST(LineNumbers, WholeNumberOnly) {
    double value = 0;
    EXPECT_TRUE(corvane::ParseNumber("-1.5e3", value));
    EXPECT_EQ(value, -1500);
    EXPECT_TRUE(corvane::ParseNumber("0.1", value));
    EXPECT_EQ(value, 0.1);
    EXPECT_FALSE(corvane::ParseNumber("", value));
    EXPECT_FALSE(corvane::ParseNumber("1 ", value));
    EXPECT_FALSE(corvane::ParseNumber("1e+", value));
}

} // namespace

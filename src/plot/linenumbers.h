// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The numbers a line of text holds, as a device prints its readings: numbers separated by commas,
// spaces, tabs or semicolons ("12.5, -3, 4e-2"), or named pairs ("temp:21.5 hum=40", also
// "temp: 21.5"; a name starts with none of a digit, sign or point). A number is a decimal with an
// optional sign, fraction and exponent; anything else between two separators is not one and is
// passed over, so "3,14" is the two numbers 3 and 14 (a comma always separates), "21.5C" is none,
// and neither are "nan" and "inf". A name is the text before the last ':' or '=' of a word. Pure;
// any thread.

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvane {

struct LineNumber {
    // The name of a named pair (a view into the line); empty for a number on its own.
    std::string_view name;
    // For a number on its own: its place among the line's unnamed numbers, from 1.
    int position = 0;
    double value = 0;
};

// The numbers of line, in their order, written over numbers.
void ParseLineNumbers(std::string_view line, std::vector<LineNumber>& numbers);

// Whether text is one whole number as ParseLineNumbers reads one, and its value (finite).
bool ParseNumber(std::string_view text, double& value);

} // namespace corvane

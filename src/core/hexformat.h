// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The hex view's one definition: each byte as a space and two upper-case hex digits (" 0A"). The
// payload codec writes it; the line store recognises it and keeps it as the bytes it shows.

#include <cstddef>

namespace corvane {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";
inline constexpr char kHexGroupSeparator = ' ';
inline constexpr std::size_t kHexGroupSize = 3; // the separator and two digits

// The value of a hex digit the operator typed, in either case; -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace corvane

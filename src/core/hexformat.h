// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The hex view's one definition: each byte as a space and two upper-case hex digits (" 0A"). The
// payload codec writes it; the line store recognises it and keeps it as the bytes it shows.

#include <cstddef>

namespace corvane {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";
inline constexpr char kHexGroupSeparator = ' ';
inline constexpr std::size_t kHexGroupSize = 3; // the separator and two digits

} // namespace corvane

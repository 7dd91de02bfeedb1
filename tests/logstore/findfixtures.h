// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the tests of find share: a deadline no step runs out of, and matches written briefly.

#include "logstore/linefind.h"

#include <cstdint>

// No step ever runs out of time in these tests unless they say so.
inline const corvane::FindClock::time_point kNoDeadline = corvane::FindClock::time_point::max();

inline corvane::Match At(std::int64_t line, std::int64_t column, std::int64_t length) {
    return {{line, column}, length};
}

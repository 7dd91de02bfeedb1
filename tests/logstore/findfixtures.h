// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the tests of find share: a deadline no step runs out of, matches written briefly, and
// the part of a whole line's matches that the columns in view should find.

#include "logstore/linefind.h"

#include <cstdint>
#include <vector>

// No step ever runs out of time in these tests unless they say so.
inline const corvane::FindClock::time_point kNoDeadline = corvane::FindClock::time_point::max();

inline corvane::Match At(std::int64_t line, std::int64_t column, std::int64_t length) {
    return {{line, column}, length};
}

// The matches of a whole line that lie at least in part within columns [from, to).
inline std::vector<corvane::Match> WithinColumns(const std::vector<corvane::Match>& whole,
                                                 std::int64_t from, std::int64_t to) {
    std::vector<corvane::Match> within;
    for (const corvane::Match& match : whole)
        if (match.To().column > from && match.from.column < to)
            within.push_back(match);
    return within;
}

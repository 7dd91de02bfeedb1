// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/wordstops.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using corvane::NextWordStop;
using corvane::PreviousWordStop;
using corvane::WordAt;

TEST(WordStops, CtrlArrowsStopAtTheStartsOfRuns) {
    struct Case {
        std::string_view text;
        std::size_t next;     // from the start
        std::size_t previous; // from the end
    };
    const Case cases[] = {
        {"", 0, 0},
        {"word", 4, 0},
        {"alpha beta", 6, 6},
        {"beta_2, gamma", 6, 8}, // '_' and digits belong to the word; ", " is a run of its own
        {", next", 2, 2},
        {"   lead", 3, 3},
        {"trail   ", 8, 0},
        {"\xC4\xE2\xE0 \xF1\xEB\xEE\xE2\xE0", 4, 4}, // Cyrillic letters are word characters
        {"a\tb", 2, 2},                              // a TAB is blank
        {"01 0A FF", 3, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextWordStop(c.text), c.next) << c.text;
        EXPECT_EQ(PreviousWordStop(c.text), c.previous) << c.text;
    }
}

TEST(WordStops, ADoubleClickTakesTheRunUnderIt) {
    struct Case {
        std::string_view text;
        std::size_t at;
        std::size_t begin;
        std::size_t end;
    };
    const Case cases[] = {
        {"hello brave world", 8, 6, 11},
        {"hello brave world", 5, 5, 6},    // on the blank between words: the blank
        {"hello brave world", 17, 12, 17}, // past the end: the last word
        {"-> (127.0.0.1) : 01", 5, 4, 7},  // digits up to the dot
        {"\xC6\xC6 x", 0, 0, 2},
        {"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        const corvane::Span span = WordAt(c.text, c.at);
        EXPECT_EQ(span.begin, c.begin) << c.text << " at " << c.at;
        EXPECT_EQ(span.end, c.end) << c.text << " at " << c.at;
    }
}

} // namespace

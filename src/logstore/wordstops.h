// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the caret stops when it moves by words through a line of code-page text, and which bytes
// a double-click selects. Bytes fall into three classes: blanks, word characters (letters and
// digits of Windows-1251, and '_') and everything else; a word is a run of one non-blank class.

#include <string_view>

namespace corvane {

enum class CharClass { Blank, Word, Other };
CharClass ClassOf(char byte);

// Index in after (the bytes from the caret on) where Ctrl+Right stops: past the run the caret is
// in, then past the blanks that follow it.
std::size_t NextWordStop(std::string_view after);
// Index in before (the bytes up to the caret) where Ctrl+Left stops: back over blanks, then to
// the start of the run before them.
std::size_t PreviousWordStop(std::string_view before);

// The run of one class around index at in text (the byte at it, or before it at the end).
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};
Span WordAt(std::string_view text, std::size_t at);

} // namespace corvane

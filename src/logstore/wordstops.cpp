// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/wordstops.h"

#include "core/codepage.h"

#include <array>

namespace corvane {

CharClass ClassOf(char byte) {
    // The class of every byte value, read once from the code page's characters.
    static const std::array<CharClass, 256> classes = [] {
        std::array<CharClass, 256> table{};
        for (std::size_t value = 0; value < table.size(); ++value) {
            const QChar c = FromCodePage(ByteString(1, static_cast<char>(value))).at(0);
            table[value] = value < 0x20 || c.isSpace()         ? CharClass::Blank
                           : c.isLetterOrNumber() || c == u'_' ? CharClass::Word
                                                               : CharClass::Other;
        }
        return table;
    }();
    return classes[static_cast<unsigned char>(byte)];
}

std::size_t NextWordStop(std::string_view after) {
    std::size_t i = 0;
    if (i < after.size() && ClassOf(after[i]) != CharClass::Blank) {
        const CharClass run = ClassOf(after[i]);
        while (i < after.size() && ClassOf(after[i]) == run)
            ++i;
    }
    while (i < after.size() && ClassOf(after[i]) == CharClass::Blank)
        ++i;
    return i;
}

std::size_t PreviousWordStop(std::string_view before) {
    std::size_t i = before.size();
    while (i > 0 && ClassOf(before[i - 1]) == CharClass::Blank)
        --i;
    if (i > 0) {
        const CharClass run = ClassOf(before[i - 1]);
        while (i > 0 && ClassOf(before[i - 1]) == run)
            --i;
    }
    return i;
}

Span WordAt(std::string_view text, std::size_t at) {
    if (text.empty())
        return {};
    if (at >= text.size())
        at = text.size() - 1;
    const CharClass run = ClassOf(text[at]);
    Span span{at, at + 1};
    while (span.begin > 0 && ClassOf(text[span.begin - 1]) == run)
        --span.begin;
    while (span.end < text.size() && ClassOf(text[span.end]) == run)
        ++span.end;
    return span;
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How text is cut into a pane's lines, for the store and for everything that must cut it alike.

#include <cstddef>
#include <string_view>

namespace corvane {

// Calls each(piece) for the pieces of text between the separators.
template <class Each>
void ForEachPiece(std::string_view text, std::string_view separator, Each each) {
    for (std::size_t start = 0;;) {
        const std::size_t at = text.find(separator, start);
        each(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos)
            return;
        start = at + separator.size();
    }
}

// A line the program appends makes one pane line per piece between CR LF pairs; a lone CR or LF
// stays inside its line.
template <class Each> void ForEachPaneLine(std::string_view line, Each each) {
    ForEachPiece(line, "\r\n", each);
}

} // namespace corvane

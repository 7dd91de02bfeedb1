// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The hex view the program writes received bytes in (" 01 02 FF": a space and two upper-case
// hex digits a byte) kept as the raw bytes, a third of its size, and written out again exactly
// when read: a line is its prefix and then the groups.

#include "core/bytestring.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane {

struct HexView {
    std::size_t prefix = 0; // bytes before the view
    std::size_t groups = 0; // bytes the view shows, three characters each
};

// The hex view at the end of text, as long as it goes back: none (0 groups) when text does not
// end in one.
HexView FindHexView(std::string_view text);

// Writes the bytes the groups of view show (text from the first group on) to raw.
void PackHexView(std::string_view view, char* raw);

// The hex view at the end of text, as FindHexView finds it, with the bytes it shows written over
// raw: one pass over the view where the two above take two.
HexView PackHexViewAtEnd(std::string_view text, ByteString& raw);

// Appends to out the characters from..to of the view that shows raw, where raw holds the bytes
// from group from / 3 on.
void UnpackHexView(const char* raw, std::int64_t from, std::int64_t to, ByteString& out);

} // namespace corvane

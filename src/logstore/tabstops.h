// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the bytes of a line stand on the screen: every byte takes one cell of a monospaced pane,
// except a TAB, which reaches to the next tab stop (every 8 cells, as in any plain-text editor),
// so that tab-separated columns line up.

#include <cstdint>
#include <string_view>

namespace corvane {

constexpr std::int64_t kTabStop = 8;

// The cell after byte, drawn at cell.
constexpr std::int64_t CellAfter(char byte, std::int64_t cell) {
    return byte == '\t' ? (cell / kTabStop + 1) * kTabStop : cell + 1;
}

// The cell after text, drawn from cell on (by default, from the start of its line).
std::int64_t CellAfter(std::string_view text, std::int64_t cell = 0);

// The column (an index into line) whose cell range holds cell: the byte drawn there, or
// line.size() past the end. line may be the end of a line, its first byte drawn at cell start.
std::int64_t ColumnUnder(std::string_view line, std::int64_t cell, std::int64_t start = 0);

// The caret position nearest to the point cell (a fraction of cells from the line's start): a
// point in the right half of a byte's cells puts the caret after it. line may be the end of a
// line, its first byte drawn at cell start.
std::int64_t ColumnNearest(std::string_view line, double cell, std::int64_t start = 0);

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a row of a pane draws of a line: the bytes in the cells in view, and which of those
// cells are the Text view's "\xNN" escapes. A line of megabytes is read only from the mark the
// store took before the view (linestore.h), not from its start.

#include "core/bytestring.h"
#include "logstore/linestore.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace corvane {

struct RowCells {
    // A byte per cell from the first cell asked for on, each TAB's cells blanks; fewer at the
    // line's end.
    ByteString bytes;
    // The cells [first, second) that escapes take, as indices into bytes, in order; only for a
    // data line of the Text view.
    std::vector<std::pair<std::int64_t, std::int64_t>> escapes;
};

// The line's cells [first, first + count).
RowCells RowCellsOf(const LineStore& store, std::int64_t line, std::int64_t first,
                    std::int64_t count);

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/tabstops.h"

#include <cstring>

namespace corvane {

std::int64_t CellAfter(std::string_view text, std::int64_t cell) {
    // Runs without a TAB are counted whole: a line of megabytes has none, as a rule.
    for (std::size_t at = 0; at < text.size();) {
        const void* tab = std::memchr(text.data() + at, '\t', text.size() - at);
        const std::size_t end =
            tab ? static_cast<std::size_t>(static_cast<const char*>(tab) - text.data())
                : text.size();
        cell += static_cast<std::int64_t>(end - at);
        if (end == text.size())
            break;
        cell = CellAfter('\t', cell);
        at = end + 1;
    }
    return cell;
}

std::int64_t ColumnUnder(std::string_view line, std::int64_t cell, std::int64_t start) {
    for (std::size_t column = 0; column < line.size(); ++column) {
        const std::int64_t end = CellAfter(line[column], start);
        if (cell < end)
            return static_cast<std::int64_t>(column);
        start = end;
    }
    return static_cast<std::int64_t>(line.size());
}

std::int64_t ColumnNearest(std::string_view line, double cell, std::int64_t start) {
    for (std::size_t column = 0; column < line.size(); ++column) {
        const std::int64_t end = CellAfter(line[column], start);
        if (cell < end)
            return static_cast<std::int64_t>(column) + (cell * 2 >= start + end ? 1 : 0);
        start = end;
    }
    return static_cast<std::int64_t>(line.size());
}

} // namespace corvane

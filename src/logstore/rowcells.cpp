// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/rowcells.h"

#include "logstore/dataview.h"
#include "logstore/tabstops.h"

#include <algorithm>

namespace corvane {

namespace {

// The column and the cell the line is read from for what is drawn from cell on: the mark at or
// before it on a long line of the Text view, else the line's start.
std::pair<std::int64_t, std::int64_t> ReadFrom(const LineStore& store, std::int64_t line,
                                               std::int64_t cell) {
    const LineStore::TextMark mark = store.TextViewMarkAtCell(line, cell);
    return mark.column < 0 ? std::pair<std::int64_t, std::int64_t>{0, 0}
                           : std::pair{mark.column, mark.cell};
}

ByteString CellsOf(const LineStore& store, std::int64_t line, std::int64_t first,
                   std::int64_t count) {
    if (!store.HasTabs(line))
        return store.Line(line, first, count);
    // A byte takes at least a cell: those from the read's start up to the last cell asked for
    // are enough.
    const auto [start, startCell] = ReadFrom(store, line, first);
    const ByteString bytes = store.Line(line, start, first + count - startCell);
    ByteString cells;
    std::int64_t cell = startCell;
    for (const char byte : bytes) {
        const std::int64_t next = CellAfter(byte, cell);
        for (; cell < next; ++cell)
            if (cell >= first && cell < first + count)
                cells.push_back(byte == '\t' ? ' ' : byte);
        if (cell >= first + count)
            break;
    }
    return cells;
}

} // namespace

RowCells RowCellsOf(const LineStore& store, std::int64_t line, std::int64_t first,
                    std::int64_t count) {
    RowCells row{CellsOf(store, line, first, count), {}};
    if (store.View().view != DataView::Text || !store.InDataView(line))
        return row;
    const auto shown = static_cast<std::int64_t>(row.bytes.size());
    // The cells are walked on from escape to escape, once over the line as far as the row's
    // last cell (a character takes at least one): a line of megabytes of bytes holds hundreds
    // of thousands of escapes.
    const auto [start, startCell] = ReadFrom(store, line, first);
    const ByteString text =
        store.Line(line, start, first + shown - startCell + static_cast<std::int64_t>(kEscapeSize));
    std::size_t walked = 0;
    std::int64_t cell = startCell;
    const auto cellOf = [&](std::int64_t column) {
        for (; walked < static_cast<std::size_t>(column); ++walked)
            cell = CellAfter(text[walked], cell);
        return cell;
    };
    for (const auto& [from, to] : EscapesIn(text)) {
        const std::int64_t begin = cellOf(from) - first;
        if (begin >= shown)
            break;
        const std::int64_t end = std::min(cellOf(to) - first, shown);
        if (end > std::max<std::int64_t>(begin, 0))
            row.escapes.emplace_back(std::max<std::int64_t>(begin, 0), end);
    }
    return row;
}

} // namespace corvane

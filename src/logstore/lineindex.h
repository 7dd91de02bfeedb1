// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line references of a line store and the lines' times, in line order, held in blocks of up to
// 64K so that appending never moves more than one block, and an edit anywhere rebuilds only the
// blocks it touches (and the table of where each block starts, one entry per 64K lines).

#include "logstore/textarena.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

// A line's place and its time (µs since the epoch). The time is kept as two 32-bit halves, so
// that an entry needs no 8-byte alignment: 20 bytes a line rather than 24.
struct IndexEntry {
    LineRef ref;
    std::uint32_t timeLow = 0;
    std::uint32_t timeHigh = 0;

    IndexEntry() = default;
    IndexEntry(LineRef line, std::int64_t time)
        : ref(line), timeLow(static_cast<std::uint32_t>(time)),
          timeHigh(static_cast<std::uint32_t>(static_cast<std::uint64_t>(time) >> 32)) {}
    std::int64_t Time() const {
        return static_cast<std::int64_t>(std::uint64_t{timeHigh} << 32 | timeLow);
    }
};

class LineIndex {
public:
    static constexpr std::size_t kBlockLines = std::size_t{1} << 16;

    std::int64_t Count() const;
    const IndexEntry& Entry(std::int64_t line) const;
    LineRef At(std::int64_t line) const { return Entry(line).ref; }
    std::int64_t Time(std::int64_t line) const { return Entry(line).Time(); }
    void Set(std::int64_t line, IndexEntry entry);
    void Push(IndexEntry entry);
    // Replaces the count lines from first on with lines.
    void Splice(std::int64_t first, std::int64_t count, std::span<const IndexEntry> lines);
    void Clear();

    std::size_t BytesInMemory() const;

private:
    struct Place {
        std::size_t block;
        std::size_t index;
    };
    Place Find(std::int64_t line) const;
    void Renumber();

    std::vector<std::vector<IndexEntry>> blocks_;
    std::vector<std::int64_t> blockFirst_; // the number of each block's first line
    mutable std::size_t lastBlock_ = 0;    // where the last lookup landed: reads go in runs
};

} // namespace corvane

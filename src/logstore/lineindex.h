#pragma once
// The line references of a line store, in line order, held in blocks of up to 64K so that
// appending never moves more than one block, and an edit anywhere rebuilds only the blocks it
// touches (and the table of where each block starts, one entry per 64K lines).

#include "logstore/textarena.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

class LineIndex {
public:
    static constexpr std::size_t kBlockLines = std::size_t{1} << 16;

    std::int64_t Count() const;
    LineRef At(std::int64_t line) const;
    void Set(std::int64_t line, LineRef ref);
    void Push(LineRef ref);
    // Replaces the count lines from first on with lines.
    void Splice(std::int64_t first, std::int64_t count, std::span<const LineRef> lines);
    void Clear();

    std::size_t BytesInMemory() const;

private:
    struct Place {
        std::size_t block;
        std::size_t index;
    };
    Place Find(std::int64_t line) const;
    void Renumber();

    std::vector<std::vector<LineRef>> blocks_;
    std::vector<std::int64_t> blockFirst_; // the number of each block's first line
    mutable std::size_t lastBlock_ = 0;    // where the last lookup landed: reads go in runs
};

} // namespace corvane

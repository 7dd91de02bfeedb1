// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/lineindex.h"

#include <algorithm>
#include <stdexcept>

namespace corvane {

std::int64_t LineIndex::Count() const {
    if (blocks_.empty())
        return 0;
    return blockFirst_.back() + static_cast<std::int64_t>(blocks_.back().size());
}

LineIndex::Place LineIndex::Find(std::int64_t line) const {
    auto inBlock = [&](std::size_t block) {
        return line >= blockFirst_[block] &&
               line < blockFirst_[block] + static_cast<std::int64_t>(blocks_[block].size());
    };
    // Reads go in runs: most land in the block the last one did, and are in range then.
    if (lastBlock_ >= blocks_.size() || !inBlock(lastBlock_)) {
        if (line < 0 || line >= Count())
            throw std::out_of_range("line number out of range");
        const auto after = std::upper_bound(blockFirst_.begin(), blockFirst_.end(), line);
        lastBlock_ = static_cast<std::size_t>(after - blockFirst_.begin()) - 1;
    }
    return {lastBlock_, static_cast<std::size_t>(line - blockFirst_[lastBlock_])};
}

const IndexEntry& LineIndex::Entry(std::int64_t line) const {
    const Place place = Find(line);
    return blocks_[place.block][place.index];
}

void LineIndex::Set(std::int64_t line, IndexEntry entry) {
    const Place place = Find(line);
    blocks_[place.block][place.index] = entry;
}

void LineIndex::Push(IndexEntry entry) {
    if (blocks_.empty() || blocks_.back().size() >= kBlockLines) {
        blockFirst_.push_back(Count());
        // Taken whole at once: a block grown by doubling would hold its old and new copies at
        // once, and only the pages written take memory.
        blocks_.emplace_back().reserve(kBlockLines);
    }
    blocks_.back().push_back(entry);
}

void LineIndex::Splice(std::int64_t first, std::int64_t count, std::span<const IndexEntry> lines) {
    if (static_cast<std::size_t>(count) == lines.size()) {
        for (std::size_t i = 0; i < lines.size(); ++i)
            Set(first + static_cast<std::int64_t>(i), lines[i]);
        return;
    }
    if (blocks_.empty()) {
        for (const IndexEntry& line : lines)
            Push(line);
        return;
    }
    // The blocks from the one holding first to the one holding the last line replaced (or, at the
    // very end, the last block) are rebuilt from what they keep and the new lines.
    const std::size_t firstBlock = first < Count() ? Find(first).block : blocks_.size() - 1;
    const std::size_t lastBlock = count > 0 ? Find(first + count - 1).block : firstBlock;
    const auto& head = blocks_[firstBlock];
    const auto& tail = blocks_[lastBlock];
    const auto headKept = static_cast<std::size_t>(first - blockFirst_[firstBlock]);
    const auto tailFrom = static_cast<std::size_t>(first + count - blockFirst_[lastBlock]);
    std::vector<IndexEntry> merged;
    merged.reserve(headKept + lines.size() + (tail.size() - tailFrom));
    merged.insert(merged.end(), head.begin(), head.begin() + static_cast<std::ptrdiff_t>(headKept));
    merged.insert(merged.end(), lines.begin(), lines.end());
    merged.insert(merged.end(), tail.begin() + static_cast<std::ptrdiff_t>(tailFrom), tail.end());

    std::vector<std::vector<IndexEntry>> rebuilt;
    for (std::size_t at = 0; at < merged.size(); at += kBlockLines) {
        const auto end = std::min(merged.size(), at + kBlockLines);
        rebuilt.emplace_back(merged.begin() + static_cast<std::ptrdiff_t>(at),
                             merged.begin() + static_cast<std::ptrdiff_t>(end));
    }
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(firstBlock),
                  blocks_.begin() + static_cast<std::ptrdiff_t>(lastBlock) + 1);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(firstBlock),
                   std::make_move_iterator(rebuilt.begin()),
                   std::make_move_iterator(rebuilt.end()));
    Renumber();
}

void LineIndex::Renumber() {
    blockFirst_.resize(blocks_.size());
    std::int64_t line = 0;
    for (std::size_t block = 0; block < blocks_.size(); ++block) {
        blockFirst_[block] = line;
        line += static_cast<std::int64_t>(blocks_[block].size());
    }
    lastBlock_ = 0;
}

void LineIndex::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    blockFirst_.clear();
    lastBlock_ = 0;
}

std::size_t LineIndex::BytesInMemory() const {
    std::size_t bytes =
        blocks_.capacity() * sizeof(blocks_[0]) + blockFirst_.capacity() * sizeof(std::int64_t);
    // A block's entries as written: the rest of the last block is taken but never touched, so
    // takes no memory.
    for (const auto& block : blocks_)
        bytes += block.size() * sizeof(IndexEntry);
    return bytes;
}

} // namespace corvane

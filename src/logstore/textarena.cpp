// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/textarena.h"

#include "core/logarrows.h"
#include "logstore/hexview.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace corvane {

namespace {

// A sixteenth of the budget, between 4 KiB and 4 MiB: the chunk being filled is never more than a
// small part of the budget, and a chunk is a large enough write for the disk.
constexpr std::size_t kLargestChunk = std::size_t{4} << 20;
static_assert(kLargestChunk <= std::size_t{1} << 22, "a line's offset in a chunk has 22 bits");
static_assert(sizeof(LineRef) == 12);

std::size_t ChunkSizeFor(std::size_t budget) {
    return std::clamp<std::size_t>(budget / 16, std::size_t{4} << 10, kLargestChunk);
}

// A hex view of fewer bytes is kept as it is: packing it saves too little to matter.
constexpr std::size_t kPackFromGroups = 4;

// Spooled text is read back in pages of up to 64 KiB (a screen of typical lines is one or two of
// them); sixteen pages are kept.
constexpr std::size_t kCachePages = 16;
std::size_t PageSizeFor(std::size_t chunkSize) {
    return std::min<std::size_t>(chunkSize, std::size_t{64} << 10);
}

} // namespace

std::string_view TextArena::ArrowOf(LineRef line) {
    switch (line.hexPrefix) {
    case LineRef::kFirstArrow:
        return kReceivedArrow;
    case LineRef::kFirstArrow + 1:
        return kDatagramArrow;
    case LineRef::kFirstArrow + 2:
        return kSentArrow;
    default:
        return {};
    }
}

TextArena::TextArena(std::size_t budget, std::string spoolFolder)
    : budget_(budget), chunkSize_(ChunkSizeFor(budget)),
      spool_(std::move(spoolFolder), PageSizeFor(chunkSize_), kCachePages) {}

std::uint32_t TextArena::NewChunk(std::size_t capacity) {
    Chunk& chunk = chunks_.emplace_back();
    if (spare_ && capacity == chunkSize_)
        chunk.bytes = std::move(spare_);
    else // left uninitialised: the pages become resident as the lines are copied in
        chunk.bytes = std::make_unique_for_overwrite<char[]>(capacity);
    chunk.capacity = capacity;
    inMemory_ += capacity;
    return static_cast<std::uint32_t>(chunks_.size() - 1);
}

void TextArena::Seal(std::uint32_t id) {
    Chunk& chunk = chunks_[id];
    chunk.sealed = true;
    if (chunk.live == 0)
        Free(chunk);
    else
        sealedInMemory_.push_back(id);
}

void TextArena::ReleaseMemory(Chunk& chunk) {
    if (!chunk.bytes)
        return;
    if (!spare_ && chunk.capacity == chunkSize_)
        spare_ = std::move(chunk.bytes);
    else
        chunk.bytes.reset();
    inMemory_ -= chunk.capacity;
}

void TextArena::Free(Chunk& chunk) {
    if (chunk.writing)
        return; // the writer still reads the bytes: freed when its write is taken back
    if (holds_ > 0) {
        unusedWhileHeld_.push_back(static_cast<std::uint32_t>(&chunk - chunks_.data()));
        return;
    }
    ReleaseMemory(chunk);
    if (chunk.spoolOffset >= 0) {
        spool_.Release(chunk.spoolOffset, chunk.size);
        spooled_ -= chunk.size;
        chunk.spoolOffset = -1;
    }
}

LineRef TextArena::Add(std::string_view text) {
    if (text.empty())
        return {};
    LineRef line;
    line.length = text.size() < LineRef::kWholeChunk ? static_cast<std::uint32_t>(text.size())
                                                     : LineRef::kWholeChunk;
    // A line of a quarter chunk or more gets a chunk of its own, so that no more than a quarter
    // of a chunk is left unused when the next line does not fit.
    const bool ownChunk = text.size() >= chunkSize_ / 4;
    HexView hex = FindHexView(text);
    // Packing pays from a few bytes on; a prefix must fit its field.
    if (hex.groups >= kPackFromGroups && hex.prefix < LineRef::kFirstArrow)
        line.hexPrefix = static_cast<std::uint32_t>(hex.prefix);
    else
        hex = {};
    const std::string_view prefix = text.substr(0, hex.prefix);
    for (const std::uint32_t arrow :
         {LineRef::kFirstArrow, LineRef::kFirstArrow + 1, LineRef::kFirstArrow + 2}) {
        if (hex.groups && prefix == ArrowOf({.hexPrefix = arrow}))
            line.hexPrefix = arrow;
    }
    const std::size_t kept = hex.groups ? KeptPrefix(line) : 0;
    const std::size_t stored = hex.groups ? kept + hex.groups : text.size();
    if (ownChunk) {
        line.chunk = NewChunk(stored);
    } else {
        if (!hasOpen_ || chunks_[open_].capacity - chunks_[open_].size < stored) {
            if (hasOpen_)
                Seal(open_);
            open_ = NewChunk(chunkSize_);
            hasOpen_ = true;
        }
        line.chunk = open_;
        line.offset = static_cast<std::uint32_t>(chunks_[open_].size);
    }
    Chunk& chunk = chunks_[line.chunk];
    char* to = chunk.bytes.get() + chunk.size;
    if (hex.groups) {
        std::memcpy(to, text.data(), kept);
        PackHexView(text.substr(hex.prefix), to + kept);
    } else {
        std::memcpy(to, text.data(), text.size());
    }
    chunk.size += stored;
    chunk.live += stored;
    added_ += stored;
    if (ownChunk)
        Seal(line.chunk);
    return line;
}

std::size_t TextArena::StoredSize(LineRef line) const {
    const auto length = static_cast<std::size_t>(Length(line));
    if (line.hexPrefix == LineRef::kNotPacked)
        return length;
    return KeptPrefix(line) + (length - PrefixLength(line)) / 3;
}

void TextArena::Remove(LineRef line) {
    const std::size_t stored = StoredSize(line);
    if (stored == 0)
        return;
    Chunk& chunk = chunks_[line.chunk];
    chunk.live -= stored;
    if (chunk.live == 0 && chunk.sealed)
        Free(chunk);
}

std::int64_t TextArena::Length(LineRef line) const {
    if (line.length != LineRef::kWholeChunk)
        return line.length;
    const auto stored = static_cast<std::int64_t>(chunks_[line.chunk].size);
    if (line.hexPrefix == LineRef::kNotPacked)
        return stored;
    return static_cast<std::int64_t>(PrefixLength(line)) +
           3 * (stored - static_cast<std::int64_t>(KeptPrefix(line)));
}

void TextArena::ReadStored(const Chunk& chunk, std::int64_t at, std::size_t size,
                           ByteString& out) const {
    if (chunk.bytes)
        out.append(chunk.bytes.get() + at, size);
    else
        spool_.Read(chunk.spoolOffset + at, size, out);
}

void TextArena::ReadKept(LineRef line, ByteString& out) const {
    out.append(ArrowOf(line));
    const std::size_t size = StoredSize(line);
    if (size > 0)
        ReadStored(chunks_[line.chunk], line.offset, size, out);
}

void TextArena::ReadPacked(LineRef line, std::int64_t from, std::int64_t count,
                           ByteString& out) const {
    const auto bytes = static_cast<std::int64_t>(StoredSize(line) - KeptPrefix(line));
    from = std::clamp<std::int64_t>(from, 0, bytes);
    count = std::clamp<std::int64_t>(count, 0, bytes - from);
    if (count > 0)
        ReadStored(chunks_[line.chunk], line.offset + KeptPrefix(line) + from,
                   static_cast<std::size_t>(count), out);
}

void TextArena::Read(LineRef line, std::int64_t column, std::int64_t count, ByteString& out) const {
    const std::int64_t length = Length(line);
    column = std::clamp<std::int64_t>(column, 0, length);
    const std::int64_t end = column + std::clamp<std::int64_t>(count, 0, length - column);
    if (end == column)
        return;
    const Chunk& chunk = chunks_[line.chunk];
    const std::int64_t prefix =
        Packed(line) ? static_cast<std::int64_t>(PrefixLength(line)) : length;
    if (column < prefix) {
        const auto size = static_cast<std::size_t>(std::min(end, prefix) - column);
        if (const std::string_view arrow = ArrowOf(line); !arrow.empty())
            out.append(arrow.substr(static_cast<std::size_t>(column), size));
        else
            ReadStored(chunk, line.offset + column, size, out);
    }
    if (end <= prefix)
        return;
    // The characters from..to of the hex view, from the bytes of the groups they fall in.
    const std::int64_t from = std::max(column, prefix) - prefix;
    const std::int64_t to = end - prefix;
    const std::int64_t at = line.offset + static_cast<std::int64_t>(KeptPrefix(line)) + from / 3;
    // Straight from memory; from the spool file through a buffer kept from read to read, as
    // finding and saving read every line one after the other.
    if (chunk.bytes) {
        UnpackHexView(chunk.bytes.get() + at, from, to, out);
        return;
    }
    raw_.clear();
    ReadStored(chunk, at, static_cast<std::size_t>((to - 1) / 3 - from / 3 + 1), raw_);
    UnpackHexView(raw_.data(), from, to, out);
}

void TextArena::TakeFinishedWrites(bool wait) {
    for (const SpoolWriter::Write& write : spool_.Finished(wait)) {
        Chunk& chunk = chunks_[write.tag];
        chunk.writing = false;
        writing_ -= chunk.capacity;
        if (write.ok) {
            chunk.spoolOffset = write.offset;
            spooled_ += chunk.size;
            ReleaseMemory(chunk);
        } else if (chunk.live > 0) {
            failedWrites_.push_back(write.tag);
        }
        if (chunk.live == 0)
            Free(chunk);
    }
}

void TextArena::Spool() {
    // Cheap when there is nothing to do: this runs after every line appended.
    const std::size_t waitBeyond = budget_ + budget_ / 4;
    if (inMemory_ - writing_ <= budget_ && inMemory_ <= waitBeyond)
        return;
    TakeFinishedWrites(false);
    RetrySpoolWhenDue();
    while (inMemory_ - writing_ > budget_ && !sealedInMemory_.empty()) {
        const std::uint32_t id = sealedInMemory_.front();
        Chunk& chunk = chunks_[id];
        if (chunk.bytes && !spool_.Write(id, chunk.bytes.get(), chunk.size))
            break;
        sealedInMemory_.pop_front();
        if (chunk.bytes) {
            chunk.writing = true;
            writing_ += chunk.capacity;
        }
    }
    while (inMemory_ > waitBeyond && spool_.Queued() > 0)
        TakeFinishedWrites(true);
}

void TextArena::RetrySpoolWhenDue() {
    if (!spool_.Failed()) {
        failedAt_.reset();
        return;
    }
    // Space may come back on the disk; one failed attempt per budget of text costs little.
    if (!failedAt_)
        failedAt_ = added_;
    if (added_ - *failedAt_ < budget_ || spool_.Queued() > 0)
        return;
    spool_.Retry();
    failedAt_.reset();
    // The chunks whose writes failed are the oldest in memory: they go first, in their order.
    for (auto id = failedWrites_.rbegin(); id != failedWrites_.rend(); ++id) {
        if (chunks_[*id].bytes && chunks_[*id].live > 0)
            sealedInMemory_.push_front(*id);
    }
    failedWrites_.clear();
}

void TextArena::Unhold() {
    if (--holds_ > 0)
        return;
    for (const std::uint32_t id : std::exchange(unusedWhileHeld_, {})) {
        if (chunks_[id].live == 0)
            Free(chunks_[id]);
    }
}

bool TextArena::InMemoryOnly(LineRef line) const {
    if (StoredSize(line) == 0)
        return false;
    const Chunk& chunk = chunks_[line.chunk];
    return chunk.bytes && !chunk.writing && chunk.spoolOffset < 0;
}

void TextArena::SettleSpool() {
    while (spool_.Queued() > 0)
        TakeFinishedWrites(true);
}

std::size_t TextArena::BytesInMemory() const {
    return inMemory_ + (spare_ ? chunkSize_ : 0) + chunks_.capacity() * sizeof(Chunk) +
           sealedInMemory_.size() * sizeof(std::uint32_t) + spool_.CacheBytes();
}

} // namespace corvane

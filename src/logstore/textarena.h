// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the bytes of a line store's lines live: chunks of a fixed size filled one after the other
// (a long line gets a chunk of its own), in memory up to a budget and beyond it in the spool
// file, oldest chunk first. A line is known by a 12-byte reference to its place in a chunk.
//
// The bytes of a chunk are never moved or rewritten: a line the operator edits is added anew and
// its old bytes are let go; a chunk none of whose bytes are still used is freed, in memory and on
// disk. While a reader holds the arena (Hold), nothing is freed: the bytes it may still read stay
// where they are until the last hold is let go.

#include "core/bytestring.h"
#include "logstore/spoolfile.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct LineRef {
    // A length that does not fit 32 bits is stored as kWholeChunk: such a line always has a chunk
    // of its own, whose size is what the line keeps (its length, or its prefix and raw bytes).
    static constexpr std::uint32_t kWholeChunk = 0xFFFFFFFF;
    // hexPrefix of a line kept as it is; any other value: the line ends in a hex view kept as
    // raw bytes after its prefix. Below kFirstArrow, the prefix's length, its bytes kept before
    // the raw bytes; from kFirstArrow on, one of the arrows that start nearly every data line
    // (core/logarrows.h), known by its number and not kept.
    static constexpr std::uint32_t kNotPacked = 1023;
    static constexpr std::uint32_t kFirstArrow = 1020;

    std::uint32_t chunk = 0;
    // Lines with a chunk of their own start at 0; the others lie within the first 4 MiB.
    std::uint32_t offset : 22 = 0;
    std::uint32_t hexPrefix : 10 = kNotPacked;
    std::uint32_t length = 0; // of the line's text
};

class TextArena {
public:
    // budget: bytes of chunks kept in memory; the chunk size is a fraction of it, so that the
    // chunk being filled never holds much of the budget.
    TextArena(std::size_t budget, std::string spoolFolder);

    // Copies text into the arena; a hex view at its end is kept as the raw bytes.
    LineRef Add(std::string_view text);
    // The line's bytes are no longer used.
    void Remove(LineRef line);

    std::int64_t Length(LineRef line) const;
    // Whether the line ends in a hex view kept as its raw bytes.
    static bool Packed(LineRef line) { return line.hexPrefix != LineRef::kNotPacked; }
    // Where the hex view of a packed line starts: its prefix's length. (Asked of every line
    // read: the common case is told inline.)
    static std::size_t PrefixLength(LineRef line) {
        return line.hexPrefix < LineRef::kFirstArrow ? line.hexPrefix : ArrowOf(line).size();
    }
    // Appends to out what the arena keeps of the line: its text, or for a packed line its prefix
    // and then the raw bytes of its hex view.
    void ReadKept(LineRef line, ByteString& out) const;
    // Appends to out up to count of the raw bytes of a packed line's hex view from byte from on.
    void ReadPacked(LineRef line, std::int64_t from, std::int64_t count, ByteString& out) const;
    // Appends to out up to count bytes of the line from column on.
    void Read(LineRef line, std::int64_t column, std::int64_t count, ByteString& out) const;

    bool OverBudget() const { return inMemory_ > budget_; }
    // Moves the oldest chunks beyond the budget to the spool file. Their writes are queued to the
    // spool file's writer; this thread waits for the disk only when the text in memory runs a
    // quarter of the budget beyond it. After the spool file failed, it is tried again, with the
    // chunks whose writes failed, each time another budget's worth of text has been added.
    void Spool();
    // A reader keeps every line's bytes readable, those let go meanwhile included, until Unhold.
    void Hold() { ++holds_; }
    void Unhold();
    bool Held() const { return holds_ > 0; }
    // Waits for every queued write; once the spool file has failed, they end at once.
    void SettleSpool();
    bool SpoolFailed() const { return spool_.Failed(); }
    // Whether the line's bytes are held in memory only (not empty, not spooled, not being
    // written): letting go of them frees memory, and nothing else keeps them.
    bool InMemoryOnly(LineRef line) const;

    // figures
    std::size_t BytesInMemory() const; // chunks, their table and the spool file's page cache
    std::size_t BytesSpooled() const { return spooled_; }

private:
    struct Chunk {
        std::unique_ptr<char[]> bytes; // null once spooled or freed
        std::size_t capacity = 0;
        std::size_t size = 0;
        std::size_t live = 0; // bytes still used by lines
        std::int64_t spoolOffset = -1;
        bool sealed = false;  // no longer filled
        bool writing = false; // its bytes are being written to the spool file
    };

    // The arrow a packed line starts with, when it is one not kept; else empty.
    static std::string_view ArrowOf(LineRef line);
    // The bytes of a packed line's prefix that the arena keeps.
    static std::size_t KeptPrefix(LineRef line) {
        return line.hexPrefix < LineRef::kFirstArrow ? line.hexPrefix : 0;
    }
    std::uint32_t NewChunk(std::size_t capacity);
    void Seal(std::uint32_t chunk);
    std::size_t StoredSize(LineRef line) const;
    void ReadStored(const Chunk& chunk, std::int64_t at, std::size_t size, ByteString& out) const;
    void Free(Chunk& chunk);
    void ReleaseMemory(Chunk& chunk);
    void TakeFinishedWrites(bool wait);
    void RetrySpoolWhenDue();

    std::size_t budget_;
    std::size_t chunkSize_;
    std::vector<Chunk> chunks_;
    std::uint32_t open_ = 0; // the chunk being filled, when hasOpen_
    bool hasOpen_ = false;
    std::deque<std::uint32_t> sealedInMemory_; // oldest first: the order they go to the spool
    std::size_t inMemory_ = 0; // capacity of the chunks in memory, those being written included
    std::size_t writing_ = 0;  // capacity of the chunks being written
    std::unique_ptr<char[]> spare_; // a chunk's memory kept for the next: no new pages to fault in
    std::size_t spooled_ = 0;
    std::size_t added_ = 0;                  // bytes ever added: the clock of the retries
    std::optional<std::size_t> failedAt_;    // added_ when the spool file was seen failed
    std::deque<std::uint32_t> failedWrites_; // chunks whose writes failed, oldest first
    int holds_ = 0;
    std::vector<std::uint32_t> unusedWhileHeld_; // chunks to free when the last hold goes
    SpoolFile spool_;
    mutable ByteString raw_; // the bytes of a spooled hex view being read
};

} // namespace corvane

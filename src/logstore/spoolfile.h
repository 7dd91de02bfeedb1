// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file the older text of a line store moves to: one file, never named on disk (opened with
// O_TMPFILE, or unlinked as soon as it is made), so that nothing is left behind even when the
// program is killed. Bytes are written at its end in whole chunks by a writer thread and read back
// with pread through a small cache of pages, so that painting a screen of spooled lines reads the
// disk once.

#include "core/bytestring.h"
#include "logstore/spoolwriter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

class SpoolFile {
public:
    // folder: where to make the file; empty: $XDG_CACHE_HOME/corvane (~/.cache/corvane), or
    // the temporary folder when that cannot be used. Reads go through cachePages pages of
    // pageSize bytes. The file is made on the first write.
    SpoolFile(std::string folder, std::size_t pageSize, std::size_t cachePages);
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // Queues size bytes to be written at the file's end by the writer thread; tag names them
    // in Finished. The bytes must stay unchanged and alive until then. False when the file cannot
    // be made (folder not writable) or a write has failed (disk full, file size limit): nothing is
    // queued until Retry.
    bool Write(std::uint32_t tag, const char* bytes, std::size_t size);
    // The writes finished since the last call, in the order they were queued, each with where
    // its bytes start in the file and whether all were written. With wait, blocks until at least
    // one has finished, unless none is queued.
    std::vector<SpoolWriter::Write> Finished(bool wait);
    std::size_t Queued() const { return writer_ ? writer_->Queued() : 0; }

    // Appends to out the size bytes written at offset (by a write Finished handed back). Bytes the
    // disk cannot give back read as '?', so a line keeps its length.
    void Read(std::int64_t offset, std::size_t size, ByteString& out) const;
    // The bytes at offset are no longer needed: their disk space is given back where the file
    // system can punch holes.
    void Release(std::int64_t offset, std::size_t size);

    bool Failed() const { return failed_; }
    // After a failure, once every write has been handed back: lets writes be tried again (the
    // disk may have room again), from the end of the bytes written well.
    void Retry();
    std::size_t CacheBytes() const;

private:
    struct Page {
        std::int64_t index = -1;
        std::size_t size = 0; // bytes of the page that were in the file when it was read
        std::uint64_t lastUse = 0;
        std::unique_ptr<char[]> bytes;
    };

    bool Open();
    void ReadDirect(std::int64_t offset, std::size_t size, char* to) const;
    const Page& CachedPage(std::int64_t index, std::size_t needed) const;

    std::string folder_;
    std::size_t pageSize_;
    int fd_ = -1;
    bool failed_ = false;
    std::int64_t end_ = 0;        // where the next write goes
    std::int64_t writtenEnd_ = 0; // the end of the bytes known written: what reads may see
    std::unique_ptr<SpoolWriter> writer_;
    mutable std::vector<Page> cache_;
    mutable std::uint64_t useClock_ = 0;
};

} // namespace corvane

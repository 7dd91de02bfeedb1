#pragma once
// The file the older text of a line store moves to: one file, never named on disk (opened with
// O_TMPFILE, or unlinked as soon as it is made), so that nothing is left behind even when the
// program is killed. Bytes are written at its end in whole chunks and read back with pread through
// a small cache of pages, so that painting a screen of spooled lines reads the disk once.

#include "core/bytestring.h"

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

    // Writes size bytes at the file's end and returns where they start, or -1 when the file
    // cannot be made or written (disk full, file size limit, folder not writable); after a
    // failure every later write fails too.
    std::int64_t Write(const char* bytes, std::size_t size);
    // Appends to out the size bytes written at offset. Bytes the disk cannot give back read as '?',
    // so a line keeps its length.
    void Read(std::int64_t offset, std::size_t size, ByteString& out) const;
    // The bytes at offset are no longer needed: their disk space is given back where the file
    // system can punch holes.
    void Release(std::int64_t offset, std::size_t size);

    bool Failed() const { return failed_; }
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
    std::int64_t end_ = 0;
    mutable std::vector<Page> cache_;
    mutable std::uint64_t useClock_ = 0;
};

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/spoolfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// Reads larger than this many pages go straight into the caller's buffer: a long line read whole
// would only push the pages of the lines on screen out of the cache.
constexpr std::size_t kDirectReadPages = 4;

// The folder and its missing parents, as `mkdir -p` makes them; errors show when the file is made.
void MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos)
            return;
    }
}

std::vector<std::string> FoldersToTry(const std::string& folder) {
    if (!folder.empty())
        return {folder};
    std::vector<std::string> folders;
    // XDG: a relative $XDG_CACHE_HOME is invalid and is ignored.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (cache && cache[0] == '/')
        folders.push_back(std::string(cache) + "/corvane");
    else if (home && home[0] == '/')
        folders.push_back(std::string(home) + "/.cache/corvane");
    const char* temp = std::getenv("TMPDIR");
    folders.push_back(temp && temp[0] == '/' ? temp : "/tmp");
    return folders;
}

// A file in folder that has no name: O_TMPFILE where the file system has it, otherwise a named
// file unlinked at once.
int OpenUnnamed(const std::string& folder) {
    MakeFolders(folder);
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    std::string name = folder + "/corvane-spool-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.c_str());
    return fd;
}

} // namespace

SpoolFile::SpoolFile(std::string folder, std::size_t pageSize, std::size_t cachePages)
    : folder_(std::move(folder)), pageSize_(pageSize), cache_(cachePages) {}

SpoolFile::~SpoolFile() {
    writer_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

bool SpoolFile::Open() {
    for (const std::string& folder : FoldersToTry(folder_)) {
        fd_ = OpenUnnamed(folder);
        if (fd_ >= 0)
            return true;
    }
    return false;
}

bool SpoolFile::Write(std::uint32_t tag, const char* bytes, std::size_t size) {
    if (failed_)
        return false;
    if (fd_ < 0 && !Open()) {
        failed_ = true;
        return false;
    }
    if (!writer_)
        writer_ = std::make_unique<SpoolWriter>(fd_);
    writer_->Queue({.tag = tag, .bytes = bytes, .size = size, .offset = end_});
    end_ += static_cast<std::int64_t>(size);
    return true;
}

std::vector<SpoolWriter::Write> SpoolFile::Finished(bool wait) {
    if (!writer_)
        return {};
    std::vector<SpoolWriter::Write> done = writer_->Finished(wait);
    for (const SpoolWriter::Write& write : done) {
        // One writer writes in order, so what is written ends at the last good write.
        if (write.ok)
            writtenEnd_ = write.offset + static_cast<std::int64_t>(write.size);
        else
            failed_ = true;
    }
    return done;
}

void SpoolFile::Retry() {
    if (!failed_ || Queued() > 0)
        return;
    failed_ = false;
    // A writer fails everything after its first failure: a new one starts clean. What the
    // failed writes left in the file is written over.
    writer_.reset();
    end_ = writtenEnd_;
}

void SpoolFile::ReadDirect(std::int64_t offset, std::size_t size, char* to) const {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, to + done, size - done, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    std::fill(to + done, to + size, '?');
}

const SpoolFile::Page& SpoolFile::CachedPage(std::int64_t index, std::size_t needed) const {
    auto page = std::find_if(cache_.begin(), cache_.end(),
                             [&](const Page& p) { return p.index == index && p.size >= needed; });
    if (page == cache_.end()) {
        page = std::min_element(cache_.begin(), cache_.end(),
                                [](const Page& a, const Page& b) { return a.lastUse < b.lastUse; });
        if (!page->bytes)
            page->bytes = std::make_unique_for_overwrite<char[]>(pageSize_);
        const std::int64_t start = index * static_cast<std::int64_t>(pageSize_);
        // A page at the file's end holds what the file had then; a later read past that
        // reloads it (the needed check above).
        page->index = index;
        page->size = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(pageSize_), writtenEnd_ - start));
        ReadDirect(start, page->size, page->bytes.get());
    }
    page->lastUse = ++useClock_;
    return *page;
}

void SpoolFile::Read(std::int64_t offset, std::size_t size, ByteString& out) const {
    const std::size_t at = out.size();
    out.resize(at + size);
    if (fd_ < 0) {
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(at), out.end(), '?');
        return;
    }
    if (size > kDirectReadPages * pageSize_ || cache_.empty()) {
        ReadDirect(offset, size, out.data() + at);
        return;
    }
    const auto pageSize = static_cast<std::int64_t>(pageSize_);
    for (std::size_t done = 0; done < size;) {
        const std::int64_t position = offset + static_cast<std::int64_t>(done);
        const auto inPage = static_cast<std::size_t>(position % pageSize);
        const std::size_t n = std::min(size - done, pageSize_ - inPage);
        const Page& page = CachedPage(position / pageSize, inPage + n);
        std::memcpy(out.data() + at + done, page.bytes.get() + inPage, n);
        done += n;
    }
}

void SpoolFile::Release(std::int64_t offset, std::size_t size) {
    if (fd_ >= 0)
        ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, offset,
                    static_cast<off_t>(size));
}

std::size_t SpoolFile::CacheBytes() const {
    std::size_t bytes = cache_.capacity() * sizeof(Page);
    for (const Page& page : cache_)
        bytes += page.bytes ? pageSize_ : 0;
    return bytes;
}

} // namespace corvane

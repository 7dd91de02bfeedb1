// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileerror.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace corvane {

FileError FileErrorOf(std::string file, int code) {
    char text[256];
    // The GNU strerror_r: the text may be a static string rather than the buffer.
    const char* reason = strerror_r(code, text, sizeof text);
    return {std::move(file), reason};
}

int OpenCaptureFile(const std::string& path, bool append) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND | (append ? 0 : O_TRUNC),
                  0666);
}

void KeepFileSizeLimitFromEndingProgram() {
    thread_local bool blocked = false;
    if (blocked)
        return;
    sigset_t fileSizeSignal;
    sigemptyset(&fileSizeSignal);
    sigaddset(&fileSizeSignal, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &fileSizeSignal, nullptr);
    blocked = true;
}

namespace {

// Writes all size bytes through writeSome(bytes, size, done), which writes some of them once,
// done being how many went before, going on after interruptions and short writes.
template <class WriteSome>
int WriteAllThrough(const char* bytes, std::size_t size, WriteSome writeSome) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = writeSome(bytes + done, size - done, done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

} // namespace

int WriteWhole(int fd, const char* bytes, std::size_t size) {
    return WriteAllThrough(bytes, size, [fd](const char* from, std::size_t count, std::size_t) {
        return ::write(fd, from, count);
    });
}

int WriteWholeAt(int fd, const char* bytes, std::size_t size, std::int64_t offset) {
    return WriteAllThrough(
        bytes, size, [fd, offset](const char* from, std::size_t count, std::size_t done) {
            return ::pwrite(fd, from, count, offset + static_cast<std::int64_t>(done));
        });
}

} // namespace corvane

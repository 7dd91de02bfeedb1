// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileerror.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace corvane {

FileError FileErrorOf(std::string file, int code) {
    char text[256];
    // The GNU strerror_r: the text may be a static string rather than the buffer.
    const char* reason = strerror_r(code, text, sizeof text);
    return {std::move(file), reason};
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

int WriteWhole(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

} // namespace corvane

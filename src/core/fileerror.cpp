// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileerror.h"

#include <csignal>
#include <cstring>
#include <pthread.h>

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

} // namespace corvane

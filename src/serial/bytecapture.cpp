// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/bytecapture.h"

#include "core/handover.h"

#include <cerrno>
#include <unistd.h>

namespace corvane {

ByteCapture::~ByteCapture() {
    Stop();
}

std::optional<FileError> ByteCapture::Start(const std::string& path, ErrorHandler onError,
                                            bool append) {
    Stop();
    const int fd = OpenCaptureFile(path, append);
    if (fd < 0)
        return FileErrorOf(path, errno);
    const std::lock_guard lock(mutex_);
    fd_ = fd;
    path_ = path;
    onError_ = std::move(onError);
    return std::nullopt;
}

void ByteCapture::Stop() {
    const std::lock_guard lock(mutex_);
    if (fd_ < 0)
        return;
    if (writing_)
        closeAfterWrite_ = true;
    else
        ::close(fd_);
    fd_ = -1;
}

bool ByteCapture::Capturing() const {
    const std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

std::string ByteCapture::Path() const {
    const std::lock_guard lock(mutex_);
    return path_;
}

void ByteCapture::Write(const char* bytes, std::size_t size) {
    const std::lock_guard writing(writeMutex_);
    int fd;
    {
        const std::lock_guard lock(mutex_);
        if (fd_ < 0)
            return;
        fd = fd_;
        writing_ = true;
    }
    // Past the file size limit the capture fails as on a full disk.
    KeepFileSizeLimitFromEndingProgram();
    const int code = WriteWhole(fd, bytes, size);
    std::optional<FileError> failure;
    ErrorHandler onError;
    {
        const std::lock_guard lock(mutex_);
        writing_ = false;
        if (closeAfterWrite_) {
            // Stopped meanwhile: the stop left the file to this write, and its error to nobody.
            closeAfterWrite_ = false;
            ::close(fd);
            return;
        }
        if (code) {
            failure = FileErrorOf(path_, code);
            ::close(fd_);
            fd_ = -1;
            onError = onError_;
        }
    }
    // Reported without the lock held: the handler runs on the UI thread.
    if (failure && onError)
        Synchronize([&] { onError(*failure); });
}

ByteCapture& ReceivedBytesCapture() {
    // Never destroyed: a receive worker may still read while the process ends, and the system
    // closes the file then (every byte read was written by then).
    static ByteCapture* capture = new ByteCapture;
    return *capture;
}

} // namespace corvane

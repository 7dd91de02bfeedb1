// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/linecapture.h"

#include "core/codepage.h"
#include "logstore/linepieces.h"
#include "logstore/panetext.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// Gathered bytes are written once there are this many, and by the timer at least once a second:
// at 50,000 lines a second that is a write every few milliseconds, never one a line.
constexpr std::size_t kWriteFrom = std::size_t{256} << 10;
constexpr int kFlushMs = 500;

} // namespace

LineCapture::LineCapture(ErrorHandler onError) : onError_(std::move(onError)) {
    flushTimer_.setInterval(kFlushMs);
    QObject::connect(&flushTimer_, &QTimer::timeout, [this] { Flush(); });
}

LineCapture::~LineCapture() {
    Stop();
}

std::optional<FileError> LineCapture::Start(const std::string& path, bool append) {
    Stop();
    const int fd = OpenCaptureFile(path, append);
    if (fd < 0)
        return FileErrorOf(path, errno);
    // Past the file size limit the capture fails as on a full disk.
    KeepFileSizeLimitFromEndingProgram();
    fd_ = fd;
    path_ = path;
    flushTimer_.start();
    return std::nullopt;
}

void LineCapture::Stop() {
    if (fd_ < 0)
        return;
    Flush();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    flushTimer_.stop();
}

void LineCapture::Add(std::string_view line, std::int64_t time) {
    if (fd_ < 0)
        return;
    ForEachPaneLine(line, [&](std::string_view piece) {
        times_.AppendIso(pending_, time);
        pending_ += '\t';
        AppendShownUtf8(pending_, piece);
        pending_ += '\n';
    });
    if (pending_.size() >= kWriteFrom)
        Flush();
}

bool LineCapture::Flush() {
    if (fd_ < 0)
        return false;
    // Written to a file no folder names any more, the lines would be lost without a word.
    struct stat status {};
    if (::fstat(fd_, &status) == 0 && status.st_nlink == 0) {
        Fail({path_, kDeleted});
        return false;
    }
    if (const int code = WriteWhole(fd_, pending_.data(), pending_.size())) {
        Fail(FileErrorOf(path_, code));
        return false;
    }
    pending_.clear();
    return true;
}

void LineCapture::Fail(FileError error) {
    ::close(fd_);
    fd_ = -1;
    flushTimer_.stop();
    pending_.clear();
    // From the event loop: Flush may run inside a pane's append, and the handler shows a box and
    // appends a line.
    QTimer::singleShot(0, &flushTimer_, [onError = onError_, error = std::move(error)] {
        if (onError)
            onError(error);
    });
}

} // namespace corvane

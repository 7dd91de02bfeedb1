// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/linecapture.h"

#include "core/codepage.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

namespace {

// Gathered bytes are written once there are this many, and by the timer at least once a second:
// at 50,000 lines a second that is a write every few milliseconds, never one a line.
constexpr std::size_t kWriteFrom = std::size_t{256} << 10;
constexpr int kFlushMs = 500;

// Calls each(piece) for the lines a pane makes of line: its pieces between CR LF pairs.
template <class Each> void ForEachPaneLine(std::string_view line, Each each) {
    for (std::size_t start = 0;;) {
        const std::size_t at = line.find("\r\n", start);
        each(line.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos)
            return;
        start = at + 2;
    }
}

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
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
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
        AppendUtf8(pending_, piece);
        pending_ += '\n';
    });
    if (pending_.size() >= kWriteFrom)
        Flush();
}

bool LineCapture::Flush() {
    if (fd_ < 0)
        return false;
    std::size_t at = 0;
    while (at < pending_.size()) {
        const ssize_t written = ::write(fd_, pending_.data() + at, pending_.size() - at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            Fail(written < 0 ? errno : ENOSPC);
            return false;
        }
        at += static_cast<std::size_t>(written);
    }
    pending_.clear();
    return true;
}

void LineCapture::Fail(int code) {
    ::close(fd_);
    fd_ = -1;
    flushTimer_.stop();
    pending_.clear();
    // From the event loop: Flush may run inside a pane's append, and the handler shows a box and
    // appends a line.
    QTimer::singleShot(0, &flushTimer_, [onError = onError_, error = FileErrorOf(path_, code)] {
        if (onError)
            onError(error);
    });
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Capture of a pane's lines to a file: from Start on, every line appended to the pane is appended
// to the file as "<ISO 8601 local time with milliseconds>\t<line>\n" (LocalTimeText::AppendIso),
// in UTF-8. A line holding CR LF goes in as the lines the pane makes of it, each with the line's
// time. Clear of the pane does not concern it.
//
// Lines are gathered in memory and written with one write call when a good amount has gathered,
// and at least once a second by a timer: never a system call per line, so that a capture does not
// slow the links. Each write holds whole lines and goes to the file's end (OpenCaptureFile), so
// that two captures into one file interleave whole lines. Stop and the destructor write what is
// left and close the file.
//
// A write error stops the capture (the file is closed, what was written stays) and is reported
// once, through onError, from the event loop: never from inside Add, which runs inside a pane's
// append. So does a file deleted under the capture, seen at the next flush: what would be written
// is lost with it. A failure of the last write, made as the capture is destroyed, has nobody left
// to tell and is not reported. UI thread.

#include "core/bytestring.h"
#include "core/fileerror.h"
#include "core/walltime.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class LineCapture {
public:
    using ErrorHandler = std::function<void(const FileError&)>;

    explicit LineCapture(ErrorHandler onError);
    ~LineCapture();
    LineCapture(const LineCapture&) = delete;
    LineCapture& operator=(const LineCapture&) = delete;

    // Opens path (created, or emptied when append is false, else added to) and starts capturing;
    // a capture already running is stopped first. Returns the error when the file cannot be
    // opened, and does not capture then.
    std::optional<FileError> Start(const std::string& path, bool append = false);
    // Writes what is gathered and closes the file. Nothing happens when not capturing.
    void Stop();
    bool Capturing() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    // A line appended to the pane (program code page) with its time.
    void Add(std::string_view line, std::int64_t time);
    // Writes what is gathered now; false (and the capture stopped and reported) on failure, or
    // when the file has been deleted.
    bool Flush();

    // The reason a capture stops when its file is deleted under it.
    static constexpr const char* kDeleted = "the file was deleted";

private:
    void Fail(FileError error);

    ErrorHandler onError_;
    std::string path_;
    int fd_ = -1;
    ByteString pending_;
    LocalTimeText times_;
    QTimer flushTimer_;
};

} // namespace corvane

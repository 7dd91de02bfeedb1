// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Capture of received serial bytes: every byte the receive worker reads is appended, exactly as
// read, to a binary file, independent of how the pane breaks lines.
//
// The worker writes each read straight from its own thread (one write a read: reads come at most
// about ten a second, each of whatever had queued). The UI thread starts and stops the capture at
// any time; one mutex orders the two, so a stop never closes the file under a write and a write
// after the stop goes nowhere. A write error stops the capture and is reported once, on the UI
// thread through the hand-over (the worker hands the report over, as it does its lines), to the
// handler set with Start; the handler must not wait for a modal box inside the hand-over (post
// the box), as the worker waits until it has run.

#include "core/fileerror.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace corvane {

class ByteCapture {
public:
    using ErrorHandler = std::function<void(const FileError&)>;

    ByteCapture() = default;
    ~ByteCapture();
    ByteCapture(const ByteCapture&) = delete;
    ByteCapture& operator=(const ByteCapture&) = delete;

    // UI thread: opens path (created, or emptied unless append) and captures from the next read
    // on; a capture already running is stopped first. Returns the error when the file cannot be
    // opened.
    std::optional<FileError> Start(const std::string& path, ErrorHandler onError,
                                   bool append = false);
    // UI thread: closes the file after any write in progress.
    void Stop();
    bool Capturing() const;
    std::string Path() const;

    // Worker: appends size bytes to the file, when capturing. On failure the capture stops and
    // the error is handed to the UI thread's handler.
    void Write(const char* bytes, std::size_t size);

private:
    mutable std::mutex mutex_;
    int fd_ = -1;
    std::string path_;
    ErrorHandler onError_;
};

// The one capture of the serial receive worker, living for the whole run.
ByteCapture& ReceivedBytesCapture();

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Capture of received serial bytes: every byte the receive worker reads is appended, exactly as
// read, to a binary file, independent of how the pane breaks lines.
//
// The worker writes each read straight from its own thread (one write a read: reads come at most
// about ten a second, each of whatever had queued). The UI thread starts and stops the capture at
// any time and never waits for a write, which may take long on a stalled disk or network folder
// (a read is up to 4 MiB): the lock it shares with the worker is never held across a write. A
// stop during a write leaves the file to the worker, which closes it when the write is done, so a
// stop never closes the file under a write, and a write after the stop goes nowhere. A write
// error stops the capture and is reported once, on the UI thread through the hand-over (the
// worker hands the report over, as it does its lines), to the handler set with Start; the
// handler must not wait for a modal box inside the hand-over (post the box), as the worker waits
// until it has run.

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
    // Once no worker writes any more.
    ~ByteCapture();
    ByteCapture(const ByteCapture&) = delete;
    ByteCapture& operator=(const ByteCapture&) = delete;

    // UI thread: opens path (created, or emptied unless append) and captures from the next read
    // on; a capture already running is stopped first. Returns the error when the file cannot be
    // opened.
    std::optional<FileError> Start(const std::string& path, ErrorHandler onError,
                                   bool append = false);
    // UI thread: stops at once; a write in progress ends first, and its worker closes the file.
    void Stop();
    bool Capturing() const;
    std::string Path() const;

    // Worker: appends size bytes to the file, when capturing. On failure the capture stops and
    // the error is handed to the UI thread's handler.
    void Write(const char* bytes, std::size_t size);

private:
    // Held by a worker across its write, so that the writes of two workers (an ending one and the
    // next) do not mix. Never taken by the UI thread.
    std::mutex writeMutex_;
    // Guards what follows; held only for moments.
    mutable std::mutex mutex_;
    int fd_ = -1;
    std::string path_;
    ErrorHandler onError_;
    bool writing_ = false;         // a worker writes to the file of the moment, without the lock
    bool closeAfterWrite_ = false; // the capture stopped during that write
};

// The one capture of the serial receive worker, living for the whole run.
ByteCapture& ReceivedBytesCapture();

} // namespace corvane

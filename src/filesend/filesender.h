// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sending a file on a link from a worker thread: its bytes in chunks of a chosen size with a
// chosen pause between them, each chunk written and logged as the link writes and logs a send of
// the operator's, then one line that says how it ended. The UI thread only starts, cancels and
// reads the progress; every line reaches the panes through the hand-over.

#include "core/bytestring.h"
#include "core/logpanes.h"
#include "core/thread.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace corvane {

// A link as a file sending sees it.
class FileChunkLink {
public:
    virtual ~FileChunkLink() = default;
    // Worker thread. Writes chunk to the link and logs it as the link logs a send, through the
    // hand-over; false when the write failed, after the link's failure line where it has one.
    virtual bool WriteChunk(const ByteString& chunk) = 0;
    // Any thread. Ends a WriteChunk that is waiting for the link, which then returns false.
    virtual void Cancel() {}
};

// "Файл отправлен: <name>, <sent> байт"
ByteString FileSentLine(const ByteString& name, std::uint64_t sent);
// "Отправка файла прервана: <name>, <sent> из <size> байт"
ByteString FileSendInterruptedLine(const ByteString& name, std::uint64_t sent, std::uint64_t size);

class FileSender : public Thread {
public:
    struct Pace {
        std::size_t chunkSize; // at least 1
        unsigned delayMs;      // between two chunks
    };

    // Sends the first size bytes of the file open for reading at fd, which it takes over and
    // closes when it ends, through link; name is the file's name in the end line, which goes to
    // panes. Start() begins.
    FileSender(LogPanes& panes, FileChunkLink& link, int fd, std::uint64_t size, ByteString name,
               Pace pace);
    // Cancels and waits for the worker.
    ~FileSender() override;

    std::uint64_t Size() const { return size_; }
    // Bytes written so far. Any thread.
    std::uint64_t Sent() const { return sent_.load(); }
    // Ends the sending before the next chunk, and the pause before it at once; the end line tells
    // how far it came. Any thread; returns at once.
    void Cancel() {
        Terminate();
        link_.Cancel();
    }
    // Runs on the UI thread right after the end line has been appended, inside its hand-over: it
    // may schedule the sender's destruction but not wait for it. Set before Start().
    void SetOnEnded(std::function<void()> onEnded) { onEnded_ = std::move(onEnded); }

protected:
    void Execute() override;

private:
    // The next chunk of at most count bytes from the file; false when it could not be read.
    bool ReadChunk(ByteString& chunk, std::size_t count);

    LogPanes& panes_;
    FileChunkLink& link_;
    int fd_;
    const std::uint64_t size_;
    const ByteString name_;
    const Pace pace_;
    std::atomic<std::uint64_t> sent_{0};
    std::function<void()> onEnded_;
};

} // namespace corvane

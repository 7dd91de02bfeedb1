// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing the whole text of a line store, spooled lines included, to a file: UTF-8, one line per
// line, each ended by LF, each optionally preceded by its time (LocalTimeText::AppendIso) and a
// tab. The empty line after a closing line break is not written.
//
// The file is written as a temporary file beside the target (same folder, so that the rename
// cannot cross file systems) and renamed over the target only when complete and synced, the folder
// synced after (filereplace.h: a link is followed to its file, whose permissions the new file
// takes; what is no regular file is refused); a cancel, a full disk or any other failure removes
// the temporary file and leaves the target as it was. A file that cannot be made beside the
// target fails the save at once.
//
// Two threads share the work, and only one of them ever touches the store. The UI thread, which
// owns the store and goes on appending to it, reads lines out in steps (Step, driven by a
// SlicedTask) into batches of raw lines and times; a writer thread converts the batches to UTF-8,
// formats the times and writes them. The batches go through a short queue under a mutex: when it
// is full, Step waits for room no longer than its slice and reads on at its next turn.
// The lines saved are those there were when the save began, as they were then: a snapshot of the
// store keeps them readable whatever the store does meanwhile (Clear, edits, new lines).

#include "core/bytestring.h"
#include "core/fileerror.h"
#include "logstore/linestore.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace corvane {

class StoreSave {
public:
    struct Options {
        bool withTimes = false;
    };
    enum class State { Running, Done, Failed, Cancelled };

    // Starts the writer: makes the temporary file beside path. A failure to make it shows at once
    // as State() Failed.
    StoreSave(const LineStore& store, std::string path, Options options);
    // Cancels a save still running (the temporary file is removed) and joins the writer.
    ~StoreSave();
    StoreSave(const StoreSave&) = delete;
    StoreSave& operator=(const StoreSave&) = delete;

    // UI thread: reads lines out until deadline, or until the queue is full. True once the save
    // is over (done, failed or cancelled).
    bool Step(std::chrono::steady_clock::time_point deadline);
    // UI thread: ends the save; the temporary file is removed and the target left as it was.
    void Cancel();

    State CurrentState() const;
    // Progress: lines written to the file, of the lines being saved.
    std::int64_t LinesWritten() const;
    std::int64_t LinesToWrite() const;
    // Progress in the store's bytes (LineStore::Snapshot::Bytes): those written, of those being
    // saved. Long lines and short weigh as much as they hold.
    std::int64_t StoreBytesWritten() const;
    std::int64_t StoreBytesToWrite() const;
    // Bytes in the file so far.
    std::int64_t BytesWritten() const;
    // After Failed: the target file and the system's reason ("No space left on device").
    FileError Failure() const;

private:
    struct Shared;

    std::unique_ptr<LineStore::Snapshot> lines_;
    std::shared_ptr<Shared> shared_;
    std::int64_t next_ = 0; // the next line to read out
    std::thread writer_;
};

} // namespace corvane

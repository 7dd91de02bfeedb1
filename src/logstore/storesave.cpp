// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/storesave.h"

#include "core/codepage.h"
#include "core/walltime.h"
#include "logstore/filereplace.h"
#include "logstore/panetext.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace corvane {

namespace {

// A batch is about a megabyte of lines; four may wait for the writer, so that reading and writing
// overlap without holding much of the text twice.
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
constexpr std::size_t kQueuedBatches = 4;
constexpr std::int64_t kLinesPerClockRead = 256;

} // namespace

struct StoreSave::Shared {
    struct Batch {
        ByteString text; // the lines' bytes, one after the other
        std::vector<std::size_t> ends;
        std::vector<std::int64_t> times;
    };

    std::string path;
    FileReplacement file;
    Options options;

    std::mutex mutex;
    std::condition_variable wake;     // the writer's: a batch, the end of the lines, or a cancel
    std::condition_variable progress; // the UI thread's: a batch taken, or the save over
    std::deque<Batch> queue;
    bool allQueued = false;
    bool cancel = false;
    State state = State::Running;
    FileError failure;

    std::atomic<std::int64_t> linesWritten{0};
    std::atomic<std::int64_t> storeBytesWritten{0};
    std::atomic<std::int64_t> bytesWritten{0};

    void Run();
    bool WriteAll(const ByteString& bytes);
    void End(State how, std::optional<FileError> error = std::nullopt);
};

bool StoreSave::Shared::WriteAll(const ByteString& bytes) {
    if (const int code = WriteWhole(file.fd, bytes.data(), bytes.size())) {
        End(State::Failed, FileErrorOf(path, code));
        return false;
    }
    bytesWritten += static_cast<std::int64_t>(bytes.size());
    return true;
}

void StoreSave::Shared::End(State how, std::optional<FileError> error) {
    if (file.fd >= 0)
        ::close(file.fd);
    file.fd = -1;
    if (how != State::Done)
        ::unlink(file.temporary.c_str());
    const std::lock_guard lock(mutex);
    state = how;
    if (error)
        failure = std::move(*error);
    progress.notify_all();
}

void StoreSave::Shared::Run() {
    KeepFileSizeLimitFromEndingProgram();
    LocalTimeText times;
    ByteString out;
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return cancel || allQueued || !queue.empty(); });
            if (cancel)
                break;
            if (queue.empty()) {
                lock.unlock();
                if (const int code = CompleteReplacement(file))
                    return End(State::Failed, FileErrorOf(path, code));
                return End(State::Done);
            }
            batch = std::move(queue.front());
            queue.pop_front();
            progress.notify_all();
        }
        out.clear();
        std::size_t start = 0;
        for (std::size_t line = 0; line < batch.ends.size(); ++line) {
            if (options.withTimes) {
                times.AppendIso(out, batch.times[line]);
                out += '\t';
            }
            AppendShownUtf8(out,
                            std::string_view(batch.text).substr(start, batch.ends[line] - start));
            out += '\n';
            start = batch.ends[line];
        }
        if (!WriteAll(out))
            return;
        linesWritten += static_cast<std::int64_t>(batch.ends.size());
        storeBytesWritten += static_cast<std::int64_t>(batch.text.size() + batch.ends.size());
    }
    End(State::Cancelled);
}

StoreSave::StoreSave(const LineStore& store, std::string path, Options options)
    : lines_(store.TakeSnapshot()), shared_(std::make_shared<Shared>()) {
    shared_->path = std::move(path);
    shared_->options = options;
    if (auto error = BeginReplacement(shared_->path, shared_->file)) {
        shared_->state = State::Failed;
        shared_->failure = std::move(*error);
        return;
    }
    writer_ = std::thread([shared = shared_] { shared->Run(); });
}

StoreSave::~StoreSave() {
    Cancel();
    if (writer_.joinable())
        writer_.join();
}

bool StoreSave::Step(std::chrono::steady_clock::time_point deadline) {
    Shared& shared = *shared_;
    const std::int64_t end = lines_->LineCount();
    std::int64_t lines = 0;
    for (;;) {
        {
            std::unique_lock lock(shared.mutex);
            // Waits for the writer no longer than the slice lasts: the event loop runs between.
            shared.progress.wait_until(lock, deadline, [&] {
                return shared.state != State::Running || shared.queue.size() < kQueuedBatches;
            });
            if (shared.state != State::Running)
                return true;
            if (next_ >= end) {
                if (!shared.allQueued) {
                    shared.allQueued = true;
                    shared.wake.notify_all();
                }
                shared.progress.wait_until(lock, deadline,
                                           [&] { return shared.state != State::Running; });
                return shared.state != State::Running;
            }
            if (shared.queue.size() >= kQueuedBatches)
                return false;
        }
        Shared::Batch batch;
        batch.text.reserve(kBatchBytes + (kBatchBytes >> 2));
        bool late = false;
        while (next_ < end && batch.text.size() < kBatchBytes && !late) {
            lines_->AppendLineTo(next_, batch.text);
            batch.ends.push_back(batch.text.size());
            batch.times.push_back(lines_->LineTime(next_));
            ++next_;
            late =
                ++lines % kLinesPerClockRead == 0 && std::chrono::steady_clock::now() >= deadline;
        }
        {
            const std::lock_guard lock(shared.mutex);
            shared.queue.push_back(std::move(batch));
            shared.wake.notify_all();
        }
        if (late)
            return false;
    }
}

void StoreSave::Cancel() {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->state != State::Running)
        return;
    shared_->cancel = true;
    shared_->wake.notify_all();
}

StoreSave::State StoreSave::CurrentState() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->state;
}

std::int64_t StoreSave::LinesWritten() const {
    return shared_->linesWritten;
}

std::int64_t StoreSave::LinesToWrite() const {
    return lines_->LineCount();
}

std::int64_t StoreSave::StoreBytesWritten() const {
    return shared_->storeBytesWritten;
}

std::int64_t StoreSave::StoreBytesToWrite() const {
    return lines_->Bytes();
}

std::int64_t StoreSave::BytesWritten() const {
    return shared_->bytesWritten;
}

FileError StoreSave::Failure() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->failure;
}

} // namespace corvane

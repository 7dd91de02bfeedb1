// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/storesave.h"

#include "core/codepage.h"
#include "core/walltime.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <random>
#include <unistd.h>
#include <vector>

namespace corvane {

namespace {

// A batch is about a megabyte of lines; four may wait for the writer, so that reading and writing
// overlap without holding much of the text twice.
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
constexpr std::size_t kQueuedBatches = 4;
constexpr std::int64_t kLinesPerClockRead = 256;

// Makes a new file beside path, named after it, readable as the target would be (0666 less the
// umask). -1 and errno on failure.
int MakeTemporaryBeside(const std::string& path, std::string& made) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", random());
        made = folder + "." + name + suffix + ".part";
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

struct StoreSave::Shared {
    struct Batch {
        bool restart = false; // the file starts again from nothing
        ByteString text;      // the lines' bytes, one after the other
        std::vector<std::size_t> ends;
        std::vector<std::int64_t> times;
    };

    std::string path;
    std::string temporary;
    Options options;
    int fd = -1;

    std::mutex mutex;
    std::condition_variable wake;     // the writer's: a batch, the end of the lines, or a cancel
    std::condition_variable progress; // the UI thread's: a batch taken, or the save over
    std::deque<Batch> queue;
    bool allQueued = false;
    bool cancel = false;
    State state = State::Running;
    FileError failure;

    std::atomic<std::int64_t> linesWritten{0};
    std::atomic<std::int64_t> bytesWritten{0};

    void Run();
    bool WriteAll(const ByteString& bytes);
    void End(State how, std::optional<FileError> error = std::nullopt);
};

bool StoreSave::Shared::WriteAll(const ByteString& bytes) {
    if (const int code = WriteWhole(fd, bytes.data(), bytes.size())) {
        End(State::Failed, FileErrorOf(path, code));
        return false;
    }
    bytesWritten += static_cast<std::int64_t>(bytes.size());
    return true;
}

void StoreSave::Shared::End(State how, std::optional<FileError> error) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    if (how != State::Done)
        ::unlink(temporary.c_str());
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
                // Complete: on the disk before it takes the target's name.
                if (::fsync(fd) != 0)
                    return End(State::Failed, FileErrorOf(path, errno));
                if (::close(fd) != 0) {
                    fd = -1;
                    return End(State::Failed, FileErrorOf(path, errno));
                }
                fd = -1;
                if (::rename(temporary.c_str(), path.c_str()) != 0)
                    return End(State::Failed, FileErrorOf(path, errno));
                return End(State::Done);
            }
            batch = std::move(queue.front());
            queue.pop_front();
            progress.notify_all();
        }
        if (batch.restart) {
            if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
                return End(State::Failed, FileErrorOf(path, errno));
            linesWritten = 0;
            bytesWritten = 0;
        }
        out.clear();
        std::size_t start = 0;
        for (std::size_t line = 0; line < batch.ends.size(); ++line) {
            if (options.withTimes) {
                times.AppendIso(out, batch.times[line]);
                out += '\t';
            }
            AppendUtf8(out, std::string_view(batch.text).substr(start, batch.ends[line] - start));
            out += '\n';
            start = batch.ends[line];
        }
        if (!WriteAll(out))
            return;
        linesWritten += static_cast<std::int64_t>(batch.ends.size());
    }
    End(State::Cancelled);
}

StoreSave::StoreSave(const LineStore& store, std::string path, Options options)
    : store_(store), shared_(std::make_shared<Shared>()) {
    shared_->path = std::move(path);
    shared_->options = options;
    shared_->fd = MakeTemporaryBeside(shared_->path, shared_->temporary);
    if (shared_->fd < 0) {
        shared_->state = State::Failed;
        shared_->failure = FileErrorOf(shared_->path, errno);
        return;
    }
    Restart();
    writer_ = std::thread([shared = shared_] { shared->Run(); });
}

StoreSave::~StoreSave() {
    Cancel();
    if (writer_.joinable())
        writer_.join();
}

void StoreSave::Restart() {
    rewrites_ = store_.Rewrites();
    next_ = 0;
    // The empty line after a closing line break is no line of the text.
    const std::int64_t last = store_.LineCount() - 1;
    end_ = store_.LineLength(last) > 0 ? last + 1 : last;
}

bool StoreSave::Step(std::chrono::steady_clock::time_point deadline) {
    Shared& shared = *shared_;
    bool restart = false;
    if (store_.Rewrites() != rewrites_) {
        Restart();
        restart = true;
        const std::lock_guard lock(shared.mutex);
        shared.queue.clear();
        shared.allQueued = false;
    }
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
            if (next_ >= end_) {
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
        batch.restart = restart;
        restart = false;
        batch.text.reserve(kBatchBytes + (kBatchBytes >> 2));
        bool late = false;
        while (next_ < end_ && batch.text.size() < kBatchBytes && !late) {
            store_.AppendLineTo(next_, batch.text);
            batch.ends.push_back(batch.text.size());
            batch.times.push_back(store_.LineTime(next_));
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
    return end_;
}

std::int64_t StoreSave::BytesWritten() const {
    return shared_->bytesWritten;
}

FileError StoreSave::Failure() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->failure;
}

} // namespace corvane

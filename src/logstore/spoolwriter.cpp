// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/spoolwriter.h"

#include "core/fileerror.h"

namespace corvane {

SpoolWriter::SpoolWriter(int fd) : fd_(fd), thread_([this] { Run(); }) {}

SpoolWriter::~SpoolWriter() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SpoolWriter::Queue(const Write& write) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(write);
    }
    ++queued_;
    wake_.notify_one();
}

std::vector<SpoolWriter::Write> SpoolWriter::Finished(bool wait) {
    std::vector<Write> done;
    {
        std::unique_lock lock(mutex_);
        if (wait && queued_ > 0)
            finished_.wait(lock, [&] { return !done_.empty(); });
        done.swap(done_);
    }
    queued_ -= done.size();
    return done;
}

void SpoolWriter::Run() {
    // Beyond the file size limit a write only fails, and the store goes on without the spool
    // file.
    KeepFileSizeLimitFromEndingProgram();
    bool failed = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_)
            return;
        Write write = queue_.front();
        queue_.pop_front();
        lock.unlock();
        failed = failed || !WriteAll(write);
        write.ok = !failed;
        lock.lock();
        done_.push_back(write);
        finished_.notify_one();
    }
}

bool SpoolWriter::WriteAll(const Write& write) const {
    return WriteWholeAt(fd_, write.bytes, write.size, write.offset) == 0;
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thread that writes byte ranges to a file, one after the other in the order they were queued,
// so that the thread appending lines never waits for the disk unless it runs far ahead of it.
// Queue and Finished belong to one thread (the owner's); the writing happens on the writer's.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane {

class SpoolWriter {
public:
    struct Write {
        std::uint32_t tag = 0; // the owner's name for the bytes
        const char* bytes = nullptr;
        std::size_t size = 0;
        std::int64_t offset = 0;
        bool ok = false; // when finished: all bytes written
    };

    explicit SpoolWriter(int fd);
    // Stops after the write in progress; writes still queued are not made.
    ~SpoolWriter();
    SpoolWriter(const SpoolWriter&) = delete;
    SpoolWriter& operator=(const SpoolWriter&) = delete;

    // Queues a write. The bytes must stay unchanged and alive until Finished hands it back. Once
    // a write has failed, every later one fails without touching the file.
    void Queue(const Write& write);
    // The writes finished since the last call, in the order they were queued. With wait, blocks
    // until at least one has finished, unless none is queued.
    std::vector<Write> Finished(bool wait);
    std::size_t Queued() const { return queued_; }

private:
    void Run();
    bool WriteAll(const Write& write) const;

    const int fd_;
    std::size_t queued_ = 0; // queued and not yet handed back; the owner's thread only
    std::mutex mutex_;
    std::condition_variable wake_;     // a write queued, or stop
    std::condition_variable finished_; // a write finished
    std::deque<Write> queue_;
    std::vector<Write> done_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace corvane

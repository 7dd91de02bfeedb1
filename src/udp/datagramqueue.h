// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Received datagrams on their way from the thread that drains the sockets to the thread that hands
// them over: one ring of bytes with a fixed budget, filled by one thread and emptied by another, in
// the order received. Each record keeps the datagram with its sender, its binding and its arrival
// time; nothing is allocated per datagram. A datagram that finds no room is refused and counted,
// beside the drops the kernel reports, as lost.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace corvane {

class DatagramQueue {
public:
    // Seconds of a flood: 64 MiB hold some 8,000 datagrams of 8 KB, or 1.5 million of 8 bytes.
    static constexpr std::size_t kDefaultBudget = std::size_t{64} << 20;

    struct Datagram {
        const char* data = nullptr;
        std::uint32_t length = 0;
        std::uint32_t address = 0; // the sender's, in network order
        std::uint16_t port = 0;    // the sender's, in host order
        std::uint16_t binding = 0; // index of the receiving binding
        std::int64_t receivedAt = 0;
    };

    // budget: the bytes the queue may hold, its records' headers included (at least 64).
    explicit DatagramQueue(std::size_t budget = kDefaultBudget);
    DatagramQueue(const DatagramQueue&) = delete;
    DatagramQueue& operator=(const DatagramQueue&) = delete;

    // the filling thread
    // Copies the datagram in, or refuses it when it does not fit; false when refused. Does not
    // wake the emptying thread: Publish does, once per batch.
    bool Push(const Datagram& datagram);
    // Adds datagrams the kernel dropped to the count of the lost.
    void AddLost(std::uint64_t count);
    // Wakes the emptying thread's Wait for what was pushed or lost since the last call.
    void Publish();
    // How many times Publish was called: how often the emptying thread could be woken.
    std::uint64_t Publications() const { return publications_.load(); }
    // No more will come: Wait returns from now on.
    void Close();

    // the emptying thread
    // The oldest datagram, false when there is none; its data stays valid until Pop.
    bool Front(Datagram& datagram) const;
    void Pop();
    // Pops every datagram held and counts them as lost; returns how many there were.
    std::uint64_t DiscardAll();

    // Blocks until a datagram is there or Close or Interrupt was called, and besides until the
    // deadline has passed (the first) or the count of the lost differs from lostSeen (the second).
    void Wait(std::chrono::steady_clock::time_point deadline);
    void Wait(std::uint64_t lostSeen);
    // Makes the present and every later Wait return. Any thread.
    void Interrupt();

    bool Closed() const { return closed_.load(); }
    bool Empty() const;
    // Datagrams held now.
    std::uint64_t Count() const;
    // Datagrams refused here and dropped by the kernel, since the queue was made.
    std::uint64_t Lost() const { return lost_.load(); }
    // Bytes held now, and the most there may be.
    std::size_t Used() const;
    std::size_t Budget() const { return capacity_; }

private:
    struct Header;
    // Where the record at position pos starts, past the unused end of the ring if it wraps.
    std::uint64_t RecordStart(std::uint64_t pos) const;

    const std::size_t capacity_;
    const std::unique_ptr<char[]> ring_;
    std::atomic<std::uint64_t> lost_{0};
    std::atomic<bool> closed_{false};
    std::atomic<std::uint64_t> publications_{0};

    // Guards the positions and the wake-ups. The bytes of a record are written before its end is
    // published and read before it is popped, so neither side touches the other's bytes.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    // Where the next record goes and where the oldest one is, counted in bytes from the ring's
    // start (a wrap adds the unused end); their difference is what is held.
    std::uint64_t tail_ = 0;
    std::uint64_t head_ = 0;
    std::uint64_t count_ = 0; // records between head_ and tail_
    bool interrupted_ = false;
};

} // namespace corvane

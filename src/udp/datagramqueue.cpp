// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/datagramqueue.h"

#include <algorithm>
#include <cstring>

namespace corvane {

// A record is this header, then the datagram padded to a multiple of 8 bytes. A header whose
// length is kWrap, or less room than a header before the ring's end, sends the reader to the
// ring's start.
struct DatagramQueue::Header {
    static constexpr std::uint32_t kWrap = ~std::uint32_t{0};
    std::uint32_t length;
    std::uint32_t address;
    std::uint16_t port;
    std::uint16_t binding;
    std::int64_t receivedAt;
};

namespace {

constexpr std::size_t kAlign = 8;

constexpr std::size_t RoundUp(std::size_t n) {
    return (n + kAlign - 1) / kAlign * kAlign;
}

} // namespace

DatagramQueue::DatagramQueue(std::size_t budget)
    : capacity_(std::max<std::size_t>(budget / kAlign * kAlign, 64)),
      // Pages of the ring are only taken from the system as records first reach them.
      ring_(std::make_unique_for_overwrite<char[]>(capacity_)) {}

bool DatagramQueue::Push(const Datagram& datagram) {
    const std::size_t size = sizeof(Header) + RoundUp(datagram.length);
    std::unique_lock lock(mutex_);
    // An empty queue starts again at the ring's start, so that a steady trickle keeps using the
    // same few pages rather than the whole budget's.
    if (head_ == tail_)
        head_ = tail_ = 0;
    const std::uint64_t tail = tail_;
    const std::uint64_t used = tail - head_;
    lock.unlock();
    const std::size_t offset = tail % capacity_;
    // A record never wraps: when it does not fit before the ring's end, that end stays unused.
    const std::size_t skip = capacity_ - offset < size ? capacity_ - offset : 0;
    if (size > capacity_ || used + skip + size > capacity_) {
        lost_.fetch_add(1);
        return false;
    }
    if (skip >= sizeof(Header)) {
        Header wrap{};
        wrap.length = Header::kWrap;
        std::memcpy(ring_.get() + offset, &wrap, sizeof wrap);
    }
    char* record = ring_.get() + (tail + skip) % capacity_;
    const Header header{datagram.length, datagram.address, datagram.port, datagram.binding,
                        datagram.receivedAt};
    std::memcpy(record, &header, sizeof header);
    if (datagram.length > 0)
        std::memcpy(record + sizeof header, datagram.data, datagram.length);
    lock.lock();
    tail_ = tail + skip + size;
    ++count_;
    return true;
}

void DatagramQueue::AddLost(std::uint64_t count) {
    lost_.fetch_add(count);
}

void DatagramQueue::Publish() {
    publications_.fetch_add(1);
    // Taking the lock orders this wake-up after a waiter's test of the queue, so it is not missed.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
}

void DatagramQueue::Close() {
    closed_.store(true);
    Publish();
}

std::uint64_t DatagramQueue::RecordStart(std::uint64_t pos) const {
    const std::size_t offset = pos % capacity_;
    const std::size_t room = capacity_ - offset;
    if (room < sizeof(Header))
        return pos + room;
    std::uint32_t length;
    std::memcpy(&length, ring_.get() + offset, sizeof length);
    return length == Header::kWrap ? pos + room : pos;
}

bool DatagramQueue::Front(Datagram& datagram) const {
    std::unique_lock lock(mutex_);
    if (head_ == tail_)
        return false;
    const std::uint64_t head = head_;
    lock.unlock();
    const char* record = ring_.get() + RecordStart(head) % capacity_;
    Header header;
    std::memcpy(&header, record, sizeof header);
    datagram = {record + sizeof header, header.length,    header.address, header.port,
                header.binding,         header.receivedAt};
    return true;
}

void DatagramQueue::Pop() {
    std::unique_lock lock(mutex_);
    if (head_ == tail_)
        return;
    const std::uint64_t head = head_;
    lock.unlock();
    const std::uint64_t start = RecordStart(head);
    std::uint32_t length;
    std::memcpy(&length, ring_.get() + start % capacity_, sizeof length);
    lock.lock();
    head_ = start + sizeof(Header) + RoundUp(length);
    --count_;
}

std::uint64_t DatagramQueue::DiscardAll() {
    std::lock_guard lock(mutex_);
    const std::uint64_t discarded = count_;
    head_ = tail_;
    count_ = 0;
    lost_.fetch_add(discarded);
    return discarded;
}

void DatagramQueue::Wait(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, deadline, [this] { return interrupted_ || Closed() || head_ != tail_; });
}

void DatagramQueue::Wait(std::uint64_t lostSeen) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock,
               [&] { return interrupted_ || Closed() || head_ != tail_ || Lost() != lostSeen; });
}

void DatagramQueue::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

bool DatagramQueue::Empty() const {
    std::lock_guard lock(mutex_);
    return head_ == tail_;
}

std::uint64_t DatagramQueue::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::size_t DatagramQueue::Used() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(tail_ - head_);
}

} // namespace corvane

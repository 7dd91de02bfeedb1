// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/socketdrain.h"

#include "udp/idcomponent.h"

#include <algorithm>

namespace corvane {
using namespace winsock;

namespace {

// Datagrams per receive call: enough that a flood costs few calls, few enough that the staging
// buffers of 8 KB each stay small.
constexpr int kBatch = 64;

} // namespace

SocketDrain::SocketDrain(std::vector<SOCKET> sockets, int bufferSize, int readyWait,
                         DatagramQueue& queue)
    : sockets_(std::move(sockets)), readyWait_(readyWait), queue_(queue),
      buffers_(static_cast<std::size_t>(bufferSize) * kBatch), slots_(kBatch),
      drops_(sockets_.size(), 0) {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        slots_[i].buf = buffers_.data() + i * static_cast<std::size_t>(bufferSize);
        slots_[i].len = bufferSize;
    }
    ready_.reserve(sockets_.size());
}

SocketDrain::~SocketDrain() {
    Terminate();
    WaitFor();
}

void SocketDrain::Execute() {
    TIdStack& stack = *StackInstance();
    try {
        // A refusal leaves the datagrams timed as they are taken and the kernel's drops uncounted.
        for (SOCKET s : sockets_)
            stack.EnableReceiveReports(s);
        while (!Terminated()) {
            ready_ = sockets_;
            // The result is not examined: after a failure the list holds every socket, whose
            // receives then fail in turn.
            stack.WaitReadable(ready_, readyWait_);
            for (SOCKET s : ready_) {
                // A stop leaves the datagrams unread; the socket is being closed.
                if (Terminated())
                    break;
                const auto at = std::find(sockets_.begin(), sockets_.end(), s);
                Drain(static_cast<std::size_t>(at - sockets_.begin()));
            }
        }
        CountDropsAtStop();
    } catch (...) {
        // More sockets than one wait takes: the listener ends with this thread, as it always did.
    }
    queue_.Close();
}

void SocketDrain::Drain(std::size_t index) {
    TIdStack& stack = *StackInstance();
    int taken;
    // A full batch says more may be waiting; a partial one that the socket is empty. Each batch is
    // published as it is queued, so that under a flood that keeps the socket full the datagrams
    // (and the losses) reach the window as they come rather than when the flood ends.
    do {
        std::uint32_t drops = drops_[index];
        taken = stack.ReceiveQueued(sockets_[index], slots_.data(), kBatch, drops);
        for (int i = 0; i < taken; ++i) {
            const DATAGRAM_SLOT& slot = slots_[static_cast<std::size_t>(i)];
            if (slot.truncated)
                continue;
            queue_.Push({slot.buf, static_cast<std::uint32_t>(slot.received),
                         slot.from.sin_addr.S_un.S_addr, ntohs(slot.from.sin_port),
                         static_cast<std::uint16_t>(index), slot.receivedAt});
        }
        // Drops show on the datagrams queued after them; those that no datagram followed (the end
        // of a flood) are read from the socket once it is empty.
        if (taken >= 0 && taken < kBatch)
            stack.DropCountOf(sockets_[index], drops);
        CountDrops(index, drops);
        queue_.Publish();
    } while (taken == kBatch && !Terminated());
}

void SocketDrain::CountDropsAtStop() {
    TIdStack& stack = *StackInstance();
    for (std::size_t index = 0; index < sockets_.size(); ++index) {
        std::uint32_t drops = drops_[index];
        if (stack.DropCountOf(sockets_[index], drops) == 0)
            CountDrops(index, drops);
    }
}

void SocketDrain::CountDrops(std::size_t index, std::uint32_t drops) {
    // The counter only grows, and wraps at 32 bits; a datagram queued before a count was read
    // carries an older one.
    const auto grown = static_cast<std::int32_t>(drops - drops_[index]);
    if (grown > 0) {
        queue_.AddLost(static_cast<std::uint64_t>(grown));
        drops_[index] = drops;
    }
}

} // namespace corvane

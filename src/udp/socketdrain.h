// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reader beside a UDP endpoint's listener: one thread that waits on every binding's socket at
// once, at most readyWait milliseconds per pass, and takes whatever a ready socket holds, many
// datagrams per call, into the listener's queue, with each one's sender, binding and arrival time,
// and the kernel's count of the datagrams it dropped. While the UI thread runs a delivery the
// sockets keep being read, so a burst waits in the queue rather than overflows the kernel's.
// A datagram longer than the buffer size is lost whole, as a single receive would lose it.

#include "core/thread.h"
#include "platform/datagrambatch.h"
#include "udp/datagramqueue.h"

#include <cstdint>
#include <vector>

namespace corvane {

class SocketDrain : public Thread {
public:
    // sockets: the bindings' sockets, in the bindings' order.
    SocketDrain(std::vector<winsock::SOCKET> sockets, int bufferSize, int readyWait,
                DatagramQueue& queue);
    // Ends the thread (at the latest when its readiness wait ends) and waits for it.
    ~SocketDrain() override;

protected:
    // Closes the queue when it ends, also by a failure of the readiness wait. Ended by a stop, it
    // first counts the drops the sockets report.
    void Execute() override;

private:
    // Takes what the socket of binding index holds into the queue.
    void Drain(std::size_t index);
    // At the stop: counts the drops not yet counted, which no datagram will carry now.
    void CountDropsAtStop();
    // Counts as lost what binding index's drop count grew by since it was last read.
    void CountDrops(std::size_t index, std::uint32_t drops);

    const std::vector<winsock::SOCKET> sockets_;
    const int readyWait_;
    DatagramQueue& queue_;
    // Kept from pass to pass, so that a datagram costs no allocation.
    std::vector<winsock::SOCKET> ready_;
    std::vector<char> buffers_;
    std::vector<winsock::DATAGRAM_SLOT> slots_;
    // Each socket's drop count as last read; the kernel counts from the socket's creation.
    std::vector<std::uint32_t> drops_;
};

} // namespace corvane

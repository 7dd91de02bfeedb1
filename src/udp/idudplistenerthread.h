// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The listener of a UDP endpoint. Its drain (socketdrain.h) reads every binding's socket into a
// queue of the listener's own as fast as datagrams come; the listener hands them over from there
// to the endpoint's delivery, on the UI thread unless the endpoint delivers on the listener's
// thread. One hand-over serves every datagram queued by then, for a few milliseconds at most, one
// at a time and in arrival order: each is copied into one reused buffer, the receiving binding's
// sender fields are set just before it, and its delivery has returned before the next begins.
// Every failure here is dropped: the datagram is lost and the next one comes. What was lost for
// want of room (in the queue or in the kernel's) is reported to the endpoint at most once a second.
// What a hand-over delivered is counted in the endpoint's counters at its end.

#include "core/stream.h"
#include "udp/datagramqueue.h"
#include "udp/idsockethandle.h"
#include "udp/idthread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace corvane {

class TIdUDPServer;
class SocketDrain;

class TIdUDPListenerThread : public TIdThread {
public:
    static constexpr int kReadyWait = 1000;
    // The longest a hand-over keeps delivering, so that the UI thread paints and takes input
    // between hand-overs under a flood.
    static constexpr std::chrono::milliseconds kHandOverTime{5};
    // The shortest time between two loss reports.
    static constexpr std::chrono::seconds kLossReportGap{1};

    // Starts the drain on the sockets the server's bindings have now.
    TIdUDPListenerThread(TIdUDPServer& server, int bufferSize, std::size_t queueBudget);
    // Waits for a started thread to end first, so that no pass outlives the buffer, then for the
    // drain.
    ~TIdUDPListenerThread() override;

    // Waits until the drain has ended, once Stop was called: its readiness wait holds the sockets
    // (and so their ports) until it returns, which a shutdown of their receiving side hastens.
    // Not on the listener's own thread.
    void EndDrain();
    // Whether the listener waits for a hand-over the delivering thread has not finished.
    bool HandingOver() const { return handingOver_.load(); }

    int ReadyWait() const { return kReadyWait; }
    int BufferSize() const { return bufferSize_; }
    const DatagramQueue& Queue() const { return queue_; }
    // Once stopped, and the drain ended: what the queue still holds is lost with the stop; counts
    // it, and returns it with the loss not yet reported, as reported from now on. Once the thread
    // has ended, or on the thread that delivers.
    std::uint64_t TakeLossAtStop();

protected:
    void Run() override;
    void Stopping() override;

private:
    // Delivers queued datagrams until the queue is empty, the stop comes or kHandOverTime has
    // passed, then reports the loss if one is due. On the delivering thread.
    void DeliverQueued();
    bool LossReportDue(std::chrono::steady_clock::time_point now) const;

    TIdUDPServer& server_;
    const int bufferSize_;
    DatagramQueue queue_;
    std::unique_ptr<SocketDrain> drain_;
    std::atomic<bool> handingOver_{false};
    MemoryStream datagramBuffer_;
    TIdSocketHandle* incomingBinding_ = nullptr;
    ByteString senderIP_;
    // The queue's loss count at the last report, and the earliest time of the next.
    std::uint64_t reportedLoss_ = 0;
    std::chrono::steady_clock::time_point nextLossReport_{};
};

} // namespace corvane

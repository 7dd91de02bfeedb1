// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idudplistenerthread.h"

#include "core/handover.h"
#include "udp/idstack.h"
#include "udp/idudpserver.h"
#include "udp/socketdrain.h"

#include <cstring>

namespace corvane {

using Clock = std::chrono::steady_clock;

TIdUDPListenerThread::TIdUDPListenerThread(TIdUDPServer& server, int bufferSize,
                                           std::size_t queueBudget)
    : server_(server), bufferSize_(bufferSize < 0 ? 0 : bufferSize), queue_(queueBudget) {
    TIdSocketHandles& bindings = server_.Bindings();
    std::vector<winsock::SOCKET> sockets;
    for (int i = 0; i < bindings.Count(); ++i)
        sockets.push_back(bindings.Items(i).OsSocket());
    drain_ = std::make_unique<SocketDrain>(std::move(sockets), bufferSize_, kReadyWait, queue_);
    drain_->Start();
}

TIdUDPListenerThread::~TIdUDPListenerThread() {
    Stopping();
    if (!Suspended())
        WaitFor();
    drain_.reset();
}

void TIdUDPListenerThread::EndDrain() {
    drain_.reset();
}

void TIdUDPListenerThread::Stopping() {
    if (drain_)
        drain_->Terminate();
    queue_.Interrupt();
}

std::uint64_t TIdUDPListenerThread::TakeLossAtStop() {
    queue_.DiscardAll();
    const std::uint64_t lost = queue_.Lost();
    const std::uint64_t unreported = lost - reportedLoss_;
    reportedLoss_ = lost;
    return unreported;
}

bool TIdUDPListenerThread::LossReportDue(Clock::time_point now) const {
    return queue_.Lost() != reportedLoss_ && now >= nextLossReport_;
}

void TIdUDPListenerThread::Run() {
    // A loss not yet reported waits for its report's time at the latest.
    if (queue_.Lost() != reportedLoss_)
        queue_.Wait(nextLossReport_);
    else
        queue_.Wait(reportedLoss_);
    if (Stopped())
        return;
    // The drain ends only when its readiness wait fails for good; so does the listener.
    if (queue_.Closed() && queue_.Empty()) {
        Terminate();
        return;
    }
    if (queue_.Empty() && !LossReportDue(Clock::now()))
        return;
    bool delivered = false;
    const auto deliver = [this, &delivered] {
        delivered = true;
        DeliverQueued();
    };
    try {
        if (server_.ThreadedEvent()) {
            deliver();
        } else {
            handingOver_.store(true);
            Synchronize(deliver);
        }
    } catch (...) {
        // Nobody on this thread could show it.
    }
    handingOver_.store(false);
    // Once the program's ending has begun hand-overs are dropped, and so is what waits for them:
    // the datagrams and the loss report.
    if (!delivered)
        TakeLossAtStop();
}

void TIdUDPListenerThread::DeliverQueued() {
    TIdSocketHandles& bindings = server_.Bindings();
    const auto until = Clock::now() + kHandOverTime;
    DatagramQueue::Datagram datagram;
    // Counted once per hand-over.
    std::uint64_t bytes = 0;
    std::uint64_t count = 0;
    // The first datagram was handed over before any stop that came since, and is delivered. A stop
    // (a deactivation, or a handler that deactivates) discards the rest with the queue.
    for (bool first = true; (first || !Stopped()) && queue_.Front(datagram); first = false) {
        datagramBuffer_.SetSize(datagram.length);
        if (datagram.length > 0)
            std::memcpy(datagramBuffer_.Memory(), datagram.data, datagram.length);
        datagramBuffer_.SetPosition(0);
        TIdIPv4Bytes address;
        std::memcpy(address.data(), &datagram.address, address.size());
        senderIP_ = TIdStack::AddressToText(address);
        incomingBinding_ = &bindings.Items(datagram.binding);
        incomingBinding_->RecordSender(senderIP_, datagram.port, datagram.receivedAt);
        queue_.Pop();
        bytes += datagram.length;
        ++count;
        try {
            server_.DeliverDatagram(datagramBuffer_, *incomingBinding_);
        } catch (...) {
            // A failing handler is dropped by design; the next datagram is delivered normally.
        }
        if (Clock::now() >= until)
            break;
    }
    LinkCounters& counters = server_.Counters();
    counters.AddReceivedBytes(bytes);
    counters.AddReceivedLines(count);
    const auto now = Clock::now();
    if (Stopped() || !LossReportDue(now))
        return;
    const std::uint64_t lost = queue_.Lost();
    const std::uint64_t unreported = lost - reportedLoss_;
    reportedLoss_ = lost;
    nextLossReport_ = now + kLossReportGap;
    server_.ReportLoss(unreported);
}

} // namespace corvane

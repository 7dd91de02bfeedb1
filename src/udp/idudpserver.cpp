// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idudpserver.h"

#include "udp/datagramqueue.h"
#include "udp/idstackwindows.h"
#include "udp/idudplistenerthread.h"

#include <algorithm>
#include <bit>

namespace corvane {
using namespace winsock;

bool IsMulticastGroupAddress(const ByteString& text) {
    if (!TIdStack::IsDottedAddress(text))
        return false;
    const BYTE first = TIdStack::TextToAddress(text)[0];
    return first >= 224 && first <= 239;
}

TIdUDPServer::TIdUDPServer() : queueBudget_(DatagramQueue::kDefaultBudget) {}

TIdUDPServer::~TIdUDPServer() {
    // A loss left to report at the end goes nowhere: the owner is being freed.
    onUDPLoss_ = nullptr;
    SetActive(false);
}

bool TIdUDPServer::IsActive() {
    const TIdSocketHandle* current = currentBinding_.load();
    return current && current->Allocated();
}

TIdSocketHandle& TIdUDPServer::AcquireBinding() {
    if (TIdSocketHandle* current = currentBinding_.load())
        return *current;
    FinishReleaseAfterDelivery();
    if (bindings_.Count() == 0)
        bindings_.Add();
    for (int i = 0; i < bindings_.Count(); ++i) {
        TIdSocketHandle& binding = bindings_.Items(i);
        binding.OpenSocket(SOCK_DGRAM, 0);
        binding.BindSocket();
    }
    currentBinding_.store(&bindings_.Items(0));
    Counters().Reset();
    listener_ = std::make_unique<TIdUDPListenerThread>(*this, BufferSize(), queueBudget_);
    listener_->Start();
    ApplyBroadcast();
    ApplyMulticast();
    return *currentBinding_.load();
}

void TIdUDPServer::ReleaseBindings() {
    // Without a listener there is nothing to release, also when a delivery run by the wait below
    // asks for a deactivation again.
    if (!currentBinding_.load() || !listener_)
        return;
    if (deliveringOn_.load() == std::this_thread::get_id()) {
        // The listener waits for this very delivery: waiting for it here would wait for ever.
        // Once stopped it touches neither the sockets nor this object again.
        listener_->Stop();
        ShutDownReceiving();
        currentBinding_.store(nullptr);
        releaseAfterDelivery_ = true;
        return;
    }
    const std::unique_ptr<TIdUDPListenerThread> listener = std::move(listener_);
    listener->Stop();
    ShutDownReceiving();
    // On the UI thread this wait runs the deliveries the listener hands over meanwhile. Only when
    // the listener and its drain have ended are the sockets closed: a socket closed under the
    // drain could be reused by another open before its next receive, and its port stays taken
    // while the drain's readiness wait holds it.
    listener->WaitFor();
    listener->EndDrain();
    for (int i = 0; i < bindings_.Count(); ++i)
        bindings_.Items(i).DropSocket();
    currentBinding_.store(nullptr);
    // What was queued but not delivered is lost with the stop: it goes into the one report of
    // what was lost and not yet reported.
    if (const std::uint64_t lost = listener->TakeLossAtStop())
        ReportLoss(lost);
}

void TIdUDPServer::ShutDownReceiving() {
    // Shutting the receiving side down makes the drain's readiness wait return at once rather
    // than at its time-out; for a datagram socket the call reports "not connected", which is of
    // no concern here.
    TIdStack& stack = *StackInstance();
    for (int i = 0; i < bindings_.Count(); ++i)
        stack.ShutdownSocket(bindings_.Items(i).OsSocket(), SD_RECEIVE);
}

void TIdUDPServer::ApplyBroadcast() {
    if (!currentBinding_.load())
        return;
    TIdStack& stack = *StackInstance();
    const int value = BroadcastEnabled() ? -1 : 0;
    for (int i = 0; i < bindings_.Count(); ++i) {
        stack.CheckSocketResult(
            stack.SetSocketOption(bindings_.Items(i).OsSocket(), SOL_SOCKET, SO_BROADCAST,
                                  reinterpret_cast<const char*>(&value), sizeof value));
    }
}

void TIdUDPServer::ApplyMulticast() {
    TIdStack& stack = *StackInstance();
    const int ttl = multicastTTL_;
    for (int i = 0; i < bindings_.Count(); ++i) {
        stack.CheckSocketResult(
            stack.SetSocketOption(bindings_.Items(i).OsSocket(), IPPROTO_IP, IP_MULTICAST_TTL,
                                  reinterpret_cast<const char*>(&ttl), sizeof ttl));
    }
    for (const TIdMulticastGroup& group : groups_)
        Join(group);
}

void TIdUDPServer::JoinMulticastGroup(const TIdMulticastGroup& group) {
    if (std::find(groups_.begin(), groups_.end(), group) != groups_.end())
        return;
    groups_.push_back(group);
    if (IsActive())
        Join(group);
}

void TIdUDPServer::LeaveMulticastGroup(const TIdMulticastGroup& group) {
    const auto found = std::find(groups_.begin(), groups_.end(), group);
    if (found == groups_.end())
        return;
    groups_.erase(found);
    if (IsActive())
        ChangeMembership(group, IP_DROP_MEMBERSHIP);
}

void TIdUDPServer::Join(const TIdMulticastGroup& group) {
    const int error = ChangeMembership(group, IP_ADD_MEMBERSHIP);
    if (error != 0 && onJoinFailure_)
        onJoinFailure_(*this, group, SystemSocketErrorText(error));
}

int TIdUDPServer::ChangeMembership(const TIdMulticastGroup& group, int option) {
    ip_mreq request{};
    request.imr_multiaddr.S_un.S_addr = std::bit_cast<u_long>(TIdStack::TextToAddress(group.group));
    if (!group.local.empty())
        request.imr_interface.S_un.S_addr =
            std::bit_cast<u_long>(TIdStack::TextToAddress(group.local));
    TIdStack& stack = *StackInstance();
    const int result =
        stack.SetSocketOption(currentBinding_.load()->OsSocket(), IPPROTO_IP, option,
                              reinterpret_cast<const char*>(&request), sizeof request);
    return result == SOCKET_ERROR ? stack.LastSocketError() : 0;
}

void TIdUDPServer::FinishReleaseAfterDelivery() {
    if (!releaseAfterDelivery_)
        return;
    releaseAfterDelivery_ = false;
    listener_->EndDrain();
    for (int i = 0; i < bindings_.Count(); ++i)
        bindings_.Items(i).DropSocket();
    // The listener waits for this delivery to return and delivers nothing more once it has.
    if (const std::uint64_t lost = listener_->TakeLossAtStop())
        ReportLoss(lost);
    // The delivery still runs on the listener's behalf (its buffer is the data being delivered),
    // so the listener cannot be waited for or freed here; it frees itself when it has ended.
    listener_.release()->SetFreeOnTerminate(true);
}

void TIdUDPServer::DeliverDatagram(Stream& data, TIdSocketHandle& binding) {
    currentBinding_.store(&binding);
    if (!onUDPRead_)
        return;
    // Deliveries nest when a handler runs an event loop (a modal box) while the next listener
    // hands one over.
    const std::thread::id outer = deliveringOn_.exchange(std::this_thread::get_id());
    struct AfterDelivery {
        TIdUDPServer& server;
        std::thread::id outer;
        ~AfterDelivery() {
            server.deliveringOn_.store(outer);
            server.FinishReleaseAfterDelivery();
        }
    } after{*this, outer};
    onUDPRead_(*this, data, binding);
}

void TIdUDPServer::ReportLoss(std::uint64_t lost) {
    Counters().AddLost(lost);
    if (!onUDPLoss_)
        return;
    try {
        onUDPLoss_(*this, lost);
    } catch (...) {
        // As a failing OnUDPRead: nobody on the listener's side could show it.
    }
}

} // namespace corvane

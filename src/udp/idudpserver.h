// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The UDP endpoint: its bindings, one listener thread for all of them, and the hand-over of each
// received datagram to OnUDPRead on the UI thread. Sends leave from the binding that received
// last, so that replies to their source port come back to the listener.

#include "core/stream.h"
#include "udp/idudpbase.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace corvane {

class TIdUDPServer;
class TIdUDPListenerThread;

// AData holds exactly the datagram, positioned at its first byte, and lives only during the call;
// ABinding received it, and its SenderIP and SenderPort name the sender.
using TUDPReadEvent =
    std::function<void(TIdUDPServer& Sender, Stream& AData, TIdSocketHandle& ABinding)>;
// ALost datagrams were lost on receipt since the last call: the kernel dropped them, or the queue
// of received datagrams had no room for them.
using TUDPLossEvent = std::function<void(TIdUDPServer& Sender, std::uint64_t ALost)>;

// A multicast group to receive: its dotted address, and the dotted local address of the interface
// to join it on (empty: the system's choice).
struct TIdMulticastGroup {
    ByteString group;
    ByteString local;
    bool operator==(const TIdMulticastGroup&) const = default;
};
// Whether text is a dotted address from 224.0.0.0 to 239.255.255.255.
bool IsMulticastGroupAddress(const ByteString& text);

// A join the system refused: the group and the system's text for the refusal.
using TUDPJoinFailureEvent = std::function<void(
    TIdUDPServer& Sender, const TIdMulticastGroup& AGroup, const ByteString& ASystemText)>;

class TIdUDPServer : public TIdUDPBase {
public:
    TIdUDPServer();
    // Deactivates (waiting for the listener), then frees the bindings.
    ~TIdUDPServer() override;

    TIdSocketHandles& Bindings() { return bindings_; }
    // The port of bindings created from now on; changing it never touches existing ones.
    int DefaultPort() const { return bindings_.DefaultPort(); }
    void SetDefaultPort(int port) { bindings_.SetDefaultPort(port); }
    const TUDPReadEvent& OnUDPRead() const { return onUDPRead_; }
    void SetOnUDPRead(TUDPReadEvent handler) { onUDPRead_ = std::move(handler); }
    // Called where OnUDPRead is, between deliveries, at most once a second while datagrams are
    // lost; what was lost but not yet reported when the endpoint is deactivated is reported then.
    const TUDPLossEvent& OnUDPLoss() const { return onUDPLoss_; }
    void SetOnUDPLoss(TUDPLossEvent handler) { onUDPLoss_ = std::move(handler); }
    // The bytes that received datagrams may take while they wait for delivery, headers of some
    // 24 bytes each included; read when the listener is created.
    std::size_t QueueBudget() const { return queueBudget_; }
    void SetQueueBudget(std::size_t bytes) { queueBudget_ = bytes; }
    // multicast
    // The groups joined at every activation, in the order they were added.
    const std::vector<TIdMulticastGroup>& MulticastGroups() const { return groups_; }
    // Adds the group (once) and, while active, joins it at once. A join the system refuses goes to
    // OnJoinFailure and the group stays in the list; the endpoint stays active.
    void JoinMulticastGroup(const TIdMulticastGroup& group);
    // Removes the group and, while active, leaves it at once; a refusal is of no concern.
    void LeaveMulticastGroup(const TIdMulticastGroup& group);
    const TUDPJoinFailureEvent& OnJoinFailure() const { return onJoinFailure_; }
    void SetOnJoinFailure(TUDPJoinFailureEvent handler) { onJoinFailure_ = std::move(handler); }
    // The time to live of multicast datagrams sent, 0 to 255; written at every activation.
    int MulticastTTL() const { return multicastTTL_; }
    void SetMulticastTTL(int ttl) { multicastTTL_ = ttl; }

    // True: deliver on the listener thread; false: on the UI thread.
    bool ThreadedEvent() const { return threadedEvent_.load(); }
    void SetThreadedEvent(bool value) { threadedEvent_.store(value); }
    // The binding that sends; null while inactive.
    TIdSocketHandle* CurrentBinding() const { return currentBinding_.load(); }
    // Exists exactly while active.
    TIdUDPListenerThread* Listener() const { return listener_.get(); }

protected:
    // Opens and binds every binding (creating one at DefaultPort when there is none), then starts
    // the listener. The first failure raises; bindings before it stay bound.
    TIdSocketHandle& AcquireBinding() override;
    // Stops the listener, wakes its readiness wait and waits for it to end, running the
    // deliveries it hands over meanwhile, then closes every socket; datagrams still queued are
    // discarded. Bindings keep their IP and Port. Called from inside a delivery, whose listener
    // waits for it to return, it stops the listener and leaves the rest until the delivery has
    // returned; Active reads false at once.
    void ReleaseBindings() override;
    bool IsActive() override;
    void ApplyBroadcast() override;
    virtual void DeliverDatagram(Stream& data, TIdSocketHandle& binding);

private:
    friend class TIdUDPListenerThread;

    // Ends a deactivation begun inside a delivery: closes the sockets and lets the stopped
    // listener free itself once the delivery has returned to it.
    void FinishReleaseAfterDelivery();
    void ShutDownReceiving();
    // Writes the multicast time to live and joins every group, at the end of an activation.
    void ApplyMulticast();
    // Joins or leaves on the current binding's socket; the platform's error number, or 0.
    int ChangeMembership(const TIdMulticastGroup& group, int option);
    void Join(const TIdMulticastGroup& group);
    // Calls OnUDPLoss; a failure there is dropped, as one of OnUDPRead is.
    void ReportLoss(std::uint64_t lost);

    TIdSocketHandles bindings_;
    TUDPReadEvent onUDPRead_;
    TUDPLossEvent onUDPLoss_;
    std::vector<TIdMulticastGroup> groups_;
    TUDPJoinFailureEvent onJoinFailure_;
    int multicastTTL_ = 1;
    std::size_t queueBudget_;
    std::atomic<bool> threadedEvent_{false};
    std::atomic<TIdSocketHandle*> currentBinding_{nullptr};
    std::unique_ptr<TIdUDPListenerThread> listener_;
    // The thread running a delivery, if any.
    std::atomic<std::thread::id> deliveringOn_{};
    bool releaseAfterDelivery_ = false;
};

} // namespace corvane

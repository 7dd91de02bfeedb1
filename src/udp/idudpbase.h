// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The base of the UDP endpoints: the activation rule, the receive buffer size, the broadcast
// option and sending. How bindings are acquired and released is the endpoint's own. Every call
// belongs to the UI thread.

#include "core/bytestring.h"
#include "core/linkcounters.h"
#include "udp/idcomponent.h"
#include "udp/idsockethandle.h"

namespace corvane {

class TIdUDPBase : public TIdComponent {
public:
    static constexpr int kDefaultBufferSize = 8192;

    // Writing the value it already has does nothing; true activates, false deactivates.
    bool Active() { return IsActive(); }
    void SetActive(bool value);
    // Bytes offered to each receive, read when a listener is created.
    int BufferSize() const { return bufferSize_; }
    void SetBufferSize(int size) { bufferSize_ = size; }
    // Written into the broadcast option of every socket, now when active, else at activation.
    bool BroadcastEnabled() const { return broadcastEnabled_; }
    void SetBroadcastEnabled(bool value);

    // Sends data as one datagram to host (a name, "LOCALHOST" or a dotted address) at port's low
    // 16 bits, activating the endpoint first when it is inactive. A host that cannot be resolved
    // raises before anything else happens. Another thread may call it too, with a dotted address
    // and while the UI thread keeps the endpoint active: it then only sends.
    void SendDatagram(const ByteString& host, int port, const ByteString& data);

    // What went through the endpoint since it was last activated: the datagrams sent here (one
    // line each, a raise a failed send), and those the endpoint delivers and loses.
    LinkCounters& Counters() { return counters_; }

protected:
    virtual void ReleaseBindings() = 0;
    virtual bool IsActive() = 0;
    // Activates when inactive; returns the binding to send from.
    virtual TIdSocketHandle& AcquireBinding() = 0;
    virtual void ApplyBroadcast() = 0;

private:
    int bufferSize_ = kDefaultBufferSize;
    bool broadcastEnabled_ = false;
    LinkCounters counters_;
};

} // namespace corvane

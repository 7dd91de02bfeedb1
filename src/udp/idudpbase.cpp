// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idudpbase.h"

namespace corvane {

void TIdUDPBase::SetActive(bool value) {
    if (value == IsActive())
        return;
    if (value)
        AcquireBinding();
    else
        ReleaseBindings();
}

void TIdUDPBase::SetBroadcastEnabled(bool value) {
    if (value == broadcastEnabled_)
        return;
    broadcastEnabled_ = value;
    if (IsActive())
        ApplyBroadcast();
}

void TIdUDPBase::SendDatagram(const ByteString& host, int port, const ByteString& data) {
    try {
        const ByteString address = StackInstance()->HostToAddress(host);
        AcquireBinding().SendBytesTo(address, port, data.data(), static_cast<int>(data.size()));
    } catch (...) {
        counters_.AddFailedSend();
        throw;
    }
    counters_.AddSentBytes(data.size());
    counters_.AddSentLines(1);
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idsockethandle.h"

#include "udp/idcomponent.h"
#include "udp/idexceptions.h"

namespace corvane {
using namespace winsock;

void TIdSocketHandle::OpenSocket(int socketType, int protocol) {
    DropSocket();
    osSocket_ = StackInstance()->NewSocket(socketType, protocol);
    allocated_ = true;
}

void TIdSocketHandle::BindSocket() {
    if (!TryBind())
        throw EIdCouldNotBindSocket("Could not bind socket. Address and port are already in use.");
}

bool TIdSocketHandle::TryBind() {
    TIdStack& stack = *StackInstance();
    if (stack.CheckSocketResult(stack.BindAddress(osSocket_, ip_, port_), {WSAEADDRINUSE}))
        return false;
    stack.LocalAddressOf(osSocket_, ip_, port_);
    return true;
}

void TIdSocketHandle::DropSocket() {
    if (!allocated_)
        return;
    allocated_ = false;
    TIdStack& stack = *StackInstance();
    stack.ShutdownSocket(osSocket_, SD_SEND);
    stack.CloseSocketHandle(osSocket_);
}

void TIdSocketHandle::SendBytesTo(const ByteString& ip, int port, const char* buffer, int count) {
    TIdStack& stack = *StackInstance();
    const int sent = stack.SendToAddress(osSocket_, buffer, count, 0, ip, port);
    if (sent == SOCKET_ERROR) {
        if (stack.LastSocketError() == WSAEMSGSIZE)
            throw EIdPackageSizeTooBig("Package Size Too Big.");
        stack.CheckSocketResult(sent);
    }
    if (sent != count)
        throw EIdNotAllBytesSent("Not all bytes sent.");
}

void TIdSocketHandle::RecordSender(const ByteString& ip, int port, std::int64_t receivedAt) {
    senderIP_ = ip;
    senderPort_ = port;
    receivedAt_ = receivedAt;
}

TIdSocketHandle& TIdSocketHandles::Add() {
    items_.push_back(std::make_unique<TIdSocketHandle>(defaultPort_));
    return *items_.back();
}

} // namespace corvane

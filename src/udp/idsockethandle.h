// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bindings of a UDP endpoint: each one an IPv4 datagram socket bound to a local address and
// port. The endpoint owns the collection, and the collection its items. Every call belongs to the
// UI thread, but for RecordSender: the listener records the sender of each datagram just before its
// delivery, on the thread that delivers.

#include "core/bytestring.h"
#include "platform/winsock.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

class TIdSocketHandle {
public:
    explicit TIdSocketHandle(int port) : port_(port) {}
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;
    virtual ~TIdSocketHandle() { DropSocket(); }

    // The local address to bind, empty for all; after a bind, the address the socket got.
    const ByteString& IP() const { return ip_; }
    void SetIP(ByteString ip) { ip_ = std::move(ip); }
    // The local port to bind (its low 16 bits); after a bind, the port the socket got.
    int Port() const { return port_; }
    void SetPort(int port) { port_ = port; }
    winsock::SOCKET OsSocket() const { return osSocket_; }
    // True from OpenSocket to DropSocket.
    bool Allocated() const { return allocated_; }
    // The sender of the datagram being delivered: dotted address and port.
    const ByteString& SenderIP() const { return senderIP_; }
    int SenderPort() const { return senderPort_; }
    // When the datagram being delivered arrived, in microseconds since the Unix epoch: the
    // kernel's time, or the moment it was read where the kernel gives none.
    std::int64_t ReceivedAt() const { return receivedAt_; }

    // Drops the socket it has, then takes a new one; IP and Port stay as they are.
    void OpenSocket(int socketType, int protocol);
    // Binds to IP and Port. A port in use raises EIdCouldNotBindSocket, any other failure
    // EIdSocketError.
    void BindSocket();
    // Shuts the socket down for sending and closes it, ignoring both results.
    virtual void DropSocket();
    // One datagram to the dotted address ip. Raises EIdPackageSizeTooBig for a datagram too long,
    // EIdNotAllBytesSent when part of it was sent, and EIdSocketError for any other failure.
    void SendBytesTo(const ByteString& ip, int port, const char* buffer, int count);
    void RecordSender(const ByteString& ip, int port, std::int64_t receivedAt);

private:
    // False when the port is in use.
    bool TryBind();

    ByteString ip_;
    int port_;
    winsock::SOCKET osSocket_ = winsock::INVALID_SOCKET;
    bool allocated_ = false;
    ByteString senderIP_;
    int senderPort_ = 0;
    std::int64_t receivedAt_ = 0;
};

class TIdSocketHandles {
public:
    // The port an item created from now on takes; existing items keep theirs.
    int DefaultPort() const { return defaultPort_; }
    void SetDefaultPort(int port) { defaultPort_ = port; }

    // A new item at the end, for all local addresses at DefaultPort.
    TIdSocketHandle& Add();
    int Count() const { return static_cast<int>(items_.size()); }
    TIdSocketHandle& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }

private:
    std::vector<std::unique_ptr<TIdSocketHandle>> items_;
    int defaultPort_ = 0;
};

} // namespace corvane

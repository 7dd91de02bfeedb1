// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The socket stack: the one process-wide object through which the UDP link reaches the socket
// interface. TIdStack holds what needs no platform (error texts, host resolution, the check of
// call results, socket creation); TIdStackWindows (idstackwindows.h) wraps the Winsock calls.
// Every operation is synchronous and may be called from any thread at once; none takes a lock.

#include "core/bytestring.h"
#include "platform/datagrambatch.h"
#include "platform/winsock.h"

#include <array>
#include <initializer_list>
#include <optional>
#include <vector>

namespace corvane {

// Four IPv4 address bytes in network order.
using TIdIPv4Bytes = std::array<BYTE, 4>;

class TIdStack {
public:
    TIdStack() = default;
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;
    virtual ~TIdStack() = default;

    // sockets: each returns the platform call's result, which the caller checks
    // An IPv4 socket; raises EIdInvalidSocket "Cannot allocate socket." when refused.
    winsock::SOCKET NewSocket(int type, int protocol);
    // ip empty: all local addresses; the port's low 16 bits are used.
    virtual int BindAddress(winsock::SOCKET s, const ByteString& ip, int port) = 0;
    // The address and port the socket is bound to; a failure raises EIdSocketError.
    virtual void LocalAddressOf(winsock::SOCKET s, ByteString& ip, int& port) = 0;
    virtual int SetSocketOption(winsock::SOCKET s, int level, int option, const char* value,
                                int length) = 0;
    // Waits up to timeoutMs for any of sockets to become readable; sockets then holds the ready
    // ones, in the platform's order. More than 64 raise EIdStackSetSizeExceeded.
    virtual int WaitReadable(std::vector<winsock::SOCKET>& sockets, int timeoutMs) = 0;
    // ip and port: the sender's dotted address and its port.
    virtual int ReceiveFrom(winsock::SOCKET s, char* buffer, int capacity, int flags,
                            ByteString& ip, int& port) = 0;
    // Asks the platform to report each datagram's arrival time and the socket's drop count.
    virtual int EnableReceiveReports(winsock::SOCKET s) = 0;
    // Takes up to count datagrams already queued on s without waiting: how many (0 when none), or
    // -1. drops: the socket's count of dropped datagrams so far, as the last one taken reported it.
    virtual int ReceiveQueued(winsock::SOCKET s, winsock::DATAGRAM_SLOT* slots, int count,
                              std::uint32_t& drops) = 0;
    // The socket's count of dropped datagrams now, also when no datagram followed the drops.
    virtual int DropCountOf(winsock::SOCKET s, std::uint32_t& drops) = 0;
    // ip must be dotted text; the port's low 16 bits are used.
    virtual int SendToAddress(winsock::SOCKET s, const char* buffer, int count, int flags,
                              const ByteString& ip, int port) = 0;
    virtual int ShutdownSocket(winsock::SOCKET s, int how) = 0;
    virtual int CloseSocketHandle(winsock::SOCKET s) = 0;
    // The error number of this thread's last failed call.
    virtual int LastSocketError() = 0;

    // results and errors
    // False for any result but -1. For -1: true when the last error is among accepted, and
    // otherwise EIdSocketError for it.
    bool CheckSocketResult(int result, std::initializer_list<int> accepted = {});
    // "Socket Error # <number>\r\n<text>"; the text is empty for a number without one.
    ByteString SocketErrorText(int number) const;
    [[noreturn]] void RaiseSocketError(int number) const;

    // addresses
    // "LOCALHOST" in any case gives 127.0.0.1, a dotted address is returned as it is, and any
    // other name, the empty one included, goes to the platform's lookup, whose failure raises
    // EIdSocketError.
    ByteString HostToAddress(const ByteString& host);
    static ByteString AddressToText(const TIdIPv4Bytes& address);
    // Four parts split at "." (a fifth is ignored), each the low 8 bits of its integer text; a part
    // that is not integer text raises EConvertError.
    static TIdIPv4Bytes TextToAddress(const ByteString& text);
    // Four parts, the last one all the text after the third ".", each integer text from 0 to 255.
    static bool IsDottedAddress(const ByteString& text);

protected:
    virtual winsock::SOCKET CreateSocketHandle(int type, int protocol) = 0;
    // The first address the lookup gives; nothing when it fails, LastSocketError then says why.
    virtual std::optional<TIdIPv4Bytes> LookupHost(const ByteString& host) = 0;
    // The words for an error number, or an empty text when there are none.
    virtual const char* ErrorText(int number) const;
};

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Taking the datagrams already queued on a socket of the Winsock layer many at a time, with what
// the kernel says about each: when it arrived, and how many datagrams the socket has dropped so far
// for want of room. Linux calls (recvmmsg, the SO_TIMESTAMP and SO_RXQ_OVFL reports) that Winsock
// has no counterpart for. Failures return SOCKET_ERROR and set WSAGetLastError, as in winsock.h.

#include "platform/winsock.h"

#include <cstdint>

namespace corvane::winsock {

// One datagram of a batch. The caller sets buf and len; the call fills the rest.
struct DATAGRAM_SLOT {
    char* buf;
    int len;
    // The datagram's length, or what fitted of it when it was longer than len.
    int received;
    // Longer than len: its tail is gone, so it is of no use whole.
    bool truncated;
    sockaddr_in from;
    // When the kernel queued it, in microseconds since the Unix epoch; when the kernel gave no
    // time, the moment it was taken.
    std::int64_t receivedAt;
};

// Asks the kernel to report each datagram's arrival time and the socket's drop count from now on.
int EnableDatagramReports(SOCKET s);

// Takes up to count datagrams that are queued on s, without waiting; returns how many it took (0
// when none was queued). drops: the socket's count of datagrams dropped since it was created, as
// the last datagram taken carries it: the drops before that datagram was queued, so drops show
// with the next datagram after them. Left as it was when none was taken. After the receiving side
// was shut down it fails with WSAESHUTDOWN, as recvfrom does.
int ReceiveDatagramBatch(SOCKET s, DATAGRAM_SLOT* slots, int count, std::uint32_t& drops);

// The socket's count of datagrams dropped since it was created, as it is now.
int DatagramDropCount(SOCKET s, std::uint32_t& drops);

} // namespace corvane::winsock

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The BSD socket calls under the Winsock layer, in plain types. The system's socket headers define
// macros that clash with the Windows constants, so they are included by bsdsocket.cpp alone, and
// winsock.cpp speaks to them through this header. Every call returns -1 with errno set on failure,
// as the call it wraps does.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane::bsd {

// An IPv4 address and port, both in network byte order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

enum class SocketType { Stream, Datagram };
enum class ShutdownHow { Receive, Send, Both };

// An IPv4 socket, closed on exec; a datagram socket with a receive queue of up to 4 MiB.
int Socket(SocketType type, int protocol);
int Bind(int fd, Endpoint local);
int LocalEndpoint(int fd, Endpoint& local);
int SetBroadcast(int fd, bool on);
int SetMulticastTtl(int fd, int ttl);
// Joins (join) or leaves the group on the interface with the local address; both in network order,
// local 0 for the system's choice.
int SetMembership(int fd, std::uint32_t group, std::uint32_t local, bool join);

// Takes one datagram. When it was longer than capacity, truncated is set and the result is its
// full length; its tail is gone. hasSender is false when the call returned without a datagram's
// sender: a shutdown of the receiving side woke it.
long ReceiveFrom(int fd, void* buffer, std::size_t capacity, Endpoint& from, bool& truncated,
                 bool& hasSender);
// One datagram of a batch: the caller sets buffer and capacity, the call fills the rest.
struct BatchEntry {
    void* buffer = nullptr;
    std::size_t capacity = 0;
    std::size_t length = 0;
    bool truncated = false;
    Endpoint from;
    // False when a shutdown of the receiving side, not a datagram, ended the receive.
    bool hasSender = false;
    // The kernel's arrival time in microseconds since the Unix epoch; 0 when it gave none.
    std::int64_t receivedAtUs = 0;
};

// Turns on the kernel's arrival time (SO_TIMESTAMP) and drop count (SO_RXQ_OVFL) for each datagram.
int EnableReceiveReports(int fd);
// recvmmsg without waiting: the count taken, or -1 with errno (EAGAIN when none is queued). drops
// takes the drop count the last datagram taken carried; one queued before any drop carries 0.
int ReceiveBatch(int fd, BatchEntry* entries, int count, std::uint32_t& drops);
// The socket's drop count now (SO_MEMINFO), whether or not a datagram followed the drops.
int DropCount(int fd, std::uint32_t& drops);
long SendTo(int fd, const void* buffer, std::size_t count, Endpoint to);
int Shutdown(int fd, ShutdownHow how);
int Close(int fd);

struct PollEntry {
    int fd = -1;
    bool wantRead = false, wantWrite = false, wantExcept = false;
    bool readable = false, writable = false, exceptional = false;
    bool invalid = false; // not an open descriptor
};

// Waits until an entry is ready, or timeoutMs milliseconds (-1: for ever). Returns the number of
// entries with any outcome set; a signal does not cut the wait short.
int Poll(std::vector<PollEntry>& entries, int timeoutMs);

enum class LookupStatus { Found, NotFound, TryAgain, NoRecovery, NoData, SystemError };

// The IPv4 addresses of name, in the resolver's order. SystemError leaves errno set.
LookupStatus Lookup(const char* name, std::vector<std::uint32_t>& addresses);

} // namespace corvane::bsd

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/bsdsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/sock_diag.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace corvane::bsd {
namespace {

sockaddr_in ToSockaddr(Endpoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = endpoint.port;
    address.sin_addr.s_addr = endpoint.address;
    return address;
}

Endpoint FromSockaddr(const sockaddr_in& address) {
    return {address.sin_addr.s_addr, address.sin_port};
}

} // namespace

int Socket(SocketType type, int protocol) {
    const int kind = type == SocketType::Datagram ? SOCK_DGRAM : SOCK_STREAM;
    const int fd = ::socket(AF_INET, kind | SOCK_CLOEXEC, protocol);
    if (fd >= 0 && type == SocketType::Datagram) {
        // Linux's default queue (rmem_default, often 208 KiB) holds only about 270 small
        // datagrams, some 10 ms of a 25,000/s stream: a receiver held up for a moment (a repaint,
        // another process on the core) loses the rest. Ask for 4 MiB; the kernel caps the request
        // at rmem_max, and a refusal leaves the default.
        const int bytes = 4 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
    return fd;
}

int Bind(int fd, Endpoint local) {
    const sockaddr_in address = ToSockaddr(local);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int LocalEndpoint(int fd, Endpoint& local) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0)
        return -1;
    local = FromSockaddr(address);
    return 0;
}

int SetBroadcast(int fd, bool on) {
    const int value = on ? 1 : 0;
    return ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value);
}

int SetMulticastTtl(int fd, int ttl) {
    return ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
}

int SetMembership(int fd, std::uint32_t group, std::uint32_t local, bool join) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = local;
    return ::setsockopt(fd, IPPROTO_IP, join ? IP_ADD_MEMBERSHIP : IP_DROP_MEMBERSHIP, &request,
                        sizeof request);
}

long ReceiveFrom(int fd, void* buffer, std::size_t capacity, Endpoint& from, bool& truncated,
                 bool& hasSender) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    // MSG_TRUNC makes a datagram socket report the datagram's full length, so a cut is visible.
    const ssize_t count =
        ::recvfrom(fd, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&address), &length);
    if (count < 0)
        return -1;
    from = FromSockaddr(address);
    truncated = static_cast<std::size_t>(count) > capacity;
    hasSender = length >= sizeof address;
    return count;
}

int EnableReceiveReports(int fd) {
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on) < 0)
        return -1;
    return ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
}

int ReceiveBatch(int fd, BatchEntry* entries, int count, std::uint32_t& drops) {
    // Room for both reports a datagram can carry.
    constexpr std::size_t kControl =
        CMSG_SPACE(sizeof(timeval)) + CMSG_SPACE(sizeof(std::uint32_t));
    struct Slot {
        sockaddr_in address;
        alignas(cmsghdr) char control[kControl];
        iovec data;
    };
    // Kept by the thread, so that a batch costs no allocation.
    thread_local std::vector<Slot> slots;
    thread_local std::vector<mmsghdr> messages;
    const auto n = static_cast<std::size_t>(count);
    if (slots.size() < n) {
        slots.resize(n);
        messages.resize(n);
    }
    for (std::size_t i = 0; i < n; ++i) {
        Slot& slot = slots[i];
        slot.data = {entries[i].buffer, entries[i].capacity};
        msghdr& header = messages[i].msg_hdr;
        header = msghdr{};
        header.msg_name = &slot.address;
        header.msg_namelen = sizeof slot.address;
        header.msg_iov = &slot.data;
        header.msg_iovlen = 1;
        header.msg_control = slot.control;
        header.msg_controllen = sizeof slot.control;
    }
    const int taken =
        ::recvmmsg(fd, messages.data(), static_cast<unsigned>(count), MSG_DONTWAIT, nullptr);
    if (taken < 0)
        return -1;
    for (int i = 0; i < taken; ++i) {
        msghdr& header = messages[static_cast<std::size_t>(i)].msg_hdr;
        BatchEntry& entry = entries[i];
        entry.length = messages[static_cast<std::size_t>(i)].msg_len;
        entry.truncated = header.msg_flags & MSG_TRUNC;
        entry.hasSender = header.msg_namelen >= sizeof(sockaddr_in);
        entry.from = FromSockaddr(slots[static_cast<std::size_t>(i)].address);
        entry.receivedAtUs = 0;
        // The count is stamped on a datagram only once there were drops.
        drops = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level != SOL_SOCKET)
                continue;
            if (c->cmsg_type == SCM_TIMESTAMP) {
                timeval time;
                std::memcpy(&time, CMSG_DATA(c), sizeof time);
                entry.receivedAtUs = time.tv_sec * 1'000'000LL + time.tv_usec;
            } else if (c->cmsg_type == SO_RXQ_OVFL) {
                std::memcpy(&drops, CMSG_DATA(c), sizeof drops);
            }
        }
    }
    return taken;
}

int DropCount(int fd, std::uint32_t& drops) {
    std::uint32_t counts[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof counts;
    if (::getsockopt(fd, SOL_SOCKET, SO_MEMINFO, counts, &length) < 0)
        return -1;
    drops = counts[SK_MEMINFO_DROPS];
    return 0;
}

long SendTo(int fd, const void* buffer, std::size_t count, Endpoint to) {
    const sockaddr_in address = ToSockaddr(to);
    return ::sendto(fd, buffer, count, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                    sizeof address);
}

int Shutdown(int fd, ShutdownHow how) {
    const int bsdHow = how == ShutdownHow::Receive ? SHUT_RD
                       : how == ShutdownHow::Send  ? SHUT_WR
                                                   : SHUT_RDWR;
    return ::shutdown(fd, bsdHow);
}

int Close(int fd) {
    return ::close(fd);
}

int Poll(std::vector<PollEntry>& entries, int timeoutMs) {
    thread_local std::vector<pollfd> fds; // kept, so that a wait costs no allocation
    fds.assign(entries.size(), pollfd{});
    for (std::size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = entries[i].fd;
        fds[i].events = static_cast<short>((entries[i].wantRead ? POLLIN : 0) |
                                           (entries[i].wantWrite ? POLLOUT : 0) |
                                           (entries[i].wantExcept ? POLLPRI : 0));
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int left = timeoutMs;
    int result;
    while ((result = ::poll(fds.data(), fds.size(), left)) < 0 && errno == EINTR) {
        if (timeoutMs >= 0) {
            const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            left = rest.count() > 0 ? static_cast<int>(rest.count()) : 0;
        }
    }
    if (result < 0)
        return -1;
    int ready = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short got = fds[i].revents;
        PollEntry& entry = entries[i];
        entry.invalid = got & POLLNVAL;
        // An error or hang-up is reported by the next receive, so it counts as readable.
        entry.readable = entry.wantRead && (got & (POLLIN | POLLERR | POLLHUP));
        entry.writable = entry.wantWrite && (got & (POLLOUT | POLLERR | POLLHUP));
        entry.exceptional = entry.wantExcept && (got & POLLPRI);
        if (entry.invalid || entry.readable || entry.writable || entry.exceptional)
            ++ready;
    }
    return ready;
}

LookupStatus Lookup(const char* name, std::vector<std::uint32_t>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM; // one answer per address instead of one per socket type
    addrinfo* answer = nullptr;
    switch (::getaddrinfo(name, nullptr, &hints, &answer)) {
    case 0:
        break;
    case EAI_NONAME:
        return LookupStatus::NotFound;
    case EAI_AGAIN:
        return LookupStatus::TryAgain;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return LookupStatus::NoData;
    case EAI_SYSTEM:
        return LookupStatus::SystemError;
    default:
        return LookupStatus::NoRecovery;
    }
    addresses.clear();
    for (const addrinfo* entry = answer; entry; entry = entry->ai_next)
        addresses.push_back(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(answer);
    return addresses.empty() ? LookupStatus::NoData : LookupStatus::Found;
}

} // namespace corvane::bsd

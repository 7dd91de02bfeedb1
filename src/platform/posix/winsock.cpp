// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/winsock.h"

#include "platform/datagrambatch.h"
#include "platform/posix/bsdsocket.h"
#include "platform/posix/wsaerror.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

namespace corvane::winsock {
namespace {

thread_local int lastError = 0;
std::atomic<int> startups{0};

int Fail(int error) {
    lastError = error;
    return SOCKET_ERROR;
}

int FailFromErrno() {
    return Fail(WsaErrorFromErrno(errno));
}

bool Started() {
    return startups.load() > 0;
}

// A socket handle is the descriptor's number.
bool ToFd(SOCKET s, int& fd) {
    if (s > static_cast<SOCKET>(INT_MAX))
        return false;
    fd = static_cast<int>(s);
    return true;
}

// Checks what every socket call checks first: start-up done and a handle that can be a socket.
bool Usable(SOCKET s, int& fd) {
    if (!Started()) {
        Fail(WSANOTINITIALISED);
        return false;
    }
    if (!ToFd(s, fd)) {
        Fail(WSAENOTSOCK);
        return false;
    }
    return true;
}

bool ReadAddress(const sockaddr* name, int namelen, bsd::Endpoint& endpoint) {
    if (!name || namelen < static_cast<int>(sizeof(sockaddr_in))) {
        Fail(WSAEFAULT);
        return false;
    }
    sockaddr_in address;
    std::memcpy(&address, name, sizeof address);
    if (address.sin_family != AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return false;
    }
    endpoint = {address.sin_addr.S_un.S_addr, address.sin_port};
    return true;
}

bool WriteAddress(const bsd::Endpoint& endpoint, sockaddr* name, int* namelen) {
    if (!name || !namelen || *namelen < static_cast<int>(sizeof(sockaddr_in))) {
        Fail(WSAEFAULT);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = endpoint.port;
    address.sin_addr.S_un.S_addr = endpoint.address;
    std::memcpy(name, &address, sizeof address);
    *namelen = sizeof address;
    return true;
}

// Fills entries from the sets in the order read, write, except.
bool CollectSets(fd_set* const (&sets)[3], std::vector<bsd::PollEntry>& entries) {
    for (int kind = 0; kind < 3; ++kind) {
        if (!sets[kind])
            continue;
        for (u_int i = 0; i < sets[kind]->fd_count; ++i) {
            bsd::PollEntry entry;
            if (!ToFd(sets[kind]->fd_array[i], entry.fd)) {
                Fail(WSAENOTSOCK);
                return false;
            }
            entry.wantRead = kind == 0;
            entry.wantWrite = kind == 1;
            entry.wantExcept = kind == 2;
            entries.push_back(entry);
        }
    }
    return true;
}

// The sockets whose receiving side has been shut down. Linux keeps handing out queued datagrams
// after a shutdown and wakes a blocked receive with 0 bytes from nobody; Windows fails every
// receive from then on with WSAESHUTDOWN, and so does this layer. The count spares each receive the
// lock while no socket is shut down.
class ShutReceivers {
public:
    void Add(int fd) {
        std::lock_guard lock(mutex_);
        if (std::find(fds_.begin(), fds_.end(), fd) == fds_.end())
            fds_.push_back(fd);
        count_.store(fds_.size());
    }
    // A closed descriptor's number is free for the next socket.
    void Remove(int fd) {
        if (count_.load() == 0)
            return;
        std::lock_guard lock(mutex_);
        std::erase(fds_, fd);
        count_.store(fds_.size());
    }
    bool Contains(int fd) const {
        if (count_.load() == 0)
            return false;
        std::lock_guard lock(mutex_);
        return std::find(fds_.begin(), fds_.end(), fd) != fds_.end();
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> fds_;
    std::atomic<std::size_t> count_{0};
};
ShutReceivers shutReceivers;

// A host entry per thread, as Windows keeps one.
struct HostEntry {
    hostent entry{};
    std::string name;
    std::vector<u_long> addresses;
    std::vector<char*> addressList;
    char* noAliases[1] = {nullptr};
};
thread_local HostEntry hostEntry;

} // namespace

int WsaErrorFromErrno(int error) {
    switch (error) {
    case EINTR:
        return WSAEINTR;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EWOULDBLOCK:
        return WSAEWOULDBLOCK;
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
    case EBADF:
        return WSAENOTSOCK;
    case EDESTADDRREQ:
        return WSAEDESTADDRREQ;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTOTYPE:
        return WSAEPROTOTYPE;
    case ENOPROTOOPT:
        return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
        return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
        return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
        return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
    case ENODEV: // a group joined on an interface, or by a route, that is not there
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
    case EPIPE:
        return WSAESHUTDOWN;
    case ETOOMANYREFS:
        return WSAETOOMANYREFS;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ELOOP:
        return WSAELOOP;
    case ENAMETOOLONG:
        return WSAENAMETOOLONG;
    case EHOSTDOWN:
        return WSAEHOSTDOWN;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ENOTEMPTY:
        return WSAENOTEMPTY;
    case EUSERS:
        return WSAEUSERS;
    case EDQUOT:
        return WSAEDQUOT;
    case ESTALE:
        return WSAESTALE;
    case EREMOTE:
        return WSAEREMOTE;
    default:
        return WSASYSCALLFAILURE;
    }
}

int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
    const int major = wVersionRequested & 0xFF;
    const int minor = wVersionRequested >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return WSAVERNOTSUPPORTED;
    if (!lpWSAData)
        return WSAEFAULT;
    // The highest version offered is 2.2; a higher request gets 2.2, as on Windows.
    const bool above = major > 2 || (major == 2 && minor > 2);
    *lpWSAData = WSADATA{};
    lpWSAData->wVersion = above ? WORD{0x0202} : wVersionRequested;
    lpWSAData->wHighVersion = 0x0202;
    std::strcpy(lpWSAData->szDescription, "WinSock 2.0");
    std::strcpy(lpWSAData->szSystemStatus, "Running");
    ++startups;
    return 0;
}

int WSACleanup() {
    int count = startups.load();
    while (count > 0 && !startups.compare_exchange_weak(count, count - 1)) {
    }
    return count > 0 ? 0 : Fail(WSANOTINITIALISED);
}

int WSAGetLastError() {
    return lastError;
}

SOCKET socket(int af, int type, int protocol) {
    if (!Started()) {
        Fail(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    if (af != AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (type != SOCK_DGRAM && type != SOCK_STREAM) {
        Fail(WSAESOCKTNOSUPPORT);
        return INVALID_SOCKET;
    }
    const int fd = bsd::Socket(
        type == SOCK_DGRAM ? bsd::SocketType::Datagram : bsd::SocketType::Stream, protocol);
    if (fd < 0) {
        FailFromErrno();
        return INVALID_SOCKET;
    }
    shutReceivers.Remove(fd); // in case the number was closed behind this layer's back
    return static_cast<SOCKET>(fd);
}

int bind(SOCKET s, const sockaddr* name, int namelen) {
    int fd;
    bsd::Endpoint local;
    if (!Usable(s, fd) || !ReadAddress(name, namelen, local))
        return SOCKET_ERROR;
    return bsd::Bind(fd, local) < 0 ? FailFromErrno() : 0;
}

int getsockname(SOCKET s, sockaddr* name, int* namelen) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    bsd::Endpoint local;
    if (bsd::LocalEndpoint(fd, local) < 0)
        return FailFromErrno();
    return WriteAddress(local, name, namelen) ? 0 : SOCKET_ERROR;
}

int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    if (level == IPPROTO_IP && (optname == IP_ADD_MEMBERSHIP || optname == IP_DROP_MEMBERSHIP)) {
        if (!optval || optlen < static_cast<int>(sizeof(ip_mreq)))
            return Fail(WSAEFAULT);
        ip_mreq request;
        std::memcpy(&request, optval, sizeof request);
        const int result =
            bsd::SetMembership(fd, request.imr_multiaddr.S_un.S_addr,
                               request.imr_interface.S_un.S_addr, optname == IP_ADD_MEMBERSHIP);
        return result < 0 ? FailFromErrno() : 0;
    }
    const bool broadcast = level == SOL_SOCKET && optname == SO_BROADCAST;
    if (!broadcast && (level != IPPROTO_IP || optname != IP_MULTICAST_TTL))
        return Fail(WSAENOPROTOOPT);
    if (!optval || optlen < static_cast<int>(sizeof(int)))
        return Fail(WSAEFAULT);
    int value;
    std::memcpy(&value, optval, sizeof value);
    if (broadcast)
        return bsd::SetBroadcast(fd, value != 0) < 0 ? FailFromErrno() : 0;
    // Linux takes -1 as "the default"; Windows refuses what is not a time to live.
    if (value < 0 || value > 255)
        return Fail(WSAEINVAL);
    return bsd::SetMulticastTtl(fd, value) < 0 ? FailFromErrno() : 0;
}

int select(int, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const timeval* timeout) {
    if (!Started())
        return Fail(WSANOTINITIALISED);
    fd_set* const sets[3] = {readfds, writefds, exceptfds};
    // Kept by the thread, so that a wait costs no allocation.
    thread_local std::vector<bsd::PollEntry> entries;
    entries.clear();
    if (!CollectSets(sets, entries))
        return SOCKET_ERROR;
    if (entries.empty())
        return Fail(WSAEINVAL);
    int timeoutMs = -1;
    if (timeout) {
        if (timeout->tv_sec < 0 || timeout->tv_usec < 0)
            return Fail(WSAEINVAL);
        // Rounded up, so that a short time-out still waits rather than polls.
        const long long ms = timeout->tv_sec * 1000LL + (timeout->tv_usec + 999LL) / 1000;
        timeoutMs = ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
    }
    if (bsd::Poll(entries, timeoutMs) < 0)
        return FailFromErrno();
    for (const bsd::PollEntry& entry : entries) {
        if (entry.invalid)
            return Fail(WSAENOTSOCK);
    }
    int ready = 0;
    std::size_t next = 0;
    for (fd_set* set : sets) {
        if (!set)
            continue;
        const u_int given = set->fd_count;
        set->fd_count = 0;
        for (u_int i = 0; i < given; ++i, ++next) {
            const bsd::PollEntry& entry = entries[next];
            if (entry.readable || entry.writable || entry.exceptional) {
                set->fd_array[set->fd_count++] = set->fd_array[i];
                ++ready;
            }
        }
    }
    return ready;
}

int recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    if (flags != 0)
        return Fail(WSAEOPNOTSUPP);
    if (len < 0 || (!buf && len > 0))
        return Fail(WSAEFAULT);
    if (shutReceivers.Contains(fd))
        return Fail(WSAESHUTDOWN);
    bsd::Endpoint sender;
    bool truncated = false;
    bool hasSender = false;
    const long count =
        bsd::ReceiveFrom(fd, buf, static_cast<std::size_t>(len), sender, truncated, hasSender);
    if (count < 0)
        return FailFromErrno();
    // Every datagram has a sender; a receive that returns without one was woken by a shutdown.
    if (!hasSender)
        return Fail(WSAESHUTDOWN);
    if (from && !WriteAddress(sender, from, fromlen))
        return SOCKET_ERROR;
    return truncated ? Fail(WSAEMSGSIZE) : static_cast<int>(count);
}

int EnableDatagramReports(SOCKET s) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    return bsd::EnableReceiveReports(fd) < 0 ? FailFromErrno() : 0;
}

int ReceiveDatagramBatch(SOCKET s, DATAGRAM_SLOT* slots, int count, std::uint32_t& drops) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    if (count < 0 || (!slots && count > 0))
        return Fail(WSAEFAULT);
    if (shutReceivers.Contains(fd))
        return Fail(WSAESHUTDOWN);
    if (count == 0)
        return 0;
    // Kept by the thread, so that a batch costs no allocation.
    thread_local std::vector<bsd::BatchEntry> entries;
    entries.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (slots[i].len < 0 || (!slots[i].buf && slots[i].len > 0))
            return Fail(WSAEFAULT);
        bsd::BatchEntry& entry = entries[static_cast<std::size_t>(i)];
        entry.buffer = slots[i].buf;
        entry.capacity = static_cast<std::size_t>(slots[i].len);
    }
    const int taken = bsd::ReceiveBatch(fd, entries.data(), count, drops);
    if (taken < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : FailFromErrno();
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    for (int i = 0; i < taken; ++i) {
        const bsd::BatchEntry& entry = entries[static_cast<std::size_t>(i)];
        // A receive that returns without a sender was woken by a shutdown: the batch ends before
        // it, and a batch that has nothing else fails as recvfrom would.
        if (!entry.hasSender)
            return i > 0 ? i : Fail(WSAESHUTDOWN);
        DATAGRAM_SLOT& slot = slots[i];
        slot.received = static_cast<int>(entry.length);
        slot.truncated = entry.truncated;
        int length = sizeof slot.from;
        WriteAddress(entry.from, reinterpret_cast<sockaddr*>(&slot.from), &length);
        slot.receivedAt = entry.receivedAtUs != 0 ? entry.receivedAtUs : now;
    }
    return taken;
}

int DatagramDropCount(SOCKET s, std::uint32_t& drops) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    return bsd::DropCount(fd, drops) < 0 ? FailFromErrno() : 0;
}

int sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
    int fd;
    bsd::Endpoint destination;
    if (!Usable(s, fd) || !ReadAddress(to, tolen, destination))
        return SOCKET_ERROR;
    if (flags != 0)
        return Fail(WSAEOPNOTSUPP);
    if (len < 0 || (!buf && len > 0))
        return Fail(WSAEFAULT);
    // Windows refuses port 0 and the address 0.0.0.0 as a destination; Linux would take the
    // latter for this host.
    if (destination.port == 0 || destination.address == INADDR_ANY)
        return Fail(WSAEADDRNOTAVAIL);
    const long count = bsd::SendTo(fd, buf, static_cast<std::size_t>(len), destination);
    return count < 0 ? FailFromErrno() : static_cast<int>(count);
}

int shutdown(SOCKET s, int how) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    if (how < SD_RECEIVE || how > SD_BOTH)
        return Fail(WSAEINVAL);
    const bsd::ShutdownHow bsdHow = how == SD_RECEIVE ? bsd::ShutdownHow::Receive
                                    : how == SD_SEND  ? bsd::ShutdownHow::Send
                                                      : bsd::ShutdownHow::Both;
    // Marked first, so that a receive the shutdown wakes already fails.
    if (how != SD_SEND)
        shutReceivers.Add(fd);
    if (bsd::Shutdown(fd, bsdHow) == 0)
        return 0;
    const int error = errno;
    // Linux still shuts an unconnected socket down but reports "not connected"; only a bad
    // descriptor shuts nothing down.
    if (how != SD_SEND && (error == EBADF || error == ENOTSOCK))
        shutReceivers.Remove(fd);
    return Fail(WsaErrorFromErrno(error));
}

int closesocket(SOCKET s) {
    int fd;
    if (!Usable(s, fd))
        return SOCKET_ERROR;
    shutReceivers.Remove(fd);
    return bsd::Close(fd) < 0 ? FailFromErrno() : 0;
}

hostent* gethostbyname(const char* name) {
    if (!Started()) {
        Fail(WSANOTINITIALISED);
        return nullptr;
    }
    if (!name) {
        Fail(WSAEFAULT);
        return nullptr;
    }
    HostEntry& h = hostEntry;
    switch (bsd::Lookup(name, h.addresses)) {
    case bsd::LookupStatus::Found:
        break;
    case bsd::LookupStatus::NotFound:
        Fail(WSAHOST_NOT_FOUND);
        return nullptr;
    case bsd::LookupStatus::TryAgain:
        Fail(WSATRY_AGAIN);
        return nullptr;
    case bsd::LookupStatus::NoData:
        Fail(WSANO_DATA);
        return nullptr;
    case bsd::LookupStatus::SystemError:
        FailFromErrno();
        return nullptr;
    case bsd::LookupStatus::NoRecovery:
        Fail(WSANO_RECOVERY);
        return nullptr;
    }
    h.name = name;
    h.addressList.clear();
    for (u_long& address : h.addresses)
        h.addressList.push_back(reinterpret_cast<char*>(&address));
    h.addressList.push_back(nullptr);
    h.entry.h_name = h.name.data();
    h.entry.h_aliases = h.noAliases;
    h.entry.h_addrtype = AF_INET;
    h.entry.h_length = sizeof(u_long);
    h.entry.h_addr_list = h.addressList.data();
    return &h.entry;
}

u_short htons(u_short hostshort) {
    if constexpr (std::endian::native == std::endian::big)
        return hostshort;
    return static_cast<u_short>((hostshort >> 8) | (hostshort << 8));
}

u_short ntohs(u_short netshort) {
    return htons(netshort);
}

} // namespace corvane::winsock

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Winsock 2 calls the socket stack makes, with the Windows names, types, constants, error
// numbers and behaviour: a failed call returns SOCKET_ERROR (or INVALID_SOCKET, or a null host
// entry), and WSAGetLastError then gives its WSAE... number on the failing thread. Every call but
// WSAStartup, WSAGetLastError, htons and ntohs fails with WSANOTINITIALISED until WSAStartup has
// succeeded. Any thread may call any of them.
//
// Why a namespace: socket, bind, select, shutdown, fd_set, timeval and friends are also POSIX names
// of the global namespace, and glibc's <cstdlib> alone brings select, fd_set and timeval along. So
// the Windows names live in corvane::winsock, and code written against Winsock says
// `using namespace winsock;` inside namespace corvane, where these names then hide the global
// ones. The system's own socket headers (whose macros clash with the Windows constants) never meet
// this header in one translation unit: the Linux implementation keeps them in a file of its own.

#include "platform/windef.h"

#include <cstdint>
#include <sys/select.h> // first, so that its fd_set macros are replaced here and never come back

// A Windows fd_set is a counted list of sockets rather than a bit mask, so it has a size of its
// own.
#undef FD_SETSIZE
#undef FD_SET
#undef FD_CLR
#undef FD_ISSET
#undef FD_ZERO
#define FD_SETSIZE 64

namespace corvane::winsock {

using u_char = unsigned char;
using u_short = unsigned short;
using u_int = unsigned int;
using u_long = std::uint32_t; // a Windows long has 32 bits
using SOCKET = std::uintptr_t;

constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int IPPROTO_IP = 0;
constexpr int IPPROTO_UDP = 17;
constexpr u_long INADDR_ANY = 0;

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_BROADCAST = 0x0020;

// Options of level IPPROTO_IP, as ws2ipdef.h numbers them.
constexpr int IP_MULTICAST_TTL = 10;
constexpr int IP_ADD_MEMBERSHIP = 12;
constexpr int IP_DROP_MEMBERSHIP = 13;

constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

// Error numbers, as WSAGetLastError gives them.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSASYSCALLFAILURE = 10107;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

// The 64-bit layout.
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
};
using LPWSADATA = WSADATA*;

// Four address bytes in network order.
struct in_addr {
    union {
        struct {
            u_char s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        struct {
            u_short s_w1, s_w2;
        } S_un_w;
        u_long S_addr;
    } S_un;
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

// 16 bytes: family, port in network order, address, eight zero bytes.
struct sockaddr_in {
    short sin_family;
    u_short sin_port;
    in_addr sin_addr;
    char sin_zero[8];
};

static_assert(sizeof(in_addr) == 4 && sizeof(sockaddr_in) == 16 && sizeof(sockaddr) == 16);

// A multicast group and the local address of the interface to join it on (INADDR_ANY: the
// system's choice).
struct ip_mreq {
    in_addr imr_multiaddr;
    in_addr imr_interface;
};

struct fd_set {
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE];
};

struct timeval {
    LONG tv_sec;
    LONG tv_usec;
};

// h_addr_list holds h_length-byte addresses in network order and ends with a null pointer.
struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};

// Asks for version 2.2 or lower (low byte major, high byte minor); 1.1 is the lowest offered, and
// a request below it returns WSAVERNOTSUPPORTED. Returns 0 or the error number itself. Calls are
// counted; each needs its WSACleanup.
int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WSACleanup();
// The error number of this thread's last failed call.
int WSAGetLastError();

// AF_INET with SOCK_DGRAM or SOCK_STREAM only.
SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const sockaddr* name, int namelen);
int getsockname(SOCKET s, sockaddr* name, int* namelen);
// SO_BROADCAST at SOL_SOCKET: optval points to an int, non-zero meaning on. At IPPROTO_IP:
// IP_MULTICAST_TTL, an int from 0 to 255, the time to live of multicast datagrams sent (1 until
// set); IP_ADD_MEMBERSHIP and IP_DROP_MEMBERSHIP, an ip_mreq. Joining a group twice on the same
// interface fails with WSAEADDRINUSE, on an interface or with a group the system does not have with
// WSAEADDRNOTAVAIL; leaving a group not joined fails with WSAEADDRNOTAVAIL. Any other option fails
// with WSAENOPROTOOPT.
int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
// nfds is ignored. Each given set is cut down to its ready sockets; the result is their count, 0
// when the time-out ended first (a null time-out waits for ever). On failure the sets are left as
// given. All sets empty is WSAEINVAL; a closed or unknown socket in a set is WSAENOTSOCK.
int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const timeval* timeout);
// Takes one datagram, blocking until one is there. A datagram longer than len fails with
// WSAEMSGSIZE and is lost whole. flags must be 0. Once the receiving side is shut down, every
// receive fails with WSAESHUTDOWN, also one that was already waiting.
int recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen);
// flags must be 0. A broadcast address while SO_BROADCAST is off fails with WSAEACCES; port 0 and
// the address 0.0.0.0 fail with WSAEADDRNOTAVAIL.
int sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen);
// Shutting the receiving side down (SD_RECEIVE, SD_BOTH) wakes a select or recvfrom waiting on s.
// An unconnected socket is shut down all the same, but the call reports WSAENOTCONN.
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
// IPv4 only. The entry belongs to the calling thread and lasts until its next call. Not found
// gives WSAHOST_NOT_FOUND, a temporary failure WSATRY_AGAIN, a failure for good WSANO_RECOVERY, a
// name without an IPv4 address WSANO_DATA.
hostent* gethostbyname(const char* name);

u_short htons(u_short hostshort);
u_short ntohs(u_short netshort);

inline void FD_ZERO(fd_set* set) {
    set->fd_count = 0;
}

// Adds s unless it is there already or the set is full.
inline void FD_SET(SOCKET s, fd_set* set) {
    for (u_int i = 0; i < set->fd_count; ++i) {
        if (set->fd_array[i] == s)
            return;
    }
    if (set->fd_count < FD_SETSIZE)
        set->fd_array[set->fd_count++] = s;
}

inline bool FD_ISSET(SOCKET s, const fd_set* set) {
    for (u_int i = 0; i < set->fd_count; ++i) {
        if (set->fd_array[i] == s)
            return true;
    }
    return false;
}

} // namespace corvane::winsock

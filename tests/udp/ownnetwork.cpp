// SPDX-License-Identifier: GPL-3.0-or-later
#include "ownnetwork.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::test {
namespace {

std::string Why(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

sockaddr ToSockaddr(in_addr_t address) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = address;
    sockaddr out;
    std::memcpy(&out, &in, sizeof out);
    return out;
}

// A route to destination/mask through the loopback.
bool RouteToLoopback(int control, in_addr_t destination, in_addr_t mask) {
    rtentry route{};
    route.rt_dst = ToSockaddr(destination);
    route.rt_genmask = ToSockaddr(mask);
    route.rt_flags = RTF_UP;
    char device[] = "lo";
    route.rt_dev = device;
    return ioctl(control, SIOCADDRT, &route) == 0;
}

// An address of the test network 192.0.2.0/24 beside 127.0.0.1, which is only for the host
// itself: datagrams routed through the loopback then leave from an address a sender can have.
bool AddSenderAddress(int control) {
    ifreq request{};
    std::strcpy(request.ifr_name, "lo:1");
    request.ifr_addr = ToSockaddr(htonl(0xC0000201));
    return ioctl(control, SIOCSIFADDR, &request) == 0;
}

// Up, with multicast on, and the routes; empty, or what failed.
std::string SetUpLoopback() {
    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (control < 0)
        return Why("socket");
    std::string failure;
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    if (ioctl(control, SIOCGIFFLAGS, &request) != 0) {
        failure = Why("SIOCGIFFLAGS lo");
    } else {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_MULTICAST);
        if (ioctl(control, SIOCSIFFLAGS, &request) != 0)
            failure = Why("SIOCSIFFLAGS lo");
        else if (!AddSenderAddress(control))
            failure = Why("address 192.0.2.1 on lo");
        else if (!RouteToLoopback(control, htonl(0xE0000000), htonl(0xF0000000)))
            failure = Why("route 224.0.0.0/4 dev lo");
        else if (!RouteToLoopback(control, 0, 0))
            failure = Why("route default dev lo");
    }
    close(control);
    return failure;
}

} // namespace

OwnNetwork::OwnNetwork() {
    home_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (home_ < 0) {
        refusal_ = Why("no network namespaces here: /proc/thread-self/ns/net");
        return;
    }
    if (unshare(CLONE_NEWNET) != 0) {
        refusal_ = Why("cannot make a network namespace (root is needed)");
        close(home_);
        home_ = -1;
        return;
    }
    refusal_ = SetUpLoopback();
}

OwnNetwork::~OwnNetwork() {
    if (home_ < 0)
        return;
    setns(home_, CLONE_NEWNET);
    close(home_);
}

int MulticastTtlOf(int fd) {
    int ttl = -1;
    socklen_t length = sizeof ttl;
    return getsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, &length) == 0 ? ttl : -1;
}

} // namespace corvane::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "loopbackpeer.h"

#include "core/handover.h"

#include <atomic>
#include <thread>

namespace corvane::test {
using namespace winsock;

namespace {

sockaddr_in Address(unsigned char last, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.S_un.S_un_b = {127, 0, 0, last};
    return address;
}

int BoundPort(SOCKET s) {
    sockaddr_in got{};
    int length = sizeof got;
    getsockname(s, reinterpret_cast<sockaddr*>(&got), &length);
    return ntohs(got.sin_port);
}

struct Started {
    Started() {
        WSADATA data;
        WSAStartup(0x0202, &data);
    }
    ~Started() { WSACleanup(); }
};

} // namespace

LoopbackPeer::LoopbackPeer(unsigned char last) {
    static Started started;
    socket_ = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in local = Address(last, 0);
    bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    port_ = BoundPort(socket_);
}

LoopbackPeer::~LoopbackPeer() {
    closesocket(socket_);
}

bool LoopbackPeer::Send(int port, const ByteString& data, unsigned char last) {
    const sockaddr_in to = Address(last, port);
    return sendto(socket_, data.data(), static_cast<int>(data.size()), 0,
                  reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<int>(data.size());
}

bool LoopbackPeer::Receive(ByteString& data) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket_, &set);
    const timeval wait{20, 0};
    if (select(0, &set, nullptr, nullptr, &wait) != 1)
        return false;
    data.resize(65536);
    const int count = recvfrom(socket_, data.data(), 65536, 0, nullptr, nullptr);
    data.resize(count < 0 ? 0 : static_cast<std::size_t>(count));
    return count >= 0;
}

int FreePort() {
    LoopbackPeer probe(1);
    return probe.Port();
}

bool ServeUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::atomic<bool> finished{false};
    // The deadline has no hand-over of its own to wake the wait, so a ticker provides one.
    std::thread ticker([&] {
        while (!finished.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            WakeUiThread();
        }
    });
    ServeHandOversUntil([&] { return done() || std::chrono::steady_clock::now() > deadline; });
    finished.store(true);
    ticker.join();
    return done();
}

} // namespace corvane::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The other end of the UDP tests: a plain socket on a loopback address, and waits that keep
// running hand-overs on the UI thread.

#include "core/bytestring.h"
#include "platform/winsock.h"

#include <chrono>
#include <functional>

namespace corvane::test {

// A datagram socket bound to 127.0.0.<last> at a port the system picks.
class LoopbackPeer {
public:
    explicit LoopbackPeer(unsigned char last = 5);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int Port() const { return port_; }
    // Sends one datagram to 127.0.0.<last>:port; false when the send failed.
    bool Send(int port, const ByteString& data, unsigned char last = 1);
    // Takes one datagram, waiting at most a generous while; false when none came.
    bool Receive(ByteString& data);

private:
    winsock::SOCKET socket_;
    int port_ = 0;
};

// A port on all local addresses that was free a moment ago.
int FreePort();

// Runs hand-overs on the UI thread until done() or a generous deadline; returns done().
bool ServeUntil(const std::function<bool()>& done,
                std::chrono::seconds limit = std::chrono::seconds(20));

} // namespace corvane::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A network of the test's own for multicast and broadcast, which must never reach the machine's
// networks: the calling thread moves into a new network namespace whose loopback is up with
// multicast on, with the multicast groups (224.0.0.0/4) and everything else (the default route, so
// 255.255.255.255 too) routed to that loopback. Sockets the thread makes meanwhile belong to that
// namespace, and stay in it; the other threads of the process never leave theirs.

#include <string>

namespace corvane::test {

class OwnNetwork {
public:
    OwnNetwork();
    // Back to the namespace the thread came from.
    ~OwnNetwork();
    OwnNetwork(const OwnNetwork&) = delete;
    OwnNetwork& operator=(const OwnNetwork&) = delete;

    // Why the thread could not have a network of its own (not root, no namespaces); empty when it
    // has one.
    const std::string& Refusal() const { return refusal_; }

private:
    int home_ = -1; // the namespace the thread came from
    std::string refusal_;
};

// The time to live a socket gives the multicast datagrams it sends; -1 when it cannot be read.
int MulticastTtlOf(int fd);

} // namespace corvane::test

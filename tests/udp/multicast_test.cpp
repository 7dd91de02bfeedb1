// SPDX-License-Identifier: GPL-3.0-or-later
// Broadcast on the endpoint, in a network of its own (see
// ownnetwork.h): nothing reaches the machine's networks.
#include "loopbackpeer.h"
#include "ownnetwork.h"
#include "udp/idexceptions.h"
#include "udp/idudpserver.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvane {
namespace {

using test::OwnNetwork;
using test::ServeUntil;

class InOwnNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        if (!network.Refusal().empty())
            GTEST_SKIP() << "multicast and broadcast are tested only in a network of the test's "
                            "own, which this machine does not give: "
                         << network.Refusal();
        receiver.SetOnUDPRead([this](TIdUDPServer&, Stream& data, TIdSocketHandle& binding) {
            ByteString bytes(data.Size(), '\0');
            data.Read(bytes.data(), bytes.size());
            received.push_back(bytes);
            senders.push_back(binding.SenderIP());
        });
        receiver.SetDefaultPort(0);
        sender.SetDefaultPort(0);
    }

    int Port() { return receiver.Bindings().Items(0).Port(); }

    // The marker, sent to the receiver's own address after what is tested, tells that everything
    // sent before it has arrived or never will.
    std::vector<ByteString> ReceivedUpToMarker() {
        sender.SendDatagram("127.0.0.1", Port(), "marker");
        EXPECT_TRUE(ServeUntil([&] { return !received.empty() && received.back() == "marker"; }));
        std::vector<ByteString> before(received.begin(), received.end() - 1);
        received.clear();
        senders.clear();
        return before;
    }

    OwnNetwork network; // first: the endpoints' sockets are made in it
    TIdUDPServer receiver;
    TIdUDPServer sender;
    std::vector<ByteString> received;
    std::vector<ByteString> senders;
};

TEST_F(InOwnNetwork, BroadcastsLeaveOnlyWhileAllowed) {
    receiver.SetActive(true);
    sender.SetActive(true);
    for (const ByteString& address :
         {ByteString("255.255.255.255"), ByteString("127.255.255.255")}) {
        try {
            sender.SendDatagram(address, Port(), "refused");
            ADD_FAILURE() << address;
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.ErrorNumber(), 10013) << address;
        }
        sender.SetBroadcastEnabled(true);
        sender.SendDatagram(address, Port(), "everyone");
        EXPECT_EQ(ReceivedUpToMarker(), std::vector<ByteString>{"everyone"}) << address;
        sender.SetBroadcastEnabled(false);
    }
}

} // namespace
} // namespace corvane

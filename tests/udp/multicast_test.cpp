// SPDX-License-Identifier: GPL-3.0-or-later
// Multicast groups and broadcast on the endpoint, each case in a network of its own (see
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

struct Failure {
    TIdMulticastGroup group;
    ByteString text;
};

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
        receiver.SetOnJoinFailure(
            [this](TIdUDPServer&, const TIdMulticastGroup& group, const ByteString& text) {
                failures.push_back({group, text});
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
    std::vector<Failure> failures;
};

const TIdMulticastGroup kGroup{"239.0.0.1", ""};

TEST_F(InOwnNetwork, AGroupJoinedBeforeActivationIsJoinedAtEveryActivationAndLeftOnRequest) {
    receiver.JoinMulticastGroup(kGroup);
    receiver.JoinMulticastGroup(kGroup); // once only
    EXPECT_EQ(receiver.MulticastGroups(), std::vector<TIdMulticastGroup>{kGroup});
    for (int activation = 0; activation < 2; ++activation) {
        receiver.SetActive(true);
        sender.SendDatagram("239.0.0.1", Port(), "to the group");
        EXPECT_EQ(ReceivedUpToMarker(), std::vector<ByteString>{"to the group"}) << activation;
        receiver.SetActive(false);
    }
    EXPECT_TRUE(failures.empty());

    receiver.SetActive(true);
    receiver.LeaveMulticastGroup(kGroup);
    EXPECT_TRUE(receiver.MulticastGroups().empty());
    sender.SendDatagram("239.0.0.1", Port(), "to the group");
    EXPECT_TRUE(ReceivedUpToMarker().empty());
}

TEST_F(InOwnNetwork, AJoinWhileActiveTakesEffectAtOnceAndShowsTheSender) {
    receiver.SetActive(true);
    receiver.JoinMulticastGroup({"239.0.0.1", "192.0.2.1"}); // on the interface of that address
    sender.SendDatagram("239.0.0.1", Port(), "x");
    ASSERT_TRUE(ServeUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received[0], "x");
    EXPECT_EQ(senders[0], "192.0.2.1"); // the loopback's address for leaving datagrams
    EXPECT_TRUE(failures.empty());
}

TEST_F(InOwnNetwork, ARefusedJoinIsReportedWithTheSystemsTextAndTheEndpointStaysActive) {
    receiver.SetActive(true);
    const TIdMulticastGroup nowhere{"239.0.0.2", "198.51.100.7"}; // no interface has the address
    receiver.JoinMulticastGroup(nowhere);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].group, nowhere);
    EXPECT_EQ(failures[0].text, "The requested address is not valid in its context.");
    EXPECT_TRUE(receiver.Active());
    EXPECT_EQ(receiver.MulticastGroups(), std::vector<TIdMulticastGroup>{nowhere}) << "kept";

    // Tried again at the next activation, which goes on all the same.
    receiver.SetActive(false);
    receiver.SetActive(true);
    EXPECT_EQ(failures.size(), 2u);
    EXPECT_TRUE(receiver.Active());
    sender.SendDatagram("127.0.0.1", Port(), "still open");
    EXPECT_TRUE(ServeUntil([&] { return !received.empty(); }));
}

TEST_F(InOwnNetwork, MulticastLeavesWithATimeToLiveOfOneUnlessSetOtherwise) {
    sender.SetActive(true);
    EXPECT_EQ(test::MulticastTtlOf(static_cast<int>(sender.Bindings().Items(0).OsSocket())), 1);
    sender.SetActive(false);
    sender.SetMulticastTTL(16);
    sender.SetActive(true);
    EXPECT_EQ(test::MulticastTtlOf(static_cast<int>(sender.Bindings().Items(0).OsSocket())), 16);
}

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

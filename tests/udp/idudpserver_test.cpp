// The UDP endpoint on loopback addresses: activation, delivery on the UI thread, the dropped
// failures of the listener, sending and deactivation.
#include "core/handover.h"
#include "loopbackpeer.h"
#include "udp/idexceptions.h"
#include "udp/idudplistenerthread.h"
#include "udp/idudpserver.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using test::FreePort;
using test::LoopbackPeer;
using test::ServeUntil;

struct Received {
    ByteString data;
    std::size_t position = 0;
    ByteString senderIP;
    int senderPort = 0;
    TIdSocketHandle* binding = nullptr;
    std::thread::id thread;
};

// An endpoint whose handler records every datagram.
class Endpoint : public ::testing::Test {
protected:
    Endpoint() {
        server.SetOnUDPRead([this](TIdUDPServer&, Stream& data, TIdSocketHandle& binding) {
            Received r{ByteString(data.Size(), '\0'), data.Position(), binding.SenderIP(),
                       binding.SenderPort(),          &binding,        std::this_thread::get_id()};
            data.Read(r.data.data(), r.data.size());
            received.push_back(r);
        });
    }

    bool ServeUntilReceived(std::size_t count) {
        return ServeUntil([&] { return received.size() >= count; });
    }

    int BoundPort() { return server.Bindings().Items(0).Port(); }

    TIdUDPServer server;
    std::vector<Received> received;
};

TEST_F(Endpoint, ActivationBindsAllAddressesAndDeliversWithTheSenderOnTheUiThread) {
    server.SetDefaultPort(0);
    server.SetActive(true);
    ASSERT_TRUE(server.Active());
    ASSERT_EQ(server.Bindings().Count(), 1);
    EXPECT_EQ(server.Bindings().Items(0).IP(), "0.0.0.0");
    EXPECT_NE(BoundPort(), 0);          // the platform chose it
    EXPECT_EQ(server.DefaultPort(), 0); // and the default stays
    EXPECT_NE(server.Listener(), nullptr);
    EXPECT_EQ(server.Listener()->ReadyWait(), 1000);
    EXPECT_EQ(server.Listener()->BufferSize(), 8192);

    LoopbackPeer other;
    ASSERT_TRUE(other.Send(BoundPort(), ByteString("\x01\x02", 2)));
    ASSERT_TRUE(ServeUntilReceived(1));
    EXPECT_EQ(received[0].data, ByteString("\x01\x02", 2));
    EXPECT_EQ(received[0].position, 0u);
    EXPECT_EQ(received[0].senderIP, "127.0.0.5");
    EXPECT_EQ(received[0].senderPort, other.Port());
    EXPECT_EQ(received[0].binding, &server.Bindings().Items(0));
    EXPECT_EQ(received[0].thread, std::this_thread::get_id());
}

TEST_F(Endpoint, ThreadedEventDeliversOnTheListenerThread) {
    server.SetThreadedEvent(true);
    std::atomic<bool> delivered{false};
    std::thread::id deliveredOn;
    server.SetOnUDPRead([&](TIdUDPServer&, Stream&, TIdSocketHandle&) {
        deliveredOn = std::this_thread::get_id();
        delivered.store(true);
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    LoopbackPeer other;
    ASSERT_TRUE(other.Send(BoundPort(), "t"));
    ASSERT_TRUE(ServeUntil([&] { return delivered.load(); }));
    EXPECT_NE(deliveredOn, std::this_thread::get_id());
}

TEST_F(Endpoint, APortInUseFailsActivationEveryTimeUntilItIsFree) {
    int port;
    {
        TIdUDPServer holder; // all local addresses, as another program would hold the port
        holder.SetDefaultPort(0);
        holder.SetActive(true);
        port = holder.Bindings().Items(0).Port();

        server.SetDefaultPort(port);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                server.SetActive(true);
                FAIL() << "no bind error";
            } catch (const EIdCouldNotBindSocket& e) {
                EXPECT_EQ(e.Message(),
                          "Could not bind socket. Address and port are already in use.");
            }
            EXPECT_FALSE(server.Active());
            EXPECT_EQ(server.Listener(), nullptr);
            EXPECT_EQ(server.CurrentBinding(), nullptr);
            ASSERT_EQ(server.Bindings().Count(), 1);
            EXPECT_EQ(BoundPort(), port);
        }
    }
    server.SetActive(true); // the same port, free now
    EXPECT_TRUE(server.Active());
    EXPECT_EQ(BoundPort(), port);
}

TEST_F(Endpoint, ABindingKeepsItsPortWhateverDefaultPortSaysLater) {
    server.SetDefaultPort(0);
    server.SetActive(true);
    const int first = BoundPort();
    server.SetActive(false);
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(server.Listener(), nullptr);
    EXPECT_FALSE(server.Bindings().Items(0).Allocated());
    server.SetDefaultPort(FreePort());
    server.SetActive(true);
    EXPECT_EQ(server.Bindings().Count(), 1);
    EXPECT_EQ(BoundPort(), first);
}

TEST_F(Endpoint, PortsUseTheirLow16Bits) {
    const int port = FreePort();
    server.SetDefaultPort(port + 65536);
    server.SetActive(true);
    EXPECT_EQ(BoundPort(), port);
    server.SendDatagram("LOCALHOST", port + 65536, "x");
    ASSERT_TRUE(ServeUntilReceived(1));
    EXPECT_EQ(received[0].data, "x");
    EXPECT_EQ(received[0].senderIP, "127.0.0.1");
    EXPECT_EQ(received[0].senderPort, port);
}

TEST_F(Endpoint, SendingActivatesAnInactiveEndpoint) {
    const int port = FreePort();
    server.SetDefaultPort(port);
    server.SendDatagram("127.0.0.1", port, "self");
    EXPECT_TRUE(server.Active());
    ASSERT_TRUE(ServeUntilReceived(1));
    EXPECT_EQ(received[0].data, "self");
}

TEST_F(Endpoint, AFailedLookupLeavesAnInactiveEndpointAsItWas) {
    server.SetDefaultPort(FreePort());
    try {
        server.SendDatagram("", 1, "x");
        FAIL() << "no lookup error";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
    }
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(server.Bindings().Count(), 0);
}

TEST_F(Endpoint, EmptyAndFullDatagramsArriveWholeAndALongerOneLeavesNoTrace) {
    server.SetDefaultPort(0);
    server.SetActive(true);
    LoopbackPeer other;
    ASSERT_TRUE(other.Send(BoundPort(), ""));
    ASSERT_TRUE(other.Send(BoundPort(), ByteString(8192, 'f')));
    ASSERT_TRUE(other.Send(BoundPort(), ByteString(8193, 'o')));
    ASSERT_TRUE(other.Send(BoundPort(), "after"));
    ASSERT_TRUE(ServeUntilReceived(3));
    EXPECT_EQ(received[0].data, "");
    EXPECT_EQ(received[1].data, ByteString(8192, 'f'));
    EXPECT_EQ(received[2].data, "after");
    EXPECT_EQ(received.size(), 3u);
}

TEST_F(Endpoint, AFailingHandlerShowsNowhereAndTheNextDatagramArrives) {
    server.SetOnUDPRead([this](TIdUDPServer&, Stream& data, TIdSocketHandle&) {
        Received r;
        r.data.resize(data.Size());
        received.push_back(r);
        if (received.size() == 1)
            throw EIdException("handler failed");
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    LoopbackPeer other;
    ASSERT_TRUE(other.Send(BoundPort(), "1"));
    ASSERT_TRUE(other.Send(BoundPort(), "22"));
    // A failure carried back to the UI thread would leave this wait as an exception.
    ASSERT_TRUE(ServeUntilReceived(2));
    EXPECT_EQ(received[1].data.size(), 2u);
    EXPECT_TRUE(server.Active());
}

TEST_F(Endpoint, SendsLeaveFromTheBindingThatReceivedLast) {
    server.Bindings().Add().SetIP("127.0.0.1");
    server.Bindings().Add().SetIP("127.0.0.1");
    server.SetActive(true);
    TIdSocketHandle& first = server.Bindings().Items(0);
    TIdSocketHandle& second = server.Bindings().Items(1);
    EXPECT_EQ(first.IP(), "127.0.0.1");
    EXPECT_EQ(server.CurrentBinding(), &first);

    LoopbackPeer other;
    ASSERT_TRUE(other.Send(second.Port(), "to second"));
    ASSERT_TRUE(ServeUntilReceived(1));
    EXPECT_EQ(received[0].binding, &second);
    EXPECT_EQ(server.CurrentBinding(), &second);

    server.SendDatagram("127.0.0.5", other.Port(), "reply");
    ByteString reply;
    ASSERT_TRUE(other.Receive(reply));
    EXPECT_EQ(reply, "reply");
    ASSERT_TRUE(other.Send(first.Port(), "to first"));
    ASSERT_TRUE(ServeUntilReceived(2));
    EXPECT_EQ(received[1].binding, &first);
}

TEST_F(Endpoint, ABroadcastIsRefusedUntilBroadcastIsEnabled) {
    server.SetDefaultPort(0);
    server.SetActive(true);
    try {
        server.SendDatagram("127.255.255.255", BoundPort(), "all");
        FAIL() << "no socket error";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorNumber(), 10013);
        EXPECT_EQ(e.Message(), "Socket Error # 10013\r\nAccess denied.");
    }
    server.SetBroadcastEnabled(true);
    EXPECT_NO_THROW(server.SendDatagram("127.255.255.255", BoundPort(), "all"));
}

TEST_F(Endpoint, ADatagramTooLongToSendRaisesPackageSizeTooBig) {
    server.SetDefaultPort(0);
    try {
        server.SendDatagram("127.0.0.1", 9, ByteString(70000, 'x'));
        FAIL() << "no size error";
    } catch (const EIdPackageSizeTooBig& e) {
        EXPECT_EQ(e.Message(), "Package Size Too Big.");
    }
    EXPECT_TRUE(server.Active()); // the send had activated it
}

TEST_F(Endpoint, DeactivationUnderTrafficStillDeliversWhatWasHandedOver) {
    server.SetDefaultPort(0);
    server.SetActive(true);
    const int port = BoundPort();
    LoopbackPeer other;
    ASSERT_TRUE(other.Send(port, "handed over"));
    // Without serving hand-overs, wait until the listener hands the datagram over: the
    // deactivation must still deliver it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!server.Listener()->HandingOver() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(server.Listener()->HandingOver());

    // A handler that asks for the deactivation again meanwhile must not hold it up.
    server.SetOnUDPRead([&](TIdUDPServer&, Stream& data, TIdSocketHandle&) {
        Received r;
        r.data.resize(data.Size());
        data.Read(r.data.data(), r.data.size());
        received.push_back(r);
        server.SetActive(false);
    });
    // Datagrams keep coming during the whole deactivation.
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        LoopbackPeer sender(6);
        while (!stop.load())
            sender.Send(port, "flood");
    });
    server.SetActive(false);
    stop.store(true);
    flood.join();
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(server.Listener(), nullptr);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].data, "handed over");
}

// A handler may deactivate the endpoint that delivers to it, and activate it again, without
// waiting for the listener that waits for the handler.
TEST_F(Endpoint, AHandlerMayDeactivateAndReactivateItsEndpoint) {
    bool reactivate = false;
    bool activeAfterDeactivation = true;
    server.SetOnUDPRead([&](TIdUDPServer&, Stream& data, TIdSocketHandle&) {
        Received r;
        r.data.resize(data.Size());
        data.Read(r.data.data(), r.data.size());
        received.push_back(r);
        if (received.size() > 2)
            return;
        server.SetActive(false);
        activeAfterDeactivation = server.Active();
        if (reactivate)
            server.SetActive(true);
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    const int port = BoundPort();
    LoopbackPeer other;

    ASSERT_TRUE(other.Send(port, "first"));
    ASSERT_TRUE(ServeUntilReceived(1));
    EXPECT_FALSE(activeAfterDeactivation);
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(server.Listener(), nullptr);
    EXPECT_FALSE(server.Bindings().Items(0).Allocated());
    {
        TIdUDPServer another; // the port is free again
        another.SetDefaultPort(port);
        EXPECT_NO_THROW(another.SetActive(true));
    }

    reactivate = true;
    server.SetActive(true);
    ASSERT_TRUE(other.Send(port, "second"));
    ASSERT_TRUE(ServeUntilReceived(2));
    EXPECT_FALSE(activeAfterDeactivation);
    EXPECT_TRUE(server.Active());
    ASSERT_NE(server.Listener(), nullptr);
    ASSERT_TRUE(other.Send(port, "third"));
    ASSERT_TRUE(ServeUntilReceived(3));
    EXPECT_EQ(received[2].data, "third");
    server.SetActive(false);
    EXPECT_FALSE(server.Active());
}

TEST_F(Endpoint, MoreThan64BindingsEndTheListenerButNotTheActivation) {
    for (int i = 0; i < 65; ++i)
        server.Bindings().Add().SetIP("127.0.0.1");
    server.SetActive(true);
    ASSERT_NE(server.Listener(), nullptr);
    TIdUDPListenerThread& listener = *server.Listener();
    ASSERT_TRUE(ServeUntil([&] { return listener.Finished(); }));
    EXPECT_TRUE(server.Active());
    server.SetActive(false);
    EXPECT_FALSE(server.Active());
}

TEST(EndpointLifetime, DestroyingAnActiveEndpointClosesItsSocket) {
    int port;
    {
        TIdUDPServer server;
        server.SetDefaultPort(0);
        server.SetActive(true);
        port = server.Bindings().Items(0).Port();
    }
    TIdUDPServer again;
    again.SetDefaultPort(port);
    again.SetActive(true);
    EXPECT_TRUE(again.Active());
}

// 100,000 datagrams from another socket, paced so that at most a window of them is in flight,
// all arrive once and in order through the event loop.
TEST(EndpointThroughput, NothingIsLostAtAPacedRate) {
    constexpr std::uint32_t kCount = 100'000;
    constexpr std::uint32_t kWindow = 32;
    TIdUDPServer server;
    std::atomic<std::uint32_t> delivered{0};
    std::uint32_t outOfOrder = 0;
    server.SetOnUDPRead([&](TIdUDPServer&, Stream& data, TIdSocketHandle&) {
        std::uint32_t sequence = ~0u;
        data.Read(&sequence, sizeof sequence);
        if (sequence != delivered.load())
            ++outOfOrder;
        if (delivered.fetch_add(1) + 1 == kCount)
            QCoreApplication::quit();
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    const int port = server.Bindings().Items(0).Port();

    std::atomic<bool> giveUp{false};
    std::thread sender([&] {
        LoopbackPeer peer;
        for (std::uint32_t i = 0; i < kCount && !giveUp.load(); ++i) {
            while (i - delivered.load() >= kWindow && !giveUp.load())
                std::this_thread::yield();
            peer.Send(port, ByteString(reinterpret_cast<const char*>(&i), sizeof i));
        }
    });
    QTimer::singleShot(std::chrono::minutes(4), [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    giveUp.store(true);
    sender.join();
    EXPECT_EQ(delivered.load(), kCount);
    EXPECT_EQ(outOfOrder, 0u);
}

} // namespace
} // namespace corvane

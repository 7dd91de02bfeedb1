// SPDX-License-Identifier: GPL-3.0-or-later
// The UDP endpoint on loopback addresses: activation, delivery on the UI thread, the dropped
// failures of the listener, sending and deactivation.
#include "core/handover.h"
#include "kernelclock.h"
#include "loopbackpeer.h"
#include "udp/datagramqueue.h"
#include "udp/idexceptions.h"
#include "udp/idudplistenerthread.h"
#include "udp/idudpserver.h"
#include "udp/socketdrain.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
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

    // Before the server: its end may still deliver what it queued, into this.
    std::vector<Received> received;
    TIdUDPServer server;
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

// A datagram of size bytes that carries its number first.
ByteString Numbered(std::uint32_t number, std::size_t size) {
    ByteString data(size, static_cast<char>(number));
    std::memcpy(data.data(), &number, sizeof number);
    return data;
}

std::uint32_t NumberOf(const ByteString& data) {
    std::uint32_t number = ~0u;
    std::memcpy(&number, data.data(), std::min(data.size(), sizeof number));
    return number;
}

// Spins until done() or a generous deadline, without running hand-overs; returns done().
bool SpinUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return done();
}

// While the handler of the first datagram stalls, the sockets are still read: the queue keeps
// what its budget holds, in order, and refuses the rest, which one loss report counts.
TEST_F(Endpoint, WhileTheHandlerStallsTheQueueKeepsWhatItsBudgetHoldsAndCountsTheRest) {
    constexpr std::uint32_t kCount = 300;
    constexpr std::size_t kSize = 1000;
    constexpr std::size_t kRecord = 24 + kSize; // a record's header and its datagram
    server.SetQueueBudget(64 * kRecord);
    std::vector<std::uint64_t> losses;
    server.SetOnUDPLoss([&](TIdUDPServer&, std::uint64_t lost) { losses.push_back(lost); });
    LoopbackPeer other;
    const auto record = [this](Stream& data, TIdSocketHandle& binding) {
        Received r;
        r.data.resize(data.Size());
        data.Read(r.data.data(), r.data.size());
        r.senderIP = binding.SenderIP();
        r.senderPort = binding.SenderPort();
        received.push_back(r);
    };
    server.SetOnUDPRead([&](TIdUDPServer&, Stream& data, TIdSocketHandle& binding) {
        record(data, binding);
        if (received.size() > 1)
            return;
        for (std::uint32_t n = 1; n < kCount; ++n)
            ASSERT_TRUE(other.Send(BoundPort(), Numbered(n, kSize)));
        const DatagramQueue& queue = server.Listener()->Queue();
        ASSERT_TRUE(SpinUntil([&] { return queue.Used() / kRecord + queue.Lost() == kCount - 1; }));
        EXPECT_EQ(queue.Used(), queue.Budget());
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    ASSERT_TRUE(other.Send(BoundPort(), Numbered(0, kSize)));
    ASSERT_TRUE(ServeUntil([&] { return received.size() == 65 && !losses.empty(); }));
    for (std::uint32_t n = 0; n < received.size(); ++n) {
        EXPECT_EQ(received[n].data, Numbered(n, kSize));
        EXPECT_EQ(received[n].senderIP, "127.0.0.5");
        EXPECT_EQ(received[n].senderPort, other.Port());
    }
    EXPECT_EQ(losses, std::vector<std::uint64_t>{kCount - 65});
}

// Datagrams lost all along: the reports come at least a second apart, and once the sender stops
// the last of them comes without another datagram; shown and reported make up what was sent.
TEST_F(Endpoint, LossesAreReportedAtMostOnceASecondAndAddUpWithWhatWasShown) {
    using Clock = std::chrono::steady_clock;
    server.SetQueueBudget(4096); // 32 datagrams of 100 bytes
    // The listener times the gap from its clock read for a report, made once the deliveries
    // before that report have returned: the next report comes at least a second after the last
    // of them ended, however late each report reaches its handler.
    Clock::time_point delivered = Clock::now();
    std::vector<std::pair<Clock::time_point, std::uint64_t>> reports;
    std::vector<Clock::time_point> deliveredBefore;
    server.SetOnUDPLoss([&](TIdUDPServer&, std::uint64_t lost) {
        reports.emplace_back(Clock::now(), lost);
        deliveredBefore.push_back(delivered);
    });
    std::atomic<std::uint32_t> sent{0};
    std::atomic<bool> stop{false};
    std::uint32_t shown = 0, outOfOrder = 0, last = 0;
    server.SetOnUDPRead([&](TIdUDPServer&, Stream& data, TIdSocketHandle&) {
        ByteString bytes(data.Size(), '\0');
        data.Read(bytes.data(), bytes.size());
        const std::uint32_t number = NumberOf(bytes);
        outOfOrder += shown > 0 && number <= last;
        last = number;
        ++shown;
        // A slow handler: each delivery lasts while fifty more datagrams are sent.
        const std::uint32_t until = sent.load() + 50;
        SpinUntil([&] { return sent.load() >= until || stop.load(); });
        delivered = Clock::now();
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    const int port = BoundPort();
    std::thread sender([&] {
        LoopbackPeer peer;
        for (std::uint32_t n = 0; !stop.load(); ++n) {
            if (peer.Send(port, Numbered(n, 100)))
                sent.fetch_add(1);
        }
    });
    const bool threeReports = ServeUntil([&] { return reports.size() >= 3; });
    stop.store(true);
    sender.join();
    ASSERT_TRUE(threeReports);
    const auto total = [&] {
        std::uint64_t lost = 0;
        for (const auto& report : reports)
            lost += report.second;
        return lost;
    };
    EXPECT_TRUE(ServeUntil([&] { return shown + total() == sent.load(); }))
        << shown << " shown, " << total() << " reported lost, " << sent.load() << " sent";
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i].first - deliveredBefore[i - 1], std::chrono::seconds(1)) << i;
    EXPECT_EQ(outOfOrder, 0u);
}

// A loss not reported yet when the endpoint is deactivated is reported by the deactivation.
TEST_F(Endpoint, DeactivationReportsTheLossLeftToReport) {
    server.SetQueueBudget(64);
    std::vector<std::uint64_t> losses;
    server.SetOnUDPLoss([&](TIdUDPServer&, std::uint64_t lost) { losses.push_back(lost); });
    server.SetDefaultPort(0);
    server.SetActive(true);
    LoopbackPeer other;
    // The first loss is reported at once, the next ones not before a second has passed.
    ASSERT_TRUE(other.Send(BoundPort(), ByteString(100, 'x')));
    ASSERT_TRUE(ServeUntil([&] { return !losses.empty(); }));
    ASSERT_TRUE(other.Send(BoundPort(), ByteString(100, 'y')));
    ASSERT_TRUE(other.Send(BoundPort(), ByteString(100, 'z')));
    const DatagramQueue& queue = server.Listener()->Queue();
    ASSERT_TRUE(SpinUntil([&] { return queue.Lost() == 3; }));
    server.SetActive(false);
    EXPECT_EQ(losses, (std::vector<std::uint64_t>{1, 2}));
    EXPECT_TRUE(received.empty());
}

// The endpoint's counters from its activation: a datagram delivered is a line received, one the
// queue had no room for is counted as its loss report says, and each send is a line sent or, when
// it raises, a failed send.
TEST_F(Endpoint, CountsWhatItDeliversLosesAndSendsFromItsActivation) {
    server.SetQueueBudget(64); // room for 8 bytes, not for 100
    std::vector<std::uint64_t> losses;
    server.SetOnUDPLoss([&](TIdUDPServer&, std::uint64_t lost) { losses.push_back(lost); });
    server.SetDefaultPort(0);
    server.Counters().AddReceivedBytes(7); // an earlier activation's
    server.SetActive(true);
    LoopbackPeer other;
    ASSERT_TRUE(other.Send(BoundPort(), ByteString(100, 'x')));
    ASSERT_TRUE(ServeUntil([&] { return !losses.empty(); }));
    ASSERT_TRUE(other.Send(BoundPort(), "12345678"));
    ASSERT_TRUE(ServeUntilReceived(1));
    server.SendDatagram("127.0.0.5", other.Port(), "reply");
    EXPECT_THROW(server.SendDatagram("", other.Port(), "x"), EIdSocketError);

    LinkCounts counts = server.Counters().Read();
    EXPECT_EQ(counts.receivedBytes, 8u);
    EXPECT_EQ(counts.receivedLines, 1u);
    EXPECT_EQ(counts.lost, 1u);
    EXPECT_EQ(counts.sentBytes, 5u);
    EXPECT_EQ(counts.sentLines, 1u);
    EXPECT_EQ(counts.failedSends, 1u);

    server.SetActive(false);
    EXPECT_EQ(server.Counters().Read().receivedBytes, 8u);
    server.SetActive(true);
    counts = server.Counters().Read();
    EXPECT_EQ(counts.receivedBytes + counts.receivedLines + counts.lost + counts.sentBytes +
                  counts.sentLines + counts.failedSends,
              0u);
}

// The stop discards what the queue holds: only the datagram already handed over is delivered,
// the rest is counted in one loss report made before the deactivation returns, and the port is
// free by then.
TEST_F(Endpoint, DeactivationDeliversWhatWasHandedOverAndReportsTheRestLostAtOnce) {
    constexpr std::uint32_t kCount = 5000;
    std::vector<std::uint64_t> losses;
    server.SetOnUDPLoss([&](TIdUDPServer&, std::uint64_t lost) { losses.push_back(lost); });
    server.SetDefaultPort(0);
    server.SetActive(true);
    const int port = BoundPort();
    LoopbackPeer other;
    for (std::uint32_t n = 0; n < kCount; ++n)
        ASSERT_TRUE(other.Send(port, Numbered(n, 8)));
    const DatagramQueue& queue = server.Listener()->Queue();
    ASSERT_TRUE(SpinUntil([&] {
        return server.Listener()->HandingOver() && queue.Count() + queue.Lost() == kCount;
    }));
    server.SetActive(false);
    EXPECT_FALSE(server.Active());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].data, Numbered(0, 8));
    EXPECT_EQ(losses, std::vector<std::uint64_t>{kCount - 1});
    TIdUDPServer another;
    another.SetDefaultPort(port);
    EXPECT_NO_THROW(another.SetActive(true));
}

// A handler that deactivates its endpoint: what was queued behind its datagram is reported lost
// when the handler returns.
TEST_F(Endpoint, AHandlerThatDeactivatesReportsWhatWasQueuedBehindItsDatagram) {
    constexpr std::uint32_t kCount = 200;
    std::vector<std::uint64_t> losses;
    server.SetOnUDPLoss([&](TIdUDPServer&, std::uint64_t lost) { losses.push_back(lost); });
    LoopbackPeer other;
    server.SetOnUDPRead([&](TIdUDPServer& endpoint, Stream& data, TIdSocketHandle&) {
        Received r;
        r.data.resize(data.Size());
        data.Read(r.data.data(), r.data.size());
        received.push_back(r);
        for (std::uint32_t n = 1; n < kCount; ++n)
            ASSERT_TRUE(other.Send(BoundPort(), Numbered(n, 8)));
        const DatagramQueue& queue = endpoint.Listener()->Queue();
        ASSERT_TRUE(SpinUntil([&] { return queue.Count() + queue.Lost() == kCount - 1; }));
        endpoint.SetActive(false);
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    ASSERT_TRUE(other.Send(BoundPort(), Numbered(0, 8)));
    ASSERT_TRUE(ServeUntil([&] { return !losses.empty(); }));
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(received.size(), 1u);
    EXPECT_EQ(losses, std::vector<std::uint64_t>{kCount - 1});
}

// A socket that holds more than one batch when the drain starts: the queue's reader is woken as
// each batch is queued, not once when the socket is empty, so that a flood that keeps the socket
// full does not keep the window waiting.
TEST(SocketDrain, WakesTheQueuesReaderAfterEveryBatch) {
    constexpr std::uint32_t kCount = 130; // two batches of 64, and a part of a third
    TIdUDPServer user;                    // keeps the socket stack
    TIdStack& stack = *StackInstance();
    const winsock::SOCKET s = stack.NewSocket(winsock::SOCK_DGRAM, 0);
    ASSERT_EQ(stack.BindAddress(s, "127.0.0.1", 0), 0);
    ByteString ip;
    int port = 0;
    stack.LocalAddressOf(s, ip, port);
    LoopbackPeer other;
    for (std::uint32_t n = 0; n < kCount; ++n)
        ASSERT_TRUE(other.Send(port, Numbered(n, 8)));
    DatagramQueue queue;
    SocketDrain drain({s}, 8192, 1000, queue);
    drain.Start();
    const bool queued = SpinUntil([&] { return queue.Count() + queue.Lost() == kCount; });
    // Ends the drain's readiness wait.
    stack.ShutdownSocket(s, winsock::SD_RECEIVE);
    drain.Terminate();
    drain.WaitFor();
    // Counted once the drain has ended: the last batch is queued a moment before it is published.
    const std::uint64_t wakes = queue.Publications();
    stack.CloseSocketHandle(s);
    ASSERT_TRUE(queued);
    ASSERT_GE(queue.Count(), 2u * 64) << "the system's queue of the socket dropped too many";
    EXPECT_GE(wakes, queue.Count() / 64 + 1);
}

// Each delivery carries its own datagram's arrival time, on the wall clock.
TEST_F(Endpoint, EachDeliveryCarriesItsDatagramsArrivalTime) {
    std::vector<std::int64_t> times;
    server.SetOnUDPRead([&](TIdUDPServer&, Stream&, TIdSocketHandle& binding) {
        times.push_back(binding.ReceivedAt());
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    LoopbackPeer other;
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const std::int64_t beforeFirst = now();
    ASSERT_TRUE(other.Send(BoundPort(), "first"));
    ASSERT_TRUE(ServeUntil([&] { return times.size() == 1; }));
    // The two arrivals stand further apart than the kernel's and this process's clock reads may
    // disagree, so that each time tells its own datagram.
    std::this_thread::sleep_for(std::chrono::microseconds(3 * kKernelClockSlackUs));
    const std::int64_t beforeSecond = now();
    ASSERT_TRUE(other.Send(BoundPort(), "second"));
    ASSERT_TRUE(ServeUntil([&] { return times.size() == 2; }));
    const std::int64_t afterSecond = now();
    EXPECT_GE(times[0], beforeFirst - kKernelClockSlackUs);
    EXPECT_LE(times[0], beforeSecond - 2 * kKernelClockSlackUs);
    EXPECT_GE(times[1], beforeSecond - kKernelClockSlackUs);
    EXPECT_LE(times[1], afterSecond + kKernelClockSlackUs);
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

// SPDX-License-Identifier: GPL-3.0-or-later
// The Winsock layer over BSD sockets, on loopback addresses only.
#include "platform/datagrambatch.h"
#include "platform/posix/wsaerror.h"
#include "platform/winsock.h"

#include "kernelclock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace corvane {
using namespace winsock;

namespace {

sockaddr_in Address(in_addr ip, u_short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr = ip;
    return address;
}

sockaddr_in Loopback(u_char last, u_short port) {
    in_addr ip;
    ip.S_un.S_un_b = {127, 0, 0, last};
    return Address(ip, port);
}

const sockaddr* AsSockaddr(const sockaddr_in& address) {
    return reinterpret_cast<const sockaddr*>(&address);
}

// Waits until thread tid of this process sleeps in one of the system calls, as the kernel shows
// it; false when it does not within a generous while.
bool BlockedIn(pid_t tid, std::initializer_list<long> calls) {
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/syscall";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        long number = -1;
        std::ifstream(path) >> number;
        for (long call : calls) {
            if (number == call)
                return true;
        }
        std::this_thread::yield();
    }
    return false;
}

// Started for the test's lifetime.
class Winsock : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(0x0202, &data), 0);
    }
    void TearDown() override {
        for (SOCKET s : sockets_)
            closesocket(s);
        WSACleanup();
    }

    // A datagram socket bound to 127.0.0.<last> at a port the system picks.
    SOCKET Bound(u_char last, u_short* port = nullptr) {
        const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
        EXPECT_NE(s, INVALID_SOCKET);
        sockets_.push_back(s);
        const sockaddr_in address = Loopback(last, 0);
        EXPECT_EQ(bind(s, AsSockaddr(address), sizeof address), 0);
        sockaddr_in got{};
        int length = sizeof got;
        EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&got), &length), 0);
        if (port)
            *port = ntohs(got.sin_port);
        return s;
    }

    int SendTo(SOCKET from, u_short port, const std::string& bytes) {
        return SendTo(from, bytes, Loopback(1, port));
    }

    int SendTo(SOCKET from, const std::string& bytes, const sockaddr_in& to) {
        return sendto(from, bytes.data(), static_cast<int>(bytes.size()), 0, AsSockaddr(to),
                      sizeof to);
    }

    // Waits until s is readable, at most a generous while.
    bool Readable(SOCKET s) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        const timeval wait{10, 0};
        return select(0, &set, nullptr, nullptr, &wait) == 1 && FD_ISSET(s, &set);
    }

    // Closes s, one of the sockets made by Bound, before the test ends.
    void Close(SOCKET s) {
        ASSERT_EQ(closesocket(s), 0);
        std::erase(sockets_, s);
    }

private:
    std::vector<SOCKET> sockets_;
};

TEST(WinsockStartup, EveryCallFailsWithNotInitialisedBeforeStartup) {
    EXPECT_EQ(socket(AF_INET, SOCK_DGRAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(gethostbyname("localhost"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(htons(0x0102), ntohs(0x0102)); // byte order needs no start-up
}

TEST(WinsockStartup, OffersVersionsFrom11To22AndCountsStartups) {
    WSADATA data;
    EXPECT_EQ(WSAStartup(0x0001, &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(0x0202, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0202);
    EXPECT_EQ(data.wHighVersion, 0x0202);
    EXPECT_EQ(WSAStartup(0x0003, &data), 0); // 3.0 is answered with 2.2
    EXPECT_EQ(data.wVersion, 0x0202);
    EXPECT_EQ(WSACleanup(), 0);
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0); // one start-up still counts
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(closesocket(s), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST(WinsockErrors, EveryErrnoHasItsWindowsNumber) {
    const struct {
        int error;
        int expected;
    } table[] = {
        {EADDRINUSE, 10048},   {EACCES, 10013},          {EPERM, 10013},
        {EMSGSIZE, 10040},     {EADDRNOTAVAIL, 10049},   {ENETUNREACH, 10051},
        {EHOSTUNREACH, 10065}, {ECONNREFUSED, 10061},    {ECONNRESET, 10054},
        {EWOULDBLOCK, 10035},  {EAGAIN, 10035},          {EINVAL, 10022},
        {ENOTSOCK, 10038},     {EBADF, 10038},           {EMFILE, 10024},
        {ENFILE, 10024},       {ENOBUFS, 10055},         {ENOMEM, 10055},
        {EINTR, 10004},        {EFAULT, 10014},          {EINPROGRESS, 10036},
        {EALREADY, 10037},     {EDESTADDRREQ, 10039},    {EPROTOTYPE, 10041},
        {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
        {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
        {ENETDOWN, 10050},     {ENETRESET, 10052},       {ECONNABORTED, 10053},
        {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
        {EPIPE, 10058},        {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
        {ELOOP, 10062},        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
        {ENOTEMPTY, 10066},    {EUSERS, 10068},          {EDQUOT, 10069},
        {ESTALE, 10070},       {EREMOTE, 10071},         {ENOENT, WSASYSCALLFAILURE},
    };
    for (const auto& row : table)
        EXPECT_EQ(WsaErrorFromErrno(row.error), row.expected) << std::strerror(row.error);
}

TEST_F(Winsock, ADatagramArrivesWithItsSendersAddressAndPort) {
    u_short port = 0, senderPort = 0;
    const SOCKET receiver = Bound(1, &port);
    const SOCKET sender = Bound(5, &senderPort);
    ASSERT_NE(port, 0);
    ASSERT_EQ(SendTo(sender, port, std::string("\x01\x00\x02", 3)), 3);
    ASSERT_TRUE(Readable(receiver));
    char buffer[16];
    sockaddr_in from{};
    int length = sizeof from;
    ASSERT_EQ(
        recvfrom(receiver, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length),
        3);
    EXPECT_EQ(std::string(buffer, 3), std::string("\x01\x00\x02", 3));
    EXPECT_EQ(length, static_cast<int>(sizeof from));
    EXPECT_EQ(from.sin_family, AF_INET);
    EXPECT_EQ(from.sin_addr.S_un.S_un_b.s_b1, 127);
    EXPECT_EQ(from.sin_addr.S_un.S_un_b.s_b4, 5);
    EXPECT_EQ(ntohs(from.sin_port), senderPort);
}

TEST_F(Winsock, ALongerDatagramFailsWithMessageTooLongAndIsLostWhole) {
    u_short port = 0;
    const SOCKET receiver = Bound(1, &port);
    const SOCKET sender = Bound(5);
    ASSERT_EQ(SendTo(sender, port, std::string(8193, 'x')), 8193);
    ASSERT_EQ(SendTo(sender, port, std::string(8192, 'y')), 8192);
    ASSERT_EQ(SendTo(sender, port, ""), 0);
    std::string buffer(8192, '\0');
    ASSERT_TRUE(Readable(receiver));
    EXPECT_EQ(recvfrom(receiver, buffer.data(), 8192, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
    // The next receive takes the next datagram, not the rest of the long one.
    ASSERT_TRUE(Readable(receiver));
    ASSERT_EQ(recvfrom(receiver, buffer.data(), 8192, 0, nullptr, nullptr), 8192);
    EXPECT_EQ(buffer, std::string(8192, 'y'));
    ASSERT_TRUE(Readable(receiver));
    EXPECT_EQ(recvfrom(receiver, buffer.data(), 8192, 0, nullptr, nullptr), 0);
}

TEST_F(Winsock, AfterTheReceivingSideIsShutDownEveryReceiveFails) {
    u_short port = 0;
    const SOCKET receiver = Bound(1, &port);
    const SOCKET sender = Bound(5);
    ASSERT_EQ(SendTo(sender, port, "queued before"), 13);
    ASSERT_TRUE(Readable(receiver));
    // Linux reports "not connected" for a datagram socket, but shuts it down all the same.
    shutdown(receiver, SD_RECEIVE);
    char buffer[64];
    EXPECT_EQ(recvfrom(receiver, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
    ASSERT_EQ(SendTo(sender, port, "sent after"), 10);
    EXPECT_EQ(recvfrom(receiver, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);

    // Shutting down the sending side alone leaves receiving as it was, also for a new socket
    // that gets the closed one's number.
    Close(receiver);
    u_short again = 0;
    const SOCKET next = Bound(1, &again);
    shutdown(next, SD_SEND);
    ASSERT_EQ(SendTo(sender, again, "x"), 1);
    ASSERT_TRUE(Readable(next));
    EXPECT_EQ(recvfrom(next, buffer, sizeof buffer, 0, nullptr, nullptr), 1);
}

// A receive already waiting when the receiving side is shut down returns at once with the error
// rather than with an empty datagram from 0.0.0.0:0.
TEST_F(Winsock, AShutdownWakesAWaitingReceiveWithAnError) {
    const SOCKET receiver = Bound(1);
    std::atomic<pid_t> tid{0};
    int result = 0, error = 0;
    sockaddr_in from{};
    std::thread waiting([&] {
        tid.store(gettid());
        char buffer[64];
        int length = sizeof from;
        result = recvfrom(receiver, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                          &length);
        error = WSAGetLastError();
    });
    while (tid.load() == 0)
        std::this_thread::yield();
    const bool blocked = BlockedIn(tid.load(), {SYS_recvfrom});
    shutdown(receiver, SD_RECEIVE);
    waiting.join();
    ASSERT_TRUE(blocked);
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(error, WSAESHUTDOWN);
}

TEST_F(Winsock, AShutdownWakesAWaitingSelect) {
    const SOCKET receiver = Bound(1);
    std::atomic<pid_t> tid{0};
    int result = 0;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(receiver, &set);
    std::thread waiting([&] {
        tid.store(gettid());
        const timeval forLong{120, 0};
        result = select(0, &set, nullptr, nullptr, &forLong);
    });
    while (tid.load() == 0)
        std::this_thread::yield();
    const bool blocked = BlockedIn(tid.load(), {SYS_poll, SYS_ppoll});
    shutdown(receiver, SD_RECEIVE);
    waiting.join();
    ASSERT_TRUE(blocked);
    EXPECT_EQ(result, 1); // a time-out would give 0
    EXPECT_TRUE(FD_ISSET(receiver, &set));
}

TEST_F(Winsock, PortZeroAndAddressZeroAreNoDestination) {
    u_short port = 0;
    const SOCKET receiver = Bound(1, &port);
    const SOCKET sender = Bound(5);
    in_addr any;
    any.S_un.S_addr = INADDR_ANY;
    EXPECT_EQ(SendTo(sender, "to any", Address(any, port)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    EXPECT_EQ(SendTo(sender, "to port 0", Loopback(1, 0)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    // Nothing of the refused sends arrived: the first datagram is the one sent properly.
    ASSERT_EQ(SendTo(sender, port, "proper"), 6);
    ASSERT_TRUE(Readable(receiver));
    char buffer[64];
    ASSERT_EQ(recvfrom(receiver, buffer, sizeof buffer, 0, nullptr, nullptr), 6);
    EXPECT_EQ(std::string(buffer, 6), "proper");
}

TEST_F(Winsock, BindingAPortInUseFailsWithAddressInUse) {
    u_short port = 0;
    Bound(1, &port);
    const SOCKET second = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in any{AF_INET, htons(port), {}, {}};
    EXPECT_EQ(bind(second, AsSockaddr(any), sizeof any), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    closesocket(second);
}

TEST_F(Winsock, ABroadcastNeedsTheBroadcastOption) {
    u_short port = 0;
    const SOCKET receiver = Bound(1, &port);
    in_addr everyone;
    everyone.S_un.S_un_b = {127, 255, 255, 255};
    const sockaddr_in broadcast = Address(everyone, port);
    EXPECT_EQ(SendTo(receiver, "x", broadcast), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEACCES);
    const int on = -1;
    ASSERT_EQ(setsockopt(receiver, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                         sizeof on),
              0);
    EXPECT_EQ(SendTo(receiver, "x", broadcast), 1);
    EXPECT_EQ(
        setsockopt(receiver, SOL_SOCKET, 0x0004, reinterpret_cast<const char*>(&on), sizeof on),
        SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
}

TEST_F(Winsock, SelectKeepsOnlyTheReadySocketsInTheirOrder) {
    u_short portA = 0, portB = 0, portC = 0;
    const SOCKET a = Bound(1, &portA);
    const SOCKET b = Bound(1, &portB);
    const SOCKET c = Bound(1, &portC);
    const SOCKET sender = Bound(5);
    ASSERT_EQ(SendTo(sender, portC, "c"), 1);
    ASSERT_EQ(SendTo(sender, portA, "a"), 1);
    ASSERT_TRUE(Readable(a));
    ASSERT_TRUE(Readable(c));
    fd_set set;
    FD_ZERO(&set);
    for (SOCKET s : {a, b, c})
        FD_SET(s, &set);
    const timeval wait{0, 0};
    EXPECT_EQ(select(0, &set, nullptr, nullptr, &wait), 2);
    ASSERT_EQ(set.fd_count, 2u);
    EXPECT_EQ(set.fd_array[0], a);
    EXPECT_EQ(set.fd_array[1], c);
}

TEST_F(Winsock, SelectRefusesEmptySetsAndClosedSockets) {
    fd_set set;
    FD_ZERO(&set);
    const timeval wait{0, 0};
    EXPECT_EQ(select(0, &set, nullptr, nullptr, &wait), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);

    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_EQ(closesocket(s), 0);
    FD_SET(s, &set);
    EXPECT_EQ(select(0, &set, nullptr, nullptr, &wait), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(set.fd_count, 1u); // left as given
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(Winsock, FdSetHoldsEachSocketOnceAndAtMost64) {
    fd_set set;
    FD_ZERO(&set);
    for (SOCKET s = 0; s < 70; ++s) {
        FD_SET(s, &set);
        FD_SET(s, &set);
    }
    EXPECT_EQ(set.fd_count, static_cast<u_int>(FD_SETSIZE));
    EXPECT_TRUE(FD_ISSET(63, &set));
    EXPECT_FALSE(FD_ISSET(64, &set));
}

TEST_F(Winsock, TheLastErrorBelongsToTheFailingThread) {
    EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
    ASSERT_EQ(WSAGetLastError(), WSAENOTSOCK);
    std::thread other([] {
        const sockaddr_in any{AF_INET, 0, {}, {}};
        EXPECT_EQ(bind(INVALID_SOCKET, AsSockaddr(any), 8), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
        EXPECT_EQ(gethostbyname(""), nullptr);
        EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
    });
    other.join();
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(Winsock, GethostbynameAnswersFromTheHostsFileAndNumbers) {
    const struct {
        const char* name;
        u_char address[4];
    } table[] = {
        {"localhost", {127, 0, 0, 1}},
        {"1.2.3", {1, 2, 0, 3}},
        {"2130706433", {127, 0, 0, 1}},
    };
    for (const auto& row : table) {
        const hostent* entry = gethostbyname(row.name);
        ASSERT_NE(entry, nullptr) << row.name;
        EXPECT_EQ(entry->h_addrtype, AF_INET);
        EXPECT_EQ(entry->h_length, 4);
        ASSERT_NE(entry->h_addr_list[0], nullptr);
        EXPECT_EQ(std::memcmp(entry->h_addr_list[0], row.address, 4), 0) << row.name;
    }
}

TEST_F(Winsock, GethostbynameReportsHostNotFound) {
    // Names the resolver refuses without asking any server.
    for (const char* name : {"", "a..b"}) {
        EXPECT_EQ(gethostbyname(name), nullptr) << name;
        EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND) << name;
    }
}

TEST_F(Winsock, EachThreadKeepsItsOwnHostEntry) {
    const hostent* mine = gethostbyname("localhost");
    ASSERT_NE(mine, nullptr);
    std::thread other([] {
        const hostent* theirs = gethostbyname("1.2.3");
        ASSERT_NE(theirs, nullptr);
        EXPECT_EQ(static_cast<u_char>(theirs->h_addr_list[0][0]), 1);
    });
    other.join();
    EXPECT_EQ(static_cast<u_char>(mine->h_addr_list[0][0]), 127);
    EXPECT_STREQ(mine->h_name, "localhost");
}

// Microseconds since the Unix epoch, as the batch receive gives arrival times.
std::int64_t EpochMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Slots of 8 bytes each over one buffer.
struct Slots {
    explicit Slots(int count) : buffer(static_cast<std::size_t>(count) * 8), slots(count) {
        for (int i = 0; i < count; ++i)
            slots[static_cast<std::size_t>(i)] = {buffer.data() + i * 8, 8, -1, false, {}, 0};
    }
    std::string Data(int i) const {
        return std::string(slots[static_cast<std::size_t>(i)].buf,
                           static_cast<std::size_t>(slots[static_cast<std::size_t>(i)].received));
    }
    std::vector<char> buffer;
    std::vector<DATAGRAM_SLOT> slots;
};

// One call takes what is queued, in order, each datagram with its sender and its arrival time,
// and one longer than its slot marked cut; with nothing queued it returns 0 at once.
TEST_F(Winsock, ABatchTakesTheQueuedDatagramsWithTheirSendersAndTimes) {
    u_short port = 0, senderPort = 0;
    const SOCKET receiver = Bound(1, &port);
    const SOCKET sender = Bound(5, &senderPort);
    ASSERT_EQ(EnableDatagramReports(receiver), 0);
    Slots batch(4);
    std::uint32_t drops = 7;
    ASSERT_EQ(ReceiveDatagramBatch(receiver, batch.slots.data(), 4, drops), 0);

    const std::int64_t before = EpochMicroseconds();
    for (const std::string datagram : {"one", "", "three!!!", "too long!"})
        ASSERT_EQ(SendTo(sender, port, datagram), static_cast<int>(datagram.size()));
    // Loopback may queue a datagram after its send has returned: one call takes what is there.
    for (int taken = 0, got; taken < 4; taken += got) {
        ASSERT_TRUE(Readable(receiver));
        got = ReceiveDatagramBatch(receiver, batch.slots.data() + taken, 4 - taken, drops);
        ASSERT_GT(got, 0);
    }
    const std::int64_t after = EpochMicroseconds();
    EXPECT_EQ(batch.Data(0), "one");
    EXPECT_EQ(batch.Data(1), "");
    EXPECT_EQ(batch.Data(2), "three!!!");
    EXPECT_FALSE(batch.slots[2].truncated);
    EXPECT_TRUE(batch.slots[3].truncated);
    std::int64_t previous = before - kKernelClockSlackUs;
    for (const DATAGRAM_SLOT& slot : batch.slots) {
        EXPECT_EQ(slot.from.sin_addr.S_un.S_un_b.s_b4, 5);
        EXPECT_EQ(ntohs(slot.from.sin_port), senderPort);
        EXPECT_GE(slot.receivedAt, previous);
        EXPECT_LE(slot.receivedAt, after + kKernelClockSlackUs);
        previous = slot.receivedAt;
    }
    EXPECT_EQ(drops, 0u); // none dropped: the count reads 0, whatever it held
    EXPECT_EQ(ReceiveDatagramBatch(receiver, batch.slots.data(), 4, drops), 0);

    shutdown(receiver, SD_RECEIVE);
    EXPECT_EQ(ReceiveDatagramBatch(receiver, batch.slots.data(), 4, drops), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
}

// More datagrams than the socket's queue holds, sent while nobody reads: what the batches take and
// the drop count make up every datagram sent. The count is there at once, and comes with the next
// datagram queued after the drops.
TEST_F(Winsock, TheDropCountMakesUpWhatTheSocketsQueueCouldNotHold) {
    u_short port = 0;
    const SOCKET receiver = Bound(1, &port);
    const SOCKET sender = Bound(5);
    ASSERT_EQ(EnableDatagramReports(receiver), 0);
    constexpr int kSent = 60'000; // several times what a queue of a few MiB takes
    for (int i = 0; i < kSent; ++i)
        ASSERT_EQ(SendTo(sender, port, std::string(reinterpret_cast<const char*>(&i), 4)), 4);
    Slots batch(64);
    std::uint32_t drops = 0;
    int taken = 0, previous = -1;
    bool ordered = true;
    for (int got; (got = ReceiveDatagramBatch(receiver, batch.slots.data(), 64, drops)) > 0;) {
        for (int i = 0; i < got; ++i) {
            int number;
            std::memcpy(&number, batch.slots[static_cast<std::size_t>(i)].buf, sizeof number);
            ordered = ordered && number > previous;
            previous = number;
        }
        taken += got;
    }
    EXPECT_TRUE(ordered);
    std::uint32_t now = 0;
    ASSERT_EQ(DatagramDropCount(receiver, now), 0);
    EXPECT_GT(now, 0u);
    EXPECT_EQ(taken + static_cast<int>(now), kSent);

    ASSERT_EQ(SendTo(sender, port, "next"), 4);
    ASSERT_TRUE(Readable(receiver));
    ASSERT_EQ(ReceiveDatagramBatch(receiver, batch.slots.data(), 64, drops), 1);
    EXPECT_EQ(drops, now);
}

TEST(WinsockByteOrder, HtonsPutsTheHighByteFirst) {
    const u_short network = htons(0x1234);
    u_char bytes[2];
    std::memcpy(bytes, &network, 2);
    EXPECT_EQ(bytes[0], 0x12);
    EXPECT_EQ(bytes[1], 0x34);
    EXPECT_EQ(ntohs(network), 0x1234);
}

} // namespace
} // namespace corvane

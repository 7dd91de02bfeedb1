// SPDX-License-Identifier: GPL-3.0-or-later
// The socket stack: its error texts, addresses, host resolution, result checks and lifetime.
#include "core/exception.h"
#include "udp/idcomponent.h"
#include "udp/idexceptions.h"
#include "udp/idstackwindows.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace corvane {
namespace {

using winsock::SOCKET;

// Keeps the stack alive for a test.
class Stack : public ::testing::Test {
protected:
    TIdComponent user;
    TIdStack& stack = *StackInstance();
};

TEST_F(Stack, SocketErrorTextNamesEveryNumberOfItsTable) {
    const struct {
        int number;
        const char* text;
    } table[] = {
        {10004, "Interrupted system call."},
        {10009, "Bad file number."},
        {10013, "Access denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Operation would block. "},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported on socket."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Net dropped connection or reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send or receive after socket is closed."},
        {10059, "Too many references, cannot splice."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10062, "Too many levels of symbolic links."},
        {10063, "File name too long."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
        {11001, "Host not found."},
        {10093, ""},
        {0, ""},
        {11002, ""},
    };
    for (const auto& row : table) {
        EXPECT_EQ(stack.SocketErrorText(row.number),
                  "Socket Error # " + std::to_string(row.number) + "\r\n" + row.text);
    }
}

TEST_F(Stack, HostToAddressTakesLocalhostAndDottedTextWithoutALookup) {
    const struct {
        const char* host;
        const char* address;
    } table[] = {
        {"LOCALHOST", "127.0.0.1"},
        {"localhost", "127.0.0.1"},
        {"LocalHost", "127.0.0.1"},
        {"10.0.0.7", "10.0.0.7"},
        {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
        {" 10.0.0.7", " 10.0.0.7"},     // integer text allows leading spaces
        {"$A.0.0.x7", "$A.0.0.x7"},     // and hex digits
        {"010.000.0.7", "010.000.0.7"}, // returned as typed
        // The rest goes to the lookup, which reads numbers the way inet_aton does.
        {"1.2.3", "1.2.0.3"},
        {"2130706433", "127.0.0.1"},
    };
    for (const auto& row : table)
        EXPECT_EQ(stack.HostToAddress(row.host), row.address) << row.host;
}

TEST(DottedAddress, NeedsFourPartsOfIntegerTextFrom0To255) {
    const struct {
        const char* text;
        bool dotted;
    } table[] = {
        {"10.0.0.7", true},  {"0.0.0.0", true},    {"+1.2.3.4", true},   {"0x0A.0.0.1", true},
        {"1.2.3", false},    {"1.2.3.4.5", false}, {"256.1.1.1", false}, {"1.2.3.256", false},
        {"1..3.4", false},   {"1.2.3.", false},    {".1.2.3", false},    {"-1.2.3.4", false},
        {"1.2.3.4 ", false}, {"a.b.c.d", false},   {"", false},          {"1.2.3.-0", true},
    };
    for (const auto& row : table)
        EXPECT_EQ(TIdStack::IsDottedAddress(row.text), row.dotted) << row.text;
}

TEST(DottedAddress, AddressToTextJoinsTheDecimalBytes) {
    EXPECT_EQ(TIdStack::AddressToText({10, 0, 0, 7}), "10.0.0.7");
    EXPECT_EQ(TIdStack::AddressToText({0, 0, 0, 0}), "0.0.0.0");
    EXPECT_EQ(TIdStack::AddressToText({255, 255, 255, 255}), "255.255.255.255");
}

TEST(DottedAddress, TextToAddressTakesTheLow8BitsOfFourParts) {
    EXPECT_EQ(TIdStack::TextToAddress("10.0.0.7"), (TIdIPv4Bytes{10, 0, 0, 7}));
    EXPECT_EQ(TIdStack::TextToAddress("1.2.3.4.5"), (TIdIPv4Bytes{1, 2, 3, 4}));
    EXPECT_EQ(TIdStack::TextToAddress("256.257.-1.$1FF"), (TIdIPv4Bytes{0, 1, 255, 255}));
    try {
        TIdStack::TextToAddress("1.2.3");
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'' is not a valid integer value");
    }
    EXPECT_THROW(TIdStack::TextToAddress("1.x.3.4"), EConvertError);
}

TEST_F(Stack, AFailedLookupRaisesHostNotFound) {
    // Names the resolver refuses without asking any server; the empty one is not refused before.
    for (const char* host : {"", "a..b"}) {
        try {
            stack.HostToAddress(host);
            FAIL() << "no error for '" << host << "'";
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.ErrorNumber(), 11001);
            EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
        }
    }
}

TEST_F(Stack, CheckSocketResultPassesResultsAndAcceptsOnlyTheNamedErrors) {
    EXPECT_FALSE(stack.CheckSocketResult(0));
    EXPECT_FALSE(stack.CheckSocketResult(5, {10048}));

    const SOCKET held = stack.NewSocket(winsock::SOCK_DGRAM, 0);
    ASSERT_EQ(stack.BindAddress(held, "127.0.0.1", 0), 0);
    ByteString ip;
    int port = 0;
    stack.LocalAddressOf(held, ip, port);
    EXPECT_EQ(ip, "127.0.0.1");
    const SOCKET second = stack.NewSocket(winsock::SOCK_DGRAM, 0);

    EXPECT_TRUE(stack.CheckSocketResult(stack.BindAddress(second, "", port), {10048}));
    try {
        stack.CheckSocketResult(stack.BindAddress(second, "", port), {10013});
        FAIL() << "no socket error";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorNumber(), 10048);
        EXPECT_EQ(e.Message(), "Socket Error # 10048\r\nAddress already in use.");
    }
    EXPECT_THROW(stack.CheckSocketResult(stack.BindAddress(second, "", port)), EIdSocketError);
    stack.CloseSocketHandle(second);
    stack.CloseSocketHandle(held);
}

TEST_F(Stack, WaitReadableKeepsTheReadySocketsAndRefusesMoreThan64) {
    const SOCKET idle = stack.NewSocket(winsock::SOCK_DGRAM, 0);
    const SOCKET busy = stack.NewSocket(winsock::SOCK_DGRAM, 0);
    ASSERT_EQ(stack.BindAddress(idle, "127.0.0.1", 0), 0);
    ASSERT_EQ(stack.BindAddress(busy, "127.0.0.1", 0), 0);
    ByteString ip;
    int port = 0;
    stack.LocalAddressOf(busy, ip, port);
    ASSERT_EQ(stack.SendToAddress(idle, "ab", 2, 0, "127.0.0.1", port), 2);

    std::vector<SOCKET> sockets{idle, busy};
    EXPECT_EQ(stack.WaitReadable(sockets, 10'000), 1);
    EXPECT_EQ(sockets, std::vector<SOCKET>{busy});
    char buffer[8];
    int senderPort = 0;
    ASSERT_EQ(stack.ReceiveFrom(busy, buffer, sizeof buffer, 0, ip, senderPort), 2);
    EXPECT_EQ(ip, "127.0.0.1");

    sockets = {idle, busy};
    EXPECT_EQ(stack.WaitReadable(sockets, 20), 0);
    EXPECT_TRUE(sockets.empty());

    std::vector<SOCKET> tooMany(65, idle);
    try {
        stack.WaitReadable(tooMany, 0);
        FAIL() << "no set size error";
    } catch (const EIdStackSetSizeExceeded& e) {
        EXPECT_EQ(e.Message(), "Set Size Exceeded.");
    }
    stack.CloseSocketHandle(idle);
    stack.CloseSocketHandle(busy);
}

TEST_F(Stack, NewSocketRaisesCannotAllocateWhenTheProcessHasNoDescriptorsLeft) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<SOCKET> sockets;
    std::exception_ptr failure;
    try {
        for (int i = 0; i < 64; ++i)
            sockets.push_back(stack.NewSocket(winsock::SOCK_DGRAM, 0));
    } catch (...) {
        failure = std::current_exception();
    }
    // The descriptors come back before anything else runs: sanitizers need some of their own.
    for (SOCKET s : sockets)
        stack.CloseSocketHandle(s);
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(failure);
    try {
        std::rethrow_exception(failure);
    } catch (const EIdInvalidSocket& e) {
        EXPECT_EQ(e.Message(), "Cannot allocate socket.");
    }
}

TEST(StackLifetime, TheFirstUserCreatesTheStackAndTheLastFreesIt) {
    EXPECT_EQ(StackInstance(), nullptr);
    EXPECT_EQ(StackUsers(), 0);
    {
        TIdComponent first;
        TIdStack* stack = StackInstance();
        ASSERT_NE(stack, nullptr);
        EXPECT_TRUE(StackStarted());
        {
            TIdComponent second;
            EXPECT_EQ(StackUsers(), 2);
            EXPECT_EQ(StackInstance(), stack);
        }
        EXPECT_EQ(StackUsers(), 1);
        EXPECT_EQ(StackInstance(), stack);
    }
    EXPECT_EQ(StackUsers(), 0);
    EXPECT_EQ(StackInstance(), nullptr);
    EXPECT_TRUE(StackStarted()); // the interface stays started for the next user
    TIdComponent again;
    EXPECT_NE(StackInstance(), nullptr);
}

TEST(StackExceptions, TheLibraryLoadFailureNamesTheLibraryAndTheLoadersError) {
    const auto withoutError = EIdWS2StubError::LoadFailure("WS2_32.DLL", 0, "ignored");
    EXPECT_EQ(withoutError.Message(), "Error on loading Winsock2 library (WS2_32.DLL)");
    const auto withError =
        EIdWS2StubError::LoadFailure("WS2_32.DLL", 126, "The specified module could not be found.");
    EXPECT_EQ(withError.Message(), "Error on loading Winsock2 library (WS2_32.DLL): The specified "
                                   "module could not be found.");
    EXPECT_EQ(withError.Title(), "Error on loading Winsock2 library (WS2_32.DLL)");
    EXPECT_EQ(withError.ErrorNumber(), 126u);
}

} // namespace
} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idstackwindows.h"

#include "platform/commapi.h"
#include "udp/idexceptions.h"

#include <atomic>
#include <cstring>

namespace corvane {
using namespace winsock;

namespace {

std::atomic<bool> started{false};

// At program end, after the last component is gone, the socket interface is shut down once.
struct InterfaceEnd {
    ~InterfaceEnd() {
        if (started.load())
            WSACleanup();
    }
} interfaceEnd;

// Zero-filled but for the family, the port's low 16 bits and the address.
sockaddr_in MakeAddress(const TIdIPv4Bytes& bytes, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port & 0xFFFF));
    std::memcpy(&address.sin_addr, bytes.data(), bytes.size());
    return address;
}

void ReadAddress(const sockaddr_in& address, ByteString& ip, int& port) {
    TIdIPv4Bytes bytes;
    std::memcpy(bytes.data(), &address.sin_addr, bytes.size());
    ip = TIdStack::AddressToText(bytes);
    port = ntohs(address.sin_port);
}

} // namespace

bool StackStarted() {
    return started.load();
}

ByteString SystemSocketErrorText(int number) {
    char buffer[512];
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(number), 0, buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n'))
        --length;
    return ByteString(buffer, length);
}

TIdStackWindows::TIdStackWindows() {
    if (started.load())
        return;
    WSADATA data;
    if (WSAStartup(0x0202, &data) != 0)
        throw EIdStackInitializationFailed("Winsock Initialization Error.");
    started.store(true);
}

SOCKET TIdStackWindows::CreateSocketHandle(int type, int protocol) {
    return socket(AF_INET, type, protocol);
}

int TIdStackWindows::BindAddress(SOCKET s, const ByteString& ip, int port) {
    // All four address bytes zero is INADDR_ANY.
    const sockaddr_in address = MakeAddress(ip.empty() ? TIdIPv4Bytes{} : TextToAddress(ip), port);
    return bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

void TIdStackWindows::LocalAddressOf(SOCKET s, ByteString& ip, int& port) {
    sockaddr_in address{};
    int length = sizeof address;
    CheckSocketResult(getsockname(s, reinterpret_cast<sockaddr*>(&address), &length));
    ReadAddress(address, ip, port);
}

int TIdStackWindows::SetSocketOption(SOCKET s, int level, int option, const char* value,
                                     int length) {
    return setsockopt(s, level, option, value, length);
}

int TIdStackWindows::WaitReadable(std::vector<SOCKET>& sockets, int timeoutMs) {
    if (sockets.size() > FD_SETSIZE)
        throw EIdStackSetSizeExceeded("Set Size Exceeded.");
    fd_set readable;
    FD_ZERO(&readable);
    for (SOCKET s : sockets)
        FD_SET(s, &readable);
    const timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int result = select(0, &readable, nullptr, nullptr, &timeout);
    sockets.assign(readable.fd_array, readable.fd_array + readable.fd_count);
    return result;
}

int TIdStackWindows::ReceiveFrom(SOCKET s, char* buffer, int capacity, int flags, ByteString& ip,
                                 int& port) {
    sockaddr_in sender{};
    int length = sizeof sender;
    const int result =
        recvfrom(s, buffer, capacity, flags, reinterpret_cast<sockaddr*>(&sender), &length);
    ReadAddress(sender, ip, port);
    return result;
}

int TIdStackWindows::EnableReceiveReports(SOCKET s) {
    return EnableDatagramReports(s);
}

int TIdStackWindows::ReceiveQueued(SOCKET s, DATAGRAM_SLOT* slots, int count,
                                   std::uint32_t& drops) {
    return ReceiveDatagramBatch(s, slots, count, drops);
}

int TIdStackWindows::DropCountOf(SOCKET s, std::uint32_t& drops) {
    return DatagramDropCount(s, drops);
}

int TIdStackWindows::SendToAddress(SOCKET s, const char* buffer, int count, int flags,
                                   const ByteString& ip, int port) {
    const sockaddr_in address = MakeAddress(TextToAddress(ip), port);
    return sendto(s, buffer, count, flags, reinterpret_cast<const sockaddr*>(&address),
                  sizeof address);
}

int TIdStackWindows::ShutdownSocket(SOCKET s, int how) {
    return shutdown(s, how);
}

int TIdStackWindows::CloseSocketHandle(SOCKET s) {
    return closesocket(s);
}

int TIdStackWindows::LastSocketError() {
    return WSAGetLastError();
}

std::optional<TIdIPv4Bytes> TIdStackWindows::LookupHost(const ByteString& host) {
    const hostent* answer = gethostbyname(host.c_str());
    if (!answer || !answer->h_addr_list[0])
        return std::nullopt;
    TIdIPv4Bytes address;
    std::memcpy(address.data(), answer->h_addr_list[0], address.size());
    return address;
}

const char* TIdStackWindows::ErrorText(int number) const {
    return number == WSAHOST_NOT_FOUND ? "Host not found." : TIdStack::ErrorText(number);
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stack over Winsock 2. Creating the first one starts the socket interface (version 2.2); it
// stays started until the program ends, when it is cleaned up once.

#include "udp/idstack.h"

namespace corvane {

class TIdStackWindows final : public TIdStack {
public:
    // Raises EIdStackInitializationFailed "Winsock Initialization Error." when start-up fails.
    TIdStackWindows();

    int BindAddress(winsock::SOCKET s, const ByteString& ip, int port) override;
    void LocalAddressOf(winsock::SOCKET s, ByteString& ip, int& port) override;
    int SetSocketOption(winsock::SOCKET s, int level, int option, const char* value,
                        int length) override;
    int WaitReadable(std::vector<winsock::SOCKET>& sockets, int timeoutMs) override;
    int ReceiveFrom(winsock::SOCKET s, char* buffer, int capacity, int flags, ByteString& ip,
                    int& port) override;
    int EnableReceiveReports(winsock::SOCKET s) override;
    int ReceiveQueued(winsock::SOCKET s, winsock::DATAGRAM_SLOT* slots, int count,
                      std::uint32_t& drops) override;
    int DropCountOf(winsock::SOCKET s, std::uint32_t& drops) override;
    int SendToAddress(winsock::SOCKET s, const char* buffer, int count, int flags,
                      const ByteString& ip, int port) override;
    int ShutdownSocket(winsock::SOCKET s, int how) override;
    int CloseSocketHandle(winsock::SOCKET s) override;
    int LastSocketError() override;

protected:
    winsock::SOCKET CreateSocketHandle(int type, int protocol) override;
    std::optional<TIdIPv4Bytes> LookupHost(const ByteString& host) override;
    const char* ErrorText(int number) const override;
};

// Whether the socket interface has been started in this process; never reset while it runs.
bool StackStarted();

// The system's own words for a socket error number, without the line break they end in; empty
// when the system has none.
ByteString SystemSocketErrorText(int number);

} // namespace corvane

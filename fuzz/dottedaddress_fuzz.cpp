// SPDX-License-Identifier: GPL-3.0-or-later
// The socket stack's address texts: the dotted test, the text-to-address conversion the send path
// applies to what the test let through, the dotted text of four bytes, and the choice between
// "LOCALHOST", a dotted address and the lookup. Where the stack's dotted form and the C library's
// inet_pton and inet_aton read the same notation, they must agree.
#include "core/exception.h"
#include "core/inttext.h"
#include "libcaddress.h"
#include "udp/idexceptions.h"
#include "udp/idstack.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <strings.h>
#include <vector>

namespace {

using corvane::ByteString;
using corvane::TIdIPv4Bytes;
using corvane::TIdStack;
namespace winsock = corvane::winsock;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

fuzz::AddressBytes Plain(const TIdIPv4Bytes& address) {
    fuzz::AddressBytes bytes;
    std::copy(address.begin(), address.end(), bytes.begin());
    return bytes;
}

// A stack whose lookup answers every name with one fixed address, or fails for names that end in
// "!", and records what it was asked. Host resolution needs nothing else of a stack.
class LookupOnlyStack : public TIdStack {
public:
    static constexpr TIdIPv4Bytes kAnswer = {192, 0, 2, 7};
    static constexpr int kNotFound = 11001;

    std::vector<ByteString> asked;

    int BindAddress(winsock::SOCKET, const ByteString&, int) override { std::abort(); }
    void LocalAddressOf(winsock::SOCKET, ByteString&, int&) override { std::abort(); }
    int SetSocketOption(winsock::SOCKET, int, int, const char*, int) override { std::abort(); }
    int WaitReadable(std::vector<winsock::SOCKET>&, int) override { std::abort(); }
    int ReceiveFrom(winsock::SOCKET, char*, int, int, ByteString&, int&) override { std::abort(); }
    int EnableReceiveReports(winsock::SOCKET) override { std::abort(); }
    int ReceiveQueued(winsock::SOCKET, winsock::DATAGRAM_SLOT*, int, std::uint32_t&) override {
        std::abort();
    }
    int DropCountOf(winsock::SOCKET, std::uint32_t&) override { std::abort(); }
    int SendToAddress(winsock::SOCKET, const char*, int, int, const ByteString&, int) override {
        std::abort();
    }
    int ShutdownSocket(winsock::SOCKET, int) override { std::abort(); }
    int CloseSocketHandle(winsock::SOCKET) override { std::abort(); }
    int LastSocketError() override { return kNotFound; }

protected:
    winsock::SOCKET CreateSocketHandle(int, int) override { std::abort(); }
    std::optional<TIdIPv4Bytes> LookupHost(const ByteString& host) override {
        asked.push_back(host);
        if (!host.empty() && host.back() == '!')
            return std::nullopt;
        return kAnswer;
    }
};

// Four parts, each decimal without leading zeros or 0x-hex: the notation that both the stack's
// integer text and inet_aton read, and read alike.
bool InSharedNotation(const ByteString& text) {
    static const std::string part = "(0|[1-9][0-9]*|0[xX][0-9a-fA-F]+)";
    static const std::regex address("^" + part + "(\\." + part + "){3}$");
    return text.size() <= 128 && std::regex_match(text, address);
}

void CheckText(const ByteString& text) {
    const bool dotted = TIdStack::IsDottedAddress(text);
    std::optional<TIdIPv4Bytes> address;
    try {
        address = TIdStack::TextToAddress(text);
    } catch (const corvane::EConvertError& e) {
        Check(e.Message().ends_with("' is not a valid integer value"));
    }
    // What the dotted test lets through, the send path must be able to convert, and its dotted
    // text reads back as the same four bytes.
    if (dotted) {
        Check(address.has_value());
        Check(fuzz::LibcPton(TIdStack::AddressToText(*address)) == Plain(*address));
    }

    if (text.find('\0') != ByteString::npos)
        return;
    if (const auto pton = fuzz::LibcPton(text)) {
        Check(dotted && Plain(*address) == *pton);
        Check(TIdStack::AddressToText(*address) == text);
    }
    if (InSharedNotation(text)) {
        const auto aton = fuzz::LibcAton(text);
        Check(dotted == aton.has_value());
        if (dotted)
            Check(Plain(*address) == *aton);
    }
}

void CheckHost(const ByteString& host) {
    LookupOnlyStack stack;
    const bool localhost = host.size() == 9 && strncasecmp(host.data(), "localhost", 9) == 0;
    const bool dotted = TIdStack::IsDottedAddress(host);
    try {
        const ByteString address = stack.HostToAddress(host);
        if (localhost)
            Check(address == "127.0.0.1");
        else if (dotted)
            Check(address == host);
        else
            Check(address == TIdStack::AddressToText(LookupOnlyStack::kAnswer));
        TIdStack::TextToAddress(address);
    } catch (const corvane::EIdSocketError& e) {
        Check(!localhost && !dotted && e.ErrorNumber() == LookupOnlyStack::kNotFound);
    }
    const bool looked = !localhost && !dotted;
    Check(stack.asked == (looked ? std::vector<ByteString>{host} : std::vector<ByteString>{}));
}

void CheckBytes(const std::uint8_t* data) {
    const TIdIPv4Bytes address = {data[0], data[1], data[2], data[3]};
    const ByteString text = TIdStack::AddressToText(address);
    Check(text == fuzz::LibcNtop(Plain(address)));
    Check(TIdStack::IsDottedAddress(text));
    Check(TIdStack::TextToAddress(text) == address);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteString text(reinterpret_cast<const char*>(data), size);
    CheckText(text);
    CheckHost(text);
    if (size >= 4)
        CheckBytes(data);
    return 0;
}

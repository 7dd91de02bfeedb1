// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idstack.h"

#include "core/inttext.h"
#include "udp/idexceptions.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace corvane {
namespace {

struct ErrorWords {
    int number;
    const char* text;
};

constexpr ErrorWords kErrorWords[] = {
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
};

// Splits text at "." into four parts. The first three end at the next "." (once none is left, the
// part is the rest and every later part is empty); the fourth ends at the next "." only when
// lastEndsAtDot, and is all the rest otherwise.
std::array<ByteString, 4> SplitDotted(const ByteString& text, bool lastEndsAtDot) {
    std::array<ByteString, 4> parts;
    std::size_t from = 0;
    for (std::size_t i = 0; i < parts.size() && from <= text.size(); ++i) {
        const std::size_t dot = i < 3 || lastEndsAtDot ? text.find('.', from) : ByteString::npos;
        if (dot == ByteString::npos) {
            parts[i] = text.substr(from);
            break;
        }
        parts[i] = text.substr(from, dot - from);
        from = dot + 1;
    }
    return parts;
}

bool EqualsIgnoringCase(const ByteString& a, const char* b) {
    const ByteString other(b);
    return std::equal(a.begin(), a.end(), other.begin(), other.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

} // namespace

winsock::SOCKET TIdStack::NewSocket(int type, int protocol) {
    const winsock::SOCKET s = CreateSocketHandle(type, protocol);
    if (s == winsock::INVALID_SOCKET)
        throw EIdInvalidSocket("Cannot allocate socket.");
    return s;
}

bool TIdStack::CheckSocketResult(int result, std::initializer_list<int> accepted) {
    if (result != winsock::SOCKET_ERROR)
        return false;
    const int error = LastSocketError();
    if (std::find(accepted.begin(), accepted.end(), error) != accepted.end())
        return true;
    RaiseSocketError(error);
}

const char* TIdStack::ErrorText(int number) const {
    for (const ErrorWords& words : kErrorWords) {
        if (words.number == number)
            return words.text;
    }
    return "";
}

ByteString TIdStack::SocketErrorText(int number) const {
    return "Socket Error # " + std::to_string(number) + "\r\n" + ErrorText(number);
}

void TIdStack::RaiseSocketError(int number) const {
    throw EIdSocketError(number, SocketErrorText(number));
}

ByteString TIdStack::HostToAddress(const ByteString& host) {
    if (EqualsIgnoringCase(host, "LOCALHOST"))
        return "127.0.0.1";
    if (IsDottedAddress(host))
        return host;
    const auto address = LookupHost(host);
    if (!address)
        RaiseSocketError(LastSocketError());
    return AddressToText(*address);
}

ByteString TIdStack::AddressToText(const TIdIPv4Bytes& address) {
    ByteString text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(address[i]);
    }
    return text;
}

TIdIPv4Bytes TIdStack::TextToAddress(const ByteString& text) {
    const auto parts = SplitDotted(text, true);
    TIdIPv4Bytes address;
    for (std::size_t i = 0; i < parts.size(); ++i)
        address[i] = static_cast<BYTE>(StrToInt(parts[i]) & 0xFF);
    return address;
}

bool TIdStack::IsDottedAddress(const ByteString& text) {
    for (const ByteString& part : SplitDotted(text, false)) {
        const auto value = TryStrToInt(part);
        if (!value || *value < 0 || *value > 255)
            return false;
    }
    return true;
}

} // namespace corvane

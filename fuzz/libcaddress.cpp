// SPDX-License-Identifier: GPL-3.0-or-later
#include "libcaddress.h"

#include <arpa/inet.h>
#include <cstring>

namespace fuzz {
namespace {

AddressBytes BytesOf(const in_addr& address) {
    AddressBytes bytes;
    std::memcpy(bytes.data(), &address, bytes.size());
    return bytes;
}

} // namespace

std::optional<AddressBytes> LibcPton(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        return std::nullopt;
    return BytesOf(address);
}

std::optional<AddressBytes> LibcAton(const std::string& text) {
    in_addr address{};
    if (inet_aton(text.c_str(), &address) == 0)
        return std::nullopt;
    return BytesOf(address);
}

std::string LibcNtop(const AddressBytes& bytes) {
    in_addr address{};
    std::memcpy(&address, bytes.data(), bytes.size());
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

} // namespace fuzz

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The C library's own IPv4 text conversions, for comparison. Kept apart because the system's
// socket headers clash with the Windows names of the socket layer.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace fuzz {

using AddressBytes = std::array<std::uint8_t, 4>;

// inet_pton(AF_INET): exactly four decimal parts without leading zeros.
std::optional<AddressBytes> LibcPton(const std::string& text);
// inet_aton: one to four parts, each decimal, octal or 0x-hex.
std::optional<AddressBytes> LibcAton(const std::string& text);
// inet_ntop(AF_INET).
std::string LibcNtop(const AddressBytes& address);

} // namespace fuzz

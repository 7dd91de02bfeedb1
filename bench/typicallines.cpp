// SPDX-License-Identifier: GPL-3.0-or-later
#include "typicallines.h"

#include <cstring>

void TypicalLine(std::int64_t number, std::string& line, bool lowerCase) {
    const char* kHex = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    static const char kPrefix[] = "-> (127.0.0.1) :";
    char text[sizeof kPrefix - 1 + 16 * 3];
    std::memcpy(text, kPrefix, sizeof kPrefix - 1);
    char* at = text + sizeof kPrefix - 1;
    const auto mixed = static_cast<std::uint64_t>(number) * 0x9E3779B97F4A7C15ull;
    for (int byte = 0; byte < 16; ++byte) {
        const auto value = static_cast<unsigned>(
            (byte < 8 ? static_cast<std::uint64_t>(number) : mixed) >> (8 * (byte % 8)));
        *at++ = ' ';
        *at++ = kHex[(value >> 4) & 15];
        *at++ = kHex[value & 15];
    }
    line.assign(text, sizeof text);
}

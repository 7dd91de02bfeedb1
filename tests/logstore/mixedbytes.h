// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes that exercise every rule of the Text view, for tests that cut a line into pieces: ASCII
// text, backslashes, tabs, controls (CR LF and lone CR and LF among them), Cyrillic and other
// well-formed UTF-8 of two to four bytes, sequences cut short or not shown, bytes that lead
// nothing and Windows-1251's undefined 0x98, at random but the same for a seed.

#include "core/bytestring.h"

#include <array>
#include <cstdint>
#include <random>
#include <string_view>

inline corvane::ByteString MixedBytes(std::size_t size, std::uint32_t seed) {
    static constexpr std::array<std::string_view, 16> kParts = {
        "AB",       "ok ",      "\\",       "\t",           "\r\n",         "\r",
        "\n",       "\x1B[0m",  "\xD0\x9F", "\xD1\x8F\xD0", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
        "\xC3\xA9", "\xE2\x82", "\x98\x80", "\xFF\xC2",
    };
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> part(0, kParts.size() - 1);
    corvane::ByteString bytes;
    while (bytes.size() < size)
        bytes += kParts[part(random)];
    bytes.resize(size);
    return bytes;
}

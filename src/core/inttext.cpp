// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/inttext.h"

#include "core/exception.h"
#include "core/hexformat.h"

namespace corvane {

std::optional<std::int32_t> TryStrToInt(const ByteString& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;

    // Accumulated in 64 bits so that overflow of the 32-bit range shows before it wraps.
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    for (; i < text.size(); ++i) {
        const int digit =
            hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (magnitude > limit)
            return std::nullopt;
    }

    auto pattern = static_cast<std::uint32_t>(magnitude);
    if (negative)
        pattern = 0u - pattern;
    return static_cast<std::int32_t>(pattern);
}

std::int32_t StrToInt(const ByteString& text) {
    if (auto value = TryStrToInt(text))
        return *value;
    throw EConvertError("'" + text + "' is not a valid integer value");
}

} // namespace corvane

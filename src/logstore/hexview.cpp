// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/hexview.h"

#include "core/hexformat.h"

#include <array>

namespace corvane {

namespace {

// The value of each byte as an upper-case hex digit, or -1: lower case is not what the program
// writes, and would not come back the same.
constexpr std::array<signed char, 256> kDigitValues = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    for (int digit = 0; digit < 16; ++digit)
        values[static_cast<unsigned char>(kHexDigits[digit])] = static_cast<signed char>(digit);
    return values;
}();

int DigitValue(char c) {
    return kDigitValues[static_cast<unsigned char>(c)];
}

} // namespace

HexView FindHexView(std::string_view text) {
    std::size_t start = text.size();
    while (start >= kHexGroupSize && text[start - kHexGroupSize] == kHexGroupSeparator &&
           (DigitValue(text[start - 2]) | DigitValue(text[start - 1])) >= 0)
        start -= kHexGroupSize;
    return {start, (text.size() - start) / kHexGroupSize};
}

void PackHexView(std::string_view view, char* raw) {
    for (std::size_t at = 0; at + 2 < view.size(); at += kHexGroupSize)
        *raw++ = static_cast<char>(DigitValue(view[at + 1]) << 4 | DigitValue(view[at + 2]));
}

HexView PackHexViewAtEnd(std::string_view text, ByteString& raw) {
    raw.resize(text.size() / kHexGroupSize);
    char* const rawEnd = raw.data() + raw.size();
    char* to = rawEnd;
    const char* const begin = text.data();
    const char* at = begin + text.size();
    while (at - begin >= static_cast<std::ptrdiff_t>(kHexGroupSize)) {
        const int high = DigitValue(at[-2]);
        const int low = DigitValue(at[-1]);
        if (at[-3] != kHexGroupSeparator || (high | low) < 0)
            break;
        *--to = static_cast<char>(high << 4 | low);
        at -= kHexGroupSize;
    }
    const auto groups = static_cast<std::size_t>(rawEnd - to);
    raw.erase(0, static_cast<std::size_t>(to - raw.data()));
    return {static_cast<std::size_t>(at - begin), groups};
}

void UnpackHexView(const char* raw, std::int64_t from, std::int64_t to, ByteString& out) {
    const auto start = out.size();
    out.resize(start + static_cast<std::size_t>(to - from));
    char* text = out.data() + start;
    constexpr auto kGroup = static_cast<std::int64_t>(kHexGroupSize);
    const std::int64_t firstGroup = from / kGroup;
    auto character = [&](std::int64_t at) {
        const auto byte = static_cast<unsigned char>(raw[at / kGroup - firstGroup]);
        const int place = static_cast<int>(at % kGroup);
        return place == 0 ? kHexGroupSeparator : kHexDigits[place == 1 ? byte >> 4 : byte & 15];
    };
    std::int64_t at = from;
    for (; at < to && at % kGroup != 0; ++at)
        *text++ = character(at);
    // Whole groups three characters at a time: this is what reading, painting, finding and saving
    // long hex lines spend their time on.
    for (; at + kGroup <= to; at += kGroup) {
        const auto byte = static_cast<unsigned char>(raw[at / kGroup - firstGroup]);
        text[0] = kHexGroupSeparator;
        text[1] = kHexDigits[byte >> 4];
        text[2] = kHexDigits[byte & 15];
        text += kGroup;
    }
    for (; at < to; ++at)
        *text++ = character(at);
}

} // namespace corvane

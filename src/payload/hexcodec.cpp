// SPDX-License-Identifier: GPL-3.0-or-later
#include "payload/hexcodec.h"

#include "core/exception.h"
#include "core/hexformat.h"

namespace corvane {

std::int32_t HexToInt(const ByteString& token) {
    std::uint32_t value = 0;
    for (const char c : token) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            throw EConvertError("No Hex-Number");
        value = (value << 4) + static_cast<unsigned>(digit);
    }
    return static_cast<std::int32_t>(value);
}

ByteString HexStrToData(const ByteString& text) {
    ByteString data;
    data.reserve(text.size() / 3 + 1);
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = text.find(' ', start);
        const std::size_t end = space == ByteString::npos ? text.size() : space;
        data.push_back(static_cast<char>(HexToInt(text.substr(start, end - start)) & 0xFF));
        if (space == ByteString::npos)
            return data;
        start = space + 1;
    }
}

ByteString StrToHexView(const ByteString& data) {
    ByteString view;
    AppendHexView(view, data.data(), data.size());
    return view;
}

void AppendHexView(ByteString& out, const char* data, std::size_t size) {
    const std::size_t start = out.size();
    out.resize(start + size * kHexGroupSize);
    char* group = out.data() + start;
    for (std::size_t i = 0; i < size; ++i, group += kHexGroupSize) {
        const auto byte = static_cast<unsigned char>(data[i]);
        group[0] = kHexGroupSeparator;
        group[1] = kHexDigits[byte >> 4];
        group[2] = kHexDigits[byte & 0x0F];
    }
}

} // namespace corvane

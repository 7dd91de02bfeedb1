// SPDX-License-Identifier: GPL-3.0-or-later
// Hex notation: any text either gives one byte per space-separated token or raises "No Hex-Number",
// each byte being the last two hex digits of its token; and the hex view of any bytes, typed back
// without its leading space, gives the same bytes.
#include "core/exception.h"
#include "payload/hexcodec.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using corvane::ByteString;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of the token's last eight digits, read by the standard library: what 32-bit
// shifting keeps of the whole token.
std::uint32_t LowWordOf(const ByteString& token) {
    const std::size_t from = token.size() > 8 ? token.size() - 8 : 0;
    std::uint32_t value = 0;
    if (from < token.size())
        std::from_chars(token.data() + from, token.data() + token.size(), value, 16);
    return value;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckTextToBytes(const ByteString& text) {
    const bool valid =
        std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || IsHexDigit(c); });
    ByteString data;
    try {
        data = corvane::HexStrToData(text);
    } catch (const corvane::EConvertError& e) {
        Check(!valid && e.Message() == "No Hex-Number");
        return;
    }
    Check(valid);
    Check(data.size() == static_cast<std::size_t>(std::count(text.begin(), text.end(), ' ')) + 1);
    std::size_t start = 0;
    for (char byte : data) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const ByteString token = text.substr(start, end - start);
        Check(static_cast<std::uint32_t>(corvane::HexToInt(token)) == LowWordOf(token));
        Check(static_cast<unsigned char>(byte) == (LowWordOf(token) & 0xFF));
        start = end + 1;
    }
}

void CheckBytesToTextAndBack(const ByteString& data) {
    const ByteString view = corvane::StrToHexView(data);
    Check(view.size() == 3 * data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        Check(view[3 * i] == ' ');
        Check(std::strchr("0123456789ABCDEF", view[3 * i + 1]) && view[3 * i + 1] != '\0');
        Check(std::strchr("0123456789ABCDEF", view[3 * i + 2]) && view[3 * i + 2] != '\0');
    }
    // An empty view typed back is one empty token, a zero byte.
    const ByteString typed = data.empty() ? ByteString() : view.substr(1);
    Check(corvane::HexStrToData(typed) == (data.empty() ? ByteString(1, '\0') : data));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const ByteString input(reinterpret_cast<const char*>(bytes), size);
    CheckTextToBytes(input);
    CheckBytesToTextAndBack(input);
    return 0;
}

#include "logstore/hexview.h"

#include <array>

namespace corvane {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// The value of each byte as an upper-case hex digit, or -1: lower case is not what the program
// writes, and would not come back the same.
constexpr std::array<signed char, 256> kDigitValues = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    for (int digit = 0; digit < 16; ++digit)
        values[static_cast<unsigned char>(kDigits[digit])] = static_cast<signed char>(digit);
    return values;
}();

int DigitValue(char c) {
    return kDigitValues[static_cast<unsigned char>(c)];
}

} // namespace

HexView FindHexView(std::string_view text) {
    std::size_t start = text.size();
    while (start >= 3 && text[start - 3] == ' ' &&
           (DigitValue(text[start - 2]) | DigitValue(text[start - 1])) >= 0)
        start -= 3;
    return {start, (text.size() - start) / 3};
}

void PackHexView(std::string_view view, char* raw) {
    for (std::size_t at = 0; at + 2 < view.size(); at += 3)
        *raw++ = static_cast<char>(DigitValue(view[at + 1]) << 4 | DigitValue(view[at + 2]));
}

void UnpackHexView(const char* raw, std::int64_t from, std::int64_t to, ByteString& out) {
    const auto start = out.size();
    out.resize(start + static_cast<std::size_t>(to - from));
    char* text = out.data() + start;
    const std::int64_t firstGroup = from / 3;
    auto character = [&](std::int64_t at) {
        const auto byte = static_cast<unsigned char>(raw[at / 3 - firstGroup]);
        const int place = static_cast<int>(at % 3);
        return place == 0 ? ' ' : kDigits[place == 1 ? byte >> 4 : byte & 15];
    };
    std::int64_t at = from;
    for (; at < to && at % 3 != 0; ++at)
        *text++ = character(at);
    // Whole groups three characters at a time: this is what reading, painting, finding and saving
    // long hex lines spend their time on.
    for (; at + 3 <= to; at += 3) {
        const auto byte = static_cast<unsigned char>(raw[at / 3 - firstGroup]);
        text[0] = ' ';
        text[1] = kDigits[byte >> 4];
        text[2] = kDigits[byte & 15];
        text += 3;
    }
    for (; at < to; ++at)
        *text++ = character(at);
}

} // namespace corvane

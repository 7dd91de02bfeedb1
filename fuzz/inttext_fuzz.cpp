// SPDX-License-Identifier: GPL-3.0-or-later
// Integer text: any text either converts or raises EConvertError "'<text>' is not a valid integer
// value", and what converts agrees with a reference built from a regular expression and the
// standard library's number parsing.
#include "core/exception.h"
#include "core/inttext.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>

namespace {

using corvane::ByteString;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The digits' value, or nothing when it exceeds limit.
std::optional<std::uint64_t> ValueOf(std::string digits, int base, std::uint64_t limit) {
    digits.erase(0, digits.find_first_not_of('0'));
    if (digits.size() > 16)
        return std::nullopt;
    std::uint64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (value > limit)
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> Reference(const ByteString& text) {
    static const std::regex decimal("^ *([+-]?)([0-9]+)$");
    static const std::regex hex("^ *([+-]?)(\\$|x|X|0x|0X)([0-9a-fA-F]+)$");
    std::smatch match;
    if (std::regex_match(text, match, decimal)) {
        const bool negative = match[1] == "-";
        const auto magnitude = ValueOf(match[2], 10, negative ? 0x80000000u : 0x7FFFFFFFu);
        if (!magnitude)
            return std::nullopt;
        const std::int64_t value = static_cast<std::int64_t>(*magnitude);
        return static_cast<std::int32_t>(negative ? -value : value);
    }
    if (std::regex_match(text, match, hex)) {
        const auto pattern = ValueOf(match[3], 16, 0xFFFFFFFFu);
        if (!pattern)
            return std::nullopt;
        const auto word = static_cast<std::uint32_t>(*pattern);
        return static_cast<std::int32_t>(match[1] == "-" ? 0u - word : word);
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const ByteString text(reinterpret_cast<const char*>(bytes), size);
    const std::optional<std::int32_t> value = corvane::TryStrToInt(text);
    try {
        const std::int32_t converted = corvane::StrToInt(text);
        Check(value && converted == *value);
    } catch (const corvane::EConvertError& e) {
        Check(!value && e.Message() == "'" + text + "' is not a valid integer value");
    }
    // The standard library's regular expressions recurse once per character, so long texts are
    // checked for their failure alone.
    if (size <= 256)
        Check(value == Reference(text));
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/linenumbers.h"

#include <array>
#include <charconv>
#include <cmath>

namespace corvane {

namespace {

// Each byte's part in a line, looked up: a plot reads a hundred thousand lines a second.
enum Part : unsigned char { kInWord, kSeparator, kNameEnd };
constexpr std::array<unsigned char, 256> kParts = [] {
    std::array<unsigned char, 256> parts{};
    for (const unsigned char separator : {',', ' ', '\t', ';'})
        parts[separator] = kSeparator;
    parts[':'] = kNameEnd;
    parts['='] = kNameEnd;
    return parts;
}();

Part PartOf(char c) {
    return static_cast<Part>(kParts[static_cast<unsigned char>(c)]);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The digits from at on; at moves past them.
std::size_t SkipDigits(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at - start;
}

// The word's name and value part: split at its last ':' or '=' (nameEnd, or npos for none). A
// name starts with neither a digit nor a sign nor a point, so that a clock time ("12:30:45")
// names nothing.
struct Word {
    std::string_view name;
    std::string_view value;
    bool named = false;
};

Word SplitWord(std::string_view word, std::size_t nameEnd) {
    if (nameEnd == std::string_view::npos || nameEnd == 0)
        return {{}, word, false};
    const char first = word.front();
    if (IsDigit(first) || first == '+' || first == '-' || first == '.')
        return {{}, word, false};
    return {word.substr(0, nameEnd), word.substr(nameEnd + 1), true};
}

} // namespace

bool ParseNumber(std::string_view text, double& value) {
    // The grammar is checked here, as from_chars would also take "inf", "nan" and hex digits.
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const std::size_t whole = SkipDigits(text, at);
    std::size_t fraction = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        fraction = SkipDigits(text, at);
    }
    if (whole + fraction == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        if (SkipDigits(text, at) == 0)
            return false;
    }
    if (at != text.size())
        return false;
    // from_chars takes no '+'.
    const std::string_view digits = text.front() == '+' ? text.substr(1) : text;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc{} && end == digits.data() + digits.size() && std::isfinite(value);
}

void ParseLineNumbers(std::string_view line, std::vector<LineNumber>& numbers) {
    numbers.clear();
    int position = 0;
    // A name whose value is the next word ("temp: 21.5").
    std::string_view pendingName;
    bool pending = false;
    for (std::size_t at = 0; at < line.size();) {
        while (at < line.size() && PartOf(line[at]) == kSeparator)
            ++at;
        std::size_t end = at;
        std::size_t nameEnd = std::string_view::npos;
        for (; end < line.size(); ++end) {
            const Part part = PartOf(line[end]);
            if (part == kSeparator)
                break;
            if (part == kNameEnd)
                nameEnd = end - at;
        }
        if (end == at)
            break;
        const Word word = SplitWord(line.substr(at, end - at), nameEnd);
        at = end;
        double value = 0;
        const bool isNumber = ParseNumber(word.value, value);
        if (word.named) {
            pending = word.value.empty();
            pendingName = word.name;
            if (isNumber)
                numbers.push_back({word.name, 0, value});
            continue;
        }
        if (isNumber) {
            if (pending)
                numbers.push_back({pendingName, 0, value});
            else
                numbers.push_back({{}, ++position, value});
        }
        pending = false;
    }
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/splitrule.h"

#include "core/hexformat.h"

#include <charconv>

namespace corvane {

namespace {

constexpr std::string_view kEnds[] = {"read", "gap", "byte"};

// A count of 1 to 65535: longer gaps and lines are not frames any more.
bool ReadCount(std::string_view text, unsigned& value) {
    unsigned read = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read);
    if (error != std::errc() || end != text.data() + text.size() || read == 0 || read > 65535)
        return false;
    value = read;
    return true;
}

} // namespace

std::string SplitRuleText(const SplitRule& rule) {
    std::string text = "end=";
    text += kEnds[static_cast<int>(rule.end)];
    text += " gap=" + std::to_string(rule.gapMs);
    text += " byte=";
    text += kHexDigits[rule.endByte >> 4];
    text += kHexDigits[rule.endByte & 15];
    text += rule.everyN ? " every=1" : " every=0";
    text += " n=" + std::to_string(rule.n);
    return text;
}

SplitRule SplitRuleFromText(std::string_view text) {
    SplitRule rule;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t space = text.find(' ', start);
        if (space == std::string_view::npos)
            space = text.size();
        const std::string_view part = text.substr(start, space - start);
        start = space + 1;
        const std::size_t equals = part.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = part.substr(0, equals);
        const std::string_view value = part.substr(equals + 1);
        if (key == "end") {
            for (int i = 0; i < 3; ++i)
                if (value == kEnds[i])
                    rule.end = static_cast<SplitRule::End>(i);
        } else if (key == "gap") {
            ReadCount(value, rule.gapMs);
        } else if (key == "byte" && value.size() == 2 && HexDigitValue(value[0]) >= 0 &&
                   HexDigitValue(value[1]) >= 0) {
            rule.endByte =
                static_cast<unsigned char>(HexDigitValue(value[0]) << 4 | HexDigitValue(value[1]));
        } else if (key == "every" && (value == "0" || value == "1")) {
            rule.everyN = value == "1";
        } else if (key == "n") {
            ReadCount(value, rule.n);
        }
    }
    return rule;
}

void SharedSplitRule::Set(const SplitRule& rule) {
    const std::lock_guard lock(mutex_);
    rule_ = rule;
}

SplitRule SharedSplitRule::Get() const {
    const std::lock_guard lock(mutex_);
    return rule_;
}

SharedSplitRule& ReceivedSplitRule() {
    static SharedSplitRule rule;
    return rule;
}

} // namespace corvane

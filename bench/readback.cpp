// SPDX-License-Identifier: GPL-3.0-or-later
#include "readback.h"

#include "core/hexformat.h"
#include "logstore/dataview.h"

#include <charconv>

namespace {

// Walks the text line by line; read(line, result) checks one line against the sent bytes,
// advancing result.bytes, and returns false with result.fault set at the first difference.
template <class ReadLine>
Readback ReadLines(std::string_view text, std::string_view sent, ReadLine read) {
    Readback result;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (!read(line, result)) {
            result.fault = "line " + std::to_string(result.lines + 1) + ": " + result.fault;
            return result;
        }
        ++result.lines;
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (result.bytes < sent.size())
        result.fault = "the text ends after " + std::to_string(result.bytes) + " bytes";
    return result;
}

// Takes one byte written as two hex digits off the front of hex and checks it against the next
// sent byte.
bool ReadByte(std::string_view& hex, std::string_view sent, bool upper, Readback& result) {
    if (hex.size() < 2) {
        result.fault = "a hex pair is cut short";
        return false;
    }
    const int high = corvane::HexDigitValue(hex[0]);
    const int low = corvane::HexDigitValue(hex[1]);
    const auto isCase = [upper](char c) { return c <= '9' || (upper ? c <= 'F' : c >= 'a'); };
    if (high < 0 || low < 0 || !isCase(hex[0]) || !isCase(hex[1])) {
        result.fault = "\"" + std::string(hex.substr(0, 2)) + "\" is not a hex pair";
        return false;
    }
    if (result.bytes >= sent.size()) {
        result.fault = "more bytes than were sent";
        return false;
    }
    if (static_cast<unsigned char>(sent[result.bytes]) != high * 16 + low) {
        result.fault = "byte " + std::to_string(result.bytes) + " differs";
        return false;
    }
    ++result.bytes;
    hex.remove_prefix(2);
    return true;
}

} // namespace

Readback ReadBackCorvanePane(std::string_view text, std::string_view sent) {
    return ReadLines(text, sent, [sent](std::string_view line, Readback& result) {
        constexpr std::string_view kArrow = "-> ";
        if (!line.starts_with(kArrow) || line.size() == kArrow.size()) {
            result.fault = "not a line of received bytes";
            return false;
        }
        line.remove_prefix(kArrow.size());
        while (!line.empty()) {
            if (line[0] != ' ') {
                result.fault = "bytes not separated by a space";
                return false;
            }
            line.remove_prefix(1);
            if (!ReadByte(line, sent, true, result))
                return false;
        }
        return true;
    });
}

Readback ReadBackCorvaneTextPane(std::string_view text, std::string_view sent) {
    return ReadLines(text, sent, [sent](std::string_view line, Readback& result) {
        constexpr std::string_view kArrow = "->  ";
        if (!line.starts_with(kArrow)) {
            result.fault = "not a line of received bytes";
            return false;
        }
        const std::string bytes =
            corvane::TextViewBytes(line.substr(kArrow.size()), corvane::TextEncoding::Utf8);
        if (sent.substr(result.bytes, bytes.size()) != bytes) {
            result.fault = "the text differs after byte " + std::to_string(result.bytes);
            return false;
        }
        result.bytes += bytes.size();
        const std::string_view rest = sent.substr(result.bytes);
        result.bytes +=
            rest.starts_with("\r\n") ? 2 : rest.starts_with('\n') || rest.starts_with('\r');
        return true;
    });
}

Readback ReadBackCutecomHex(std::string_view text, std::string_view sent) {
    return ReadLines(text, sent, [sent](std::string_view line, Readback& result) {
        std::size_t offset = 0;
        const auto [digitsEnd, error] =
            std::from_chars(line.data(), line.data() + line.size(), offset);
        const auto digits = static_cast<std::size_t>(digitsEnd - line.data());
        if (error != std::errc() || digits < 8 || offset != result.bytes) {
            result.fault = "no offset " + std::to_string(result.bytes) + " at the start";
            return false;
        }
        std::string_view hex = line.substr(digits, line.find('\t') - digits);
        std::size_t inLine = 0;
        while (inLine < 16) {
            const std::size_t pair = hex.find_first_not_of(' ');
            if (pair == std::string_view::npos)
                break;
            if (pair == 0 || pair > (inLine == 8 ? 3 : 1)) {
                result.fault = "hex pairs not separated as cutecom separates them";
                return false;
            }
            hex.remove_prefix(pair);
            if (!ReadByte(hex, sent, false, result))
                return false;
            ++inLine;
        }
        if (inLine == 0 || hex.find_first_not_of(' ') != std::string_view::npos) {
            result.fault = "not 1 to 16 hex pairs";
            return false;
        }
        return true;
    });
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The read-back of both panes finds every byte shown, and stops at the first one that is missing,
// changed, out of place or written in a form the pane does not use.
#include "readback.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// All 256 byte values, twice, so every hex pair occurs in both halves of a line.
std::string Sent() {
    std::string sent;
    for (int round = 0; round < 2; ++round)
        for (int value = 0; value < 256; ++value)
            sent += static_cast<char>(value);
    return sent;
}

// The lower pane after reads of the given sizes: "-> " and " XX" per byte, one line per read.
std::string CorvaneText(const std::string& sent, std::initializer_list<std::size_t> reads) {
    std::string text;
    std::size_t at = 0;
    for (const std::size_t size : reads) {
        text += "-> ";
        for (std::size_t i = at; i < at + size; ++i) {
            char pair[4];
            std::snprintf(pair, sizeof pair, " %02X", static_cast<unsigned char>(sent[i]));
            text += pair;
        }
        text += '\n';
        at += size;
    }
    return text;
}

// cutecom's hex output: offset, 16 pairs a line, three spaces after the eighth, padded to 50,
// a tab and the characters.
std::string CutecomText(const std::string& sent) {
    std::string text;
    for (std::size_t at = 0; at < sent.size(); at += 16) {
        char offset[32];
        std::snprintf(offset, sizeof offset, "%08zu ", at);
        std::string hex;
        for (std::size_t i = at; i < std::min(at + 16, sent.size()); ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(sent[i]));
            hex += (i == at ? "" : i == at + 8 ? "   " : " ") + std::string(pair);
        }
        hex.resize(50, ' ');
        text += offset + hex + "\t" + "........  ........" + "\n";
    }
    return text;
}

TEST(ReadBackCorvanePane, FindsEveryByteOfEveryLine) {
    const std::string sent = Sent();
    const Readback result = ReadBackCorvanePane(CorvaneText(sent, {1, 255, 200, 56}), sent);
    EXPECT_EQ(result.bytes, sent.size());
    EXPECT_EQ(result.lines, 4u);
    EXPECT_EQ(result.fault, "");
}

TEST(ReadBackCorvaneTextPane, TakesTheEscapesBackAndTheLineEndsFromWhatWasSent) {
    const std::string sent = "ok\r\nA\\B\x01\n\r\nlast";
    const std::string text = "->  ok\n->  A\\\\B\\x01\n->  \n->  last\n";
    const Readback result = ReadBackCorvaneTextPane(text, sent);
    EXPECT_EQ(result.fault, "");
    EXPECT_EQ(result.bytes, sent.size());
    EXPECT_EQ(result.lines, 4u);
    const Readback wrong = ReadBackCorvaneTextPane("->  ok\n->  A\\\\B\\x02\n", sent);
    EXPECT_EQ(wrong.bytes, 4u);
    EXPECT_EQ(wrong.fault, "line 2: the text differs after byte 4");
}

TEST(ReadBackCorvanePane, StopsAtTheFirstFault) {
    const std::string sent = Sent();
    const std::string good = CorvaneText(sent, {100, 412});
    struct Case {
        const char* what;
        std::string text;
        std::size_t bytes;
    };
    std::string changed = good;
    changed[3 + 3 * 5 + 2] = changed[3 + 3 * 5 + 2] == '0' ? '1' : '0'; // byte 5's low digit
    std::string lower = good;
    lower.replace(3 + 3 * 10 + 1, 2, "0a"); // byte 10 is 0x0A, in lower case
    std::string blank = good;
    blank.insert(good.find('\n') + 1, "\n");
    const Case cases[] = {
        {"a byte changed", changed, 5},
        {"lower-case hex", lower, 10},
        {"an empty line between", blank, 100},
        {"the last line missing", good.substr(0, good.find('\n') + 1), 100},
        {"a line cut inside a pair", good.substr(0, good.size() - 2), 511},
        {"a line without its arrow",
         good.substr(0, good.find('\n') + 1) + "x" + good.substr(good.find('\n') + 2), 100},
    };
    for (const Case& c : cases) {
        const Readback result = ReadBackCorvanePane(c.text, sent);
        EXPECT_EQ(result.bytes, c.bytes) << c.what;
        EXPECT_NE(result.fault, "") << c.what;
    }
    EXPECT_NE(ReadBackCorvanePane(good, sent.substr(0, 300)).fault, "") << "more than was sent";
}

TEST(ReadBackCutecomHex, FindsEveryByteOfEveryLine) {
    const std::string sent = Sent().substr(0, 500); // the last line holds 4 bytes
    const Readback result = ReadBackCutecomHex(CutecomText(sent), sent);
    EXPECT_EQ(result.bytes, sent.size());
    EXPECT_EQ(result.lines, 32u);
    EXPECT_EQ(result.fault, "");
}

TEST(ReadBackCutecomHex, StopsAtTheFirstFault) {
    const std::string sent = Sent();
    const std::string good = CutecomText(sent);
    const std::size_t secondLine = good.find('\n') + 1;
    const std::size_t thirdLine = good.find('\n', secondLine) + 1;
    struct Case {
        const char* what;
        std::string text;
        std::size_t bytes;
    };
    std::string changed = good;
    changed[secondLine + 9] = changed[secondLine + 9] == 'f' ? 'e' : 'f'; // byte 16's high digit
    std::string upper = good;
    upper.replace(secondLine + 9 + 3 * 10 + 2, 2, "1A"); // byte 26 is 0x1a, in upper case
    std::string offset = good;
    offset[secondLine + 7] = '7'; // "00000017"
    const Case cases[] = {
        {"a byte changed", changed, 16},
        {"upper-case hex", upper, 26},
        {"a wrong offset", offset, 16},
        {"a line missing", good.substr(0, secondLine) + good.substr(thirdLine), 16},
        {"the text ends early", good.substr(0, thirdLine), 32},
        {"plain output instead of hex", std::string(sent.begin(), sent.begin() + 64), 0},
    };
    for (const Case& c : cases) {
        const Readback result = ReadBackCutecomHex(c.text, sent);
        EXPECT_EQ(result.bytes, c.bytes) << c.what;
        EXPECT_NE(result.fault, "") << c.what;
    }
}

} // namespace

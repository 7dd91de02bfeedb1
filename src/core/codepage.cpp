// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codepage.h"

#include <array>

namespace corvane {
namespace {

// Bytes 0x80..0xFF of Windows-1251. 0x98 has no character there; Windows maps it to U+0098, and
// so do we, which keeps every byte value round-tripping.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, //
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, //
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, //
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, //
};

// The bytes of the characters below U+0500 (Latin-1's signs, the Cyrillic block), where most of
// the upper half lies: text decoded for a pane finds them without a search. 0: the code page
// lacks it (no character of the range is byte 0).
constexpr char32_t kDirectEnd = 0x0500;
constexpr std::array<unsigned char, kDirectEnd> kDirect = [] {
    std::array<unsigned char, kDirectEnd> bytes{};
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
        if (kHighHalf[i] < kDirectEnd)
            bytes[kHighHalf[i]] = static_cast<unsigned char>(0x80 + i);
    }
    return bytes;
}();
// The rest lie among the punctuation U+2013..U+2122.
constexpr char32_t kPunctuationFirst = 0x2013;
constexpr char32_t kPunctuationLast = 0x2122;

char ToByte(char16_t unit) {
    const int byte = CodePageByte(unit);
    return byte < 0 ? '?' : static_cast<char>(byte);
}

// The UTF-8 form of every byte value: its length in the first byte, up to three bytes after it.
using Utf8Form = std::array<char, 4>;
constexpr std::array<Utf8Form, 256> kUtf8 = [] {
    std::array<Utf8Form, 256> forms{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char16_t unit = byte < 0x80 ? char16_t(byte) : kHighHalf[byte - 0x80];
        Utf8Form& form = forms[byte];
        if (unit < 0x80) {
            form = {1, static_cast<char>(unit)};
        } else if (unit < 0x800) {
            form = {2, static_cast<char>(0xC0 | unit >> 6),
                    static_cast<char>(0x80 | (unit & 0x3F))};
        } else {
            form = {3, static_cast<char>(0xE0 | unit >> 12),
                    static_cast<char>(0x80 | (unit >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (unit & 0x3F))};
        }
    }
    return forms;
}();

} // namespace

void AppendUtf8(ByteString& out, std::string_view bytes) {
    std::size_t at = out.size();
    // At most three bytes a byte; the string is cut back to what was written at the end.
    out.resize(at + 3 * bytes.size());
    char* to = out.data();
    for (char byte : bytes) {
        const Utf8Form& form = kUtf8[static_cast<unsigned char>(byte)];
        if (form[0] == 1) {
            to[at++] = byte;
        } else {
            for (int i = 1; i <= form[0]; ++i)
                to[at++] = form[static_cast<std::size_t>(i)];
        }
    }
    out.resize(at);
}

int CodePageByte(char32_t character) {
    if (character < 0x80)
        return static_cast<int>(character);
    if (character < kDirectEnd) {
        const int byte = kDirect[character];
        return byte == 0 ? -1 : byte;
    }
    if (character < kPunctuationFirst || character > kPunctuationLast)
        return -1;
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
        if (kHighHalf[i] == character)
            return static_cast<int>(0x80 + i);
    }
    return -1;
}

char16_t CodePageCharacter(unsigned char byte) {
    return byte < 0x80 ? char16_t(byte) : kHighHalf[byte - 0x80];
}

ByteString ToCodePage(const QString& text) {
    ByteString bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        bytes.push_back(ToByte(text[i].unicode()));
        // A character beyond the 16-bit plane is one character: one '?', not one per half.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return bytes;
}

QString FromCodePage(const ByteString& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text.append(QChar(value < 0x80 ? char16_t(value) : kHighHalf[value - 0x80]));
    }
    return text;
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The code page: every byte string survives FromCodePage and ToCodePage unchanged, and both agree
// with the C library's own Windows-1251 table (iconv), whose one gap, byte 0x98, stands for
// U+0098 as on Windows. Any UTF-16 text converts, a character outside the code page to '?'.
#include "core/codepage.h"

#include <QString>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <iconv.h>
#include <map>

namespace {

using corvane::ByteString;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

struct Table {
    std::array<char16_t, 256> toUnicode{};
    std::map<char16_t, char> toByte;
};

const Table& Windows1251() {
    static const Table table = [] {
        Table t;
        const iconv_t converter = iconv_open("UTF-16LE", "CP1251");
        Check(converter != reinterpret_cast<iconv_t>(-1));
        for (unsigned value = 0; value < 256; ++value) {
            char in = static_cast<char>(value);
            unsigned char out[4] = {};
            char* inPtr = &in;
            char* outPtr = reinterpret_cast<char*>(out);
            std::size_t inLeft = 1;
            std::size_t outLeft = sizeof out;
            const bool converted =
                iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
            Check(converted || value == 0x98);
            t.toUnicode[value] = converted ? char16_t(out[0] | out[1] << 8) : char16_t(value);
            t.toByte[t.toUnicode[value]] = in;
        }
        iconv_close(converter);
        return t;
    }();
    return table;
}

void CheckBytes(const ByteString& bytes) {
    const QString text = corvane::FromCodePage(bytes);
    Check(static_cast<std::size_t>(text.size()) == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto value = static_cast<unsigned char>(bytes[i]);
        Check(text[static_cast<qsizetype>(i)].unicode() == Windows1251().toUnicode[value]);
    }
    Check(corvane::ToCodePage(text) == bytes);
}

// The input's pairs of bytes as UTF-16 code units, lone surrogates included.
void CheckText(const std::uint8_t* data, std::size_t size) {
    QString text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
    ByteString expected;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto found = Windows1251().toByte.find(text[i].unicode());
        expected.push_back(found == Windows1251().toByte.end() ? '?' : found->second);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    Check(corvane::ToCodePage(text) == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckBytes(ByteString(reinterpret_cast<const char*>(data), size));
    CheckText(data, size);
    return 0;
}

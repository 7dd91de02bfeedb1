// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/panetext.h"

#include "core/codepage.h"

#include <QStringList>

#include <array>

namespace corvane {

QChar ShownCharacter(unsigned char byte) {
    if (byte == '\n')
        return QChar(kShownLineFeed);
    if (byte == '\r')
        return QChar(kShownCarriageReturn);
    return FromCodePage(ByteString(1, static_cast<char>(byte))).at(0);
}

void AppendShownUtf8(ByteString& out, std::string_view bytes) {
    // ␊ and ␍ in UTF-8.
    constexpr std::string_view kLineFeed = "\xE2\x90\x8A";
    constexpr std::string_view kCarriageReturn = "\xE2\x90\x8D";
    std::size_t start = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const char byte = bytes[at];
        if (byte != '\n' && byte != '\r')
            continue;
        AppendUtf8(out, bytes.substr(start, at - start));
        out += byte == '\n' ? kLineFeed : kCarriageReturn;
        start = at + 1;
    }
    AppendUtf8(out, bytes.substr(start));
}

QString ShownLine(std::string_view bytes) {
    QString text;
    AppendShown(text, bytes);
    return text;
}

void AppendShown(QString& out, std::string_view bytes) {
    static const std::array<char16_t, 256> shown = [] {
        std::array<char16_t, 256> table{};
        for (int byte = 0; byte < 256; ++byte)
            table[byte] = ShownCharacter(static_cast<unsigned char>(byte)).unicode();
        return table;
    }();
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(bytes.size()));
    char16_t* to = reinterpret_cast<char16_t*>(out.data()) + start;
    for (const char byte : bytes)
        *to++ = shown[static_cast<unsigned char>(byte)];
}

QString ShownText(const LineStore& store, TextPos from, TextPos to) {
    if (to < from)
        std::swap(from, to);
    QString text;
    for (std::int64_t line = from.line; line <= to.line; ++line) {
        if (line > from.line)
            text += u'\n';
        const std::int64_t start = line == from.line ? from.column : 0;
        const std::int64_t end = line == to.line ? to.column : store.LineLength(line);
        AppendShown(text, store.Line(line, start, end - start));
    }
    return text;
}

std::vector<ByteString> LinesToKeep(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(u'\r', u'\n');
    plain.replace(QChar::ParagraphSeparator, u'\n');
    plain.replace(QChar::LineSeparator, u'\n');
    std::vector<ByteString> lines;
    for (QString& line : plain.split(u'\n')) {
        line.replace(QChar(kShownLineFeed), u'\n');
        line.replace(QChar(kShownCarriageReturn), u'\r');
        lines.push_back(ToCodePage(line));
    }
    return lines;
}

} // namespace corvane

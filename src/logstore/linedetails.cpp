// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/linedetails.h"

#include "core/codepage.h"
#include "core/hexformat.h"
#include "logstore/hexview.h"

#include <algorithm>
#include <cstdlib>

namespace corvane {

namespace {

// Bytes of a hex line per row of its text, so a tooltip stays a readable width.
constexpr std::int64_t kBytesPerRow = 64;

// What ends the bytes of a line told only in part.
constexpr QChar kCutOff(0x2026);

} // namespace

QString BytesAsText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    const QString characters = FromCodePage(ByteString(bytes));
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const QChar c = characters[i];
        if (c.isPrint() && c != u'\\' && c != kCutOff) {
            text += c;
        } else {
            const auto value = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
            text += QStringLiteral("\\x");
            text += QLatin1Char(kHexDigits[value >> 4]);
            text += QLatin1Char(kHexDigits[value & 15]);
        }
    }
    return text;
}

QString SecondsBetween(std::int64_t earlier, std::int64_t later) {
    const std::int64_t micro = later - earlier;
    const std::int64_t size = micro < 0 ? -micro : micro;
    const QString seconds =
        QStringLiteral("%1.%2 s").arg(size / 1000000).arg(size % 1000000, 6, 10, QChar(u'0'));
    // Lines of two sources (a serial read, a datagram) are handed to the pane at different
    // delays, so a line may have come before the one above it; a bare minus reads as a fault.
    return micro < 0 ? seconds + QStringLiteral(" earlier than the line above") : u'+' + seconds;
}

QString LineDetails(const LineStore& store, std::int64_t line, LocalTimeText& clock) {
    const std::int64_t time = store.LineTime(line);
    ByteString full;
    clock.AppendFull(full, time);
    QString details = QString::fromLatin1(full);
    if (line > 0)
        details += u'\n' + SecondsBetween(store.LineTime(line - 1), time);

    // The bytes of the line: those of its hex view, or in another view those the view shows.
    ByteString bytes;
    if (store.InDataView(line)) {
        store.DataBytes(line, bytes);
    } else {
        const ByteString text = store.Line(line);
        const HexView view = FindHexView(text);
        // As many as are told, and one more to tell that more follow.
        bytes.resize(std::min<std::size_t>(view.groups, kDetailedBytes + 1));
        PackHexView(std::string_view(text).substr(view.prefix, kHexGroupSize * bytes.size()),
                    bytes.data());
    }
    const auto size = static_cast<std::int64_t>(bytes.size());
    const std::int64_t shown = std::min(size, kDetailedBytes);
    for (std::int64_t row = 0; row < shown; row += kBytesPerRow)
        details += u'\n' + BytesAsText(std::string_view(bytes).substr(
                               static_cast<std::size_t>(row),
                               static_cast<std::size_t>(std::min(kBytesPerRow, shown - row))));
    if (size > shown)
        details += kCutOff;
    return details;
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codepage.h"
#include "logstore/linedetails.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

using corvane::LineStore;
using corvane::LocalTimeText;
using corvane::TextPos;

// 2026-12-07 17:07:20.123456 UTC, and a time 0.100512 s later.
constexpr std::int64_t kTime = 1796663240123456;
constexpr std::int64_t kLater = kTime + 100512;

// The local time as Qt writes it, to the millisecond.
QString Local(std::int64_t time, const char* format) {
    return QDateTime::fromMSecsSinceEpoch(time / 1000).toString(QLatin1String(format));
}

// "\xNN" escapes and characters back to bytes.
corvane::ByteString Unescape(const QString& text) {
    corvane::ByteString bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            EXPECT_EQ(text[i + 1], u'x') << text.toStdString();
            bytes += static_cast<char>(text.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
        } else {
            bytes += corvane::ToCodePage(QString(text[i]));
        }
    }
    return bytes;
}

TEST(LineDetails, EveryByteValueReadsBackFromItsText) {
    corvane::ByteString all;
    for (int value = 0; value < 256; ++value)
        all += static_cast<char>(value);
    const QString text = corvane::BytesAsText(all);
    EXPECT_EQ(Unescape(text), all);
    // Printable code-page characters stand for themselves, the rest are escaped.
    EXPECT_EQ(corvane::BytesAsText("AT\r\n"), "AT\\x0D\\x0A");
    EXPECT_EQ(corvane::BytesAsText("\xC0\xFF \\"), QString::fromUtf8("Ая \\x5C"));
    EXPECT_EQ(corvane::BytesAsText(std::string_view("\0\x7F", 2)), "\\x00\\x7F");
    // 0x85 is "…" in the code page, the mark of bytes cut off: escaped, so it is not read as one.
    EXPECT_EQ(corvane::BytesAsText("A\x85"), "A\\x85");
}

TEST(LineDetails, TimeSinceTheLineBeforeAndTheBytesOfAHexLine) {
    LineStore store;
    store.AppendLine("Начало работы потока приёма", kTime);
    store.AppendLine("-> 41 54 0D 0A", kLater);
    store.AppendLine("<- hello", kLater - 2000000);
    LocalTimeText clock;

    // The first line: its date and time alone, to the microsecond.
    const QString first = corvane::LineDetails(store, 0, clock);
    EXPECT_EQ(first, Local(kTime, "yyyy-MM-dd HH:mm:ss.zzz") + "456");

    const QStringList hex = corvane::LineDetails(store, 1, clock).split(u'\n');
    ASSERT_EQ(hex.size(), 3);
    EXPECT_EQ(hex[0], Local(kLater, "yyyy-MM-dd HH:mm:ss.zzz") + "968");
    EXPECT_EQ(hex[1], "+0.100512 s");
    EXPECT_EQ(hex[2], "AT\\x0D\\x0A");

    // Not a hex line, and one that came before the line above it (a serial line handed over
    // later than a datagram that came after it): its true time, and the order said in words.
    const QStringList text = corvane::LineDetails(store, 2, clock).split(u'\n');
    ASSERT_EQ(text.size(), 2);
    EXPECT_EQ(text[0], Local(kLater - 2000000, "yyyy-MM-dd HH:mm:ss.zzz") + "968");
    EXPECT_EQ(text[1], "2.000000 s earlier than the line above");
}

TEST(LineDetails, ALongHexLineShowsItsFirstBytesThenAnEllipsisInEveryView) {
    corvane::ByteString line = "-> (127.0.0.1) :";
    corvane::ByteString bytes;
    for (int i = 0; i < 300; ++i) {
        const char* digits = "0123456789ABCDEF";
        line += ' ';
        line += digits[(i * 7 % 256) >> 4];
        line += digits[(i * 7 % 256) & 15];
        bytes += static_cast<char>(i * 7 % 256);
    }
    LineStore store;
    store.AppendLine(line, kTime);
    LocalTimeText clock;
    // The same bytes whichever view the line is shown in.
    for (const corvane::DataView view :
         {corvane::DataView::Hex, corvane::DataView::Text, corvane::DataView::HexAndText}) {
        store.SetView({view, corvane::TextEncoding::Utf8});
        QStringList details = corvane::LineDetails(store, 0, clock).split(u'\n');
        ASSERT_GE(details.size(), 2);
        details.removeFirst();
        QString shown = details.join(QString());
        ASSERT_TRUE(shown.endsWith(QChar(0x2026)));
        shown.chop(1);
        EXPECT_EQ(Unescape(shown), bytes.substr(0, corvane::kDetailedBytes))
            << static_cast<int>(view);
    }
}

} // namespace

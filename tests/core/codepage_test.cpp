// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codepage.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

TEST(CodePage, EveryByteValueRoundTrips) {
    ByteString all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const QString text = FromCodePage(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToCodePage(text), all);
}

TEST(CodePage, Utf8OfEveryByteIsTheUtf8OfItsCharacter) {
    ByteString all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    ByteString utf8 = "kept ";
    AppendUtf8(utf8, all);
    EXPECT_EQ(utf8, "kept " + FromCodePage(all).toUtf8().toStdString());
    ByteString cyrillic;
    AppendUtf8(cyrillic, "\xCE\xF8\xE8\xE1\xEA\xE0 \x88");
    EXPECT_EQ(cyrillic, "Ошибка €");
}

TEST(CodePage, CyrillicMapsToWindows1251) {
    // "Ошибка" in Windows-1251.
    EXPECT_EQ(ToCodePage(QString::fromUtf8("Ошибка")), "\xCE\xF8\xE8\xE1\xEA\xE0");
    EXPECT_EQ(FromCodePage("\xD1\xCE\xCC"), QString::fromUtf8("СОМ"));
    EXPECT_EQ(FromCodePage("\xA8\xB8"), QString::fromUtf8("Ёё"));
    EXPECT_EQ(ToCodePage(QString::fromUtf8("€№")), "\x88\xB9");
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(ToCodePage(QString::fromUtf8("a\u00E9\u4E2D\U0001F600b")), "a???b");
    EXPECT_EQ(ToCodePage(QString()), "");
}

} // namespace

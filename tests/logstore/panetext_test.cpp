// SPDX-License-Identifier: GPL-3.0-or-later
// The pane's text as readers get it and as pasted text comes back: a lone LF or CR within a line
// goes out as its picture and comes back as that byte, so a copied line pastes back whole.
#include "logstore/panetext.h"

#include <gtest/gtest.h>

namespace {

using corvane::ByteString;

TEST(PaneText, ALoneLineFeedOrCarriageReturnRoundTripsWithinItsLine) {
    corvane::LineStore store;
    store.AppendLine("a\nb\rc\td\xC6", 0);
    store.AppendLine("next", 0);
    const QString shown = corvane::ShownText(store, {}, store.End());
    EXPECT_EQ(shown, QString::fromUtf8("a\u240Ab\u240Dc\td\u0416\nnext\n"));
    const std::vector<ByteString> lines = corvane::LinesToKeep(shown);
    EXPECT_EQ(lines, (std::vector<ByteString>{"a\nb\rc\td\xC6", "next", ""}));
    EXPECT_EQ(corvane::ShownText(store, {0, 2}, {0, 4}), QString::fromUtf8("b\u240D"));
}

TEST(PaneText, EveryKindOfLineBreakOfPastedTextStartsALine) {
    const QString pasted = QString::fromUtf8("1\r\n2\r3\n4\u20295\u20286\u20AC");
    EXPECT_EQ(corvane::LinesToKeep(pasted),
              (std::vector<ByteString>{"1", "2", "3", "4", "5", "6\x88"}));
    EXPECT_EQ(corvane::LinesToKeep(QString::fromUtf8("\u4E2D")), (std::vector<ByteString>{"?"}));
    EXPECT_EQ(corvane::LinesToKeep(QString()), (std::vector<ByteString>{""}));
}

} // namespace

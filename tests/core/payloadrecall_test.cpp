// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/payloadrecall.h"

#include <gtest/gtest.h>

namespace {

using corvane::PayloadRecall;

TEST(PayloadRecall, UpAndDownWalkTheEntriesAndComeBackToTheDraft) {
    PayloadRecall recall({"01 02", "hello", "03"});
    EXPECT_EQ(recall.Older("typing"), "03");
    EXPECT_EQ(recall.Older("03"), "hello");
    EXPECT_EQ(recall.Older("hello"), "01 02");
    // At the oldest, Up leaves the text as it is.
    EXPECT_EQ(recall.Older("01 02 edited"), "01 02 edited");
    EXPECT_EQ(recall.Newer("01 02"), "hello");
    EXPECT_EQ(recall.Newer("hello"), "03");
    EXPECT_EQ(recall.Newer("03"), "typing");
    // Below the draft, Down leaves the text as it is.
    EXPECT_EQ(recall.Newer("typing more"), "typing more");
}

TEST(PayloadRecall, RememberAddsTheNewestOnceAndRestartsFromIt) {
    PayloadRecall recall;
    EXPECT_EQ(recall.Older("x"), "x"); // nothing to recall
    EXPECT_TRUE(recall.Remember("a"));
    EXPECT_FALSE(recall.Remember("a")); // the newest again: kept once
    EXPECT_FALSE(recall.Remember(""));
    EXPECT_TRUE(recall.Remember("b"));
    EXPECT_TRUE(recall.Remember("a")); // not the newest: kept again
    EXPECT_EQ(recall.Entries(), QStringList({"a", "b", "a"}));

    // A send in the middle of a walk: the next Up starts from the newest.
    EXPECT_EQ(recall.Older(""), "a");
    EXPECT_EQ(recall.Older("a"), "b");
    recall.Remember("b edited");
    EXPECT_EQ(recall.Older(""), "b edited");
    EXPECT_EQ(recall.Newer("b edited"), "");
}

TEST(PayloadRecall, AnEditToARecalledEntryIsKeptUntilALineIsSent) {
    PayloadRecall recall({"one", "two", "three"});
    EXPECT_EQ(recall.Older("draft"), "three");
    EXPECT_EQ(recall.Older("three"), "two");
    // "two" edited, then left both ways: the edit comes back each time.
    EXPECT_EQ(recall.Older("two edited"), "one");
    EXPECT_EQ(recall.Newer("one"), "two edited");
    EXPECT_EQ(recall.Newer("two edited again"), "three");
    EXPECT_EQ(recall.Newer("three"), "draft");
    EXPECT_EQ(recall.Older("draft"), "three");
    EXPECT_EQ(recall.Older("three"), "two edited again");
    // An edit taken back to the entry's own text is no edit.
    EXPECT_EQ(recall.Older("two"), "one");
    EXPECT_EQ(recall.Newer("one"), "two");
    EXPECT_EQ(recall.Older("two edited"), "one");
    EXPECT_EQ(recall.Entries(), QStringList({"one", "two", "three"}));

    // A send forgets the edits: the entries come back as they were sent.
    EXPECT_TRUE(recall.Remember("one more"));
    EXPECT_EQ(recall.Older(""), "one more");
    EXPECT_EQ(recall.Older("one more"), "three");
    EXPECT_EQ(recall.Older("three"), "two");
}

TEST(PayloadRecall, KeepsTheNewestFifty) {
    QStringList many;
    for (int i = 0; i < 60; ++i)
        many << QString::number(i);
    PayloadRecall loaded(many);
    ASSERT_EQ(loaded.Entries().size(), PayloadRecall::kKept);
    EXPECT_EQ(loaded.Entries().front(), "10");
    EXPECT_EQ(loaded.Entries().back(), "59");

    loaded.Remember("new");
    EXPECT_EQ(loaded.Entries().size(), PayloadRecall::kKept);
    EXPECT_EQ(loaded.Entries().front(), "11");
    EXPECT_EQ(loaded.Entries().back(), "new");
    QString text;
    for (int i = 0; i < 100; ++i)
        text = loaded.Older(text);
    EXPECT_EQ(text, "11");
}

} // namespace

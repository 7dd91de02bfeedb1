// SPDX-License-Identifier: GPL-3.0-or-later
// Copying a large selection of a log pane: built in slices while the event loop keeps turning, a
// cancel leaves the clipboard alone, and the text is let go when another owner takes the
// clipboard.
#include "console/logpane.h"
#include "console/panecopy.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A pane of some 12 MB of text, in lines of 4 KiB and one of 3 MiB: more than is copied at once.
class PaneCopy : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 2000; ++i)
            pane->Append(std::to_string(i) + std::string(4096, static_cast<char>('a' + i % 26)));
        pane->Append(std::string(3 << 20, 'L'));
        for (int i = 0; i < 1000; ++i)
            pane->Append("\x01\n\r line " + std::to_string(i) + std::string(4000, 'z'));
        pane->resize(360, 160);
        pane->show();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    QProgressDialog* Progress() const {
        return pane->findChild<QProgressDialog*>(QStringLiteral("copyProgress"));
    }
    // Its Cancel button, as the operator clicks it.
    void Cancel() const {
        ASSERT_NE(Progress(), nullptr);
        auto* button = Progress()->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        button->click();
    }

    std::unique_ptr<TLogPane> pane = std::make_unique<TLogPane>(nullptr);
    TPaneCopy* copier = pane->Copier();
};

TEST_F(PaneCopy, ALargeSelectionIsCopiedInSlicesWhileTimersRun) {
    pane->SetSelection({1, 7}, {pane->LineCount() - 2, 9});
    const QString expected = pane->SelectedText();
    int ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    QTest::keyClick(pane.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(copier->Copying());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before") << "not yet copied";
    ASSERT_NE(Progress(), nullptr);
    EXPECT_EQ(Progress()->minimumDuration(), 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copier->Copying(); }));
    EXPECT_GT(ticks, 0) << "the event loop turned during the copy";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
    EXPECT_EQ(copier->HeldBytes(), expected.toUtf8().size());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Progress() == nullptr; })) << "the dialog goes";
}

TEST_F(PaneCopy, ACancelledCopyLeavesTheClipboardAsItWas) {
    pane->SelectAll();
    ASSERT_TRUE(pane->copy());
    Cancel();
    EXPECT_FALSE(copier->Copying());
    QTest::qWait(50);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    EXPECT_EQ(copier->HeldBytes(), 0);

    // Cut deletes nothing that was not copied.
    const std::int64_t lines = pane->LineCount();
    pane->SelectAll();
    pane->cut();
    Cancel();
    QTest::qWait(50);
    EXPECT_EQ(pane->LineCount(), lines);
}

TEST_F(PaneCopy, AnotherOwnerOfTheClipboardTakesTheTextFromThePane) {
    pane->SelectAll();
    pane->copy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copier->Copying(); }));
    const qsizetype copied = copier->HeldBytes();
    EXPECT_GT(copied, 12'000'000);
    // A new Copy of the same selection holds the text once.
    pane->copy();
    EXPECT_EQ(copier->HeldBytes(), copied);

    auto* other = new QMimeData;
    other->setText(QStringLiteral("another program's"));
    QGuiApplication::clipboard()->setMimeData(other);
    EXPECT_EQ(copier->HeldBytes(), 0);

    pane->copy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copier->Copying(); }));
    EXPECT_EQ(copier->HeldBytes(), copied);
    QGuiApplication::clipboard()->setText(QStringLiteral("typed elsewhere"));
    EXPECT_EQ(copier->HeldBytes(), 0);
}

// Counted in slices, a selection beyond the limit is refused once counted, and nothing is cut.
TEST_F(PaneCopy, ALargeSelectionBeyondTheLimitIsRefusedOnceCounted) {
    QSignalSpy refused(pane.get(), &TLogPane::CopyRefused);
    pane->SetCopyLimit(5'000'000);
    pane->SetSelection({0, 0}, {1999, 0}); // some 8 MB
    const std::int64_t lines = pane->LineCount();
    for (const bool cut : {false, true}) {
        cut ? pane->cut() : void(pane->copy());
        EXPECT_TRUE(copier->Copying());
        EXPECT_EQ(refused.count(), cut ? 1 : 0) << "counting";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !copier->Copying(); }));
        EXPECT_EQ(refused.count(), cut ? 2 : 1);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
        EXPECT_EQ(copier->HeldBytes(), 0);
        EXPECT_EQ(pane->LineCount(), lines);
    }
    pane->SetSelection({0, 0}, {1000, 0}); // some 4 MB
    ASSERT_TRUE(pane->copy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copier->Copying(); }));
    EXPECT_EQ(refused.count(), 2);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), pane->SelectedText());
}

TEST_F(PaneCopy, ACutIsDoneOnceCopiedUnlessTheTextWasEditedMeanwhile) {
    pane->SetSelection({0, 0}, {2500, 0});
    const QString cut = pane->SelectedText();
    const QString rest = pane->Store().Line(2500).c_str();
    const std::int64_t lines = pane->LineCount();
    pane->cut();
    EXPECT_TRUE(copier->Copying());
    EXPECT_EQ(pane->LineCount(), lines) << "not cut before it is copied";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copier->Copying(); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), cut);
    EXPECT_EQ(pane->LineCount(), lines - 2500);
    EXPECT_EQ(QString::fromLatin1(pane->Line(0).c_str()), rest);

    pane->SelectAll();
    const QString all = pane->SelectedText();
    pane->cut();
    pane->SetSelection({0, 0}, {0, 0});
    pane->InsertText(QStringLiteral("typed "));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copier->Copying(); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), all);
    EXPECT_EQ(pane->LineCount(), lines - 2500) << "edited meanwhile: not cut";
}

} // namespace

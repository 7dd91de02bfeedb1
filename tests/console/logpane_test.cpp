#include "console/logpane.h"
#include "console/untMain.h"
#include "core/handover.h"
#include "recordingdialogs.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(LogPane, EachLineStartsOnALineOfItsOwn) {
    TLogPane pane(nullptr);
    pane.Append("first");
    pane.Append("second");
    EXPECT_EQ(pane.toPlainText(), "first\nsecond\n");

    // The operator types at the end without Enter: the next line still starts on its own line,
    // and from then on lines are put before, not after, their line break.
    pane.moveCursor(QTextCursor::End);
    QTest::keyClicks(&pane, "typed");
    pane.Append("third");
    pane.Append("fourth");
    EXPECT_EQ(pane.toPlainText(), "first\nsecond\ntyped\nthird\nfourth");

    pane.Clear();
    pane.Append("a\r\nb"); // a CR LF inside a line splits it
    EXPECT_EQ(pane.toPlainText(), "a\nb\n");
    EXPECT_EQ(pane.blockCount(), 3);
}

TEST(LogPane, ShowsCodePageTextAndPutsTheCaretAfterTheInsert) {
    TLogPane pane(nullptr);
    pane.Append("\xCD\xE0\xF7\xE0\xEB\xEE"); // "Начало" in Windows-1251
    EXPECT_EQ(pane.toPlainText(), QString::fromUtf8("Начало\n"));

    pane.Append("x");
    QTextCursor selection(pane.document());
    selection.setPosition(0);
    selection.setPosition(3, QTextCursor::KeepAnchor);
    pane.setTextCursor(selection);
    pane.Append("y");
    EXPECT_FALSE(pane.textCursor().hasSelection());
    EXPECT_EQ(pane.textCursor().position(), pane.document()->characterCount() - 1);
}

TEST(LogPane, ScrollsToTheNewLineEvenWhenScrolledAway) {
    TLogPane pane(nullptr);
    pane.resize(300, 100);
    pane.show();
    for (int i = 0; i < 200; ++i)
        pane.Append("line " + std::to_string(i));
    pane.verticalScrollBar()->setValue(0);
    pane.horizontalScrollBar()->setValue(0);
    pane.Append(std::string(400, 'W'));
    QApplication::processEvents();
    EXPECT_GT(pane.verticalScrollBar()->value(), 0);
    // The caret stands just after the new line, and both are in view.
    EXPECT_TRUE(pane.viewport()->rect().contains(pane.cursorRect()));
    QTextCursor newLine(pane.document()->lastBlock().previous());
    EXPECT_TRUE(pane.viewport()->rect().contains(pane.cursorRect(newLine)));
    EXPECT_EQ(pane.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_FALSE(pane.isReadOnly());
}

TEST(WindowPanes, AWorkersLinesArriveInOrderWhileItWaitsForEach) {
    RecordingDialogs dialogs;
    TfrmMain frm(dialogs);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            frm.AddToLog("up " + std::to_string(i));
            frm.AddToLogRec("down " + std::to_string(i));
        }
        done = true;
        corvane::WakeUiThread();
    });
    corvane::ServeHandOversUntil([&] { return done.load(); });
    worker.join();
    const QStringList up = frm.mmLog->toPlainText().split('\n', Qt::SkipEmptyParts);
    const QStringList down = frm.mmLogRec->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(up.size(), 50);
    ASSERT_EQ(down.size(), 50);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(up[i], QString("up %1").arg(i));
        EXPECT_EQ(down[i], QString("down %1").arg(i));
    }
}

} // namespace

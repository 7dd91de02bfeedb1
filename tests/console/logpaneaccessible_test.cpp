// SPDX-License-Identifier: GPL-3.0-or-later
// The log pane through Qt's accessibility interfaces, answer for answer against a QPlainTextEdit
// holding the same text: what a screen reader reads of one it reads of the other.

#include "console/logpane.h"
#include "console/logpaneaccessible.h"

#include <QAccessible>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

QAccessibleTextInterface* TextOf(QObject* object) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->textInterface() : nullptr;
}

// Records the accessibility events sent while it lives, the panes announcing as to a reader.
class EventRecorder {
public:
    struct Event {
        QAccessible::Event type;
        int position;
        QString text;
    };
    EventRecorder() {
        events_ = &events;
        SetLogPaneListener(&Record);
    }
    ~EventRecorder() {
        SetLogPaneListener(nullptr);
        events_ = nullptr;
    }
    std::vector<Event> events;

private:
    static void Record(QAccessibleEvent* event) {
        Event recorded{event->type(), -1, QString()};
        if (event->type() == QAccessible::TextInserted) {
            auto* insert = static_cast<QAccessibleTextInsertEvent*>(event);
            recorded.position = insert->changePosition();
            recorded.text = insert->textInserted();
        } else if (event->type() == QAccessible::TextRemoved) {
            auto* remove = static_cast<QAccessibleTextRemoveEvent*>(event);
            recorded.position = remove->changePosition();
            recorded.text = remove->textRemoved();
        } else if (event->type() == QAccessible::TextCaretMoved) {
            recorded.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
        }
        if (events_)
            events_->push_back(recorded);
    }
    static inline std::vector<Event>* events_ = nullptr;
};

class LogPaneAccessible : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* line : {"first line here", "", "second, with words. And more",
                                 "\xC2\xF2\xEE\xF0\xE0\xFF \xF1\xF2\xF0\xEE\xEA\xE0"})
            pane.Append(line);
        QTest::keyClicks(&pane, "typed"); // the text then ends without a line break
        reference.setPlainText(pane.toPlainText());
        mine = TextOf(&pane);
        theirs = TextOf(&reference);
        ASSERT_NE(mine, nullptr);
        ASSERT_NE(theirs, nullptr);
    }

    TLogPane pane{nullptr};
    QPlainTextEdit reference;
    QAccessibleTextInterface* mine = nullptr;
    QAccessibleTextInterface* theirs = nullptr;
};

TEST_F(LogPaneAccessible, IsAnEditableMultiLineText) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&pane);
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    const QAccessible::State state = accessible->state();
    EXPECT_TRUE(state.multiLine);
    EXPECT_TRUE(state.editable);
    EXPECT_TRUE(state.focusable);
    EXPECT_FALSE(state.readOnly);
    EXPECT_NE(accessible->editableTextInterface(), nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Value),
              QAccessible::queryAccessibleInterface(&reference)->text(QAccessible::Value));
    EXPECT_EQ(accessible->text(QAccessible::Value), pane.toPlainText());
}

TEST_F(LogPaneAccessible, ReadsTheTextAsATextEditDoes) {
    const int count = theirs->characterCount();
    ASSERT_EQ(mine->characterCount(), count);
    for (int start = 0; start <= count; start += 3)
        for (int end = start; end <= count; end += 5)
            EXPECT_EQ(mine->text(start, end), theirs->text(start, end)) << start << " " << end;

    // Asked for the unit before the first one, a text edit warns about position -1 and answers
    // with the first: the warnings are expected, the answers compared.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
            EXPECT_TRUE(message.startsWith("QTextCursor::setPosition")) << message.toStdString();
        });
    using Boundary = QAccessible::TextBoundaryType;
    for (Boundary boundary :
         {QAccessible::CharBoundary, QAccessible::WordBoundary, QAccessible::SentenceBoundary,
          QAccessible::LineBoundary, QAccessible::ParagraphBoundary, QAccessible::NoBoundary}) {
        for (int offset = 0; offset <= count; ++offset) {
            int myStart = -9, myEnd = -9, theirStart = -9, theirEnd = -9;
            EXPECT_EQ(mine->textAtOffset(offset, boundary, &myStart, &myEnd),
                      theirs->textAtOffset(offset, boundary, &theirStart, &theirEnd))
                << "at " << offset << " by " << boundary;
            EXPECT_EQ(std::pair(myStart, myEnd), std::pair(theirStart, theirEnd));
            EXPECT_EQ(mine->textBeforeOffset(offset, boundary, &myStart, &myEnd),
                      theirs->textBeforeOffset(offset, boundary, &theirStart, &theirEnd))
                << "before " << offset << " by " << boundary;
            EXPECT_EQ(std::pair(myStart, myEnd), std::pair(theirStart, theirEnd));
            EXPECT_EQ(mine->textAfterOffset(offset, boundary, &myStart, &myEnd),
                      theirs->textAfterOffset(offset, boundary, &theirStart, &theirEnd))
                << "after " << offset << " by " << boundary;
            EXPECT_EQ(std::pair(myStart, myEnd), std::pair(theirStart, theirEnd));
        }
    }
    qInstallMessageHandler(previous);
}

TEST_F(LogPaneAccessible, CaretAndSelectionAsATextEditHasThem) {
    // After the appends and the typing, both carets stand at the end.
    reference.moveCursor(QTextCursor::End);
    EXPECT_EQ(mine->cursorPosition(), theirs->cursorPosition());
    for (QAccessibleTextInterface* text : {mine, theirs}) {
        text->setCursorPosition(20);
        text->setSelection(0, 25, 5);
    }
    EXPECT_EQ(mine->cursorPosition(), theirs->cursorPosition());
    EXPECT_EQ(mine->selectionCount(), 1);
    EXPECT_EQ(theirs->selectionCount(), 1);
    int myStart = 0, myEnd = 0, theirStart = 0, theirEnd = 0;
    mine->selection(0, &myStart, &myEnd);
    theirs->selection(0, &theirStart, &theirEnd);
    EXPECT_EQ(std::pair(myStart, myEnd), std::pair(theirStart, theirEnd));
    EXPECT_EQ(pane.SelectedText(),
              reference.textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n'));
    mine->removeSelection(0);
    EXPECT_EQ(mine->selectionCount(), 0);
    EXPECT_EQ(mine->cursorPosition(), 5);
}

TEST_F(LogPaneAccessible, EditsAsATextEditIsEdited) {
    QAccessibleEditableTextInterface* myEdit =
        QAccessible::queryAccessibleInterface(&pane)->editableTextInterface();
    QAccessibleEditableTextInterface* theirEdit =
        QAccessible::queryAccessibleInterface(&reference)->editableTextInterface();
    ASSERT_NE(myEdit, nullptr);
    mine->setCursorPosition(30);
    theirs->setCursorPosition(30);
    for (QAccessibleEditableTextInterface* edit : {myEdit, theirEdit}) {
        edit->insertText(3, QStringLiteral("INS\nERT"));
        edit->deleteText(0, 2);
        edit->replaceText(10, 22, QStringLiteral("new"));
        edit->insertText(40, QStringLiteral("x"));
    }
    EXPECT_EQ(pane.toPlainText(), reference.toPlainText());
    EXPECT_EQ(mine->cursorPosition(), theirs->cursorPosition());
}

TEST_F(LogPaneAccessible, PlacesCharactersWhereTheyArePainted) {
    pane.resize(300, 200);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    // Offset 18 is on the third line (16 + 1 for the empty one), its second character.
    const QRect cell = pane.CellRect({2, 1});
    EXPECT_EQ(mine->characterRect(18),
              QRect(pane.viewport()->mapToGlobal(cell.topLeft()), cell.size()));
    EXPECT_EQ(mine->offsetAtPoint(pane.viewport()->mapToGlobal(cell.topLeft() + QPoint(1, 1))), 18);
    EXPECT_EQ(mine->offsetAtPoint(pane.mapToGlobal(QPoint(-5, -5))), -1);
}

TEST_F(LogPaneAccessible, AnnouncesTextAndCaretChanges) {
    const int end = mine->characterCount();
    {
        EventRecorder recorder;
        pane.Append("new");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.events.empty(); }));
        EXPECT_EQ(recorder.events.front().type, QAccessible::TextInserted);
        EXPECT_EQ(recorder.events.front().position, end);
        EXPECT_EQ(recorder.events.front().text, "\nnew");
        EXPECT_EQ(recorder.events.back().type, QAccessible::TextCaretMoved);
        EXPECT_EQ(recorder.events.back().position, end + 4);

        pane.SetSelection({0, 0}, {0, 5});
        ASSERT_FALSE(recorder.events.empty());
        EXPECT_EQ(recorder.events.back().type, QAccessible::TextCaretMoved);
        EXPECT_EQ(recorder.events.back().position, 5);
        recorder.events.clear();
        pane.DeleteSelection();
        ASSERT_FALSE(recorder.events.empty());
        EXPECT_EQ(recorder.events.front().type, QAccessible::TextRemoved);
        EXPECT_EQ(recorder.events.front().position, 0);
        EXPECT_EQ(recorder.events.front().text, "first");
    }
}

// A reader listening costs the pane one event of bounded size per change, however much text the
// change takes away or how many lines arrive in a frame.
TEST(LogPaneAnnouncements, AFrameOfAppendsIsToldOnceAndBigRemovalsInBrief) {
    TLogPane pane(nullptr);
    EventRecorder recorder;
    QString appended;
    for (int line = 0; line < 200; ++line) {
        const std::string text = "-> " + std::to_string(line);
        pane.Append(text);
        appended += QString::fromStdString(text) + u'\n';
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.events.empty(); }));
    QTest::qWait(50);
    int inserts = 0, carets = 0;
    for (const auto& event : recorder.events) {
        inserts += event.type == QAccessible::TextInserted;
        carets += event.type == QAccessible::TextCaretMoved;
    }
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(carets, 1);
    EXPECT_EQ(recorder.events.front().text, appended);
    EXPECT_EQ(recorder.events.front().position, 0);

    // Some 300,000 characters: Clear and a select-all delete each tell a bounded part of it.
    const std::string line(99, 'x');
    pane.Clear();
    for (int round = 0; round < 2; ++round) {
        for (int count = 0; count < 3000; ++count)
            pane.Append(line);
        QTest::qWait(50);
        if (round == 0) {
            recorder.events.clear();
            pane.Clear();
        } else {
            pane.SelectAll();
            recorder.events.clear();
            pane.DeleteSelection();
        }
        EXPECT_TRUE(pane.toPlainText().isEmpty());
        ASSERT_FALSE(recorder.events.empty());
        EXPECT_EQ(recorder.events.front().type, QAccessible::TextRemoved);
        EXPECT_EQ(recorder.events.front().position, 0);
        EXPECT_GT(recorder.events.front().text.size(), 1000);
        EXPECT_LE(recorder.events.front().text.size(), 4096);
        EXPECT_TRUE(recorder.events.front().text.startsWith(QString::fromStdString(line + "\n")));
        EXPECT_LE(recorder.events.size(), 8u);
    }
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/logpane.h"
#include "console/untMain.h"
#include "core/codepage.h"
#include "core/handover.h"
#include "recordingdialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using corvane::TextPos;

QFont PaneFont() {
    QFont font;
    font.setFamilies({"Liberation Mono", "DejaVu Sans Mono"});
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(11);
    return font;
}

// A pane shown at a size with the window's font, focused.
struct ShownPane {
    ShownPane() {
        pane.setFont(PaneFont());
        pane.resize(300, 120);
        pane.show();
        pane.setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&pane));
    }
    TLogPane pane{nullptr};
};

// Waits until the scroll bars show where the pane's model stands (they follow once a frame).
bool BarsSettled(const TLogPane& pane) {
    return QTest::qWaitFor([&] {
        return pane.verticalScrollBar()->value() == pane.FirstVisibleLine() &&
               pane.horizontalScrollBar()->value() == pane.FirstVisibleColumn() &&
               pane.verticalScrollBar()->maximum() ==
                   std::max<std::int64_t>(0, pane.LineCount() - pane.VisibleRows());
    });
}

// The first column of ink in the given row of the pane's picture, or -1 if the row is blank.
int FirstInkX(TLogPane& pane, std::int64_t line, int from = 0) {
    const QImage image = pane.viewport()->grab().toImage();
    const QRect row = pane.CellRect({line, 0});
    const QRgb base = pane.palette().color(QPalette::Base).rgb();
    for (int x = from; x < image.width(); ++x)
        for (int y = row.top(); y <= row.bottom() && y < image.height(); ++y)
            if (image.pixel(x, y) != base)
                return x;
    return -1;
}

TEST(LogPane, EachLineStartsOnALineOfItsOwn) {
    TLogPane pane(nullptr);
    pane.Append("first");
    pane.Append("second");
    EXPECT_EQ(pane.toPlainText(), "first\nsecond\n");

    // The operator types at the end without Enter: the next line still starts on its own line,
    // and from then on lines are put before, not after, their line break.
    QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&pane, "typed");
    pane.Append("third");
    pane.Append("fourth");
    EXPECT_EQ(pane.toPlainText(), "first\nsecond\ntyped\nthird\nfourth");

    pane.Clear();
    pane.Append("a\r\nb"); // a CR LF inside a line splits it
    EXPECT_EQ(pane.toPlainText(), "a\nb\n");
    EXPECT_EQ(pane.LineCount(), 3);

    // A lone CR or LF, a TAB and other control bytes stay inside their line; the CR and LF
    // read as the pictures the pane draws for them.
    pane.Clear();
    pane.Append(std::string("a\tb\rc\nd\0e", 9));
    EXPECT_EQ(pane.LineCount(), 2);
    EXPECT_EQ(pane.Line(0), std::string("a\tb\rc\nd\0e", 9));
    EXPECT_EQ(pane.toPlainText(), QString::fromUtf8("a\tb\u240Dc\u240Ad\0e\n", 14));
}

TEST(LogPane, ALoneLineFeedCopiedAndPastedBackStaysInItsLine) {
    TLogPane pane(nullptr);
    pane.Append("-> one\ntwo\rthree");
    pane.SetSelection({0, 0}, {1, 0});
    EXPECT_EQ(pane.SelectedText(), QString::fromUtf8("-> one\u240Atwo\u240Dthree\n"));
    pane.copy();
    pane.SetSelection({1, 0}, {1, 0});
    pane.paste();
    EXPECT_EQ(pane.LineCount(), 3);
    EXPECT_EQ(pane.Line(1), pane.Line(0));
    EXPECT_EQ(pane.Line(0), "-> one\ntwo\rthree");
    // Breaks of other programs' text still start lines.
    pane.InsertText("x\r\ny\rz");
    EXPECT_EQ(pane.LineCount(), 5);
}

TEST(LogPane, ShowsCodePageTextAndPutsTheCaretAfterTheInsert) {
    TLogPane pane(nullptr);
    pane.Append("\xCD\xE0\xF7\xE0\xEB\xEE"); // "Начало" in Windows-1251
    EXPECT_EQ(pane.toPlainText(), QString::fromUtf8("Начало\n"));

    pane.Append("x");
    pane.SetSelection({0, 0}, {0, 3});
    ASSERT_TRUE(pane.HasSelection());
    pane.Append("y");
    EXPECT_FALSE(pane.HasSelection());
    EXPECT_EQ(pane.Caret(), pane.Store().End());
}

TEST(LogPane, ScrollsToTheNewLineEvenWhenScrolledAway) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    for (int i = 0; i < 200; ++i)
        pane.Append("line " + std::to_string(i));
    ASSERT_TRUE(BarsSettled(pane));
    pane.verticalScrollBar()->setValue(0);
    pane.horizontalScrollBar()->setValue(0);
    EXPECT_EQ(pane.FirstVisibleLine(), 0);
    pane.SetSelection({3, 0}, {5, 2});
    pane.Append(std::string(400, 'W'));
    // The model follows at once, the scroll bar with the next frame.
    EXPECT_GT(pane.FirstVisibleLine(), 190);
    ASSERT_TRUE(BarsSettled(pane));
    // The caret stands just after the new line, and both are in view.
    EXPECT_TRUE(pane.viewport()->rect().contains(pane.cursorRect()));
    EXPECT_TRUE(pane.viewport()->rect().contains(pane.CellRect({pane.LineCount() - 2, 0})));
    // No wrapping: the long line widens the horizontal range instead.
    EXPECT_EQ(pane.horizontalScrollBar()->maximum(), 401 - pane.VisibleColumns());
    EXPECT_EQ(pane.verticalScrollBar()->maximum(), pane.LineCount() - pane.VisibleRows());
    EXPECT_EQ(pane.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(pane.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST(LogPane, LinesAppendedTogetherEndAsWhenAppendedOneByOne) {
    ShownPane one;
    ShownPane together;
    const std::vector<corvane::ByteString> lines = {"first", "a\r\nb", std::string(400, 'W'),
                                                    "last"};
    const std::vector<std::int64_t> times = {10, 20, 30, 40};
    for (TLogPane* pane : {&one.pane, &together.pane}) {
        for (int i = 0; i < 100; ++i)
            pane->Append("line " + std::to_string(i), 1);
        QTest::keyClick(pane, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(pane, "typed");
        pane->verticalScrollBar()->setValue(0);
    }
    int changes = 0;
    QObject::connect(&together.pane, &TLogPane::textChanged, [&] { ++changes; });
    for (std::size_t i = 0; i < lines.size(); ++i)
        one.pane.Append(lines[i], times[i]);
    together.pane.Append(lines, times);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(together.pane.toPlainText(), one.pane.toPlainText());
    for (std::int64_t line = 101; line < one.pane.LineCount(); ++line) // after "typed"
        EXPECT_EQ(together.pane.Store().LineTime(line), one.pane.Store().LineTime(line)) << line;
    EXPECT_EQ(together.pane.Caret(), one.pane.Caret());
    EXPECT_EQ(together.pane.FirstVisibleLine(), one.pane.FirstVisibleLine());
    EXPECT_GT(together.pane.FirstVisibleLine(), 90);
}

TEST(LogPane, ClearEmptiesAtOnce) {
    TLogPane pane(nullptr);
    for (int i = 0; i < 50; ++i)
        pane.Append("line");
    pane.Clear();
    EXPECT_TRUE(pane.toPlainText().isEmpty());
    EXPECT_EQ(pane.Caret(), TextPos{});
    EXPECT_EQ(pane.FirstVisibleLine(), 0);
    pane.Append("next");
    EXPECT_EQ(pane.toPlainText(), "next\n");
}

TEST(LogPane, TypingEditsAtTheCaretInTheCodePage) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    pane.Append("0123456789");
    QTest::keyClick(&pane, Qt::Key_Up);
    QTest::keyClick(&pane, Qt::Key_Right);
    QTest::keyClick(&pane, Qt::Key_Right);
    QTest::keyClicks(&pane, "ab");
    EXPECT_EQ(pane.Line(0), "01ab23456789");
    QTest::keyClick(&pane, Qt::Key_Backspace);
    QTest::keyClick(&pane, Qt::Key_Delete);
    EXPECT_EQ(pane.Line(0), "01a3456789");
    QTest::keyClick(&pane, Qt::Key_Return); // Enter breaks the line
    EXPECT_EQ(pane.toPlainText(), "01a\n3456789\n");
    EXPECT_EQ(pane.Caret(), (TextPos{1, 0}));
    QTest::keyClick(&pane, Qt::Key_Backspace); // and Backspace joins it again
    EXPECT_EQ(pane.Line(0), "01a3456789");

    // A selection is replaced by what is typed; Cyrillic becomes Windows-1251, and a character
    // the code page lacks becomes '?'.
    QTest::keyClick(&pane, Qt::Key_Home);
    QTest::keyClick(&pane, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&pane, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(pane.SelectedText(), "01");
    for (const QChar c : QString::fromUtf8("Ж€")) {
        // QTest types only ASCII keys; a key of another layout comes as its text.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&pane, &press);
    }
    EXPECT_EQ(pane.Line(0), "\xC6\x88"
                            "a3456789");
    pane.InsertText(QString::fromUtf8("中"));
    EXPECT_EQ(pane.Line(0), "\xC6\x88?a3456789");
}

TEST(LogPane, KeyboardMovesAndSelects) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    pane.Append("alpha beta_2, gamma");
    pane.Append("short");
    for (int i = 0; i < 40; ++i)
        pane.Append("filler");
    QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 0}));
    QTest::keyClick(&pane, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 6})); // past "alpha "
    QTest::keyClick(&pane, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 12})); // "beta_2" is one word
    QTest::keyClick(&pane, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 14})); // past ", "
    QTest::keyClick(&pane, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pane.SelectedText(), ", ");
    QTest::keyClick(&pane, Qt::Key_End);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 19}));
    EXPECT_FALSE(pane.HasSelection());
    // Down over a short line and on keeps the column the caret came from.
    QTest::keyClick(&pane, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(pane.Caret(), (TextPos{1, 5}));
    EXPECT_EQ(pane.SelectedText(), "\nshort");
    QTest::keyClick(&pane, Qt::Key_Up);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 19}));
    QTest::keyClick(&pane, Qt::Key_PageDown);
    EXPECT_EQ(pane.Caret().line, pane.VisibleRows());
    EXPECT_EQ(pane.FirstVisibleLine(), pane.VisibleRows());
    QTest::keyClick(&pane, Qt::Key_PageUp);
    EXPECT_EQ(pane.Caret().line, 0);
    QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pane.Caret(), pane.Store().End());
    EXPECT_TRUE(pane.viewport()->rect().contains(pane.cursorRect()));
    QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane.SelectedText(), pane.toPlainText());
}

TEST(LogPane, CopiesCutsAndPastesThroughTheClipboard) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    QClipboard* clipboard = QGuiApplication::clipboard();
    pane.Append("one");
    pane.Append("\xE4\xE2\xE0"); // "два"
    pane.SetSelection({0, 1}, {1, 3});
    QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QString::fromUtf8("ne\nдва"));

    QTest::keyClick(&pane, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QString::fromUtf8("ne\nдва"));
    EXPECT_EQ(pane.toPlainText(), "o\n");

    clipboard->setText("p\r\nq\rr");
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pane.toPlainText(), "op\nq\nr\n");
    QTest::keyClick(&pane, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(pane.toPlainText(), "op\nq\nrp\nq\nr\n");

    // The context menu offers what a text edit offers, enabled as the selection allows.
    pane.SetSelection({0, 0}, {0, 2});
    std::unique_ptr<QMenu> menu(pane.createStandardContextMenu());
    const auto action = [&](const char* name) { return menu->findChild<QAction*>(name); };
    for (const char* name : {"edit-cut", "edit-copy", "edit-paste", "edit-delete", "select-all"}) {
        ASSERT_NE(action(name), nullptr) << name;
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    }
    action("edit-copy")->trigger();
    EXPECT_EQ(clipboard->text(), "op");
    action("edit-delete")->trigger();
    EXPECT_EQ(pane.Line(0), "");
    menu.reset(pane.createStandardContextMenu());
    EXPECT_FALSE(action("edit-copy")->isEnabled());
    EXPECT_FALSE(action("edit-cut")->isEnabled());
    action("select-all")->trigger();
    EXPECT_EQ(pane.SelectedText(), pane.toPlainText());
}

TEST(LogPane, MouseSelects) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    pane.Append("hello brave world");
    pane.Append("second line");
    QWidget* view = pane.viewport();
    const auto at = [&](TextPos pos) { return pane.CellRect(pos).topLeft() + QPoint(1, 2); };

    QTest::mouseClick(view, Qt::LeftButton, {}, at({0, 2}));
    EXPECT_EQ(pane.Caret(), (TextPos{0, 2}));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, at({1, 6}));
    EXPECT_EQ(pane.SelectedText(), "llo brave world\nsecond");

    QTest::mousePress(view, Qt::LeftButton, {}, at({0, 6}));
    QTest::mouseMove(view, at({0, 11}));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at({0, 11}));
    EXPECT_EQ(pane.SelectedText(), "brave");

    QTest::mouseDClick(view, Qt::LeftButton, {}, at({0, 13}));
    EXPECT_EQ(pane.SelectedText(), "world");
    EXPECT_EQ(view->cursor().shape(), Qt::IBeamCursor);
}

// Sends one mouse event to the pane's viewport as the window system would, the left button held
// (or let go, for a release).
void SendMouse(TLogPane& pane, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, pane.viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(pane.viewport(), &event);
}

TEST(LogPane, DoubleAndTripleClicksSelectWordsAndLinesAsTextEditsDo) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    pane.Append("hello brave world");
    pane.Append("second line");
    pane.Append("third");
    // The right half of the d of "world": the word under the pointer, not the blank after it.
    const QRect d = pane.CellRect({0, 16});
    const QPoint rightOfD(d.left() + d.width() * 3 / 4, d.center().y());
    SendMouse(pane, QEvent::MouseButtonPress, rightOfD);
    SendMouse(pane, QEvent::MouseButtonRelease, rightOfD);
    SendMouse(pane, QEvent::MouseButtonDblClick, rightOfD);
    SendMouse(pane, QEvent::MouseButtonRelease, rightOfD);
    EXPECT_EQ(pane.SelectedText(), "world");
    // A third press there selects the line, and its drag grows by lines.
    SendMouse(pane, QEvent::MouseButtonPress, rightOfD);
    EXPECT_EQ(pane.SelectedText(), "hello brave world\n");
    SendMouse(pane, QEvent::MouseMove, pane.CellRect({1, 3}).center());
    SendMouse(pane, QEvent::MouseButtonRelease, pane.CellRect({1, 3}).center());
    EXPECT_EQ(pane.SelectedText(), "hello brave world\nsecond line\n");

    // A double-click held and dragged grows by words, across lines.
    const QPoint brave = pane.CellRect({0, 7}).center();
    SendMouse(pane, QEvent::MouseButtonPress, brave);
    SendMouse(pane, QEvent::MouseButtonRelease, brave);
    SendMouse(pane, QEvent::MouseButtonDblClick, brave);
    EXPECT_EQ(pane.SelectedText(), "brave");
    SendMouse(pane, QEvent::MouseMove, pane.CellRect({1, 2}).center());
    EXPECT_EQ(pane.SelectedText(), "brave world\nsecond");
    SendMouse(pane, QEvent::MouseMove, pane.CellRect({0, 1}).center());
    SendMouse(pane, QEvent::MouseButtonRelease, pane.CellRect({0, 1}).center());
    EXPECT_EQ(pane.SelectedText(), "hello brave");
}

TEST(LogPane, CtrlBackspaceAndCtrlDeleteJoinLinesAtTheirEnds) {
    TLogPane pane(nullptr);
    pane.Append("one two");
    pane.Append("three");
    pane.SetSelection({1, 0}, {1, 0});
    QTest::keyClick(&pane, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(pane.Line(0), "one twothree");
    EXPECT_EQ(pane.Caret(), (TextPos{0, 7}));
    pane.SetSelection({0, 12}, {0, 12});
    QTest::keyClick(&pane, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(pane.Line(0), "one twothree");
    EXPECT_EQ(pane.LineCount(), 1) << "the line break after it went";
    QTest::keyClick(&pane, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(pane.Line(0), "one ");
}

TEST(LogPane, DraggingPastTheEdgeKeepsScrolling) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    for (int i = 0; i < 100; ++i)
        pane.Append("line " + std::to_string(i));
    ASSERT_TRUE(BarsSettled(pane));
    pane.verticalScrollBar()->setValue(0);
    QWidget* view = pane.viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, pane.CellRect({0, 1}).center());
    const QPoint below(20, view->height() + 30);
    QMouseEvent move(QEvent::MouseMove, below, view->mapToGlobal(below), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    const std::int64_t first = pane.FirstVisibleLine();
    // With the pointer held still below the pane, the selection keeps growing downwards.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane.FirstVisibleLine() > first + 3; }));
    QTest::mouseRelease(view, Qt::LeftButton, {}, below);
    EXPECT_EQ(pane.Anchor(), (TextPos{0, 1}));
    EXPECT_GT(pane.Caret().line, pane.VisibleRows());
}

TEST(LogPane, WheelScrollsDownAndWithShiftSideways) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    for (int i = 0; i < 100; ++i)
        pane.Append(std::string(200, 'x'));
    ASSERT_TRUE(BarsSettled(pane));
    pane.verticalScrollBar()->setValue(0);
    const QPoint middle = pane.viewport()->rect().center();
    QWheelEvent down(middle, pane.viewport()->mapToGlobal(middle), {}, {0, -120}, Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pane.viewport(), &down);
    EXPECT_EQ(pane.FirstVisibleLine(), QApplication::wheelScrollLines());
    QWheelEvent sideways(middle, pane.viewport()->mapToGlobal(middle), {}, {0, -120}, Qt::NoButton,
                         Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pane.viewport(), &sideways);
    EXPECT_EQ(pane.FirstVisibleLine(), QApplication::wheelScrollLines());
    EXPECT_GT(pane.FirstVisibleColumn(), 0);
    EXPECT_EQ(pane.horizontalScrollBar()->value(), pane.FirstVisibleColumn());
}

TEST(LogPane, TabMovesTheFocusOnAndInputMethodsCommitText) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* pane = new TLogPane(&window);
    auto* next = new QLineEdit(&window);
    layout->addWidget(pane);
    layout->addWidget(next);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    pane->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->hasFocus(); }));
    QTest::keyClick(pane, Qt::Key_Tab);
    EXPECT_TRUE(next->hasFocus());
    EXPECT_TRUE(pane->toPlainText().isEmpty()); // no TAB typed

    EXPECT_TRUE(pane->inputMethodQuery(Qt::ImEnabled).toBool());
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("Привет"));
    QApplication::sendEvent(pane, &commit);
    EXPECT_EQ(pane->Line(0), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(pane->inputMethodQuery(Qt::ImSurroundingText).toString(),
              QString::fromUtf8("Привет"));
    EXPECT_EQ(pane->inputMethodQuery(Qt::ImCursorPosition).toInt(), 6);
}

TEST(LogPane, TheCaretBlinksWhileThePaneHasTheFocus) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    QApplication::setActiveWindow(&pane);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane.hasFocus(); }));
    pane.Append("text");
    const auto caretInk = [&] {
        const QImage image = pane.viewport()->grab().toImage();
        const QRect caret = pane.cursorRect();
        return image.pixel(caret.left(), caret.center().y()) !=
               pane.palette().color(QPalette::Base).rgb();
    };
    ASSERT_GT(QGuiApplication::styleHints()->cursorFlashTime(), 0);
    EXPECT_TRUE(QTest::qWaitFor(caretInk));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !caretInk(); }));
    EXPECT_TRUE(QTest::qWaitFor(caretInk));
    ASSERT_TRUE(QTest::qWaitFor(caretInk));
    pane.clearFocus(); // hides it at once
    EXPECT_FALSE(caretInk());
}

TEST(LogPane, ControlBytesAndGlyphsKeepTheirColumns) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    // Two control bytes, a lone LF and a lone CR (drawn as their pictures) and another control
    // byte: five cells before the X.
    pane.Append("\x01\x02\n\r\x1FX");
    pane.Append("\xC6\xC6\xC6\xC6\xC6X"); // five Cyrillic letters, then X
    pane.Append("     X");
    QTest::qWait(50);
    const int x = FirstInkX(pane, 2);
    EXPECT_GE(x, pane.CellRect({2, 5}).left());
    EXPECT_LT(x, pane.CellRect({2, 6}).left());
    // The first ink of the first line is the picture of the LF, in its own cell.
    const int picture = FirstInkX(pane, 0);
    EXPECT_GE(picture, pane.CellRect({0, 2}).left());
    EXPECT_LT(picture, pane.CellRect({0, 4}).left());
    EXPECT_EQ(FirstInkX(pane, 0, pane.CellRect({0, 4}).left()), x);
    const int afterLetters = FirstInkX(pane, 1, pane.CellRect({1, 5}).left());
    EXPECT_NE(afterLetters, -1);
    EXPECT_LT(afterLetters, pane.CellRect({1, 6}).left());
}

// A lone LF and a lone CR are told apart on the screen: their cells are drawn differently, each
// with ink on both halves (two letters, one above the other).
TEST(LogPane, ALoneLineFeedAndCarriageReturnAreDrawnLegiblyAndApart) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    // Each at the start of a line of its own: the same place in the cell grid.
    pane.Append("\n");
    pane.Append("\r");
    QTest::qWait(50);
    const QImage image = pane.viewport()->grab().toImage();
    const QRgb base = pane.palette().color(QPalette::Base).rgb();
    const auto cell = [&](std::int64_t line) { return image.copy(pane.CellRect({line, 0})); };
    const auto inked = [&](const QImage& picture, int top, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (picture.pixel(x, y) != base)
                    return true;
        return false;
    };
    const QImage lineFeed = cell(0);
    const QImage carriageReturn = cell(1);
    EXPECT_NE(lineFeed, carriageReturn);
    for (const QImage& picture : {lineFeed, carriageReturn}) {
        EXPECT_TRUE(inked(picture, 0, picture.height() / 2));
        EXPECT_TRUE(inked(picture, picture.height() / 2, picture.height()));
    }
}

TEST(LogPane, TabsReachToStopsOfEightSoColumnsLineUp) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    pane.Append("\tX");
    pane.Append("abcdefg\tX");
    pane.Append("        X");
    QTest::qWait(50);
    const int x = FirstInkX(pane, 2);
    EXPECT_EQ(FirstInkX(pane, 0), x);
    EXPECT_EQ(FirstInkX(pane, 1, pane.CellRect({1, 7}).left()), x);
    EXPECT_EQ(pane.CellRect({1, 8}).left(), pane.CellRect({2, 8}).left());
    // A click on the right half of the TAB's cells puts the caret after it.
    const int firstRow = pane.CellRect({0, 0}).center().y();
    EXPECT_EQ(pane.PositionAt({pane.CellRect({2, 6}).center().x(), firstRow}), (TextPos{0, 1}));
    EXPECT_EQ(pane.PositionAt({pane.CellRect({2, 2}).center().x(), firstRow}), (TextPos{0, 0}));
    // Down from the X of the second line goes to the cell of the X below.
    pane.SetSelection({1, 8}, {1, 8});
    QTest::keyClick(&pane, Qt::Key_Down);
    EXPECT_EQ(pane.Caret(), (TextPos{2, 8}));
}

TEST(LogPane, TheHorizontalRangeFollowsTheWidestLine) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    pane.Append("short");
    pane.Append(std::string(3000, 'x'));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return pane.horizontalScrollBar()->maximum() == 3001 - pane.VisibleColumns(); }));
    pane.ReplaceText({1, 0}, {2, 0}, QString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane.horizontalScrollBar()->maximum() == 0; }));
    EXPECT_EQ(pane.FirstVisibleColumn(), 0);
}

TEST(LogPane, ALineOfMegabytesIsShownFromEitherEnd) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    std::string huge(4 << 20, ' ');
    huge.front() = 'A';
    huge.back() = 'Z';
    pane.Append(huge);
    QTest::keyClick(&pane, Qt::Key_Up);
    QTest::keyClick(&pane, Qt::Key_End);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 4 << 20}));
    ASSERT_TRUE(BarsSettled(pane));
    EXPECT_EQ(pane.horizontalScrollBar()->maximum(), (4 << 20) + 1 - pane.VisibleColumns());
    const int z = FirstInkX(pane, 0);
    EXPECT_GE(z, pane.CellRect({0, (4 << 20) - 1}).left());
    QTest::keyClick(&pane, Qt::Key_Home);
    EXPECT_EQ(pane.FirstVisibleColumn(), 0);
    EXPECT_GE(FirstInkX(pane, 0), pane.CellRect({0, 0}).left());
    EXPECT_LT(FirstInkX(pane, 0), pane.CellRect({0, 1}).left());
}

TEST(LogPane, FollowsTheStoreWhenItDropsLinesItCannotSpool) {
    // A spool folder that cannot be made (a file stands in its path) and a small budget: the
    // store soon drops its oldest lines and keeps a note of them on top.
    const QString folder = QDir::temp().filePath(
        QStringLiteral("logpane-nospool-%1").arg(QCoreApplication::applicationPid()));
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    TLogPane pane(nullptr,
                  {.memoryBudget = 64 << 10, .spoolFolder = (folder + "/spool").toStdString()});
    pane.setFont(PaneFont());
    pane.resize(300, 120);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));

    int appended = 0;
    while (pane.Store().LinesShiftedOut() == 0 || appended < 5000) {
        pane.Append("-> (127.0.0.1) : " + std::to_string(appended++) + std::string(40, 'x'));
        if (appended % 500 == 0)
            QApplication::processEvents();
    }
    blocker.remove();
    EXPECT_EQ(pane.Caret(), pane.Store().End());
    EXPECT_TRUE(BarsSettled(pane));
    EXPECT_GE(pane.FirstVisibleLine() + pane.VisibleRows(), pane.LineCount() - 1);
    EXPECT_EQ(pane.Line(pane.LineCount() - 2),
              "-> (127.0.0.1) : " + std::to_string(appended - 1) + std::string(40, 'x'));
    EXPECT_TRUE(pane.toPlainText().startsWith(QStringLiteral("[")));

    // The operator goes to the top and finds the note there.
    QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(pane.Caret(), (TextPos{0, 0}));
    EXPECT_TRUE(BarsSettled(pane));
    EXPECT_EQ(pane.FirstVisibleLine(), 0);
}

TEST(WindowPanes, AWorkersLinesArriveInOrderWhileItWaitsForEach) {
    RecordingDialogs dialogs;
    TfrmMain frm(dialogs);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            // A worker hands its lines over itself; the window's calls are the UI thread's.
            corvane::Synchronize([&] { frm.AddToLog("up " + std::to_string(i)); });
            corvane::Synchronize([&] { frm.AddToLogRec("down " + std::to_string(i)); });
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

TEST(LogPane, BarsAtOneEdgeAreStackedAndGiveTheirRoomBack) {
    ShownPane shown;
    TLogPane& pane = shown.pane;
    const QObject outer;
    const QObject inner;
    const int top = pane.viewport()->geometry().top();
    pane.SetEdgeRoom(Qt::TopEdge, 20, &outer);
    pane.SetEdgeRoom(Qt::TopEdge, 30, &inner);
    EXPECT_EQ(pane.viewport()->geometry().top(), top + 50);
    EXPECT_EQ(pane.EdgeRoomInside(Qt::TopEdge, &outer), 30); // the inner bar lies between
    EXPECT_EQ(pane.EdgeRoomInside(Qt::TopEdge, &inner), 0);
    pane.SetEdgeRoom(Qt::BottomEdge, 10, &inner); // another edge counts apart
    EXPECT_EQ(pane.EdgeRoomInside(Qt::TopEdge, &outer), 30);
    pane.SetEdgeRoom(Qt::TopEdge, 0, &inner);
    EXPECT_EQ(pane.viewport()->geometry().top(), top + 20);
    EXPECT_EQ(pane.EdgeRoomInside(Qt::TopEdge, &outer), 0);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The tools a log pane hosts, driven as the operator drives them: menu items, keys, the pointer.
#include "console/findbar.h"
#include "console/logpane.h"
#include "console/logpanetools.h"
#include "console/panesave.h"
#include "core/codepage.h"
#include "core/settings.h"
#include "recordingdialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include <memory>

namespace {

using corvane::TextPos;

constexpr std::int64_t kTime = 1796663240123456; // 2026-12-07 17:07:20.123456 UTC

QString Clock(std::int64_t time) {
    return QDateTime::fromMSecsSinceEpoch(time / 1000).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                          : QStringLiteral("<none>");
}

// A pane with its tools, shown, active and focused, with settings and boxes of its own.
class PaneTools : public ::testing::Test {
protected:
    void SetUp() override {
        pane->setObjectName(QStringLiteral("mmLog"));
        QFont font;
        font.setFamilies({"Liberation Mono", "DejaVu Sans Mono"});
        font.setPixelSize(11);
        pane->setFont(font);
        pane->resize(360, 160);
        pane->show();
        pane->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(pane.get()));
        pane->setFocus();
    }

    // The lines of the upper pane that the capture's failures go to.
    std::vector<corvane::ByteString> logged;
    QTemporaryDir folder;
    corvane::Settings settings{folder.filePath("corvane.conf")};
    RecordingDialogs dialogs;
    std::unique_ptr<TLogPane> pane = std::make_unique<TLogPane>(nullptr);
    TLogPaneTools* tools =
        new TLogPaneTools(pane.get(), dialogs, settings,
                          [this](const corvane::ByteString& line) { logged.push_back(line); });

    void Fill(int lines) {
        for (int i = 0; i < lines; ++i)
            pane->Append("line " + std::to_string(i) + std::string(60, i % 2 ? 'x' : 'y'),
                         kTime + i * 100512);
    }
    // Runs the item of the pane's context menu with that name.
    void Choose(const char* name) {
        std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
        auto* item = menu->findChild<QAction*>(QLatin1String(name));
        ASSERT_NE(item, nullptr) << name;
        ASSERT_TRUE(item->isEnabled()) << name;
        item->trigger();
    }
    QString ItemText(const char* name) {
        std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
        auto* item = menu->findChild<QAction*>(QLatin1String(name));
        return item ? item->text() + (item->isChecked() ? " [on]" : "") : QString();
    }
    // The colour at the top of a character's cell, where a match's mark shows.
    QRgb CellTop(TextPos pos) {
        const QImage picture = pane->viewport()->grab().toImage();
        const QRect cell = pane->CellRect(pos);
        return QColor(picture.pixel(cell.left() + 1, cell.top())).rgb();
    }
    bool Settled() {
        return QTest::qWaitFor([&] {
            return pane->verticalScrollBar()->value() == pane->FirstVisibleLine() &&
                   pane->verticalScrollBar()->maximum() ==
                       std::max<std::int64_t>(0, pane->LineCount() - pane->VisibleRows());
        });
    }
};

TEST_F(PaneTools, TheMenuKeepsItsItemsAndGainsTheTools) {
    std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
    QStringList names;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            names << action->objectName();
    EXPECT_EQ(names,
              QStringList({"edit-cut", "edit-copy", "edit-paste", "edit-delete", "select-all",
                           "show-times", "copy-with-times", "find", "save-as", "capture-to-file"}));
}

TEST_F(PaneTools, TheTimesColumnLeavesTheTextItsSelectionAndItsScrollRanges) {
    Fill(40);
    pane->SetSelection({3, 2}, {5, 7});
    ASSERT_TRUE(Settled());
    const QString text = pane->toPlainText();
    const QString selected = pane->SelectedText();
    const int verticalMax = pane->verticalScrollBar()->maximum();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(pane.get());
    ASSERT_NE(accessible, nullptr);
    const int characters = accessible->textInterface()->characterCount();

    Choose("show-times");
    EXPECT_EQ(ItemText("show-times"), "Show Times [on]");
    auto* column = pane->findChild<QWidget*>(QStringLiteral("timesColumn"));
    ASSERT_NE(column, nullptr);
    EXPECT_TRUE(column->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->viewport()->x() > column->width() - 1; }));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(pane->toPlainText(), text);
    EXPECT_EQ(pane->SelectedText(), selected);
    EXPECT_EQ(accessible->textInterface()->characterCount(), characters);
    EXPECT_EQ(pane->verticalScrollBar()->maximum(), verticalMax);
    // The horizontal range is the text's alone: its longest line in the columns in view.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return pane->horizontalScrollBar()->maximum() ==
               pane->Store().LongestLine() + 1 - pane->VisibleColumns();
    }));
    // A click on the first cell of a line still lands at its start.
    const QRect cell = pane->CellRect({pane->FirstVisibleLine(), 0});
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {},
                      cell.center() - QPoint(cell.width() / 2 - 1, 0));
    EXPECT_EQ(pane->Caret(), (TextPos{pane->FirstVisibleLine(), 0}));

    // The column shows a time beside each line in view, and nothing beside the empty last one.
    pane->SetSelection({39, 0}, {39, 0});
    ASSERT_TRUE(Settled());
    const QImage picture = column->grab().toImage();
    const auto inkIn = [&](std::int64_t line) {
        const QRect row = pane->CellRect({line, 0});
        const QRgb base = pane->palette().color(QPalette::Base).rgb();
        for (int y = std::max(0, row.top()); y <= row.bottom() && y < picture.height(); ++y)
            for (int x = 0; x < picture.width() - 2; ++x)
                if (picture.pixel(x, y) != base)
                    return true;
        return false;
    };
    EXPECT_TRUE(inkIn(39));
    EXPECT_FALSE(inkIn(40));

    // Remembered for the pane, and shown again by the next pane of that name.
    EXPECT_TRUE(corvane::Settings(folder.filePath("corvane.conf")).ShowTimes("mmLog"));
    TLogPane next(nullptr);
    next.setObjectName(QStringLiteral("mmLog"));
    TLogPaneTools nextTools(&next, dialogs, settings, {});
    EXPECT_TRUE(nextTools.TimesShown());
    Choose("show-times");
    EXPECT_FALSE(column->isVisible());
    EXPECT_FALSE(settings.ShowTimes("mmLog"));
}

TEST_F(PaneTools, ATooltipTellsTheTimeOfTheLineAndTheBytesOfAHexLine) {
    pane->Append("event", kTime);
    pane->Append("-> 41 54 0D 0A", kTime + 100512);
    ASSERT_TRUE(Settled());
    const QRect row = pane->CellRect({1, 3});
    QHelpEvent help(QEvent::ToolTip, row.center(), pane->viewport()->mapToGlobal(row.center()));
    QApplication::sendEvent(pane->viewport(), &help);
    ASSERT_TRUE(QToolTip::isVisible());
    // Its spaces do not break: the text is read as the tip shows it.
    const QString tip = QToolTip::text().replace(QChar::Nbsp, u' ');
    EXPECT_TRUE(tip.contains(QDateTime::fromMSecsSinceEpoch((kTime + 100512) / 1000)
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                             "968"))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains("+0.100512 s")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("AT\\x0D\\x0A")) << tip.toStdString();
    QToolTip::hideText();
}

// An empty pane, at the start and after Clear, has no line to tell of: no time, no tooltip.
TEST_F(PaneTools, AnEmptyPaneShowsNoTimeAndNoTooltip) {
    Choose("show-times");
    auto* column = pane->findChild<QWidget*>(QStringLiteral("timesColumn"));
    ASSERT_NE(column, nullptr);
    const QRgb base = pane->palette().color(QPalette::Base).rgb();
    const auto blank = [&] {
        const QImage picture = column->grab().toImage();
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width() - 2; ++x)
                if (picture.pixel(x, y) != base)
                    return false;
        return true;
    };
    const auto tipOnFirstRow = [&] {
        QToolTip::hideText(); // after a moment
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        const QRect row = pane->CellRect({0, 0});
        QHelpEvent help(QEvent::ToolTip, row.center(), pane->viewport()->mapToGlobal(row.center()));
        QApplication::sendEvent(pane->viewport(), &help);
        return QToolTip::isVisible();
    };
    EXPECT_TRUE(blank());
    EXPECT_FALSE(tipOnFirstRow());
    pane->Append("a line", kTime);
    ASSERT_TRUE(Settled());
    EXPECT_FALSE(blank());
    EXPECT_TRUE(tipOnFirstRow());
    pane->Clear();
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(blank());
    EXPECT_FALSE(tipOnFirstRow());
    QToolTip::hideText();
}

// The tooltip keeps its lines as they are: the date with its time, the bytes with their spaces.
TEST_F(PaneTools, ATooltipIsNotWrappedAtItsSpaces) {
    std::string line = "->";
    for (int i = 0; i < 64; ++i)
        line += i % 2 ? " 20" : " 41";
    pane->Append("first", kTime);
    pane->Append(line, kTime + 100512);
    ASSERT_TRUE(Settled());
    const QRect row = pane->CellRect({1, 1});
    QHelpEvent help(QEvent::ToolTip, row.center(), pane->viewport()->mapToGlobal(row.center()));
    QApplication::sendEvent(pane->viewport(), &help);
    ASSERT_TRUE(QToolTip::isVisible());
    QLabel* tip = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("qtooltip_label") && widget->isVisible())
            tip = qobject_cast<QLabel*>(widget);
    ASSERT_NE(tip, nullptr);
    // Three lines: the date and time, the time since the line before, the bytes.
    const int lines = tip->height() / QFontMetrics(tip->font()).lineSpacing();
    EXPECT_EQ(lines, 3) << tip->text().toStdString();
    QToolTip::hideText();
}

TEST_F(PaneTools, CopyWithTimesPutsEachLineAfterItsTime) {
    Fill(3);
    EXPECT_EQ(ItemText("copy-with-times"), "Copy with Times");
    pane->SetSelection({0, 5}, {2, 0});
    Choose("copy-with-times");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Clock(kTime) + "\t0" + QString(60, u'y') +
                                                        "\n" + Clock(kTime + 100512) + "\tline 1" +
                                                        QString(60, u'x') + "\n");
    // Plain Copy is as it was.
    pane->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), pane->SelectedText());
}

// A selection beyond the copy limit stays off the clipboard and the primary selection (building
// it would hold the window for seconds): Save As is offered instead, and Cut deletes nothing.
TEST_F(PaneTools, ASelectionTooLargeToCopyOffersSaveAsInstead) {
    Fill(10);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    pane->SetCopyLimit(300);
    pane->SetSelection({0, 0}, {3, 0}); // 3 lines of 66 and their breaks: within the limit
    QTest::keyClick(pane.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), pane->SelectedText());
    EXPECT_TRUE(dialogs.confirmations.empty());

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    pane->SelectAll();
    if (QGuiApplication::clipboard()->supportsSelection()) {
        EXPECT_NE(QGuiApplication::clipboard()->text(QClipboard::Selection), pane->SelectedText());
    }
    dialogs.answer = false;
    QTest::keyClick(pane.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_TRUE(dialogs.fileQuestions.empty()) << "No: nothing saved";
    const QString text = pane->toPlainText();
    QTest::keyClick(pane.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(pane->toPlainText(), text) << "not cut";
    EXPECT_EQ(dialogs.confirmations.size(), 2u);

    dialogs.answer = true;
    QTest::keyClick(pane.get(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(dialogs.fileQuestions.size(), 1u);
    EXPECT_EQ(dialogs.fileQuestions[0].caption, "Save As");
}

TEST_F(PaneTools, TheFindBarStepsThroughTheMatchesWithItsKeys) {
    for (const char* line : {"alpha one", "beta", "gamma alpha", "Alpha upper", "delta"})
        pane->Append(line, kTime);
    ASSERT_TRUE(Settled());
    auto* bar = tools->FindBar();

    QTest::keyClick(pane.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), bar->Field());
    // Along the bottom edge, under the text.
    EXPECT_EQ(bar->geometry().top(), pane->viewport()->geometry().bottom() + 1);

    QTest::keyClicks(bar->Field(), "alpha");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "0 of 3"; }))
        << bar->Count()->text().toStdString();

    // The caret stands at the end: the next match wraps round to the top.
    const auto selected = [&] { return std::pair(pane->Anchor(), pane->Caret()); };
    QTest::keyClick(bar->Field(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "1 of 3"; }));
    EXPECT_EQ(selected(), std::pair(TextPos{0, 0}, TextPos{0, 5}));
    QTest::keyClick(bar->Field(), Qt::Key_F3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "2 of 3"; }));
    EXPECT_EQ(selected(), std::pair(TextPos{2, 6}, TextPos{2, 11}));
    QTest::keyClick(bar->Field(), Qt::Key_Return, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "1 of 3"; }));
    QTest::keyClick(bar->Field(), Qt::Key_F3, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "3 of 3"; }));
    EXPECT_EQ(selected(), std::pair(TextPos{3, 0}, TextPos{3, 5}));

    // With the case to match, "Alpha" is out; lines that arrive are counted too.
    bar->MatchCase()->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "0 of 2"; }));
    pane->Append("alpha again", kTime);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "0 of 3"; }))
        << bar->Count()->text().toStdString();

    // F3 works from the pane too while the bar is open: from the caret on.
    pane->setFocus();
    pane->SetSelection({0, 1}, {0, 1});
    QTest::keyClick(pane.get(), Qt::Key_F3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "2 of 3"; }));
    EXPECT_EQ(selected(), std::pair(TextPos{2, 6}, TextPos{2, 11}));

    // Esc from anywhere in the bar.
    bar->MatchCase()->setFocus();
    QTest::keyClick(bar->MatchCase(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), pane.get());
    EXPECT_EQ(pane->viewport()->geometry().bottom(),
              pane->height() - pane->frameWidth() - pane->horizontalScrollBar()->height() - 1);
    QTest::keyClick(pane.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    QTest::keyClick(bar->Field(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), pane.get());
}

// A screen reader reads the count itself; once Esc has closed the bar, F3 and Shift+F3 in the
// pane find again what it held.
TEST_F(PaneTools, TheCountReachesAScreenReaderAndF3FindsAgainAfterTheBarIsClosed) {
    for (const char* line : {"alpha one", "beta", "gamma alpha", "delta"})
        pane->Append(line, kTime);
    ASSERT_TRUE(Settled());
    auto* bar = tools->FindBar();
    QTest::keyClick(pane.get(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(bar->Field(), "alpha");
    QAccessibleInterface* count = QAccessible::queryAccessibleInterface(bar->Count());
    ASSERT_NE(count, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "0 of 2"; }));
    EXPECT_EQ(count->text(QAccessible::Name), "0 of 2");
    EXPECT_EQ(count->text(QAccessible::Description), "Matches");
    QTest::keyClick(bar->Field(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Count()->text() == "1 of 2"; }));
    EXPECT_EQ(count->text(QAccessible::Name), "1 of 2");

    QTest::keyClick(bar->Field(), Qt::Key_Escape);
    ASSERT_FALSE(bar->isVisible());
    const auto selected = [&] { return std::pair(pane->Anchor(), pane->Caret()); };
    QTest::keyClick(pane.get(), Qt::Key_F3);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return selected() == std::pair(TextPos{2, 6}, TextPos{2, 11});
    }));
    QTest::keyClick(pane.get(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return selected() == std::pair(TextPos{0, 0}, TextPos{0, 5});
    }));
    EXPECT_FALSE(bar->isVisible());
}

// Shift+F10 opens the pane's menu, as the Menu key does.
TEST_F(PaneTools, ShiftF10OpensThePanesMenu) {
    pane->Append("line", kTime);
    pane->setFocus();
    QTest::keyClick(pane.get(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(menu->findChild<QAction*>(QStringLiteral("select-all")), nullptr);
    EXPECT_NE(menu->findChild<QAction*>(QStringLiteral("find")), nullptr);
    // Opened at the caret, inside the pane.
    EXPECT_TRUE(pane->rect().contains(pane->mapFromGlobal(menu->pos())));
    menu->close();
}

// "Include times" opens as the last Save As left it.
TEST_F(PaneTools, IncludeTimesOpensAsItWasLastLeft) {
    pane->Append("line", kTime);
    Choose("save-as"); // cancelled
    ASSERT_EQ(dialogs.fileQuestions.size(), 1u);
    EXPECT_FALSE(dialogs.fileQuestions[0].includeTimes);
    dialogs.fileAnswer = Dialogs::FileChoice{folder.filePath("timed.txt"), true};
    Choose("save-as");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tools->Save()->Running(); }));
    dialogs.fileAnswer.reset();
    Choose("save-as");
    EXPECT_TRUE(dialogs.fileQuestions.back().includeTimes);
    EXPECT_TRUE(settings.IncludeTimes());
}

TEST_F(PaneTools, EveryMatchInViewIsMarked) {
    for (const char* line : {"alpha", "gamma", "alpha"})
        pane->Append(line, kTime);
    ASSERT_TRUE(Settled());
    const QRgb base = pane->palette().color(QPalette::Base).rgb();
    ASSERT_EQ(CellTop({2, 0}), base);

    tools->FindBar()->Open();
    QTest::keyClicks(tools->FindBar()->Field(), "alpha");
    EXPECT_TRUE(QTest::qWaitFor([&] { return CellTop({2, 0}) != base; }));
    EXPECT_NE(CellTop({0, 4}), base);
    EXPECT_EQ(CellTop({1, 0}), base);
    EXPECT_EQ(CellTop({2, 5}), base);

    tools->FindBar()->Close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return CellTop({2, 0}) == base; }));
}

TEST_F(PaneTools, AMatchAfterTabsIsMarkedWithThePaneScrolledToIt) {
    // Forty tabs: the match starts at byte 40 but in cell 320, well to the right.
    pane->Append(std::string(40, '\t') + "alpha" + std::string(400, '.'), kTime);
    pane->SetSelection({0, 45}, {0, 45});
    ASSERT_TRUE(Settled());
    ASSERT_GT(pane->FirstVisibleColumn(), 45) << "scrolled beyond the match's byte column";
    const QRgb base = pane->palette().color(QPalette::Base).rgb();
    ASSERT_EQ(CellTop({0, 42}), base);
    tools->FindBar()->Open();
    QTest::keyClicks(tools->FindBar()->Field(), "alpha");
    EXPECT_TRUE(QTest::qWaitFor([&] { return CellTop({0, 42}) != base; }));
}

TEST_F(PaneTools, TheMarksOfALongLineFollowAnEditOfIt) {
    pane->Append("alpha" + std::string(100000, '.'), kTime);
    pane->Append("last", kTime);
    pane->SetSelection({0, 0}, {0, 0});
    ASSERT_TRUE(Settled());
    const QRgb base = pane->palette().color(QPalette::Base).rgb();
    tools->FindBar()->Open();
    QTest::keyClicks(tools->FindBar()->Field(), "alpha");
    ASSERT_TRUE(QTest::qWaitFor([&] { return CellTop({0, 2}) != base; }));
    // The operator types over the match: its mark goes with it.
    pane->ReplaceText({0, 0}, {0, 5}, "omega");
    EXPECT_TRUE(QTest::qWaitFor([&] { return CellTop({0, 2}) == base; }));
}

TEST_F(PaneTools, SaveAsWritesTheWholePaneWithOrWithoutTimes) {
    pane->Append("first", kTime);
    pane->Append(corvane::ToCodePage(QString::fromUtf8("Ошибка RX1")), kTime + 1000);
    const QString plain = folder.filePath("plain.txt");
    dialogs.fileAnswer = Dialogs::FileChoice{plain, false};
    // Ctrl+S while the pane has the focus.
    QTest::keyClick(pane.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.fileQuestions.size(), 1u);
    EXPECT_TRUE(dialogs.fileQuestions[0].offerTimes);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tools->Save()->Running(); }));
    EXPECT_EQ(ReadFile(plain), QString::fromUtf8("first\nОшибка RX1\n"));
    // The next dialog opens in the folder of the last.
    EXPECT_EQ(settings.LastFolder(), folder.path());

    const QString timed = folder.filePath("timed.txt");
    dialogs.fileAnswer = Dialogs::FileChoice{timed, true};
    Choose("save-as");
    EXPECT_EQ(dialogs.fileQuestions.back().folder, folder.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tools->Save()->Running(); }));
    const QStringList lines = ReadFile(timed).split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression iso(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z)\\t"));
    EXPECT_TRUE(iso.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("\tfirst"));
    EXPECT_TRUE(lines[1].endsWith(QString::fromUtf8("\tОшибка RX1")));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PaneTools, AFailedSaveShowsOneBoxNamingTheFileAndTheReason) {
    pane->Append("line", kTime);
    const QString target = folder.filePath("no such folder/out.txt");
    dialogs.fileAnswer = Dialogs::FileChoice{target, false};
    Choose("save-as");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tools->Save()->Running(); }));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    const QString box = corvane::FromCodePage(dialogs.errors[0]);
    EXPECT_TRUE(box.contains(target)) << box.toStdString();
    EXPECT_TRUE(box.contains("No such file or directory")) << box.toStdString();
    EXPECT_FALSE(QFile::exists(target));

    // Cancelled in the dialog: nothing happens.
    dialogs.fileAnswer.reset();
    Choose("save-as");
    EXPECT_FALSE(tools->Save()->Running());
    EXPECT_EQ(dialogs.errors.size(), 1u);
}

TEST_F(PaneTools, ASaveCancelledInItsProgressDialogLeavesNoFileAndNoBox) {
    Fill(1000);
    const QString target = folder.filePath("cancelled.txt");
    dialogs.fileAnswer = Dialogs::FileChoice{target, true};
    Choose("save-as");
    ASSERT_TRUE(tools->Save()->Running());
    auto* progress = pane->window()->findChild<QProgressDialog*>(QStringLiteral("saveProgress"));
    ASSERT_NE(progress, nullptr);
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tools->Save()->Running(); }));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"corvane.conf"}));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(pane->window()->findChild<QProgressDialog*>(), nullptr);
}

TEST_F(PaneTools, CaptureWritesEveryLineAsItComesUntilStopped) {
    pane->Append("before", kTime);
    const QString path = folder.filePath("capture.txt");
    dialogs.fileAnswer = Dialogs::FileChoice{path, false};
    Choose("capture-to-file");
    EXPECT_EQ(ItemText("capture-to-file"), "Capture to File: " + path + " [on]");
    pane->Append("one", kTime);
    pane->Clear(); // does not stop the capture
    pane->Append("two\r\nthree", kTime + 1000);
    Choose("capture-to-file");
    EXPECT_EQ(ItemText("capture-to-file"), QString::fromUtf8("Capture to File…"));
    pane->Append("after", kTime);

    QStringList lines = ReadFile(path).split(u'\n');
    ASSERT_EQ(lines.size(), 4) << ReadFile(path).toStdString();
    EXPECT_TRUE(lines[0].endsWith("\tone"));
    EXPECT_TRUE(lines[1].endsWith("\ttwo"));
    EXPECT_TRUE(lines[2].endsWith("\tthree"));
    EXPECT_EQ(lines[3], "");
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PaneTools, ACaptureThatCannotWriteStopsWithOneBoxAndOneLine) {
    dialogs.fileAnswer = Dialogs::FileChoice{QStringLiteral("/dev/full"), false};
    Choose("capture-to-file");
    pane->Append("lost", kTime);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.errors.empty(); }, 10000));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(corvane::FromCodePage(logged[0]).contains("/dev/full"));
    EXPECT_TRUE(corvane::FromCodePage(logged[0]).contains("No space left on device"));
    EXPECT_EQ(ItemText("capture-to-file"), QString::fromUtf8("Capture to File…"));
    // Stopped: later lines bring no more boxes.
    pane->Append("more", kTime);
    QTest::qWait(1500);
    EXPECT_EQ(dialogs.errors.size(), 1u);

    // A file that cannot be opened: one box, and no capture.
    dialogs.fileAnswer = Dialogs::FileChoice{folder.filePath("none/capture.txt"), false};
    Choose("capture-to-file");
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_TRUE(corvane::FromCodePage(dialogs.errors[1]).contains("none/capture.txt"));
    EXPECT_FALSE(tools->Capture().Capturing());
}

// A capture into a file that exists adds to it unless the operator chose to replace it; on the
// screen the question comes after the file dialog, "Append" first and the default.
TEST_F(PaneTools, ACaptureIntoAFileThatExistsAppendsOrReplacesAsChosen) {
    const QString path = folder.filePath("capture.txt");
    for (bool append : {true, false}) {
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old line\n");
        }
        dialogs.fileAnswer = Dialogs::FileChoice{path, false, append};
        Choose("capture-to-file");
        EXPECT_TRUE(dialogs.fileQuestions.back().offerAppend);
        pane->Append("new line", kTime);
        Choose("capture-to-file");
        const QString text = ReadFile(path);
        EXPECT_EQ(text.startsWith("old line\n"), append) << text.toStdString();
        EXPECT_TRUE(text.endsWith("\tnew line\n")) << text.toStdString();
    }

    ScreenDialogs screen;
    const auto answer = [&](const char* button) {
        // The file dialog, then the question.
        QTimer::singleShot(0, [path] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(files, nullptr);
            files->selectFile(path);
            static_cast<QDialog*>(files)->accept(); // the file dialog's own, virtual
        });
        auto* poll = new QTimer(pane.get());
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, [poll, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            EXPECT_EQ(box->objectName(), "appendOrReplace");
            EXPECT_EQ(box->defaultButton()->text(), "&Append");
            for (QAbstractButton* each : box->buttons())
                if (each->text() == QLatin1String(button))
                    each->click();
        });
        poll->start();
        return screen.AskFileToWrite({.caption = QStringLiteral("Capture to File"),
                                      .folder = folder.path(),
                                      .filter = QString(),
                                      .offerTimes = false,
                                      .includeTimes = false,
                                      .offerAppend = true});
    };
    const auto appended = answer("&Append");
    ASSERT_TRUE(appended.has_value());
    EXPECT_EQ(appended->path, path);
    EXPECT_TRUE(appended->append);
    const auto replaced = answer("&Replace");
    ASSERT_TRUE(replaced.has_value());
    EXPECT_FALSE(replaced->append);
    EXPECT_FALSE(answer("Cancel").has_value());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// "View" of a log pane, driven from its context menu: the whole text redrawn, copied and captured
// in the view chosen, and the choice remembered per pane.
#include "console/logpane.h"
#include "console/mutedink.h"
#include "console/paneviewmenu.h"
#include "core/codepage.h"
#include "core/settings.h"
#include "logstore/linecapture.h"
#include "logstore/tabstops.h"
#include "payload/hexcodec.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using corvane::ByteString;
using corvane::DataView;
using corvane::PaneView;
using corvane::TextEncoding;

class PaneViewMenu : public ::testing::Test {
protected:
    void SetUp() override {
        pane->setObjectName(QStringLiteral("mmLogRec"));
        // A monospaced face, as the window gives its panes: every glyph within its cell.
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(11);
        pane->setFont(font);
        pane->resize(480, 160);
        pane->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
    }
    void Choose(const char* name) {
        std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
        auto* item = menu->findChild<QAction*>(QLatin1String(name));
        ASSERT_NE(item, nullptr) << name;
        item->trigger();
    }
    QStringList Checked() {
        std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
        QStringList names;
        for (QAction* action : menu->findChildren<QAction*>())
            if (action->isChecked() && action->objectName().startsWith(u"view-"))
                names << action->objectName();
            else if (action->isChecked() && action->objectName().startsWith(u"encoding-"))
                names << action->objectName();
        return names;
    }
    void AppendData(const ByteString& bytes) { pane->Append("-> " + corvane::StrToHexView(bytes)); }

    QTemporaryDir folder;
    corvane::Settings settings{folder.filePath("corvane.conf")};
    std::unique_ptr<TLogPane> pane = std::make_unique<TLogPane>(nullptr);
    TPaneViewMenu* views = new TPaneViewMenu(pane.get(), settings);
};

TEST_F(PaneViewMenu, TheChosenViewShowsEveryLineAndIsRememberedForThePane) {
    EXPECT_EQ(Checked(), QStringList({"view-hex", "encoding-utf-8"}));
    pane->Append("Начало работы потока приёма");
    AppendData("OK\r\n");
    AppendData("\xCF\xF0\xE8\xE2\xE5\xF2\n"); // Привет in Windows-1251
    EXPECT_EQ(pane->Line(1), "->  4F 4B 0D 0A");

    Choose("view-text");
    EXPECT_EQ(Checked(), QStringList({"view-text", "encoding-utf-8"}));
    EXPECT_EQ(pane->Line(0), "Начало работы потока приёма");
    EXPECT_EQ(pane->Line(1), "->  OK");
    EXPECT_EQ(pane->Line(2), "->  \\xCF\\xF0\\xE8\\xE2\\xE5\\xF2");
    Choose("encoding-windows-1251");
    EXPECT_EQ(pane->Line(2), "->  \xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(pane->toPlainText().split(u'\n').at(2), QStringLiteral("->  Привет"));
    Choose("view-hex-and-text");
    EXPECT_EQ(pane->Line(1), "->  4F 4B 0D 0A  OK..");

    // Another pane of the same name starts in the view and encoding remembered.
    TLogPane other(nullptr);
    other.setObjectName(QStringLiteral("mmLogRec"));
    new TPaneViewMenu(&other, settings);
    EXPECT_EQ(other.View(), (PaneView{DataView::HexAndText, TextEncoding::Windows1251}));
    TLogPane upper(nullptr);
    upper.setObjectName(QStringLiteral("mmLog"));
    new TPaneViewMenu(&upper, settings);
    EXPECT_EQ(upper.View(), PaneView{});
}

TEST_F(PaneViewMenu, ACopiedTextLineTurnsBackIntoItsBytes) {
    ByteString bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    AppendData(bytes);
    for (const char* encoding : {"encoding-utf-8", "encoding-windows-1251"}) {
        Choose("view-text");
        Choose(encoding);
        pane->SetSelection({0, 0}, {0, pane->Store().LineLength(0)});
        pane->copy();
        const ByteString copied = corvane::ToCodePage(QGuiApplication::clipboard()->text());
        ASSERT_EQ(copied.substr(0, 4), "->  ");
        EXPECT_EQ(corvane::TextViewBytes(copied.substr(4), pane->View().encoding), bytes)
            << encoding;
    }
}

TEST_F(PaneViewMenu, TheCaptureTakesTheLinesAsShown) {
    corvane::LineCapture capture([](const corvane::FileError&) { ADD_FAILURE(); });
    const QString path = folder.filePath("capture.txt");
    ASSERT_FALSE(capture.Start(path.toStdString()).has_value());
    pane->SetCapture(&capture);
    Choose("view-text");
    AppendData("$GPGGA,1\r\n");
    Choose("view-hex");
    AppendData("ok");
    pane->SetCapture(nullptr);
    capture.Stop();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\t->  $GPGGA,1"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t->  6F 6B"))) << lines[1].toStdString();
}

TEST_F(PaneViewMenu, EscapesAreDrawnInTheMutedInk) {
    AppendData("A\x1B"
               "B");
    // After a tab, an escape's cells lie beyond its columns.
    AppendData("\tA\x1B"
               "B");
    Choose("view-text");
    ASSERT_EQ(pane->Line(0), "->  A\\x1BB");
    ASSERT_EQ(pane->Line(1), "->  \tA\\x1BB");
    const QImage picture = pane->viewport()->grab().toImage();
    const int muted = qGray(MutedInk(pane->palette(), QPalette::Active).rgb());
    const int ink = qGray(pane->palette().color(QPalette::Active, QPalette::Text).rgb());
    // The darkest pixel of the cells: at most as dark as the ink that drew them (thin strokes
    // are smoothed lighter, never darker).
    const auto darkest = [&](std::int64_t line, std::int64_t from, std::int64_t to) {
        int found = 255;
        const QRect first = pane->CellRect({line, from});
        const QRect last = pane->CellRect({line, to - 1});
        // Within the cells' edges: a neighbour's glyph may reach a pixel over.
        for (int x = first.left() + 1; x < last.right(); ++x)
            for (int y = first.top(); y <= first.bottom(); ++y)
                found = std::min(found, qGray(picture.pixel(x, y)));
        return found;
    };
    ASSERT_GT(muted - ink, 60);
    for (const std::int64_t line : {0, 1}) {
        // \x1B: drawn, and nowhere darker than its ink
        EXPECT_LT(darkest(line, 5 + line, 9 + line), 235) << line;
        EXPECT_GE(darkest(line, 5 + line, 9 + line), muted - 10) << line;
        EXPECT_LT(darkest(line, 4 + line, 5 + line), muted - 60) << line;  // A
        EXPECT_LT(darkest(line, 9 + line, 10 + line), muted - 60) << line; // B
    }
}

// Deep in a line of megabytes, past many tabs and pieces, the row in view is drawn from the mark
// before it as the whole line shows it: its escape muted in its cells, and a click on a cell
// lands on the column under it.
TEST_F(PaneViewMenu, DeepInALongLineTheRowIsDrawnAsTheWholeLineShows) {
    ByteString bytes;
    while (bytes.size() < 400'000)
        bytes += "ok\tAB\xD0\x9F";
    bytes += "X\x1B"
             "Y";
    bytes += bytes.substr(0, 100'000);
    AppendData(bytes);
    Choose("view-text");
    const ByteString whole = pane->Line(0);
    const auto column = static_cast<std::int64_t>(whole.find("X\\x1BY")) + 1;
    const std::int64_t cell =
        corvane::CellAfter(std::string_view(whole).substr(0, static_cast<std::size_t>(column)));
    ASSERT_GT(cell, column);
    pane->EnsureVisible({0, column + 20});
    const QRect escape = pane->CellRect({0, column});
    ASSERT_TRUE(pane->viewport()->rect().contains(escape));
    EXPECT_NEAR(pane->CellRect({0, column + 4}).left() - escape.left(), 4 * escape.width(), 4);
    for (std::int64_t at = column - 9; at <= column + 9; ++at) {
        const QRect rect = pane->CellRect({0, at});
        EXPECT_EQ(pane->PositionAt(rect.center() - QPoint(rect.width() / 4, 0)),
                  (corvane::TextPos{0, at}))
            << at;
    }

    const QImage picture = pane->viewport()->grab().toImage();
    const int muted = qGray(MutedInk(pane->palette(), QPalette::Active).rgb());
    const auto darkest = [&](std::int64_t from, std::int64_t to) {
        int found = 255;
        const QRect first = pane->CellRect({0, from});
        const QRect last = pane->CellRect({0, to - 1});
        for (int x = first.left() + 1; x < last.right(); ++x)
            for (int y = first.top(); y <= first.bottom(); ++y)
                found = std::min(found, qGray(picture.pixel(x, y)));
        return found;
    };
    EXPECT_LT(darkest(column, column + 4), 235); // \x1B: drawn, muted
    EXPECT_GE(darkest(column, column + 4), muted - 10);
    EXPECT_LT(darkest(column - 1, column), muted - 60);     // X
    EXPECT_LT(darkest(column + 4, column + 5), muted - 60); // Y
}

} // namespace

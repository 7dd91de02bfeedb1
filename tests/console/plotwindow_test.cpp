// SPDX-License-Identifier: GPL-3.0-or-later
// The plot window, opened from the lower pane's menu of the main window and fed by the lines the
// pane receives from either link: what the chart's series hold, when it redraws, and its controls.
#include "console/paneviewmenu.h"
#include "console/plotchart.h"
#include "console/plotmenu.h"
#include "console/plotwindow.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/codepage.h"
#include "core/logarrows.h"
#include "core/settings.h"
#include "core/walltime.h"
#include "payload/hexcodec.h"
#include "plot/plotcsv.h"
#include "plot/plotenvelope.h"
#include "recordingdialogs.h"

#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using corvane::ByteString;
using corvane::PlotSeries;

// The settings file is the test program's: no plot choices left from another case.
bool ClearPlotSettings() {
    corvane::Settings settings;
    settings.SetPlotGeometry({});
    settings.SetPlotFollow({});
    settings.SetPlotSeconds(10);
    return true;
}

class PlotWindow : public ::testing::Test {
protected:
    TPlotWindow* Open() {
        std::unique_ptr<QMenu> menu(frm.mmLogRec->createStandardContextMenu());
        auto* item = menu->findChild<QAction*>(QStringLiteral("plot"));
        EXPECT_NE(item, nullptr);
        if (item == nullptr)
            return nullptr;
        EXPECT_EQ(item->text(), QStringLiteral("Plot…"));
        item->trigger();
        return frm.Tools()->Plot()->Window();
    }
    // A read of the serial link, as the receive worker hands it to the window.
    void Serial(std::string_view bytes, std::int64_t time) {
        frm.AddToLogRec(corvane::kReceivedArrow + corvane::StrToHexView(ByteString(bytes)), time);
    }
    void Datagram(std::string_view bytes, const char* sender, std::int64_t time) {
        corvane::TIdSocketHandle binding(0);
        binding.RecordSender(sender, 4001, time);
        corvane::StringStream data;
        data.Write(bytes.data(), bytes.size());
        frm.IdUDPServer1UDPRead(*frm.IdUDPServer1, data, binding);
    }
    // Waits for the chart to take what came: the numbers of every line, then a frame.
    bool Drawn(TPlotWindow* plot) {
        const int frames = plot->Frames();
        plot->Settle();
        return QTest::qWaitFor([&] { return plot->Frames() > frames; }, 10000);
    }
    // Each line of the chart is drawn through what draws every sample of its series in view at
    // the chart's resolution; through all of them, where there are no more than four a column.
    void ExpectEverySamplePlotted(const TPlotWindow* plot, bool each = false) {
        const auto& all = plot->Series().All();
        const TPlotWindow::FrameSpan span = plot->LastFrame();
        EXPECT_EQ(span.to, plot->Series().ViewEnd());
        EXPECT_EQ(span.columns, plot->Chart()->PlotArea().width());
        EXPECT_GT(span.columns, 100);
        ASSERT_EQ(plot->Lines(), all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::vector<corvane::PlotSample> drawn;
            corvane::AppendEnvelope(all[i].samples, span.from, span.to, span.columns, drawn);
            EXPECT_EQ(plot->Drawn(i), drawn) << i;
            if (each) {
                EXPECT_EQ(plot->Drawn(i).size(), all[i].samples.size()) << i;
            }
        }
    }
    std::vector<QString> Names(const TPlotWindow* plot) const {
        std::vector<QString> names;
        const auto* ticks = plot->findChild<QListWidget*>(QStringLiteral("series"));
        for (int i = 0; i < ticks->count(); ++i)
            names.push_back(ticks->item(i)->text());
        return names;
    }

    const bool cleared_ = ClearPlotSettings();
    RecordingDialogs dialogs;
    TfrmMain frm{dialogs};
    const std::int64_t start_ = corvane::WallClockNow();
};

TEST_F(PlotWindow, OpensOnceFollowsBothLinksAndRemembersItsPlace) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(Open(), plot) << "one at a time";
    EXPECT_TRUE(plot->isVisible());
    for (int i = 0; i < 50; ++i) {
        const std::int64_t time = start_ + i * 10'000;
        Serial("t=" + std::to_string(i) + ",sin=" + std::to_string(i * 0.5) + "\r\n", time);
        Datagram(std::to_string(i) + " " + std::to_string(-i), "127.0.0.5", time);
    }
    Serial("no numbers\r\n", start_ + 600'000);
    ASSERT_TRUE(Drawn(plot));
    EXPECT_EQ(Names(plot), (std::vector<QString>{"t", "sin", "127.0.0.5 1", "127.0.0.5 2"}));
    ExpectEverySamplePlotted(plot, true);
    EXPECT_EQ(plot->Drawn(3).back().value, -49);
    EXPECT_EQ(frm.mmLogRec->LinesWithTimes(), 101) << "the pane keeps every line";

    plot->setGeometry(120, 90, 640, 380);
    const QSize size = plot->size();
    plot->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frm.Tools()->Plot()->Window(), nullptr);
    Serial("1\r\n", start_ + 700'000); // nobody follows now
    EXPECT_EQ(frm.mmLogRec->LinesWithTimes(), 102);
    EXPECT_FALSE(corvane::Settings().PlotGeometry().isEmpty());

    TPlotWindow* again = Open();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size(), size);
    EXPECT_EQ(again->Lines(), 0u) << "a new plot starts empty";
}

TEST_F(PlotWindow, FollowsTheLinkChosenAndRemembersIt) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    plot->SetFollow(corvane::PlotFollow::Udp);
    Serial("1 2\r\n", start_);
    Datagram("3", "127.0.0.6", start_);
    ASSERT_TRUE(Drawn(plot));
    EXPECT_EQ(Names(plot), std::vector<QString>{"127.0.0.6 1"});
    plot->SetFollow(corvane::PlotFollow::Serial);
    Serial("1 2\r\n", start_ + 1000);
    Datagram("3", "127.0.0.6", start_ + 1000);
    ASSERT_TRUE(Drawn(plot));
    EXPECT_EQ(Names(plot), (std::vector<QString>{"127.0.0.6 1", "1", "2"}));
    EXPECT_EQ(plot->Drawn(0).size(), 1u);
    EXPECT_EQ(corvane::Settings().PlotFollow(), "serial");
    plot->close();
    EXPECT_EQ(Open()->Series().All().size(), 0u);
    Datagram("3", "127.0.0.6", start_ + 2000);
    Serial("4\r\n", start_ + 2000);
    frm.Tools()->Plot()->Window()->Settle();
    EXPECT_EQ(frm.Tools()->Plot()->Window()->Series().All().size(), 1u) << "serial, as left";
}

TEST_F(PlotWindow, LinesAreDecodedInTheLowerPanesEncoding) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    frm.Tools()->LogRecView()->Choose({corvane::DataView::Hex, corvane::TextEncoding::Windows1251});
    Serial(corvane::ToCodePage(QStringLiteral("темп")) + "=21.5\n", start_);
    ASSERT_TRUE(Drawn(plot));
    EXPECT_EQ(Names(plot), std::vector<QString>{QStringLiteral("темп")});
}

TEST_F(PlotWindow, RedrawsOnceAFrameWithEverySampleOfSixteenSeries) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(plot));
    QTest::qWait(50);
    const int frames = plot->Frames();
    const int paints = plot->Chart()->Paints();
    // Two seconds of 1,000 lines a second, all come before the event loop runs again.
    for (int line = 0; line < 2000; ++line) {
        std::string text;
        for (int series = 0; series < 17; ++series)
            text += "s" + std::to_string(series) + "=" + std::to_string(line * 17 + series) + " ";
        Serial(text + "\r\n", start_ + line * 1000);
    }
    EXPECT_EQ(plot->Frames(), frames) << "no frame for a line";
    ASSERT_TRUE(Drawn(plot));
    EXPECT_EQ(plot->Frames(), frames + 1);
    EXPECT_EQ(plot->Lines(), PlotSeries::kMaxSeries);
    EXPECT_EQ(plot->Series().Dropped(), 2000u) << "the seventeenth";
    EXPECT_EQ(plot->Series().SamplesKept(), 16 * 2000);
    ExpectEverySamplePlotted(plot);
    EXPECT_LT(plot->Drawn(0).size(), 2000u) << "fewer points than samples: a few a pixel";
    // Nothing new: no more frames, and the one frame painted once.
    QTest::qWait(100);
    EXPECT_EQ(plot->Frames(), frames + 1);
    EXPECT_EQ(plot->Chart()->Paints(), paints + 1);
}

TEST_F(PlotWindow, PauseStopsThePlotAndKeepsTheData) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    plot->SetSeconds(1);
    EXPECT_EQ(corvane::Settings().PlotSeconds(), 1);
    for (int i = 0; i <= 100; ++i)
        Serial("v=" + std::to_string(i) + "\n", start_ + i * 10'000);
    ASSERT_TRUE(Drawn(plot));
    plot->findChild<QPushButton*>(QStringLiteral("pause"))->click();
    ASSERT_TRUE(plot->Series().Paused());
    const int frames = plot->Frames();
    for (int i = 101; i <= 400; ++i)
        Serial("v=" + std::to_string(i) + "\n", start_ + i * 10'000);
    plot->Settle();
    QTest::qWait(100);
    EXPECT_EQ(plot->Frames(), frames);
    EXPECT_EQ(plot->Drawn(0).back().value, 100) << "the plot stopped";
    EXPECT_EQ(plot->Series().SamplesKept(), 401) << "every line since the view's start kept";
    plot->findChild<QPushButton*>(QStringLiteral("pause"))->click();
    EXPECT_FALSE(plot->Series().Paused());
    EXPECT_EQ(plot->Drawn(0).back().value, 400);
    EXPECT_EQ(plot->Drawn(0).size(), 101u) << "the last second";
    ExpectEverySamplePlotted(plot, true);
}

TEST_F(PlotWindow, ScaleFollowsTheShownSeriesOrIsFixed) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    for (int i = 0; i < 10; ++i)
        Serial("small=" + std::to_string(i % 3) + " big=" + std::to_string(1000 + i) + "\n",
               start_ + i * 1000);
    ASSERT_TRUE(Drawn(plot));
    const TPlotChart* axis = plot->Chart();
    EXPECT_GE(axis->Greatest(), 1009);
    EXPECT_LE(axis->Least(), 0);
    auto* ticks = plot->findChild<QListWidget*>(QStringLiteral("series"));
    ASSERT_EQ(ticks->count(), 2);
    EXPECT_EQ(ticks->item(1)->text(), "big");
    ticks->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(plot->Chart()->Lines()[1].shown);
    EXPECT_LT(axis->Greatest(), 10);
    EXPECT_LE(axis->Least(), 0);
    plot->SetFixedScale(std::pair{-5.0, 5.0});
    EXPECT_EQ(axis->Least(), -5);
    EXPECT_EQ(axis->Greatest(), 5);
    Serial("small=40\n", start_ + 20'000);
    ASSERT_TRUE(Drawn(plot));
    EXPECT_EQ(axis->Greatest(), 5) << "fixed";
    plot->SetFixedScale(std::nullopt);
    EXPECT_GE(axis->Greatest(), 40);
}

TEST_F(PlotWindow, CursorReadsEachShownSeriesAtATime) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    Serial("sin=0.5 cos=-1\n", start_);
    Serial("sin=0.25 cos=2\n", start_ + 100'000);
    ASSERT_TRUE(Drawn(plot));
    const QString text = plot->CursorText(start_ + 80'000);
    EXPECT_TRUE(text.endsWith(QStringLiteral("   sin 0.25   cos 2"))) << text.toStdString();
    plot->SetShown(0, false);
    EXPECT_TRUE(plot->CursorText(start_).endsWith(QStringLiteral("   cos -1")));
}

TEST_F(PlotWindow, SavesTheSamplesAsCsvAndThePictureAsPng) {
    TPlotWindow* plot = Open();
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(plot));
    for (int i = 0; i < 20; ++i)
        Serial("t=" + std::to_string(i) + ",x=" + std::to_string(i * i) + "\n", start_ + i * 1000);
    ASSERT_TRUE(Drawn(plot));
    QTemporaryDir folder;
    dialogs.fileAnswer = Dialogs::FileChoice{folder.filePath("plot.csv"), false, false};
    plot->findChild<QPushButton*>(QStringLiteral("save-csv"))->click();
    ASSERT_EQ(dialogs.fileQuestions.size(), 1u);
    EXPECT_EQ(dialogs.fileQuestions[0].caption, "Save as CSV");
    QFile csv(folder.filePath("plot.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray written = csv.readAll();
    EXPECT_EQ(written.toStdString(), corvane::PlotCsv(plot->Series(), plot->Series().ViewStart(),
                                                      plot->Series().ViewEnd()));
    EXPECT_EQ(written.count("\r\n"), 21);

    dialogs.fileAnswer = Dialogs::FileChoice{folder.filePath("plot.png"), false, false};
    plot->findChild<QPushButton*>(QStringLiteral("save-png"))->click();
    EXPECT_EQ(dialogs.fileQuestions.back().caption, "Save as PNG");
    QImage png(folder.filePath("plot.png"), "PNG");
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), plot->Picture().size());
    EXPECT_GT(png.width(), plot->Chart()->width()) << "the ticks beside the chart";

    dialogs.fileAnswer = Dialogs::FileChoice{folder.path(), false, false};
    plot->SaveAsCsv();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(
        dialogs.errors[0].find("Cannot save " + folder.path().toStdString() + ": Is a directory"),
        std::string::npos)
        << dialogs.errors[0];
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The plot window: the numbers of the received lines over their time (plot/plotseries.h), one
// line a series, drawn through what draws its samples exactly at the chart's resolution
// (plot/plotenvelope.h): a few points a pixel column, however many samples the window holds.
// Lines come in through Take, as the lower pane gets them, and their numbers a moment later from
// the feed's thread (plot/plotfeed.h); the chart follows at most 30 times a second, however many
// lines came meanwhile (under a flood of lines, 10 times), and paused not at all. Above the chart:
// the link followed, the time shown, a fixed vertical scale, Pause, "Save as PNG" and "Save as
// CSV"; beside it one tick a series, in its colour, to hide it; under it what the cursor reads at
// the time the mouse points at.

#include "plot/plotfeed.h"
#include "plot/plotseries.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <span>
#include <string_view>
#include <vector>

class Dialogs;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class TPlotChart;
namespace corvane {
class Settings;
}

class TPlotWindow : public QWidget {
public:
    // pane: the lower pane, whose Text view's encoding the lines are decoded in.
    TPlotWindow(QWidget* parent, class TLogPane* pane, corvane::Settings& settings,
                Dialogs& dialogs);

    // Lines of the lower pane from link, each at its time (sender: a datagram's), with the bytes
    // their hex views show where the link gave them (plot/plotfeed.h).
    void Take(corvane::PlotLink link, std::string_view sender,
              std::span<const corvane::ByteString> lines, std::span<const std::int64_t> times,
              std::span<const std::string_view> bytes);

    // controls, as the operator uses them
    void SetFollow(corvane::PlotFollow follow);
    // Seconds shown, one of kWindowSeconds.
    void SetSeconds(int seconds);
    void SetPaused(bool paused);
    // The vertical scale fixed from least to greatest; nothing: it follows what is in view.
    void SetFixedScale(std::optional<std::pair<double, double>> scale);
    void SetShown(std::size_t series, bool shown);
    // Asks for a file and writes the picture or the samples in view to it.
    void SaveAsPng();
    void SaveAsCsv();

    // reading (tests and benchmarks)
    // Waits until the numbers of every line taken are in the series.
    void Settle() { feed_.Settle(); }
    const corvane::PlotSeries& Series() const { return series_; }
    TPlotChart* Chart() const { return chart_; }
    // The series the chart has a line for (one each, in the order of Series().All()), and the
    // points the last frame drew of one.
    std::size_t Lines() const;
    const std::vector<corvane::PlotSample>& Drawn(std::size_t series) const;
    // The chart brought up to date with the series: a frame.
    int Frames() const { return frames_; }
    // What the last frame drew: the span of times, cut into columns of a pixel, each line given
    // per column the samples plot/plotenvelope.h draws of the samples in it.
    struct FrameSpan {
        std::int64_t from = 0;
        std::int64_t to = 0;
        int columns = 0;
        bool operator==(const FrameSpan&) const = default;
    };
    FrameSpan LastFrame() const { return lastSpan_; }
    // What the cursor reads at time (µs), as the line under the chart says it.
    QString CursorText(std::int64_t time) const;
    // The picture "Save as PNG" writes: the chart and its ticks.
    QImage Picture() const;

    static constexpr int kWindowSeconds[] = {1, 2, 5, 10, 30, 60, 120, 300, 600};

protected:
    void closeEvent(class QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // controls
    void MakeControls();
    void RequestFrame();
    void TakeNumbers(corvane::PlotNumbers& numbers);
    // Brings the chart up to date with the series: new series get their line and tick, each
    // line gets what draws its samples in view, the axes the view's span, and the chart one
    // repaint.
    void Frame();
    void AddLine(const corvane::PlotSeries::Series& series);
    void UpdateAxes();
    void UpdateCursor();
    bool WriteFile(const QString& caption, const QString& filter, const QByteArray& bytes);

    corvane::Settings& settings_;
    Dialogs& dialogs_;
    TLogPane* pane_;
    corvane::PlotSeries series_;

    QComboBox* follow_;
    QComboBox* seconds_;
    QCheckBox* fixed_;
    QDoubleSpinBox* least_;
    QDoubleSpinBox* greatest_;
    QPushButton* pause_;
    QWidget* picture_;
    TPlotChart* chart_;
    QListWidget* ticks_;
    QLabel* cursorLine_;

    // What each line was last given: the span, its sample count and the times of its ends, to
    // leave a line whose samples did not change alone.
    struct Given {
        FrameSpan span;
        std::size_t count = 0;
        std::int64_t first = 0;
        std::int64_t last = 0;
        bool operator==(const Given&) const = default;
    };
    std::vector<Given> given_;
    FrameSpan lastSpan_;
    QTimer frameTimer_;
    std::uint64_t framedChanges_ = 0;
    std::uint64_t linesSinceFrame_ = 0; // taken since the last frame
    int frames_ = 0;
    std::optional<QPoint> mouse_; // over the chart, in its coordinates
    // Last: its thread hands numbers over to what is above until it ends.
    corvane::PlotFeed feed_;
};

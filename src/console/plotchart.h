// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The picture of a plot: a time axis along the bottom, a value axis at the left, a light grid at
// round steps, and one polyline a series in its colour through the points it is given, with the
// cursor's line where the mouse points. It holds only what it draws; the plot window gives it a
// frame's points (plot/plotenvelope.h: a few a pixel column) and asks for one repaint.

#include "plot/plotseries.h"

#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class TPlotChart : public QWidget {
public:
    explicit TPlotChart(QWidget* parent);

    struct Line {
        QColor colour;
        bool shown = true;
        std::vector<corvane::PlotSample> points; // in time order
    };
    // What the next paint draws: the span of times, the values from least to greatest, and the
    // lines. The caller asks for the repaint (update()).
    void SetSpan(std::int64_t from, std::int64_t to);
    void SetValues(double least, double greatest);
    std::vector<Line>& Lines() { return lines_; }
    const std::vector<Line>& Lines() const { return lines_; }

    std::int64_t From() const { return from_; }
    std::int64_t To() const { return to_; }
    double Least() const { return least_; }
    double Greatest() const { return greatest_; }
    // Where the lines are drawn, in the widget; its width in pixels is the number of columns.
    QRect PlotArea() const;
    // The time at x (in the widget) within the span; nothing outside the plot area.
    std::optional<std::int64_t> TimeAt(int x) const;
    // The cursor's line at x (in the widget); nothing: none.
    void SetCursor(std::optional<int> x);
    int Paints() const { return paints_; }
    // Milliseconds since the last paint; a large number before the first.
    qint64 SincePaint() const { return sincePaint_.isValid() ? sincePaint_.elapsed() : 1 << 30; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Line> lines_;
    std::int64_t from_ = 0;
    std::int64_t to_ = corvane::PlotSeries::kDefaultWindow;
    double least_ = -1;
    double greatest_ = 1;
    std::optional<int> cursor_;
    int paints_ = 0;
    QElapsedTimer sincePaint_;
};

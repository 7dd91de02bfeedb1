// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/plotchart.h"

#include <QDateTime>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLeftRoom = 64;   // the value axis' labels
constexpr int kBottomRoom = 22; // the time axis' labels
constexpr int kMargin = 8;
// Antialiased lines cost several times aliased ones: beyond this many points a frame, the lines
// are drawn aliased.
constexpr std::size_t kSmoothPoints = 20'000;

// A round step (1, 2 or 5 times a power of ten) that cuts span into about parts pieces.
double ValueStep(double span, int parts) {
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double scaled = raw / power;
    return (scaled <= 1 ? 1 : scaled <= 2 ? 2 : scaled <= 5 ? 5 : 10) * power;
}

// A round step of time (µs) that cuts span into about parts pieces.
std::int64_t TimeStep(std::int64_t span, int parts) {
    static constexpr std::int64_t kSteps[] = {
        1'000,      2'000,      5'000,       10'000,      20'000,     50'000,     100'000,
        200'000,    500'000,    1'000'000,   2'000'000,   5'000'000,  10'000'000, 15'000'000,
        30'000'000, 60'000'000, 120'000'000, 300'000'000, 600'000'000};
    for (const std::int64_t step : kSteps)
        if (span / step <= parts)
            return step;
    return kSteps[std::size(kSteps) - 1];
}

} // namespace

TPlotChart::TPlotChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("chart"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
}

void TPlotChart::SetSpan(std::int64_t from, std::int64_t to) {
    from_ = from;
    to_ = std::max(to, from + 1);
}

void TPlotChart::SetValues(double least, double greatest) {
    least_ = least;
    greatest_ = greatest > least ? greatest : least + 1;
}

QRect TPlotChart::PlotArea() const {
    return QRect(kLeftRoom, kMargin, std::max(1, width() - kLeftRoom - kMargin),
                 std::max(1, height() - kMargin - kBottomRoom));
}

std::optional<std::int64_t> TPlotChart::TimeAt(int x) const {
    const QRect area = PlotArea();
    if (x < area.left() || x > area.right())
        return std::nullopt;
    const double fraction = static_cast<double>(x - area.left()) / area.width();
    return from_ + std::llround(fraction * static_cast<double>(to_ - from_));
}

void TPlotChart::SetCursor(std::optional<int> x) {
    if (x == cursor_)
        return;
    cursor_ = x;
    update();
}

void TPlotChart::paintEvent(QPaintEvent*) {
    ++paints_;
    sincePaint_.start();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect area = PlotArea();
    const double timeScale = area.width() / static_cast<double>(to_ - from_);
    const double valueScale = area.height() / (greatest_ - least_);
    const auto xOf = [&](std::int64_t time) {
        return area.left() + static_cast<double>(time - from_) * timeScale;
    };
    const auto yOf = [&](double value) { return area.bottom() - (value - least_) * valueScale; };

    // grid and labels
    const QPen grid(QColor(0xe0, 0xe0, 0xe0), 0);
    const QPen text(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    const double valueStep = ValueStep(greatest_ - least_, std::max(2, area.height() / 40));
    for (double value = std::ceil(least_ / valueStep) * valueStep; value <= greatest_;
         value += valueStep) {
        const double y = yOf(value);
        painter.setPen(grid);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(text);
        const QString label = QString::number(std::abs(value) < valueStep / 2 ? 0 : value, 'g', 6);
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, kLeftRoom - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }
    const std::int64_t timeStep = TimeStep(to_ - from_, std::max(2, area.width() / 110));
    const QString format =
        timeStep < 1'000'000 ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss");
    // Steps of local time: a step that divides a minute falls on whole seconds of the clock.
    for (std::int64_t time = (from_ + timeStep - 1) / timeStep * timeStep; time <= to_;
         time += timeStep) {
        const double x = xOf(time);
        painter.setPen(grid);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(text);
        const QString label = QDateTime::fromMSecsSinceEpoch(time / 1000).toString(format);
        painter.drawText(QRectF(x - 60, area.bottom() + 3, 120, kBottomRoom - 3),
                         Qt::AlignHCenter | Qt::AlignTop, label);
    }
    painter.setPen(QPen(palette().color(QPalette::Mid), 0));
    painter.drawRect(area);

    // lines
    std::size_t points = 0;
    for (const Line& line : lines_)
        points += line.shown ? line.points.size() : 0;
    painter.setRenderHint(QPainter::Antialiasing, points <= kSmoothPoints);
    painter.setClipRect(area);
    QPolygonF polyline;
    for (const Line& line : lines_) {
        if (!line.shown || line.points.empty())
            continue;
        polyline.clear();
        polyline.reserve(static_cast<qsizetype>(line.points.size()));
        for (const corvane::PlotSample& point : line.points)
            polyline.append(QPointF(xOf(point.time), yOf(point.value)));
        painter.setPen(QPen(line.colour, 0));
        if (polyline.size() == 1)
            painter.drawPoint(polyline.front());
        else
            painter.drawPolyline(polyline);
    }
    if (cursor_ && *cursor_ >= area.left() && *cursor_ <= area.right()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::darkGray, 0, Qt::DashLine));
        painter.drawLine(*cursor_, area.top(), *cursor_, area.bottom());
    }
}

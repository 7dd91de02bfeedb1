// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/plotwindow.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/logpane.h"
#include "console/logpanetools.h"
#include "core/codepage.h"
#include "logstore/filereplace.h"
#include "plot/plotcsv.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

using corvane::PlotFollow;
using corvane::PlotSample;
using corvane::PlotSeries;

// A display frame: the chart follows the lines at most this often.
constexpr int kFrameMs = 16;

// Sixteen colours told apart on a white ground (the first ten are Tableau's).
constexpr QRgb kColours[PlotSeries::kMaxSeries] = {
    0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f,
    0xbcbd22, 0x17becf, 0x000080, 0x808000, 0x008080, 0x800000, 0xff00ff, 0x00c000,
};

struct FollowItem {
    PlotFollow follow;
    const char* text;
    const char* name; // in the settings file
};
constexpr FollowItem kFollows[] = {
    {PlotFollow::Serial, "Serial", "serial"},
    {PlotFollow::Udp, "UDP", "udp"},
    {PlotFollow::Both, "Serial and UDP", "both"},
};

// The samples of a series from time from to time to.
std::pair<std::size_t, std::size_t> InView(const std::deque<PlotSample>& samples, std::int64_t from,
                                           std::int64_t to) {
    const auto before = [](const PlotSample& sample, std::int64_t t) { return sample.time < t; };
    const auto first = std::lower_bound(samples.begin(), samples.end(), from, before);
    const auto after =
        std::upper_bound(first, samples.end(), to,
                         [](std::int64_t t, const PlotSample& sample) { return t < sample.time; });
    return {static_cast<std::size_t>(first - samples.begin()),
            static_cast<std::size_t>(after - samples.begin())};
}

QString SecondsText(int seconds) {
    return seconds < 60 ? QStringLiteral("%1 s").arg(seconds)
                        : QStringLiteral("%1 min").arg(seconds / 60);
}

QString ValueText(double value) {
    return QString::number(value, 'g', 7);
}

QString ClockText(std::int64_t time) {
    return QDateTime::fromMSecsSinceEpoch(time / 1000).toString(QStringLiteral("hh:mm:ss.zzz"));
}

} // namespace

TPlotWindow::TPlotWindow(QWidget* parent, TLogPane* pane, corvane::Settings& settings,
                         Dialogs& dialogs)
    : QWidget(parent, Qt::Window), settings_(settings), dialogs_(dialogs), pane_(pane) {
    setObjectName(QStringLiteral("plotWindow"));
    setWindowTitle(QStringLiteral("Plot"));
    MakeControls();
    frameTimer_.setSingleShot(true);
    frameTimer_.setInterval(kFrameMs);
    connect(&frameTimer_, &QTimer::timeout, this, &TPlotWindow::Frame);

    const QString follow = settings_.PlotFollow();
    for (const FollowItem& item : kFollows)
        if (follow == QLatin1String(item.name))
            follow_->setCurrentIndex(static_cast<int>(&item - kFollows));
    feed_.SetFollow(kFollows[follow_->currentIndex()].follow);
    const int seconds = settings_.PlotSeconds();
    const auto* chosen = std::find(std::begin(kWindowSeconds), std::end(kWindowSeconds), seconds);
    seconds_->setCurrentIndex(chosen == std::end(kWindowSeconds)
                                  ? seconds_->findData(10)
                                  : static_cast<int>(chosen - std::begin(kWindowSeconds)));
    series_.SetWindow(seconds_->currentData().toInt() * PlotSeries::kSecond);
    Frame();
}

void TPlotWindow::MakeControls() {
    follow_ = new QComboBox(this);
    follow_->setObjectName(QStringLiteral("follow"));
    for (const FollowItem& item : kFollows)
        follow_->addItem(QLatin1String(item.text));
    follow_->setCurrentIndex(2);
    connect(follow_, &QComboBox::activated, this,
            [this](int index) { SetFollow(kFollows[index].follow); });

    seconds_ = new QComboBox(this);
    seconds_->setObjectName(QStringLiteral("seconds"));
    for (const int seconds : kWindowSeconds)
        seconds_->addItem(SecondsText(seconds), seconds);
    connect(seconds_, &QComboBox::activated, this,
            [this](int index) { SetSeconds(kWindowSeconds[index]); });

    fixed_ = new QCheckBox(QStringLiteral("Fixed scale"), this);
    fixed_->setObjectName(QStringLiteral("fixed-scale"));
    least_ = new QDoubleSpinBox(this);
    greatest_ = new QDoubleSpinBox(this);
    for (QDoubleSpinBox* box : {least_, greatest_}) {
        box->setRange(-1e12, 1e12);
        box->setDecimals(3);
        box->setEnabled(false);
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] {
            if (fixed_->isChecked())
                SetFixedScale(std::pair{least_->value(), greatest_->value()});
        });
    }
    least_->setObjectName(QStringLiteral("scale-from"));
    greatest_->setObjectName(QStringLiteral("scale-to"));
    connect(fixed_, &QCheckBox::toggled, this, [this](bool fixed) {
        if (!fixed) {
            SetFixedScale(std::nullopt);
            return;
        }
        // Fixed where it stands now, for the operator to move from there.
        SetFixedScale(std::pair{valueAxis_->min(), valueAxis_->max()});
    });

    pause_ = new QPushButton(QStringLiteral("Pause"), this);
    pause_->setObjectName(QStringLiteral("pause"));
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, &TPlotWindow::SetPaused);
    auto* png = new QPushButton(QStringLiteral("Save as PNG"), this);
    png->setObjectName(QStringLiteral("save-png"));
    connect(png, &QPushButton::clicked, this, &TPlotWindow::SaveAsPng);
    auto* csv = new QPushButton(QStringLiteral("Save as CSV"), this);
    csv->setObjectName(QStringLiteral("save-csv"));
    connect(csv, &QPushButton::clicked, this, &TPlotWindow::SaveAsCsv);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Follow:"), this));
    controls->addWidget(follow_);
    controls->addWidget(new QLabel(QStringLiteral("Show:"), this));
    controls->addWidget(seconds_);
    controls->addWidget(fixed_);
    controls->addWidget(least_);
    controls->addWidget(new QLabel(QStringLiteral("to"), this));
    controls->addWidget(greatest_);
    controls->addStretch();
    controls->addWidget(pause_);
    controls->addWidget(png);
    controls->addWidget(csv);

    chart_ = new QChart;
    chart_->legend()->hide();
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QDateTimeAxis(chart_);
    timeAxis_->setTickCount(6);
    valueAxis_ = new QValueAxis(chart_);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    cursorMark_ = new QGraphicsLineItem(chart_);
    cursorMark_->setPen(QPen(Qt::darkGray, 0, Qt::DashLine));
    cursorMark_->setZValue(100);
    cursorMark_->hide();

    picture_ = new QWidget(this);
    view_ = new QChartView(chart_, picture_);
    view_->setObjectName(QStringLiteral("chart"));
    view_->setMinimumSize(320, 200);
    view_->viewport()->setMouseTracking(true);
    view_->viewport()->installEventFilter(this);
    ticks_ = new QListWidget(picture_);
    ticks_->setObjectName(QStringLiteral("series"));
    ticks_->setFixedWidth(170);
    ticks_->setAccessibleName(QStringLiteral("Series shown"));
    connect(ticks_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        SetShown(static_cast<std::size_t>(ticks_->row(item)), item->checkState() == Qt::Checked);
    });
    auto* pictureLayout = new QHBoxLayout(picture_);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addWidget(view_, 1);
    pictureLayout->addWidget(ticks_);

    cursorLine_ = new QLabel(this);
    cursorLine_->setObjectName(QStringLiteral("cursor"));
    cursorLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(picture_, 1);
    layout->addWidget(cursorLine_);
    resize(800, 450);
}

void TPlotWindow::Take(corvane::PlotLink link, std::string_view sender,
                       const corvane::ByteString& line, std::int64_t time) {
    feed_.SetEncoding(pane_->View().encoding);
    feed_.Take(link, sender, line, time);
    if (series_.Changes() != framedChanges_)
        RequestFrame();
}

void TPlotWindow::RequestFrame() {
    if (!series_.Paused() && !frameTimer_.isActive())
        frameTimer_.start();
}

void TPlotWindow::SetFollow(PlotFollow follow) {
    feed_.SetFollow(follow);
    for (const FollowItem& item : kFollows)
        if (item.follow == follow) {
            follow_->setCurrentIndex(static_cast<int>(&item - kFollows));
            settings_.SetPlotFollow(QLatin1String(item.name));
        }
}

void TPlotWindow::SetSeconds(int seconds) {
    seconds_->setCurrentIndex(seconds_->findData(seconds));
    series_.SetWindow(seconds * PlotSeries::kSecond);
    settings_.SetPlotSeconds(seconds);
    Frame();
}

void TPlotWindow::SetPaused(bool paused) {
    const QSignalBlocker quiet(pause_);
    pause_->setChecked(paused);
    series_.SetPaused(paused);
    Frame();
}

void TPlotWindow::SetFixedScale(std::optional<std::pair<double, double>> scale) {
    {
        const QSignalBlocker quietFixed(fixed_);
        const QSignalBlocker quietLeast(least_);
        const QSignalBlocker quietGreatest(greatest_);
        fixed_->setChecked(scale.has_value());
        least_->setEnabled(scale.has_value());
        greatest_->setEnabled(scale.has_value());
        if (scale) {
            least_->setValue(scale->first);
            greatest_->setValue(scale->second);
        }
    }
    UpdateAxes();
}

void TPlotWindow::SetShown(std::size_t series, bool shown) {
    if (series >= lines_.size())
        return;
    shown_[series] = shown;
    lines_[series]->setVisible(shown);
    const QSignalBlocker quiet(ticks_);
    ticks_->item(static_cast<int>(series))->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    UpdateAxes();
    UpdateCursor();
}

void TPlotWindow::AddLine(const PlotSeries::Series& series) {
    const QColor colour(kColours[lines_.size()]);
    auto* line = new QLineSeries(chart_);
    line->setName(corvane::FromCodePage(series.name));
    // A cosmetic pen one pixel wide: the fastest line the raster engine draws.
    line->setPen(QPen(colour, 0));
    chart_->addSeries(line);
    line->attachAxis(timeAxis_);
    line->attachAxis(valueAxis_);
    lines_.push_back(line);
    given_.emplace_back();
    shown_.push_back(true);

    QPixmap swatch(12, 12);
    swatch.fill(colour);
    auto* tick = new QListWidgetItem(QIcon(swatch), line->name());
    tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    tick->setCheckState(Qt::Checked);
    const QSignalBlocker quiet(ticks_);
    ticks_->addItem(tick);
}

void TPlotWindow::Frame() {
    frameTimer_.stop();
    ++frames_;
    framedChanges_ = series_.Changes();
    const auto& all = series_.All();
    while (lines_.size() < all.size())
        AddLine(all[lines_.size()]);
    const std::int64_t from = series_.ViewStart();
    const std::int64_t to = series_.ViewEnd();
    QList<QPointF> points;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto& samples = all[i].samples;
        const auto [first, end] = InView(samples, from, to);
        const Given now =
            first == end ? Given{} : Given{end - first, samples[first].time, samples[end - 1].time};
        if (now == given_[i])
            continue;
        given_[i] = now;
        points.clear();
        points.reserve(static_cast<qsizetype>(end - first));
        for (std::size_t at = first; at < end; ++at)
            points.append(
                QPointF(static_cast<double>(samples[at].time) / 1000.0, samples[at].value));
        lines_[i]->replace(points);
    }
    UpdateAxes();
    UpdateCursor();
}

void TPlotWindow::UpdateAxes() {
    const std::int64_t to = series_.Started() ? series_.ViewEnd() : corvane::WallClockNow();
    const std::int64_t from = to - series_.Window();
    timeAxis_->setFormat(series_.Window() <= 5 * PlotSeries::kSecond
                             ? QStringLiteral("hh:mm:ss.zzz")
                             : QStringLiteral("hh:mm:ss"));
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from / 1000),
                        QDateTime::fromMSecsSinceEpoch(to / 1000));
    if (fixed_->isChecked()) {
        valueAxis_->setRange(least_->value(), greatest_->value());
        return;
    }
    const auto range = corvane::ValuesBetween(series_, shown_, from, to);
    if (!range) {
        valueAxis_->setRange(-1, 1);
        return;
    }
    // A little room above and below, and some height for a flat line.
    const double span = range->greatest - range->least;
    const double room = span > 0 ? span * 0.05 : std::max(std::abs(range->least) * 0.1, 1.0);
    valueAxis_->setRange(range->least - room, range->greatest + room);
}

QString TPlotWindow::CursorText(std::int64_t time) const {
    QString text = ClockText(time);
    const auto& all = series_.All();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i < shown_.size() && !shown_[i])
            continue;
        if (const PlotSample* sample = corvane::NearestSample(all[i].samples, time))
            text += QStringLiteral("   %1 %2")
                        .arg(corvane::FromCodePage(all[i].name), ValueText(sample->value));
    }
    return text;
}

void TPlotWindow::UpdateCursor() {
    const QRectF area = chart_->plotArea();
    const QPointF at = mouse_ ? chart_->mapFromScene(view_->mapToScene(*mouse_)) : QPointF(-1, -1);
    if (!mouse_ || !area.contains(at) || !series_.Started() || area.width() <= 0) {
        cursorMark_->hide();
        cursorLine_->setText(QStringLiteral("Point at the plot to read its values."));
        return;
    }
    const double fraction = (at.x() - area.left()) / area.width();
    const std::int64_t time =
        series_.ViewStart() + std::llround(fraction * static_cast<double>(series_.Window()));
    cursorMark_->setLine(at.x(), area.top(), at.x(), area.bottom());
    cursorMark_->show();
    cursorLine_->setText(CursorText(time));
}

bool TPlotWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            mouse_ = static_cast<QMouseEvent*>(event)->position().toPoint();
            UpdateCursor();
        } else if (event->type() == QEvent::Leave) {
            mouse_.reset();
            UpdateCursor();
        }
    }
    return QWidget::eventFilter(watched, event);
}

QImage TPlotWindow::Picture() const {
    return picture_->grab().toImage();
}

bool TPlotWindow::WriteFile(const QString& caption, const QString& filter,
                            const QByteArray& bytes) {
    const auto choice = AskFileInLastFolder(dialogs_, settings_,
                                            {.caption = caption,
                                             .folder = {},
                                             .filter = filter,
                                             .offerTimes = false,
                                             .includeTimes = false,
                                             .offerAppend = false});
    if (!choice)
        return false;
    const std::string path = choice->path.toStdString();
    if (const auto error =
            corvane::ReplaceFileWith(path, std::string_view(bytes.data(), bytes.size()))) {
        dialogs_.ShowError(ErrorDisplay::BoxText(FileFailureText("Cannot save", *error)));
        return false;
    }
    return true;
}

void TPlotWindow::SaveAsPng() {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    Picture().save(&buffer, "PNG");
    WriteFile(QStringLiteral("Save as PNG"), QStringLiteral("PNG images (*.png);;All files (*)"),
              png);
}

void TPlotWindow::SaveAsCsv() {
    const corvane::ByteString csv =
        corvane::PlotCsv(series_, series_.ViewStart(), series_.ViewEnd());
    WriteFile(QStringLiteral("Save as CSV"), QStringLiteral("CSV files (*.csv);;All files (*)"),
              QByteArray(csv.data(), static_cast<qsizetype>(csv.size())));
}

void TPlotWindow::closeEvent(QCloseEvent* event) {
    settings_.SetPlotGeometry(saveGeometry());
    QWidget::closeEvent(event);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/plotwindow.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/logpane.h"
#include "console/logpanetools.h"
#include "console/plotchart.h"
#include "core/codepage.h"
#include "logstore/filereplace.h"
#include "plot/plotcsv.h"
#include "plot/plotenvelope.h"

#include <QBuffer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

using corvane::PlotFollow;
using corvane::PlotSample;
using corvane::PlotSeries;

// The chart follows the lines at most this often: every other display frame, which still moves
// smoothly, at half the cost of every frame to a pane that is taking a flood of lines meanwhile.
constexpr int kFrameMs = 33;
// Beyond this many lines a second, more than any plot can show apart, the chart follows ten times
// a second: the UI thread is the pane's, which shows every one of them.
constexpr qint64 kFloodLinesPerSecond = 100'000;
constexpr int kFloodFrameMs = 100;

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
    : QWidget(parent, Qt::Window), settings_(settings), dialogs_(dialogs), pane_(pane),
      feed_([this](corvane::PlotNumbers& numbers) { TakeNumbers(numbers); }) {
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
        SetFixedScale(std::pair{chart_->Least(), chart_->Greatest()});
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

    picture_ = new QWidget(this);
    chart_ = new TPlotChart(picture_);
    chart_->installEventFilter(this);
    ticks_ = new QListWidget(picture_);
    ticks_->setObjectName(QStringLiteral("series"));
    ticks_->setFixedWidth(170);
    ticks_->setAccessibleName(QStringLiteral("Series shown"));
    connect(ticks_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        SetShown(static_cast<std::size_t>(ticks_->row(item)), item->checkState() == Qt::Checked);
    });
    auto* pictureLayout = new QHBoxLayout(picture_);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addWidget(chart_, 1);
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
                       std::span<const corvane::ByteString> lines,
                       std::span<const std::int64_t> times,
                       std::span<const std::string_view> bytes) {
    linesSinceFrame_ += lines.size();
    feed_.Take(link, sender, lines, times, bytes, pane_->View().encoding);
}

void TPlotWindow::TakeNumbers(corvane::PlotNumbers& numbers) {
    numbers.AddTo(series_);
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
    if (series >= Lines())
        return;
    chart_->Lines()[series].shown = shown;
    const QSignalBlocker quiet(ticks_);
    ticks_->item(static_cast<int>(series))->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    UpdateAxes();
    UpdateCursor();
}

void TPlotWindow::AddLine(const PlotSeries::Series& series) {
    const QColor colour(kColours[Lines()]);
    chart_->Lines().push_back({colour, true, {}});
    given_.emplace_back();

    QPixmap swatch(12, 12);
    swatch.fill(colour);
    auto* tick = new QListWidgetItem(QIcon(swatch), corvane::FromCodePage(series.name));
    tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    tick->setCheckState(Qt::Checked);
    const QSignalBlocker quiet(ticks_);
    ticks_->addItem(tick);
}

std::size_t TPlotWindow::Lines() const {
    return chart_->Lines().size();
}

const std::vector<PlotSample>& TPlotWindow::Drawn(std::size_t series) const {
    return chart_->Lines().at(series).points;
}

void TPlotWindow::Frame() {
    frameTimer_.stop();
    // A paint late for its frame (the event loop was busy) is not followed by another within
    // the same frame.
    const qint64 since = chart_->SincePaint();
    const bool flood = static_cast<qint64>(linesSinceFrame_) * 1000 >
                       kFloodLinesPerSecond * std::max<qint64>(since, 1);
    if (const int interval = flood ? kFloodFrameMs : kFrameMs;
        since < interval && series_.Changes() != framedChanges_ && !series_.Paused()) {
        frameTimer_.start(static_cast<int>(interval - since));
        return;
    }
    linesSinceFrame_ = 0;
    ++frames_;
    framedChanges_ = series_.Changes();
    const auto& all = series_.All();
    while (Lines() < all.size())
        AddLine(all[Lines()]);
    const FrameSpan span{series_.ViewStart(), series_.ViewEnd(), chart_->PlotArea().width()};
    lastSpan_ = span;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto& samples = all[i].samples;
        const auto [first, end] = InView(samples, span.from, span.to);
        const Given now =
            first == end ? Given{}
                         : Given{span, end - first, samples[first].time, samples[end - 1].time};
        if (now == given_[i])
            continue;
        given_[i] = now;
        std::vector<PlotSample>& points = chart_->Lines()[i].points;
        points.clear();
        corvane::AppendEnvelope(samples, span.from, span.to, span.columns, points);
    }
    UpdateAxes();
    UpdateCursor();
}

void TPlotWindow::UpdateAxes() {
    const std::int64_t to = series_.Started() ? series_.ViewEnd() : corvane::WallClockNow();
    const std::int64_t from = to - series_.Window();
    chart_->SetSpan(from, to);
    if (fixed_->isChecked()) {
        chart_->SetValues(least_->value(), greatest_->value());
        chart_->update();
        return;
    }
    // The points drawn hold the least and the greatest sample of each column in view.
    double least = INFINITY;
    double greatest = -INFINITY;
    for (const TPlotChart::Line& line : chart_->Lines()) {
        if (!line.shown)
            continue;
        for (const PlotSample& point : line.points) {
            least = std::min(least, point.value);
            greatest = std::max(greatest, point.value);
        }
    }
    if (least > greatest) {
        chart_->SetValues(-1, 1);
    } else {
        // A little room above and below, and some height for a flat line.
        const double span = greatest - least;
        const double room = span > 0 ? span * 0.05 : std::max(std::abs(least) * 0.1, 1.0);
        chart_->SetValues(least - room, greatest + room);
    }
    chart_->update();
}

QString TPlotWindow::CursorText(std::int64_t time) const {
    QString text = ClockText(time);
    const auto& all = series_.All();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i < Lines() && !chart_->Lines()[i].shown)
            continue;
        if (const PlotSample* sample = corvane::NearestSample(all[i].samples, time))
            text += QStringLiteral("   %1 %2")
                        .arg(corvane::FromCodePage(all[i].name), ValueText(sample->value));
    }
    return text;
}

void TPlotWindow::UpdateCursor() {
    const std::optional<std::int64_t> time =
        mouse_ && series_.Started() ? chart_->TimeAt(mouse_->x()) : std::nullopt;
    if (!time) {
        chart_->SetCursor(std::nullopt);
        cursorLine_->setText(QStringLiteral("Point at the plot to read its values."));
        return;
    }
    chart_->SetCursor(mouse_->x());
    cursorLine_->setText(CursorText(*time));
}

bool TPlotWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == chart_) {
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

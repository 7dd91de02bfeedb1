// SPDX-License-Identifier: GPL-3.0-or-later
// The plot window following 16 series at 1,000 lines a second:
//   plot_bench [SECONDS]   (60)
// First ten seconds of the lines into the lower pane alone, for the cost without the plot; then
// SECONDS of them with the plot window open. The lines go in as the serial link hands its reads
// to the window (TfrmMain::AddToLogRec), paced by a 1 ms timer on the UI thread, each with its own
// time 1 ms after the one before. Prints:
// - what the chart's lines are drawn through, read back at each paint, against what draws the
//   samples sent at the chart's resolution (plot/plotenvelope.h), and whether the painted spans
//   left any sample out;
// - the chart's repaints and the frames it took in, and the shortest time between two repaints;
// - how late a 10 ms timer on the UI thread fired (worst and 99th percentile);
// - the CPU spent per 1,000 samples with the plot open (its reading thread's included), less what
//   the same lines cost without it;
// - the resident memory every ten seconds and the samples the plot keeps (bounded by its window).

#include "benchsupport.h"
#include "console/plotmenu.h"
#include "console/plotwindow.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/logarrows.h"
#include "core/walltime.h"
#include "lateness.h"
#include "payload/hexcodec.h"
#include "plot/plotenvelope.h"
#include "processfigures.h"

#include "console/plotchart.h"
#include <QElapsedTimer>
#include <QEventLoop>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

namespace {

using corvane::ByteString;

constexpr int kSeries = 16;
constexpr int kLinesPerSecond = 1000;
constexpr std::int64_t kLineGap = 1'000'000 / kLinesPerSecond; // µs

// The value of series at line, as the device prints it (four decimals), and as it reads back.
void PrintValue(int line, int series, char* out, std::size_t size) {
    const double t = line / static_cast<double>(kLinesPerSecond);
    std::snprintf(out, size, "%.4f", (series + 1) * std::sin(2 * M_PI * (0.5 * t + series / 16.0)));
}
double SentValue(int line, int series) {
    char text[32];
    PrintValue(line, series, text, sizeof text);
    double value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

// Reads back, at each paint of the chart, the points each of its lines is drawn through: they must
// be what draws the samples sent for its series at the chart's resolution (plot/plotenvelope.h),
// and the spans painted must follow each other without a gap, so that every sample sent is drawn.
// Its own CPU time is counted apart.
class ReadBack : public QObject {
public:
    explicit ReadBack(const TPlotWindow& plot) : plot_(plot) {
        plot.Chart()->installEventFilter(this);
    }

    void Sent(int series, corvane::PlotSample sample) {
        auto& samples = sent_[series];
        samples.push_back(sample);
        while (samples.front().time < sample.time - 11 * corvane::PlotSeries::kSecond)
            samples.pop_front();
    }
    std::int64_t Checked() const { return checked_; }
    std::int64_t Wrong() const { return wrong_; }
    // Samples sent that no painted span took in, of the lines up to and with until.
    std::int64_t Missing(std::int64_t until) const {
        std::int64_t missing = gaps_;
        for (const std::int64_t covered : coveredTo_)
            missing += covered < until ? (until - covered) / kLineGap : 0;
        return missing;
    }
    double CpuSeconds() const { return cpu_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            Check();
        return false;
    }

private:
    static double ThreadCpu() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }
    void Check() {
        const double cpuStart = ThreadCpu();
        const TPlotWindow::FrameSpan span = plot_.LastFrame();
        const auto& all = plot_.Series().All();
        for (std::size_t i = 0; i < plot_.Lines(); ++i) {
            const int series = std::atoi(all[i].name.c_str() + 1); // "sN"
            drawn_.clear();
            corvane::AppendEnvelope(sent_[series], span.from, span.to, span.columns, drawn_);
            wrong_ += plot_.Drawn(i) == drawn_ ? 0 : 1;
            ++checked_;
            std::int64_t& covered = coveredTo_[series];
            if (covered != 0 && span.from > covered + kLineGap)
                gaps_ += (span.from - covered) / kLineGap - 1;
            if (!drawn_.empty())
                covered = std::max(covered, drawn_.back().time);
        }
        cpu_ += ThreadCpu() - cpuStart;
    }

    const TPlotWindow& plot_;
    std::deque<corvane::PlotSample> sent_[kSeries];
    std::int64_t coveredTo_[kSeries] = {};
    std::vector<corvane::PlotSample> drawn_;
    std::int64_t checked_ = 0;
    std::int64_t wrong_ = 0;
    std::int64_t gaps_ = 0;
    double cpu_ = 0;
};

// Counts the paints of a widget and the shortest time between two.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;
    double shortestGapMs = 1e9;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (paints > 0)
                shortestGapMs =
                    std::min(shortestGapMs, static_cast<double>(sincePaint_.nsecsElapsed()) / 1e6);
            sincePaint_.start();
            ++paints;
        }
        return false;
    }

private:
    QElapsedTimer sincePaint_;
};

struct Run {
    int lines = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    double worstLateMs = 0;
    double p99LateMs = 0;
};

// Feeds lines at kLinesPerSecond for seconds; every ten seconds, tenSeconds runs.
Run Feed(TfrmMain& frm, int seconds, std::int64_t start, int firstLine, ReadBack* readBack,
         const std::function<void(int second)>& tenSeconds) {
    Run run;
    Lateness probe;
    QEventLoop loop;
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    QElapsedTimer elapsed;
    const double cpuStart = ReadProcessFigures().cpuSeconds;
    const int total = seconds * kLinesPerSecond;
    int nextReport = 10;
    ByteString text;
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const auto due = std::min<std::int64_t>(total, elapsed.elapsed() * kLinesPerSecond / 1000);
        for (; run.lines < due; ++run.lines) {
            const int line = firstLine + run.lines;
            text.clear();
            for (int series = 0; series < kSeries; ++series) {
                char value[32];
                PrintValue(line, series, value, sizeof value);
                text += (series ? ",s" : "s") + std::to_string(series) + "=" + value;
                if (readBack)
                    readBack->Sent(series, {start + line * kLineGap, SentValue(line, series)});
            }
            text += "\r\n";
            frm.AddToLogRec(corvane::kReceivedArrow + corvane::StrToHexView(text),
                            start + line * kLineGap);
        }
        if (run.lines >= nextReport * kLinesPerSecond) {
            tenSeconds(nextReport);
            nextReport += 10;
        }
        if (run.lines == total)
            loop.quit();
    });
    elapsed.start();
    pace.start(1);
    loop.exec();
    run.seconds = static_cast<double>(elapsed.elapsed()) / 1000.0;
    run.cpuSeconds = ReadProcessFigures().cpuSeconds - cpuStart;
    run.worstLateMs = probe.Worst();
    run.p99LateMs = probe.Percentile99();
    return run;
}

long long Points(const TPlotWindow& plot) {
    long long points = 0;
    for (std::size_t i = 0; i < plot.Lines(); ++i)
        points += static_cast<long long>(plot.Drawn(i).size());
    return points;
}

void WaitForFrame(const TPlotWindow& plot) {
    const int frames = plot.Frames();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (plot.Frames() > frames)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 60;
    return RunOffscreen(argc, argv, [&] {
        SilentDialogs dialogs;
        TfrmMain frm(dialogs);
        frm.show();
        const std::int64_t start = corvane::WallClockNow();
        std::printf("plot_bench: %d series at %d lines a second, platform %s\n", kSeries,
                    kLinesPerSecond, qPrintable(QGuiApplication::platformName()));

        const double residentAtStart = ReadProcessFigures().residentMb;
        const Run alone = Feed(frm, 10, start, 0, nullptr, [](int) {});
        std::printf("without the plot: %d lines in %.1f s, %.3f CPU s; 10 ms timer worst %.1f ms "
                    "late; resident memory grew %.1f MiB (the lower pane keeps every line)\n",
                    alone.lines, alone.seconds, alone.cpuSeconds, alone.worstLateMs,
                    ReadProcessFigures().residentMb - residentAtStart);

        frm.Tools()->Plot()->Open();
        TPlotWindow& plot = *frm.Tools()->Plot()->Window();
        plot.resize(1000, 560);
        ReadBack readBack(plot);
        PaintCounter paints(plot.Chart());
        const int framesBefore = plot.Frames();
        const double residentBefore = ReadProcessFigures().residentMb;
        std::printf("plot open: resident %.1f MiB\n", residentBefore);
        const Run with = Feed(frm, seconds, start, alone.lines, &readBack, [&](int second) {
            std::printf("  at %3d s: resident %.1f MiB, samples kept %lld, points drawn %lld\n",
                        second, ReadProcessFigures().residentMb,
                        static_cast<long long>(plot.Series().SamplesKept()), Points(plot));
            std::fflush(stdout);
        });
        plot.Settle();
        WaitForFrame(plot);
        const int frames = plot.Frames() - framesBefore;

        const long long samples = static_cast<long long>(with.lines) * kSeries;
        std::printf("with the plot: %d lines (%lld samples) in %.1f s\n", with.lines, samples,
                    with.seconds);
        const std::int64_t lastTime = start + (alone.lines + with.lines - 1) * kLineGap;
        std::printf("  read back from the chart at each paint: %lld lines painted, %lld not "
                    "through what the samples sent draw; samples in no painted span %lld (of "
                    "%lld); at the end %lld points drawn for %lld samples in view\n",
                    static_cast<long long>(readBack.Checked()),
                    static_cast<long long>(readBack.Wrong()),
                    static_cast<long long>(readBack.Missing(lastTime)), samples, Points(plot),
                    static_cast<long long>(plot.Series().SamplesKept()));
        std::printf("  frames taken in %d (%.1f a second), repaints %d (%.1f a second), shortest "
                    "time between two repaints %.1f ms\n",
                    frames, frames / with.seconds, paints.paints, paints.paints / with.seconds,
                    paints.shortestGapMs);
        std::printf("  10 ms timer on the UI thread: worst %.1f ms late, 99th percentile %.1f ms\n",
                    with.worstLateMs, with.p99LateMs);
        const double baseRate = alone.cpuSeconds / alone.lines;
        const double plotCpu = with.cpuSeconds - baseRate * with.lines - readBack.CpuSeconds();
        std::printf("  CPU: %.3f s in all, %.3f s for the plot: %.2f ms per 1,000 samples "
                    "(the lines alone: %.2f ms per 1,000 lines; the read-back %.3f s)\n",
                    with.cpuSeconds, plotCpu, plotCpu * 1000.0 / (samples / 1000.0),
                    baseRate * 1000.0 * 1000.0, readBack.CpuSeconds());
    });
}

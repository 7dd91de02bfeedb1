// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicedrun.h"

#include "processfigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

SlicedRunFigures
RunSliced(const std::function<bool(corvane::SlicedTask::Clock::time_point deadline)>& step) {
    using Clock = corvane::SlicedTask::Clock;
    SlicedRunFigures figures;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double late = static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - 10;
        figures.worstLateMs = std::max(figures.worstLateMs, late);
        ++figures.ticks;
        sinceTick.start();
    });
    const auto start = Clock::now();
    const double cpuStart = ReadProcessFigures().cpuSeconds;
    corvane::SlicedTask task(step, [](bool done) {
        if (done)
            QCoreApplication::quit();
    });
    sinceTick.start();
    ticker.start();
    task.Start();
    QCoreApplication::exec();
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    figures.cpuSeconds = ReadProcessFigures().cpuSeconds - cpuStart;
    return figures;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Save As of a pane of 10,000,000 typical received lines, half of their text in the spool file,
// run as the window runs it: the store read out in slices on the event loop, the file written by
// the save's writer thread. Prints MB/s of the file written, without and with times, and the worst
// lateness of a 10 ms timer beside it. Optional arguments: the folder to save in (default: the
// temporary folder), the spool folder (default: the user's cache).
#include "logstore/storesave.h"
#include "processfigures.h"
#include "slicedrun.h"
#include "typicallines.h"

#include <QCoreApplication>
#include <QDir>

#include <chrono>
#include <cstdio>
#include <string>

using namespace corvane;

namespace {

constexpr std::int64_t kLines = 10'000'000;
constexpr std::int64_t kLineBytes = 64;

using Clock = std::chrono::steady_clock;

void SaveOnce(const LineStore& store, const std::string& path, bool withTimes) {
    StoreSave save(store, path, {.withTimes = withTimes});
    const SlicedRunFigures figures =
        RunSliced([&](Clock::time_point deadline) { return save.Step(deadline); });
    if (save.CurrentState() != StoreSave::State::Done) {
        std::printf("  save failed: %s: %s\n", save.Failure().file.c_str(),
                    save.Failure().reason.c_str());
        return;
    }
    const double megabytes = static_cast<double>(save.BytesWritten()) / 1e6;
    std::printf("  save %-13s %lld lines, %.0f MB in %.2f s: %.0f MB/s (%.1f s of CPU, both "
                "threads); 10 ms timer worst %.1f ms late\n",
                withTimes ? "with times" : "without times",
                static_cast<long long>(save.LinesWritten()), megabytes, figures.seconds,
                megabytes / figures.seconds, figures.cpuSeconds, figures.worstLateMs);
    std::remove(path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string folder = argc > 1 ? argv[1] : QDir::tempPath().toStdString();
    LineStore::Limits limits;
    // Lines are kept as their prefix and raw bytes, 32 bytes of 64: a quarter of the text as shown
    // keeps half of the lines in memory.
    limits.memoryBudget = static_cast<std::size_t>(kLines * kLineBytes / 4);
    if (argc > 2)
        limits.spoolFolder = argv[2];
    LineStore store(limits);
    std::string line;
    std::int64_t time = 1'796'000'000'000'000;
    for (std::int64_t number = 0; number < kLines; ++number) {
        TypicalLine(number, line);
        store.AppendLine(line, time += 20);
    }
    std::printf("save of %lld typical lines: %.0f MB in memory, %.0f MB in the spool file\n",
                static_cast<long long>(kLines), static_cast<double>(store.BytesInMemory()) / 1e6,
                static_cast<double>(store.BytesSpooled()) / 1e6);
    const std::string path = folder + "/corvane-save-bench.txt";
    SaveOnce(store, path, false);
    SaveOnce(store, path, true);
    std::printf("  peak resident %.0f MiB\n", ReadProcessFigures().peakMb);
    return 0;
}

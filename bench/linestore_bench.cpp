// SPDX-License-Identifier: GPL-3.0-or-later
// The line store alone, no window: 10,000,000 typical received lines appended, first all in
// memory, then with a budget small enough that most go to the spool file and are read back.
// Prints lines a second, the cost of the first and the last 100,000, memory a line beyond the
// text, and spool throughput. Optional argument: the spool folder (default: the user's cache).
#include "logstore/linestore.h"
#include "processfigures.h"
#include "typicallines.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

using corvane::LineStore;

namespace {

constexpr std::int64_t kLines = 10'000'000;
constexpr std::int64_t kBatch = 100'000;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU time of this thread: on a machine shared with other work, wall-clock times of a batch vary
// with the load; this does not.
double CpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Lines 20 us apart, as a fast link would stamp them.
std::int64_t TimeOf(std::int64_t number) {
    return 1'796'000'000'000'000 + 20 * number;
}

std::int64_t ResidentBytes() {
    return static_cast<std::int64_t>(ReadProcessFigures().residentMb * (1 << 20));
}

struct AppendFigures {
    double seconds = 0;
    double cpuSeconds = 0;
    double firstBatch = 0;
    double lastBatch = 0;
    double firstBatchCpu = 0;
    double lastBatchCpu = 0;
    std::vector<double> batchWall; // every batch's time, in order
    std::vector<double> batchCpu;  // and its CPU time
    std::int64_t textBytes = 0;
    std::size_t mostInMemory = 0;
};

AppendFigures AppendAll(LineStore& store, bool lowerCase = false) {
    AppendFigures figures;
    std::string line;
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    for (std::int64_t batch = 0; batch < kLines / kBatch; ++batch) {
        const auto batchStart = Clock::now();
        const double batchCpuStart = CpuSeconds();
        for (std::int64_t i = 0; i < kBatch; ++i) {
            TypicalLine(batch * kBatch + i, line, lowerCase);
            store.AppendLine(line, TimeOf(batch * kBatch + i));
            figures.textBytes += static_cast<std::int64_t>(line.size());
        }
        const double took = Seconds(Clock::now() - batchStart);
        const double tookCpu = CpuSeconds() - batchCpuStart;
        if (batch == 0) {
            figures.firstBatch = took;
            figures.firstBatchCpu = tookCpu;
        }
        figures.lastBatch = took;
        figures.lastBatchCpu = tookCpu;
        figures.batchWall.push_back(took);
        figures.batchCpu.push_back(tookCpu);
        figures.mostInMemory = std::max(figures.mostInMemory, store.BytesInMemory());
    }
    figures.seconds = Seconds(Clock::now() - start);
    figures.cpuSeconds = CpuSeconds() - cpuStart;
    return figures;
}

// The median of ten batches' times: one batch's time swings with what else the machine runs.
double MedianOfTen(const std::vector<double>& times, std::size_t first) {
    std::vector<double> ten(times.begin() + static_cast<std::ptrdiff_t>(first),
                            times.begin() + static_cast<std::ptrdiff_t>(first) + 10);
    std::nth_element(ten.begin(), ten.begin() + 5, ten.end());
    return ten[5];
}

void PrintAppend(const char* title, const AppendFigures& figures) {
    std::printf("%s\n", title);
    std::printf(
        "  appended            %lld lines in %.2f s: %.0f lines/s (CPU %.2f s: %.0f lines/s)\n",
        static_cast<long long>(kLines), figures.seconds, kLines / figures.seconds,
        figures.cpuSeconds, kLines / figures.cpuSeconds);
    std::printf("  first 100,000       %.1f ms (CPU %.1f ms)\n", figures.firstBatch * 1e3,
                figures.firstBatchCpu * 1e3);
    std::printf("  last 100,000        %.1f ms (CPU %.1f ms): %.2fx the first (CPU %.2fx)\n",
                figures.lastBatch * 1e3, figures.lastBatchCpu * 1e3,
                figures.lastBatch / figures.firstBatch,
                figures.lastBatchCpu / figures.firstBatchCpu);
    const std::size_t lastTen = figures.batchCpu.size() - 10;
    const double wallFirst = MedianOfTen(figures.batchWall, 0);
    const double wallLast = MedianOfTen(figures.batchWall, lastTen);
    const double cpuFirst = MedianOfTen(figures.batchCpu, 0);
    const double cpuLast = MedianOfTen(figures.batchCpu, lastTen);
    std::printf("  median of 100,000   first ten %.1f ms, last ten %.1f ms: %.2fx "
                "(CPU %.1f ms, %.1f ms: %.2fx)\n",
                wallFirst * 1e3, wallLast * 1e3, wallLast / wallFirst, cpuFirst * 1e3,
                cpuLast * 1e3, cpuLast / cpuFirst);
}

void InMemory(bool lowerCase) {
    std::string line;
    const auto makeStart = Clock::now();
    for (std::int64_t number = 0; number < kLines; ++number)
        TypicalLine(number, line, lowerCase);
    const double making = Seconds(Clock::now() - makeStart);

    const std::int64_t residentBefore = ResidentBytes();
    LineStore store({.memoryBudget = std::size_t{8} << 30, .spoolFolder = {}});
    const AppendFigures figures = AppendAll(store, lowerCase);
    const std::int64_t residentGrowth = ResidentBytes() - residentBefore;
    PrintAppend(lowerCase ? "In memory, the hex in lower case: kept as text (budget 8 GiB)"
                          : "In memory (budget 8 GiB, nothing spooled)",
                figures);
    std::printf("  of which making the lines %.2f s\n", making);
    const auto perLine = [&](double bytes) { return bytes / static_cast<double>(kLines); };
    std::printf("  text                %.1f MB, %.1f bytes a line\n", figures.textBytes / 1e6,
                perLine(static_cast<double>(figures.textBytes)));
    std::printf("  BytesInMemory       %.1f MB: %.1f bytes a line, %+.1f beyond the text\n",
                store.BytesInMemory() / 1e6, perLine(static_cast<double>(store.BytesInMemory())),
                perLine(static_cast<double>(store.BytesInMemory()) -
                        static_cast<double>(figures.textBytes)));
    std::printf("  resident growth     %.1f MB: %.1f bytes a line, %+.1f beyond the text\n",
                residentGrowth / 1e6, perLine(static_cast<double>(residentGrowth)),
                perLine(static_cast<double>(residentGrowth - figures.textBytes)));
    std::printf("  spooled             %zu bytes\n", store.BytesSpooled());
}

void Spooled(const std::string& folder) {
    const std::size_t budget = std::size_t{64} << 20;
    const std::int64_t residentBefore = ResidentBytes();
    LineStore store({.memoryBudget = budget, .spoolFolder = folder});
    const AppendFigures figures = AppendAll(store);
    const std::int64_t residentGrowth = ResidentBytes() - residentBefore;
    PrintAppend("Spooling (budget 64 MiB)", figures);
    std::printf("  spooled             %.1f MB: %.1f MB/s while appending\n",
                store.BytesSpooled() / 1e6, store.BytesSpooled() / 1e6 / figures.seconds);
    std::printf("  BytesInMemory       %.1f MB at most, %.1f MB at the end\n",
                figures.mostInMemory / 1e6, store.BytesInMemory() / 1e6);
    std::printf("  resident growth     %.1f MB\n", residentGrowth / 1e6);
    std::printf("  lines shifted out   %lld\n", static_cast<long long>(store.LinesShiftedOut()));

    std::string line;
    std::int64_t different = 0;
    const auto readStart = Clock::now();
    for (std::int64_t number = 0; number < kLines; ++number) {
        TypicalLine(number, line);
        different += store.Line(number) == line && store.LineTime(number) == TimeOf(number) ? 0 : 1;
    }
    const double reading = Seconds(Clock::now() - readStart);
    std::printf(
        "  read back in order  %.2f s: %.0f lines/s, %.1f MB/s; %lld lines differ from what "
        "was appended, text or time%s\n",
        reading, kLines / reading, figures.textBytes / 1e6 / reading,
        static_cast<long long>(different), different == 0 ? " (every line equal)" : "");

    // A screen of 50 lines at random places, as scrolling about the pane reads them.
    std::mt19937_64 random(1);
    const int screens = 2000;
    const auto screenStart = Clock::now();
    for (int screen = 0; screen < screens; ++screen) {
        const auto top = static_cast<std::int64_t>(random() % (kLines - 50));
        for (std::int64_t row = 0; row < 50; ++row) {
            TypicalLine(top + row, line);
            different += store.Line(top + row) == line ? 0 : 1;
        }
    }
    std::printf("  a screen of 50 lines at a random place: %.1f us; %lld lines differ\n",
                Seconds(Clock::now() - screenStart) / screens * 1e6,
                static_cast<long long>(different));

    // A 4 MB line in the spool file, painted in parts of 200 columns.
    std::string longLine(4 << 20, 'x');
    for (std::size_t at = 0; at < longLine.size(); at += 7)
        longLine[at] = static_cast<char>('a' + at % 26);
    store.AppendLine(longLine, corvane::WallClockNow());
    const std::int64_t longNumber = store.LineCount() - 2;
    for (std::int64_t number = 0; number < 200'000; ++number) {
        TypicalLine(number, line);
        store.AppendLine(line,
                         corvane::WallClockNow()); // pushes the long line out to the spool file
    }
    const int parts = 10'000;
    std::int64_t wrongParts = 0;
    const auto partStart = Clock::now();
    for (int part = 0; part < parts; ++part) {
        const auto column = static_cast<std::int64_t>(random() % longLine.size());
        wrongParts += store.Line(longNumber, column, 200) == longLine.substr(column, 200) ? 0 : 1;
    }
    std::printf("  200 columns of a spooled 4 MB line: %.1f us a read; %lld parts differ\n",
                Seconds(Clock::now() - partStart) / parts * 1e6,
                static_cast<long long>(wrongParts));
}

} // namespace

int main(int argc, char** argv) {
    InMemory(false);
    InMemory(true);
    Spooled(argc > 1 ? argv[1] : "");
    return 0;
}

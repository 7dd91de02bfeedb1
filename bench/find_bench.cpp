// SPDX-License-Identifier: GPL-3.0-or-later
// Find over 10,000,000 typical received lines, half of their text in the spool file. Prints:
// - the count of all matches, run in slices on the event loop as the find bar runs it, in MB/s of
//   text (the lines as shown, 64 bytes each), with and without Match case, and the worst lateness
//   of a 10 ms timer running beside it; the same in the Text view, in MB/s of the text it shows;
// - the time to the first match from the caret when it lies 100,000 lines below the caret, once
//   among spooled lines and once among lines in memory.
// Then the same over a history of long lines, in a pane with its find bar (longlinefind.h).
// Optional argument: the spool folder (default: the user's cache), or --long for the long lines
// alone.
#include "logstore/linefind.h"
#include "longlinefind.h"
#include "processfigures.h"
#include "slicedrun.h"
#include "typicallines.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <string>

using namespace corvane;

namespace {

constexpr std::int64_t kLines = 10'000'000;
constexpr std::int64_t kLineBytes = 64;
// The caret lines of the first-match figures, and the distance to the match below each.
constexpr std::int64_t kSpooledCaret = 2'000'000;
constexpr std::int64_t kInMemoryCaret = 8'000'000;
constexpr std::int64_t kDistance = 100'000;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Every 1000th line comes from 127.0.0.5, the address searched for; the two lines 100,000 below
// the carets from 127.0.0.9, found from the carets.
void Fill(LineStore& store) {
    std::string line;
    std::int64_t time = 1'796'000'000'000'000;
    for (std::int64_t number = 0; number < kLines; ++number) {
        TypicalLine(number, line);
        if (number % 1000 == 999)
            line[12] = '5';
        if (number == kSpooledCaret + kDistance || number == kInMemoryCaret + kDistance)
            line[12] = '9';
        store.AppendLine(line, time += 20);
    }
}

struct CountFigures : SlicedRunFigures {
    std::int64_t total = 0;
};

// Counts as the find bar does: one slice per turn of the event loop, a 10 ms timer beside it.
CountFigures Count(const LineStore& store, const FindQuery& query) {
    MatchCounter counter(query);
    CountFigures figures{
        RunSliced([&](Clock::time_point deadline) { return counter.Step(store, deadline); })};
    figures.total = counter.Total(store);
    return figures;
}

void PrintCount(const char* what, const CountFigures& figures,
                double megabytes = static_cast<double>(kLines * kLineBytes) / 1e6) {
    std::printf("  count %-26s %lld matches in %.2f s: %.0f MB/s of text (%.0f MB/s of CPU "
                "time); 10 ms timer worst %.1f ms late (%d ticks)\n",
                what, static_cast<long long>(figures.total), figures.seconds,
                megabytes / figures.seconds, megabytes / figures.cpuSeconds, figures.worstLateMs,
                figures.ticks);
}

// Steps the walk as the find bar does, slice after slice, and times it.
double FirstMatchMs(const LineStore& store, std::int64_t caret, Match& found) {
    MatchWalk walk(FindQuery("(127.0.0.9)", {}), {caret, 0}, MatchWalk::Direction::Forward);
    const auto start = Clock::now();
    while (!walk.Step(store, Clock::now() + SlicedTask::kSlice)) {
    }
    const double ms = Seconds(Clock::now() - start) * 1e3;
    found = walk.Result().value_or(Match{});
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--long") {
        RunLongLineFind();
        return 0;
    }
    // Lines are kept as their prefix and raw bytes, 32 bytes of 64: a budget of a quarter of the
    // text as shown keeps half of the lines in memory.
    LineStore::Limits limits;
    limits.memoryBudget = static_cast<std::size_t>(kLines * kLineBytes / 4);
    if (argc > 1)
        limits.spoolFolder = argv[1];
    LineStore store(limits);
    const auto fillStart = Clock::now();
    Fill(store);
    std::printf("find over %lld typical lines (%.0f MB of text as shown), filled in %.1f s\n",
                static_cast<long long>(kLines), kLines * kLineBytes / 1e6,
                Seconds(Clock::now() - fillStart));
    std::printf("  stored: %.0f MB in memory, %.0f MB in the spool file\n",
                static_cast<double>(store.BytesInMemory()) / 1e6,
                static_cast<double>(store.BytesSpooled()) / 1e6);

    PrintCount("\"127.0.0.5\"", Count(store, FindQuery("127.0.0.5", {})));
    PrintCount("\"127.0.0.5\", Match case",
               Count(store, FindQuery("127.0.0.5", {.matchCase = true})));
    PrintCount("\"0d 0a\" (hex bytes)", Count(store, FindQuery("0d 0a", {})));

    // The same lines in the Text view: each rendered from its bytes as it is searched.
    store.SetView({DataView::Text, TextEncoding::Utf8});
    double shown = 0;
    for (std::int64_t line = 0; line < kLines; ++line)
        shown += static_cast<double>(store.LineLength(line));
    std::printf("  in the Text view (%.0f MB of text as shown):\n", shown / 1e6);
    PrintCount("\"127.0.0.5\", Text view", Count(store, FindQuery("127.0.0.5", {})), shown / 1e6);
    PrintCount("\"127.0.0.5\", Text, Match case",
               Count(store, FindQuery("127.0.0.5", {.matchCase = true})), shown / 1e6);
    store.SetView({});

    for (auto [caret, where] : {std::pair{kSpooledCaret, "spooled lines"},
                                std::pair{kInMemoryCaret, "lines in memory"}}) {
        Match found;
        const double ms = FirstMatchMs(store, caret, found);
        std::printf("  first match %lld lines below the caret, among %s: %.1f ms (line %lld)\n",
                    static_cast<long long>(kDistance), where, ms,
                    static_cast<long long>(found.from.line));
    }
    const ProcessFigures process = ReadProcessFigures();
    std::printf("  peak resident %.0f MiB\n", process.peakMb);
    RunLongLineFind();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// A log pane alone, shown in a window of its own at the lower pane's size and font: typical
// received lines appended per second, the cost of the first and the last 100,000 of 10,000,000
// lines, the memory a line takes beyond its text, and a 4 MB line appended, scrolled end to end
// and painted; the view of the 10,000,000 lines switched. Events are processed between batches of
// lines, as a flood of hand-overs lets the event loop run; every figure is checked by reading the
// pane back.
//
//   logpane_bench            the figures above
//   logpane_bench --clear    Clear, and Ctrl+A then Delete, of some 150 million characters:
//                            run it through bench/with_reader.sh for the figures with a screen
//                            reader listening, and alone for those without one
//   logpane_bench --copy     Ctrl+A then Ctrl+C of some 95 million characters: how long a 10 ms
//                            timer waited at most, and the resident memory before, after, and
//                            after another owner took the clipboard. On an X display
//                            (bench/xdisplay.sh) another program (xclip) also reads the primary
//                            selection, as a clipboard manager does, and takes both over.
//
// Offscreen unless a platform is named: QT_QPA_PLATFORM=xcb DISPLAY=:77 runs it on a display.
#include "benchsupport.h"
#include "console/logpane.h"
#include "lateness.h"
#include "payload/hexcodec.h"
#include "processfigures.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using corvane::ByteString;

constexpr std::int64_t kRateLines = 2'000'000;
constexpr std::int64_t kLongRunLines = 10'000'000;
constexpr std::int64_t kSlice = 100'000;
// Lines appended between two passes of the event loop.
constexpr std::int64_t kBatch = 100;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::size_t ResidentBytes() {
    return static_cast<std::size_t>(ReadProcessFigures().residentMb * (1 << 20));
}

// Lines as the UDP panel writes them for 16-byte datagrams from 127.0.0.1, all different.
std::vector<ByteString> TypicalLines() {
    std::mt19937 random(7);
    std::vector<ByteString> lines(4096);
    for (ByteString& line : lines) {
        ByteString data(16, '\0');
        for (char& byte : data)
            byte = static_cast<char>(random());
        line = "-> (127.0.0.1) :" + corvane::StrToHexView(data);
    }
    return lines;
}

void RunEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

std::unique_ptr<TLogPane> ShownPane() {
    auto pane = std::make_unique<TLogPane>(nullptr);
    QFont font;
    font.setFamilies({"Lucida Console", "Liberation Mono", "DejaVu Sans Mono"});
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::PreferNoShaping);
    pane->setFont(font);
    pane->resize(753, 151);
    pane->show();
    RunEventsFor(200);
    return pane;
}

void Append(TLogPane& pane, const std::vector<ByteString>& pool, std::int64_t from,
            std::int64_t count) {
    for (std::int64_t i = from; i < from + count; ++i) {
        pane.Append(pool[static_cast<std::size_t>(i) % pool.size()]);
        if ((i + 1) % kBatch == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
}

// Every appended line is in the pane, in order, and nothing else.
bool HoldsEveryLine(const TLogPane& pane, const std::vector<ByteString>& pool, std::int64_t count) {
    if (pane.LineCount() != count + 1 || pane.Store().LineLength(count) != 0)
        return false;
    for (std::int64_t i = 0; i < count; ++i)
        if (pane.Line(i) != pool[static_cast<std::size_t>(i) % pool.size()])
            return false;
    return true;
}

void Rate(const std::vector<ByteString>& pool) {
    auto pane = ShownPane();
    const auto start = Clock::now();
    Append(*pane, pool, 0, kRateLines);
    const double seconds = Seconds(Clock::now() - start);
    std::printf("Typical lines (%zu bytes), events every %lld lines\n", pool.front().size(),
                static_cast<long long>(kBatch));
    std::printf("  %lld lines in %.3f s: %.0f lines/s (target >= 1,000,000)   all shown: %s\n",
                static_cast<long long>(kRateLines), seconds, kRateLines / seconds,
                HoldsEveryLine(*pane, pool, kRateLines) ? "yes" : "NO");
}

// Switching the view of the whole pane, its lines in view repainted at once: the store renders a
// line only when it is read, so this is one repaint, whatever the lines held.
void SwitchViews(TLogPane& pane) {
    using corvane::DataView;
    using corvane::TextEncoding;
    const std::pair<const char*, corvane::PaneView> views[] = {
        {"Text (UTF-8)", {DataView::Text, TextEncoding::Utf8}},
        {"Hex and Text", {DataView::HexAndText, TextEncoding::Utf8}},
        {"Text (Windows-1251)", {DataView::Text, TextEncoding::Windows1251}},
        {"Hex", {DataView::Hex, TextEncoding::Utf8}},
    };
    std::printf("  view switched and repainted, %lld lines (target <= 16 ms):",
                static_cast<long long>(pane.LineCount() - 1));
    for (const auto& [name, view] : views) {
        const auto start = Clock::now();
        pane.SetView(view);
        pane.viewport()->repaint();
        std::printf(" %s %.2f ms;", name, Milliseconds(Clock::now() - start));
    }
    std::printf("\n  last line in Text: %s\n\n", [&] {
        pane.SetView({DataView::Text, TextEncoding::Utf8});
        static ByteString line;
        line = pane.Line(pane.LineCount() - 2).substr(0, 40);
        pane.SetView({});
        return line.c_str();
    }());
}

void LongRun(const std::vector<ByteString>& pool) {
    auto pane = ShownPane();
    const std::size_t residentBefore = ResidentBytes();
    const std::size_t storeBefore = pane->Store().BytesInMemory();
    std::vector<double> slices;
    for (std::int64_t from = 0; from < kLongRunLines; from += kSlice) {
        const auto start = Clock::now();
        Append(*pane, pool, from, kSlice);
        slices.push_back(Seconds(Clock::now() - start));
    }
    const double first = slices.front();
    const double last = slices.back();
    const double slowest = *std::max_element(slices.begin(), slices.end());
    // On a shared machine one slice can catch a pause of another program: ten at each end say
    // the same with less noise.
    const double firstTen = std::accumulate(slices.begin(), slices.begin() + 10, 0.0) / 10;
    const double lastTen = std::accumulate(slices.end() - 10, slices.end(), 0.0) / 10;
    const std::size_t residentGrowth = ResidentBytes() - residentBefore;
    const std::size_t storeGrowth = pane->Store().BytesInMemory() - storeBefore;
    double text = 0;
    for (std::int64_t i = 0; i < kLongRunLines; ++i)
        text += static_cast<double>(pane->Store().LineLength(i));
    std::printf("%lld lines in slices of %lld\n", static_cast<long long>(kLongRunLines),
                static_cast<long long>(kSlice));
    std::printf("  first slice %.1f ms, last slice %.1f ms: ratio %.2f (target <= 1.2), "
                "slowest slice %.1f ms\n",
                first * 1e3, last * 1e3, last / first, slowest * 1e3);
    std::printf("  first ten slices %.1f ms each, last ten %.1f ms each: ratio %.2f\n",
                firstTen * 1e3, lastTen * 1e3, lastTen / firstTen);
    std::printf("  memory per line beyond its %.0f bytes of text (target <= 40): "
                "%.1f by the store's count, %.1f by resident growth (%.0f MB)\n",
                text / kLongRunLines, (storeGrowth - text) / kLongRunLines,
                (static_cast<double>(residentGrowth) - text) / kLongRunLines, residentGrowth / 1e6);
    std::printf("  all shown: %s\n", HoldsEveryLine(*pane, pool, kLongRunLines) ? "yes" : "NO");
    SwitchViews(*pane);
}

void Key(TLogPane& pane, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&pane, &press);
}

// The steps of one long-line round, in milliseconds: appended and painted, to its end and back
// by keys, to its end and back by the scroll bar, each with a forced paint.
struct LongLineRound {
    double append = 0;
    double toEnd = 0;
    double back = 0;
    double barToEnd = 0;
    double barBack = 0;
    bool held = false;
    double Total() const { return append + toEnd + back + barToEnd + barBack; }
};

LongLineRound LongLineOnce(const ByteString& line) {
    auto pane = ShownPane();
    pane->Append("-> (127.0.0.1) : 01 02");
    RunEventsFor(50);
    QWidget* view = pane->viewport();
    LongLineRound round;
    const auto time = [](auto step) {
        const auto start = Clock::now();
        step();
        return Milliseconds(Clock::now() - start);
    };
    round.append = time([&] {
        pane->Append(line);
        view->repaint();
    });
    round.toEnd = time([&] {
        Key(*pane, Qt::Key_Up);
        Key(*pane, Qt::Key_End);
        view->repaint();
    });
    round.back = time([&] {
        Key(*pane, Qt::Key_Home);
        view->repaint();
    });
    RunEventsFor(50); // the scroll bars follow with the next frame
    QScrollBar* bar = pane->horizontalScrollBar();
    round.barToEnd = time([&] {
        bar->setValue(bar->maximum());
        view->repaint();
    });
    round.barBack = time([&] {
        bar->setValue(0);
        view->repaint();
    });
    round.held =
        pane->Line(1) == line &&
        bar->maximum() == std::max(0, static_cast<int>(line.size()) + 1 - pane->VisibleColumns());
    return round;
}

// Five rounds with line in a fresh pane each; prints the median round and the slowest total.
void LongLine(const char* title, const ByteString& line) {
    std::vector<LongLineRound> rounds;
    for (int i = 0; i < 5; ++i)
        rounds.push_back(LongLineOnce(line));
    std::sort(rounds.begin(), rounds.end(),
              [](const LongLineRound& a, const LongLineRound& b) { return a.Total() < b.Total(); });
    const LongLineRound& median = rounds[rounds.size() / 2];
    const bool held =
        std::all_of(rounds.begin(), rounds.end(), [](const LongLineRound& r) { return r.held; });
    std::printf("  %s (%zu bytes), median of 5 rounds: append+paint %.3f ms, to its end+paint "
                "%.3f ms, back+paint %.3f ms, bar to the end+paint %.3f ms, bar back+paint "
                "%.3f ms\n    total %.3f ms (slowest round %.3f ms)   held: %s\n",
                title, line.size(), median.append, median.toEnd, median.back, median.barToEnd,
                median.barBack, median.Total(), rounds.back().Total(), held ? "yes" : "NO");
}

// Fills the pane with typical lines up to characters, the events running as they would.
void Fill(TLogPane& pane, const std::vector<ByteString>& pool, std::int64_t characters) {
    const auto perLine = static_cast<std::int64_t>(pool.front().size()) + 1;
    Append(pane, pool, 0, characters / perLine);
    RunEventsFor(100);
}

// The time from the first key or call to the pane painted again with every event it caused
// handled: as long as the window would not answer.
template <class Step> double Frozen(TLogPane& pane, Step step) {
    const auto start = Clock::now();
    step();
    QCoreApplication::processEvents();
    pane.viewport()->repaint();
    QCoreApplication::processEvents();
    return Seconds(Clock::now() - start);
}

void KeyWith(TLogPane& pane, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&pane, &press);
}

void ClearLargeText(const std::vector<ByteString>& pool) {
    constexpr std::int64_t kCharacters = 150'000'000;
    auto pane = ShownPane();
    pane->setFocus();
    Fill(*pane, pool, kCharacters);
    // The bridge comes up once the window is shown and the accessibility bus answers.
    std::printf("Accessibility bridge: %s\n",
                QAccessible::isActive() ? "on (a reader may listen)" : "off");
    const std::int64_t held = pane->Store().LineCount();
    const double clear = Frozen(*pane, [&] { pane->Clear(); });
    std::printf("  Clear of %lld lines, %.0f million characters: %.3f s (target < 0.25 s)   "
                "empty: %s\n",
                static_cast<long long>(held - 1), kCharacters / 1e6, clear,
                pane->toPlainText().isEmpty() ? "yes" : "NO");
    Fill(*pane, pool, kCharacters);
    const double all = Frozen(*pane, [&] {
        KeyWith(*pane, Qt::Key_A, Qt::ControlModifier);
        KeyWith(*pane, Qt::Key_Delete, Qt::NoModifier);
    });
    std::printf("  Ctrl+A, Delete of as many: %.3f s   empty: %s\n", all,
                pane->toPlainText().isEmpty() ? "yes" : "NO");
    std::printf("  resident memory at the end: %.0f MB\n", ResidentBytes() / 1e6);
}

// Runs the event loop until done says so.
template <class Done> void RunUntil(Done done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// Another program taking a selection of the X display (xclip -i), or reading it (xclip -o): the
// bytes it read are counted by wc, as the bench's own reading of them would hold the event loop.
bool RunXclip(QProcess& xclip, const char* selection, bool take) {
    if (take) {
        xclip.start(QStringLiteral("xclip"), {"-quiet", "-selection", selection, "-i"});
    } else {
        xclip.start(QStringLiteral("sh"),
                    {"-c", QStringLiteral("xclip -selection %1 -o | wc -c").arg(selection)});
    }
    if (!xclip.waitForStarted())
        return false;
    if (take) {
        xclip.write("another program's");
        xclip.closeWriteChannel();
    }
    return true;
}

void CopyLargeText(const std::vector<ByteString>& pool) {
    constexpr std::int64_t kCharacters = 95'000'000;
    auto pane = ShownPane();
    pane->setFocus();
    Fill(*pane, pool, kCharacters);
    const std::int64_t lines = pane->LineCount();
    std::int64_t characters = lines - 1;
    for (std::int64_t line = 0; line < lines; ++line)
        characters += pane->Store().LineLength(line);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    const QMimeData* const before = clipboard->mimeData();
    malloc_trim(0);
    RunEventsFor(200);
    const double resident = ResidentBytes() / 1e6;

    Lateness lateness;
    lateness.Start();
    const auto start = Clock::now();
    KeyWith(*pane, Qt::Key_A, Qt::ControlModifier);
    KeyWith(*pane, Qt::Key_C, Qt::ControlModifier);
    RunUntil([&] { return clipboard->mimeData() != before; });
    const double seconds = Seconds(Clock::now() - start);
    const Lateness::Figures copying = lateness.Stop();
    RunEventsFor(200);
    const double after = ResidentBytes() / 1e6;
    // The lines are ASCII: as many bytes of UTF-8 as characters.
    const bool whole =
        clipboard->mimeData()->data(QStringLiteral("text/plain")).size() == characters;
    std::printf(
        "Ctrl+A, Ctrl+C of %lld lines, %.1f million characters: on the clipboard in "
        "%.3f s; a 10 ms timer at worst %.1f ms late (UI thread's work between ticks at most "
        "%.1f ms of CPU)   whole: %s\n",
        static_cast<long long>(lines - 1), characters / 1e6, seconds, copying.worstMs,
        copying.worstCpuMs, whole ? "yes" : "NO");
    std::printf("  resident memory: %.0f MB before, %.0f MB after (+%.0f MB)\n", resident, after,
                after - resident);

    const bool x11 = clipboard->supportsSelection();
    if (x11) {
        // A clipboard manager asks for the primary selection as soon as it is offered.
        QProcess reader;
        lateness.Start();
        const auto asked = Clock::now();
        if (RunXclip(reader, "primary", false)) {
            RunUntil([&] { return reader.state() == QProcess::NotRunning; });
            const long long read = reader.readAllStandardOutput().trimmed().toLongLong();
            std::printf("  xclip read the primary selection: %lld bytes of UTF-8 in %.3f s; "
                        "a 10 ms timer at worst %.1f ms late\n",
                        read, Seconds(Clock::now() - asked), lateness.Stop().worstMs);
        } else {
            lateness.Stop();
            std::printf("  xclip could not be started: the primary selection was not read\n");
        }
    }

    // Another owner takes the clipboard (and the primary selection): on an X display another
    // program, offscreen this process in its stead.
    QProcess clipboardOwner;
    QProcess selectionOwner;
    if (x11) {
        RunXclip(clipboardOwner, "clipboard", true);
        RunXclip(selectionOwner, "primary", true);
    } else {
        clipboard->setText(QStringLiteral("another owner's"));
    }
    RunEventsFor(1000);
    const double taken = ResidentBytes() / 1e6;
    std::printf("  after %s took the clipboard%s: %.0f MB (%+.0f MB from before the copy)\n",
                x11 ? "xclip" : "this process", x11 ? " and the primary selection" : "", taken,
                taken - resident);
    clipboardOwner.kill();
    selectionOwner.kill();
    clipboardOwner.waitForFinished();
    selectionOwner.waitForFinished();
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    return RunOffscreen(argc, argv, [&] {
        std::printf("Platform: %s\n\n", qPrintable(QGuiApplication::platformName()));
        const std::vector<ByteString> pool = TypicalLines();
        if (mode == "--clear") {
            ClearLargeText(pool);
            return;
        }
        if (mode == "--copy") {
            CopyLargeText(pool);
            return;
        }
        // The long run first, so that its resident growth is not memory the shorter run freed;
        // its memory goes back to the system before the rate is measured on fresh memory.
        LongRun(pool);
        malloc_trim(0);
        Rate(pool);
        std::printf("\nOne long line (target: a 4 MB line under 10 ms in all)\n");
        LongLine("a short line", ByteString("-> 01 02 03 04 05 06"));
        ByteString data((4 << 20) / 3, '\0');
        std::mt19937 random(9);
        for (char& byte : data)
            byte = static_cast<char>(random());
        LongLine("a 4 MB hex line", "-> " + corvane::StrToHexView(data));
    });
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Pushes the same 10 MB of random bytes through a pseudo-terminal into the running window's
// receive path (the port's reader, the receive worker, the hand-over and the lower pane), then
// into cutecom, the serial terminal Debian offers, run on a display with its hex output on, and
// prints for both how fast the bytes are shown, the CPU time and the memory growth per megabyte,
// with the ratios and the targets. What each pane shows is read back and checked byte by byte.
// Then the same for lines split into the device's frames: 10 MB of 80-character text lines split
// after each line feed and shown in the Text view, and the random bytes cut every 16 bytes.
// Last, the link alone, to a pane that only counts: what the receive path itself costs.
// With --plot [ROUNDS]: only the text lines in the Text view, ROUNDS times (3) each without and
// with the plot window open on the lower pane (its lines hold numbers here and there: up to 16
// series), how long after the pane the plot had read every line, with the count of numbers it
// read against those the lines hold, and the median figures' ratio.
#include "benchsupport.h"
#include "console/dialogs.h"
#include "console/plotmenu.h"
#include "console/plotwindow.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/handover.h"
#include "cutecompeer.h"
#include "feed.h"
#include "plot/linenumbers.h"
#include "readback.h"
#include "serial/seriallink.h"
#include "serial/serialstate.h"
#include "serial/splitrule.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using corvane::ByteString;

// Bytes in a line of the lower pane: "-> " and then three characters per byte.
std::size_t BytesIn(const ByteString& line) {
    return (line.size() - 3) / 3;
}

// The window, counting the bytes of the lines handed to its lower pane. The count only paces
// the device side and tells when to look; what is shown is read back from the pane.
class CountingWindow : public TfrmMain {
public:
    using TfrmMain::AddToLogRec;
    using TfrmMain::TfrmMain;
    void AddToLogRec(const ByteString& line, std::int64_t time) override {
        TfrmMain::AddToLogRec(line, time);
        handed += BytesIn(line);
    }
    void AddLinesToLogRec(std::span<const ByteString> lines, std::span<const std::int64_t> times,
                          std::span<const std::string_view> bytes) override {
        TfrmMain::AddLinesToLogRec(lines, times, bytes);
        for (const ByteString& line : lines)
            handed += BytesIn(line);
    }
    std::atomic<std::size_t> handed{0};
};

// The text of the lower pane, as the operator would copy it out.
std::string PaneText(const TLogPane& pane) {
    return pane.Store().Text({0, 0}, pane.Store().End());
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// A LogPanes that only counts what reaches the lower pane.
class CountingPanes : public corvane::LogPanes {
public:
    void AddToLog(const ByteString&, std::int64_t) override {}
    void AddToLogRec(const ByteString& line, std::int64_t) override { bytes += BytesIn(line); }
    std::atomic<std::size_t> bytes{0};
};

struct Run {
    FeedFigures feed;
    std::optional<Readback> readback; // none when the pane could not be read
    std::string note;                 // why, or how it was read
    // With the plot open: how long after the pane it had read every line, and the numbers it
    // read (kept or beyond its sixteen series).
    double plotCatchUpMs = 0;
    std::int64_t plotNumbers = 0;
};

const auto kWorkerGone = [] { return !corvane::RxThreadRegistered(); };

// COM7 leads to the pseudo-terminal for as long as this lives.
class PortLink {
public:
    explicit PortLink(const std::string& device) {
        char folder[] = "/tmp/corvane-bench-ports-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        folder_ = folder;
        setenv("CORVANE_PORTS_DIR", folder, 1);
        std::filesystem::create_symlink(device, folder_ + "/COM7");
    }
    ~PortLink() { std::filesystem::remove_all(folder_); }

private:
    std::string folder_;
};

// How the window splits and shows what it receives, and how its pane is read back.
struct Showing {
    corvane::SplitRule rule;
    corvane::PaneView view;
    bool plot = false; // the plot window open
};

Run RunWindow(const std::string& data, const Showing& showing = {}) {
    PtyPair pty;
    PortLink link(pty.name);
    SilentDialogs dialogs;
    CountingWindow frm(dialogs);
    frm.show();
    frm.cmbxComPorts->setCurrentIndex(6);
    // As the menus would set them, without remembering them.
    corvane::ReceivedSplitRule().Set(showing.rule);
    frm.mmLogRec->SetView(showing.view);
    if (showing.plot)
        frm.Tools()->Plot()->Open();
    frm.btnOpenComPort->click();
    if (frm.btnOpenComPort->Tag != 1) {
        std::fprintf(stderr, "COM7 did not open\n");
        std::exit(1);
    }
    // Lets the window lay itself out, paint once and log its start line before measuring.
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    frm.btnClearLog->click();

    // Done once the pane has painted after taking the last line: a paint that follows the last
    // change of its text (the pane paints once a frame, not once a line).
    PaintCounter painted(frm.mmLogRec->viewport());
    int paintsAtLastChange = 0;
    QObject::connect(frm.mmLogRec, &TLogPane::textChanged,
                     [&] { paintsAtLastChange = painted.paints; });
    Run run;
    run.feed = Feed(pty, data,
                    {getpid(), [&](std::size_t) { return frm.handed.load(); },
                     [&] { return painted.paints > paintsAtLastChange; }});
    if (TPlotWindow* plot = frm.Tools()->Plot()->Window()) {
        const auto start = std::chrono::steady_clock::now();
        plot->Settle();
        run.plotCatchUpMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        run.plotNumbers =
            plot->Series().SamplesKept() + static_cast<std::int64_t>(plot->Series().Dropped());
    }
    if (showing.view.view == corvane::DataView::Text) {
        run.readback = ReadBackCorvaneTextPane(PaneText(*frm.mmLogRec), data);
        run.note = "read back from the pane's text in the Text view";
    } else {
        run.readback = ReadBackCorvanePane(PaneText(*frm.mmLogRec), data);
        run.note = "read back from the pane's text";
    }
    // Close, and let the worker hand over its last lines before the window goes.
    frm.btnOpenComPort->click();
    RunUntil(kWorkerGone);
    return run;
}

Run RunCutecom(const std::string& data) {
    PtyPair pty;
    CutecomPeer cutecom(pty.name);
    Run run;
    if (!cutecom.Ready()) {
        run.note = cutecom.Error();
        return run;
    }
    // Taken once it is off the pseudo-terminal: cutecom shows each read before its next one.
    // Unread() is asked after written was, so it may count bytes of a write not yet counted.
    run.feed = Feed(pty, data, {cutecom.Pid(), [&](std::size_t written) {
                                    return written - std::min(written, pty.Unread());
                                }});
    if (const auto text = cutecom.CopyOutput()) {
        run.readback = ReadBackCutecomHex(*text, data);
        run.note = "read back by Ctrl+A, Ctrl+C in its output pane and the X clipboard";
    } else {
        run.note = "not read back: " + cutecom.Error();
    }
    return run;
}

Run RunLinkAlone(const std::string& data) {
    PtyPair pty;
    PortLink link(pty.name);
    CountingPanes panes;
    if (!corvane::OpenSerialLink(panes, 7, 115200)) {
        std::fprintf(stderr, "COM7 did not open\n");
        std::exit(1);
    }
    Run run;
    run.feed = Feed(pty, data, {getpid(), [&](std::size_t) { return panes.bytes.load(); }});
    corvane::CloseSerialLink();
    RunUntil(kWorkerGone);
    return run;
}

void PrintFigures(const char* title, const Run& ours, const Run& peer, std::size_t sent) {
    const double megabytes = static_cast<double>(sent) / 1e6;
    const bool peerRan = peer.feed.seconds > 0;
    // Shown: as far as the read-back text matched; taken off the pseudo-terminal when the pane
    // could not be read.
    const auto shown = [&](const Run& run) {
        return static_cast<double>(run.readback ? run.readback->bytes : sent);
    };
    const auto row = [&](const char* name, const char* format, double ourValue, double peerValue,
                         const char* target) {
        std::printf("  %-27s", name);
        std::printf(format, ourValue);
        if (peerRan) {
            std::printf(format, peerValue);
            std::printf("%12.2f", ourValue / peerValue);
        } else {
            std::printf("%12s%12s", "-", "-");
        }
        std::printf("    %s\n", target);
    };

    std::printf("%s\n\n", title);
    std::printf("  %-27s%12s%12s%12s    %s\n", "", "Corvane", "cutecom", "ratio", "target");
    row("shown per second, MB/s", "%12.2f", shown(ours) / 1e6 / ours.feed.seconds,
        shown(peer) / 1e6 / peer.feed.seconds, ">= 10");
    row("CPU seconds per MB", "%12.3f", ours.feed.cpuSeconds / megabytes,
        peer.feed.cpuSeconds / megabytes, "<= 0.1");
    row("memory growth per MB, MB", "%12.1f", ours.feed.memoryGrowthMb / megabytes,
        peer.feed.memoryGrowthMb / megabytes, "<= 4");
    std::printf("  %-27s", "bytes shown, read back");
    for (const Run* run : {&ours, &peer}) {
        if (run->readback)
            std::printf("%12zu", run->readback->bytes);
        else
            std::printf("%12s", "-");
    }
    std::printf("%12s    all %zu\n", "", sent);

    std::printf("\n  ratio: Corvane's figure over cutecom's.\n");
    const auto describe = [](const char* name, const Run& run) {
        std::printf("  %s: %s", name, run.note.c_str());
        if (run.readback) {
            std::printf(", %zu lines", run.readback->lines);
            if (!run.readback->fault.empty())
                std::printf("; FAULT at %s", run.readback->fault.c_str());
        }
        std::printf(".\n");
    };
    describe("Corvane", ours);
    describe("cutecom", peer);
    if (peerRan)
        std::printf("  cutecom's time ends when it has taken the last byte off the "
                    "pseudo-terminal; it shows each read before the next, so its rate is an "
                    "upper bound of how fast it shows.\n");
    std::printf("  Corvane's time ends when its pane has painted after the last line; its CPU "
                "time leaves out the writing thread. Memory: peak resident size over the size at "
                "the start.\n");
}

void PrintLinkAlone(const Run& link, std::size_t sent) {
    const double megabytes = static_cast<double>(sent) / 1e6;
    std::printf("\nThe link alone: port, worker and hand-over to a pane that only counts\n");
    std::printf("  taken per second     %.2f MB/s\n", megabytes / link.feed.seconds);
    std::printf("  CPU per MB           %.3f s\n", link.feed.cpuSeconds / megabytes);
    std::printf("  memory growth per MB %.1f MB\n", link.feed.memoryGrowthMb / megabytes);
}

void RunAll() {
    const std::string data = FeedData();
    const Run ours = RunWindow(data);
    const Run peer = RunCutecom(data);
    const std::string text = FeedTextData();
    const Run oursText =
        RunWindow(text, {{.end = corvane::SplitRule::End::AfterByte, .endByte = 0x0A},
                         {corvane::DataView::Text, corvane::TextEncoding::Utf8}});
    const Run peerText = RunCutecom(text);
    const Run oursSixteen = RunWindow(data, {{.everyN = true, .n = 16}, {}});
    const Run link = RunLinkAlone(data);
    corvane::ReceivedSplitRule().Set({});
    PrintFigures("Serial receive: the same 10 MB of random bytes written into a pseudo-terminal "
                 "in 64 KiB writes, as fast as the pseudo-terminal takes them",
                 ours, peer, data.size());
    PrintFigures("\nAfter a Byte 0A and the Text view: 10 MB of 80-character text lines (CR LF "
                 "included), written the same way",
                 oursText, peerText, text.size());
    PrintFigures("\nEvery N Bytes 16 (at each read): the 10 MB of random bytes again; cutecom's "
                 "figures are its run on them above",
                 oursSixteen, peer, data.size());
    PrintLinkAlone(link, data.size());
}

// The numbers the plot is to read in text's lines.
std::int64_t NumbersIn(const std::string& text) {
    std::int64_t count = 0;
    std::vector<corvane::LineNumber> numbers;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        corvane::ParseLineNumbers(std::string_view(text).substr(at, end - 1 - at), numbers);
        count += static_cast<std::int64_t>(numbers.size());
        at = end + 1;
    }
    return count;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

void RunWithPlot(int rounds) {
    const std::string text = FeedTextData();
    const double megabytes = static_cast<double>(text.size()) / 1e6;
    const std::int64_t numbers = NumbersIn(text);
    std::printf("After a Byte 0A and the Text view, 10 MB of 80-character text lines, without and "
                "with the plot window open, %d times each in turn\n",
                rounds);
    std::vector<double> shown[2];
    for (int round = 0; round < rounds; ++round)
        for (const bool plot : {false, true}) {
            const Run run =
                RunWindow(text, {{.end = corvane::SplitRule::End::AfterByte, .endByte = 0x0A},
                                 {corvane::DataView::Text, corvane::TextEncoding::Utf8},
                                 plot});
            std::printf("  %-12s %6.2f MB/s shown, %.4f CPU s per MB (UI thread %.4f), %s%s\n",
                        plot ? "with plot" : "without plot", megabytes / run.feed.seconds,
                        run.feed.cpuSeconds / megabytes, run.feed.uiCpuSeconds / megabytes,
                        run.note.c_str(),
                        !run.readback                 ? " (not read)"
                        : run.readback->fault.empty() ? ", every byte"
                                                      : ", FAULT");
            if (plot)
                std::printf("  %-12s plot done %.1f ms after the pane, %lld of %lld numbers read\n",
                            "", run.plotCatchUpMs, static_cast<long long>(run.plotNumbers),
                            static_cast<long long>(numbers));
            shown[plot].push_back(megabytes / run.feed.seconds);
        }
    const double without = Median(shown[0]);
    const double with = Median(shown[1]);
    std::printf("Median shown: %.2f MB/s without the plot, %.2f MB/s with it: %.1f %% less "
                "(target: at most 10 %%)\n",
                without, with, 100 * (1 - with / without));
    corvane::ReceivedSplitRule().Set({});
}

} // namespace

int main(int argc, char** argv) {
    const bool plot = argc > 1 && std::string_view(argv[1]) == "--plot";
    const int rounds = plot && argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    return RunOffscreen(argc, argv, [=] { plot ? RunWithPlot(rounds) : RunAll(); });
}

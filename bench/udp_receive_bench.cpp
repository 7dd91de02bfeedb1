// SPDX-License-Identifier: GPL-3.0-or-later
// Datagrams offered from other loopback addresses to the UDP endpoint alone and to the running
// window's UDP panel. Every figure counts what the lower pane really shows: after each phase the
// pane is read back line by line and every numbered datagram is looked for in it.
//
//   udp_receive_bench              the three figures below, one after the other
//   udp_receive_bench --endpoint   the endpoint alone at rising rates (no window)
//   udp_receive_bench --ladder     the panel at rising rates: the highest rate without loss
//   udp_receive_bench --steady     the panel, three runs at 25,000 datagrams/s; through
//                                  bench/with_reader.sh, with a screen reader listening
//   udp_receive_bench --capture    the same with the lower pane captured to a file: datagrams
//                                  shown in the pane and in the file, both counted, and whether
//                                  the file holds the pane's lines, line for line
//   udp_receive_bench --capture R [S]  one run of S seconds (60) at R datagrams/s, captured
//   udp_receive_bench --flood [S] [R]  four senders flood 8 KB datagrams for S seconds (120),
//                                      R datagrams a second in all (2000: 49 MB/s of pane text)
//   udp_receive_bench --close      how long Close takes while datagrams arrive, also with a
//                                  second of them queued
//   udp_receive_bench --stall      10,000 datagrams/s while the UI thread stalls for 2 s
//   udp_receive_bench --beyond     8 KB datagrams while the UI thread stalls, beyond what the
//                                  receive queue holds: shown and reported lost against sent
//
// Each panel phase also times a 10 ms timer on the UI thread: its lateness is how long the window
// would keep the operator's input waiting, and reads the loss lines of the upper pane back.
//
// The endpoint's socket is made while the system's limit of a socket's receive queue
// (net.core.rmem_max) stands at Debian's default, 212,992 bytes, when the bench may write it
// (as root): the limit is lowered for the moment the socket asks for its queue and put back at
// once. UDP_BENCH_RMEM_MAX=<bytes> chooses another limit; "keep" leaves the system's.
#include "benchsupport.h"
#include "console/logpanetools.h"
#include "console/untMain.h"
#include "console/windowtools.h"
#include "core/codepage.h"
#include "lateness.h"
#include "platform/winsock.h"
#include "processfigures.h"
#include "udp/datagramqueue.h"
#include "udp/idudplistenerthread.h"
#include "udp/idudpserver.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace corvane::winsock;
using Clock = std::chrono::steady_clock;
using corvane::ByteString;

constexpr double kLadder[] = {5'000, 10'000, 25'000, 50'000, 75'000, 100'000, 150'000};
constexpr auto kPhase = std::chrono::seconds(3);
// A phase ends once everything sent was shown or reported lost, or nothing has been for this long
// (more than the second between two loss reports).
constexpr auto kQuiet = std::chrono::milliseconds(1500);

// The system's limit of a socket's receive queue, lowered to the figure the bench measures at
// while an endpoint makes its socket, and put back when this goes.
class ReceiveQueueLimit {
public:
    ReceiveQueueLimit() {
        const char* chosen = std::getenv("UDP_BENCH_RMEM_MAX");
        if (chosen && std::string(chosen) == "keep")
            return;
        const long wanted = chosen ? std::atol(chosen) : 212'992;
        if (!(std::ifstream(kPath) >> saved_))
            return;
        lowered_ = static_cast<bool>(std::ofstream(kPath) << wanted);
    }
    ~ReceiveQueueLimit() {
        if (lowered_)
            std::ofstream(kPath) << saved_;
    }
    ReceiveQueueLimit(const ReceiveQueueLimit&) = delete;
    ReceiveQueueLimit& operator=(const ReceiveQueueLimit&) = delete;

    // What a socket made now gets at most.
    static long Current() {
        long value = 0;
        std::ifstream(kPath) >> value;
        return value;
    }

private:
    static constexpr const char* kPath = "/proc/sys/net/core/rmem_max";
    long saved_ = 0;
    bool lowered_ = false;
};

// Says once which limit the endpoint's socket was made under.
void PrintReceiveQueueLimit(long limit) {
    static bool printed = false;
    if (printed)
        return;
    printed = true;
    std::printf("Socket receive queue limit (net.core.rmem_max) when the endpoint opened: %ld "
                "bytes\n",
                limit);
}
// A flood datagram: the sender's address byte and its number, then filler up to 8192 bytes.
constexpr int kFloodSize = 8192;

// The only place that knows how to read the pane: its line count and one line, in the program's
// code page.
struct PaneReader {
    const TLogPane& pane;
    std::int64_t LineCount() const { return pane.LineCount(); }
    ByteString Line(std::int64_t i) const { return pane.Line(i); }
    template <class Visit> void EachLine(Visit visit) const {
        for (std::int64_t i = 0; i < pane.LineCount(); ++i)
            visit(pane.Line(i));
    }
};

// A plain socket on 127.0.0.<last> that sends to 127.0.0.1:port.
class Sender {
public:
    Sender(unsigned char last, int port) {
        WSADATA data;
        WSAStartup(0x0202, &data);
        socket_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.S_un.S_un_b = {127, 0, 0, last};
        bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        to_.sin_family = AF_INET;
        to_.sin_port = htons(static_cast<u_short>(port));
        to_.sin_addr.S_un.S_un_b = {127, 0, 0, 1};
    }
    ~Sender() {
        closesocket(socket_);
        WSACleanup();
    }

    bool Send(const void* data, int size) {
        return sendto(socket_, static_cast<const char*>(data), size, 0,
                      reinterpret_cast<const sockaddr*>(&to_), sizeof to_) == size;
    }

    // Sends the numbers 0, 1, 2... as 8-byte datagrams at rate per second for duration or until
    // stop; returns how many were sent.
    std::uint64_t Offer(double rate, Clock::duration duration, const std::atomic<bool>& stop) {
        return Pace(rate, duration, stop, [this](std::uint64_t n) { Send(&n, sizeof n); });
    }

    // Calls send(n) for n = 0, 1, 2... at rate per second, paced per millisecond, for duration or
    // until stop; returns how many calls it made.
    template <class SendOne>
    static std::uint64_t Pace(double rate, Clock::duration duration, const std::atomic<bool>& stop,
                              SendOne send) {
        const auto start = Clock::now();
        std::uint64_t sent = 0;
        for (auto slot = start; slot - start < duration && !stop.load();
             slot += std::chrono::milliseconds(1)) {
            std::this_thread::sleep_until(slot);
            const double due = rate * std::chrono::duration<double>(slot - start).count();
            for (; sent < due; ++sent)
                send(sent);
        }
        return sent;
    }

private:
    SOCKET socket_;
    sockaddr_in to_{};
};

int FreePort() {
    corvane::TIdUDPServer probe;
    probe.SetQueueBudget(64);
    probe.SetDefaultPort(0);
    probe.SetActive(true);
    return probe.Bindings().Items(0).Port();
}

void RunEventsFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// The number in a pane line "-> (127.0.0.5) : XX XX XX XX XX XX XX XX" that shows a datagram of
// size bytes, read from its first eight; none for another line.
std::optional<std::uint64_t> NumberInLine(const ByteString& line, std::size_t size = 8) {
    static const ByteString kPrefix = "-> (127.0.0.5) :";
    if (line.size() != kPrefix.size() + size * 3 || line.compare(0, kPrefix.size(), kPrefix) != 0)
        return std::nullopt;
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) {
        const char* group = line.data() + kPrefix.size() + i * 3;
        if (group[0] != ' ')
            return std::nullopt;
        bytes[i] = static_cast<std::uint8_t>(std::stoul(std::string(group + 1, 2), nullptr, 16));
    }
    std::uint64_t number;
    std::memcpy(&number, bytes, sizeof number);
    return number;
}

// Which of the numbers 0 to sent - 1 arrived, each counted once.
struct Tally {
    explicit Tally(std::uint64_t sent) : seen(sent, false) {}
    void Count(std::uint64_t number) {
        if (number < seen.size() && !seen[number]) {
            seen[number] = true;
            ++shown;
        }
    }
    std::vector<bool> seen;
    std::uint64_t shown = 0;
};

struct Figures {
    double rate;
    std::uint64_t sent;
    std::uint64_t shown;
    double worstLateMs;
    double p99LateMs;
    // The loss lines of the upper pane: how many, and the datagrams they count.
    std::uint64_t lossLines = 0;
    std::uint64_t reportedLost = 0;
    // The UI thread's switches (waits and preemptions) per datagram sent.
    double switchesPerDatagram = 0;
    std::uint64_t Lost() const { return sent - shown; }
};

// The loss lines among the upper pane's lines, and the datagrams they count in all.
struct LossLines {
    std::uint64_t lines = 0;
    std::uint64_t lost = 0;
    void Count(const ByteString& line) {
        static const ByteString kPrefix =
            corvane::ToCodePage(QString::fromUtf8("Потеряно датаграмм при приёме: "));
        if (line.compare(0, kPrefix.size(), kPrefix) != 0)
            return;
        ++lines;
        lost += std::stoull(line.substr(kPrefix.size()));
    }
};

// One phase: offers at rate for length while the event loop runs, until everything has been
// handled or nothing more comes; handled() counts the deliveries so far.
std::uint64_t Offer(Sender& sender, double rate, const std::function<std::uint64_t()>& handled,
                    Clock::duration length = kPhase) {
    std::atomic<bool> done{false};
    std::atomic<std::uint64_t> sent{0};
    std::thread offering([&] {
        const std::atomic<bool> never{false};
        sent = sender.Offer(rate, length, never);
        done = true;
    });
    QEventLoop loop;
    QTimer check;
    std::uint64_t lastCount = handled();
    auto lastChange = Clock::now();
    QObject::connect(&check, &QTimer::timeout, [&] {
        const std::uint64_t count = handled();
        if (count != lastCount) {
            lastCount = count;
            lastChange = Clock::now();
        }
        if (done.load() && (count >= sent.load() || Clock::now() - lastChange > kQuiet))
            loop.quit();
    });
    check.start(20);
    loop.exec();
    offering.join();
    return sent.load();
}

void PrintHeader(const char* title) {
    std::printf("\n%s\n", title);
    std::printf("%10s %10s %10s %8s %14s %14s %11s %13s %12s\n", "offered/s", "sent", "shown",
                "lost", "timer worst ms", "timer p99 ms", "loss lines", "lines' count",
                "UI switches");
}

void PrintRow(const Figures& f) {
    std::printf("%10.0f %10llu %10llu %8llu %14.1f %14.1f %11llu %13llu %12.3f\n", f.rate,
                static_cast<unsigned long long>(f.sent), static_cast<unsigned long long>(f.shown),
                static_cast<unsigned long long>(f.Lost()), f.worstLateMs, f.p99LateMs,
                static_cast<unsigned long long>(f.lossLines),
                static_cast<unsigned long long>(f.reportedLost), f.switchesPerDatagram);
    std::fflush(stdout);
}

// Says once where the window is shown and whether a screen reader could listen.
void PrintDisplay() {
    static bool printed = false;
    if (printed)
        return;
    printed = true;
    std::printf("Display: %s, accessibility bridge %s\n",
                qPrintable(QGuiApplication::platformName()),
                QAccessible::isActive() ? "on" : "off");
}

// The window with its UDP port open, counting deliveries beside its own handler.
class OpenPanel {
public:
    OpenPanel() {
        frm_.show();
        port_ = FreePort();
        frm_.edtUDPPort->setText(QString::number(port_));
        {
            const ReceiveQueueLimit limit;
            PrintReceiveQueueLimit(ReceiveQueueLimit::Current());
            frm_.btnOpenUDPPort->click();
        }
        const corvane::TUDPReadEvent shown = frm_.IdUDPServer1->OnUDPRead();
        frm_.IdUDPServer1->SetOnUDPRead([this, shown](corvane::TIdUDPServer& s, corvane::Stream& d,
                                                      corvane::TIdSocketHandle& b) {
            shown(s, d, b);
            ++handled_;
        });
        const corvane::TUDPLossEvent reported = frm_.IdUDPServer1->OnUDPLoss();
        frm_.IdUDPServer1->SetOnUDPLoss(
            [this, reported](corvane::TIdUDPServer& s, std::uint64_t lost) {
                reported(s, lost);
                reported_ += lost;
            });
        RunEventsFor(std::chrono::milliseconds(300)); // laid out and painted once
        PrintDisplay();
    }

    TfrmMain& Form() { return frm_; }
    SilentDialogs& Boxes() { return dialogs_; }
    int Port() const { return port_; }
    std::uint64_t Handled() const { return handled_; }
    // Datagrams the endpoint reported lost so far.
    std::uint64_t Reported() const { return reported_; }
    PaneReader Pane() const { return {*frm_.mmLogRec}; }
    LossLines ReadLossLines() const {
        LossLines loss;
        PaneReader{*frm_.mmLog}.EachLine([&](const ByteString& line) { loss.Count(line); });
        return loss;
    }
    // The listener's queue, while the port is open.
    const corvane::DatagramQueue& Queue() const { return frm_.IdUDPServer1->Listener()->Queue(); }

    // Clears the panes, offers datagrams at rate from 127.0.0.5, and reads the panes back.
    Figures Phase(double rate, Clock::duration length = kPhase) {
        frm_.btnClearLog->click();
        Sender sender(5, port_);
        Lateness probe;
        return Offered(sender, rate, probe, length);
    }

    // Offers datagrams at rate from sender's address and reads the panes back.
    Figures Offered(Sender& sender, double rate, const Lateness& probe,
                    Clock::duration length = kPhase) {
        const std::uint64_t before = handled_ + reported_;
        const auto switches = ReadProcessFigures().mainThreadSwitches;
        const std::uint64_t sent = Offer(
            sender, rate, [&] { return handled_ + reported_ - before; }, length);
        Figures f = ReadBack(rate, sent, probe);
        f.switchesPerDatagram =
            static_cast<double>(ReadProcessFigures().mainThreadSwitches - switches) /
            static_cast<double>(std::max<std::uint64_t>(sent, 1));
        return f;
    }

    // The figures of a phase in which the numbers 0 to sent - 1 were offered.
    Figures ReadBack(double rate, std::uint64_t sent, const Lateness& probe) const {
        Tally tally(sent);
        Pane().EachLine([&](const ByteString& line) {
            if (const auto number = NumberInLine(line))
                tally.Count(*number);
        });
        const LossLines loss = ReadLossLines();
        return {rate,       sent,     tally.shown, probe.Worst(), probe.Percentile99(),
                loss.lines, loss.lost};
    }

private:
    SilentDialogs dialogs_;
    TfrmMain frm_{dialogs_};
    int port_ = 0;
    std::uint64_t handled_ = 0;
    std::uint64_t reported_ = 0;
};

void BenchEndpoint() {
    corvane::TIdUDPServer server;
    std::vector<std::uint64_t> numbers;
    server.SetOnUDPRead(
        [&](corvane::TIdUDPServer&, corvane::Stream& data, corvane::TIdSocketHandle&) {
            std::uint64_t number = ~0ull;
            data.Read(&number, sizeof number);
            numbers.push_back(number);
        });
    std::uint64_t reports = 0, reported = 0;
    server.SetOnUDPLoss([&](corvane::TIdUDPServer&, std::uint64_t lost) {
        ++reports;
        reported += lost;
    });
    server.SetDefaultPort(0);
    {
        const ReceiveQueueLimit limit;
        PrintReceiveQueueLimit(ReceiveQueueLimit::Current());
        server.SetActive(true);
    }
    Sender sender(5, server.Bindings().Items(0).Port());
    PrintHeader("Endpoint alone (OnUDPRead on the UI thread counts each datagram; OnUDPLoss's "
                "calls and count as loss lines)");
    for (double rate : kLadder) {
        numbers.clear();
        reports = reported = 0;
        Lateness probe;
        const std::uint64_t sent = Offer(sender, rate, [&] { return numbers.size() + reported; });
        Tally tally(sent);
        for (std::uint64_t number : numbers)
            tally.Count(number);
        PrintRow({rate, sent, tally.shown, probe.Worst(), probe.Percentile99(), reports, reported});
    }
}

void BenchLadder() {
    OpenPanel panel;
    PrintHeader("Window panel at rising rates (shown: lines read back from the lower pane)");
    double highest = 0;
    double firstLossLine = 0;
    bool lost = false;
    for (double rate : kLadder) {
        const Figures f = panel.Phase(rate);
        PrintRow(f);
        lost = lost || f.Lost() != 0;
        if (!lost)
            highest = rate;
        if (f.lossLines > 0 && firstLossLine == 0)
            firstLossLine = rate;
    }
    std::printf("Highest loss-free rate: %.0f datagrams/s\n", highest);
    if (firstLossLine > 0)
        std::printf("First loss line at: %.0f datagrams/s\n", firstLossLine);
    else
        std::printf("No loss line at any rate\n");
}

// Blocks the UI thread for time once the event loop runs, as a long handler would.
void StallUiThreadSoon(std::chrono::milliseconds after, std::chrono::milliseconds time) {
    QTimer::singleShot(after, [time] { std::this_thread::sleep_for(time); });
}

void BenchStall() {
    OpenPanel panel;
    constexpr double kRate = 10'000;
    PrintHeader("Window panel at 10000 datagrams/s, the UI thread stalled for 2 s after 0.5 s");
    panel.Form().btnClearLog->click();
    Sender sender(5, panel.Port());
    Lateness probe;
    StallUiThreadSoon(std::chrono::milliseconds(500), std::chrono::seconds(2));
    const Figures f = panel.Offered(sender, kRate, probe);
    PrintRow(f);
    std::printf("%s\n", f.Lost() == 0 ? "Every datagram shown after the stall"
                                      : "DATAGRAMS LOST across the stall");
}

// 8 KB datagrams, sent as fast as the receiver takes them, while the UI thread stalls long enough
// for them to pass what the queue holds: shown and reported lost must make up what was sent, and
// the queue must stay within its budget.
void BenchBeyond() {
    OpenPanel panel;
    constexpr auto kStall = std::chrono::seconds(4);
    constexpr std::uint64_t kCount = 20'000; // 160 MB, some two and a half budgets
    panel.Form().btnClearLog->click();
    const corvane::DatagramQueue& queue = panel.Queue();
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> mostHeld{0};
    std::thread watch([&] {
        while (!stop.load()) {
            mostHeld.store(std::max(mostHeld.load(), queue.Used()));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    StallUiThreadSoon(std::chrono::milliseconds(100), kStall);
    std::atomic<std::uint64_t> sent{0};
    std::atomic<bool> done{false};
    std::thread flood([&] {
        Sender sender(5, panel.Port());
        std::vector<std::uint8_t> datagram(kFloodSize, 0x5A);
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // into the stall
        const std::atomic<bool> never{false};
        // 80 MB/s: the drain keeps up, the queue does not.
        Sender::Pace(kCount / 2.0, std::chrono::seconds(2), never, [&](std::uint64_t n) {
            std::memcpy(datagram.data(), &n, sizeof n);
            if (sender.Send(datagram.data(), kFloodSize))
                ++sent;
        });
        done.store(true);
    });
    QEventLoop loop;
    QTimer check;
    std::optional<Clock::time_point> lastChange;
    std::uint64_t lastCount = 0;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!done.load())
            return;
        const std::uint64_t count = panel.Handled() + panel.Reported();
        if (count != lastCount || !lastChange) {
            lastCount = count;
            lastChange = Clock::now();
        }
        if (count >= sent.load() || Clock::now() - *lastChange > kQuiet)
            loop.quit();
    });
    check.start(20);
    loop.exec();
    flood.join();
    stop.store(true);
    watch.join();
    Tally tally(sent.load());
    panel.Pane().EachLine([&](const ByteString& line) {
        if (const auto number = NumberInLine(line, kFloodSize))
            tally.Count(*number);
    });
    const std::uint64_t shown = tally.shown;
    const LossLines loss = panel.ReadLossLines();
    std::printf("\nBeyond the queue: %llu datagrams of %d bytes during a %lld s stall of the UI "
                "thread\n",
                static_cast<unsigned long long>(sent.load()), kFloodSize,
                static_cast<long long>(kStall.count()));
    std::printf("shown %llu + lost by the loss lines %llu (%llu lines) = %llu of %llu sent: %s\n",
                static_cast<unsigned long long>(shown), static_cast<unsigned long long>(loss.lost),
                static_cast<unsigned long long>(loss.lines),
                static_cast<unsigned long long>(shown + loss.lost),
                static_cast<unsigned long long>(sent.load()),
                shown + loss.lost == sent.load() ? "every datagram accounted for" : "MISMATCH");
    std::printf("queue: most held %.1f MiB of a budget of %.1f MiB\n",
                static_cast<double>(mostHeld.load()) / (1 << 20),
                static_cast<double>(queue.Budget()) / (1 << 20));
}

void BenchSteady() {
    OpenPanel panel;
    PrintHeader("Window panel, three runs at 25000 datagrams/s");
    int lossFree = 0;
    for (int run = 0; run < 3; ++run) {
        const Figures f = panel.Phase(25'000);
        PrintRow(f);
        lossFree += f.Lost() == 0;
    }
    std::printf("Runs without loss: %d of 3\n", lossFree);
}

// runs runs of length at rate.
void BenchCapture(double rate, Clock::duration length, int runs) {
    OpenPanel panel;
    QTemporaryDir folder;
    const QString path = folder.filePath("capture.txt");
    panel.Boxes().fileAnswer = Dialogs::FileChoice{path, false};
    TLogPaneTools& tools = *panel.Form().Tools()->LogRecTools();
    std::printf(
        "\nWindow panel at %.0f datagrams/s for %.0f s, the lower pane captured to a file\n", rate,
        std::chrono::duration<double>(length).count());
    std::printf("%10s %10s %10s %10s %8s %14s %14s\n", "sent", "shown", "in file", "file MB",
                "agree", "timer worst ms", "timer p99 ms");
    int whole = 0;
    for (int run = 0; run < runs; ++run) {
        tools.ToggleCapture(); // starts, on the file emptied
        const Figures f = panel.Phase(rate, length);
        tools.ToggleCapture(); // stops: what is gathered is written and the file closed
        // Each file line is a time, a tab and the pane's line: the file and the pane agree when
        // they hold the same lines in the same order.
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        Tally captured(f.sent);
        const PaneReader pane = panel.Pane();
        std::int64_t at = 0;
        bool agree = true;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().chopped(1);
            const std::string text = line.mid(line.indexOf('\t') + 1).toStdString();
            agree = agree && at < pane.LineCount() && pane.Line(at) == text;
            ++at;
            if (const auto number = NumberInLine(text))
                captured.Count(*number);
        }
        // The pane ends with the empty line after the last appended one.
        agree = agree && at == pane.LineCount() - 1;
        std::printf(
            "%10llu %10llu %10llu %10.1f %8s %14.1f %14.1f\n",
            static_cast<unsigned long long>(f.sent), static_cast<unsigned long long>(f.shown),
            static_cast<unsigned long long>(captured.shown), static_cast<double>(file.size()) / 1e6,
            agree ? "yes" : "NO", f.worstLateMs, f.p99LateMs);
        std::fflush(stdout);
        whole += f.Lost() == 0 && captured.shown == f.sent && agree;
    }
    std::printf("Runs with every datagram shown and in the file, line for line: %d of %d\n", whole,
                runs);
}

// How long a click on Close takes while 50,000 datagrams/s arrive, after the UI thread has run
// for stall without serving the window, so that the receive queue holds what came meanwhile.
void TimeClose(std::chrono::milliseconds stall) {
    OpenPanel panel;
    Sender sender(5, panel.Port());
    std::atomic<bool> stop{false};
    std::thread flood([&] { sender.Offer(50'000, std::chrono::seconds(30), stop); });
    RunEventsFor(std::chrono::milliseconds(200));
    std::this_thread::sleep_for(stall);
    const std::size_t held = panel.Queue().Used();
    const std::uint64_t queued = panel.Queue().Count();
    const LossLines before = panel.ReadLossLines();
    const auto start = Clock::now();
    panel.Form().btnOpenUDPPort->click();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const LossLines after = panel.ReadLossLines();
    stop = true;
    flood.join();
    std::printf("\nClose while 50000 datagrams/s arrive, %lld ms after the window was last served "
                "(%zu bytes, %llu datagrams queued): %.1f ms; the close wrote %llu loss line(s) "
                "counting %llu\n",
                static_cast<long long>(stall.count()), held,
                static_cast<unsigned long long>(queued), ms,
                static_cast<unsigned long long>(after.lines - before.lines),
                static_cast<unsigned long long>(after.lost - before.lost));
}

void BenchClose() {
    TimeClose(std::chrono::milliseconds(0));
    TimeClose(std::chrono::milliseconds(1000));
}

// Resident memory and its peak, in MiB, as the kernel counts them.
struct Memory {
    double resident = 0, peak = 0;
};
Memory ReadMemory() {
    const ProcessFigures figures = ReadProcessFigures();
    return {figures.residentMb, figures.peakMb};
}

// True when line is "-> (127.0.0.N) :" and the hex view of a whole flood datagram from
// 127.0.0.N.
bool IsFloodLine(const ByteString& line) {
    const ByteString prefix = "-> (127.0.0.";
    const std::size_t close = line.find(") :");
    if (line.compare(0, prefix.size(), prefix) != 0 || close == ByteString::npos)
        return false;
    const int last = std::stoi(line.substr(prefix.size(), close - prefix.size()));
    const std::size_t hex = close + 3;
    if (line.size() != hex + kFloodSize * 3)
        return false;
    return std::stoi(line.substr(hex + 1, 2), nullptr, 16) == last;
}

void BenchFlood(int seconds, double rate, double capMiB) {
    OpenPanel panel;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> sent{0};
    std::vector<std::thread> senders;
    for (unsigned char last : {2, 3, 4, 5}) {
        senders.emplace_back([&, last] {
            Sender sender(last, panel.Port());
            std::vector<std::uint8_t> datagram(kFloodSize, 0x5A);
            datagram[0] = last;
            Sender::Pace(rate / 4, std::chrono::seconds(seconds), stop, [&](std::uint64_t n) {
                std::memcpy(datagram.data() + 1, &n, sizeof n);
                if (sender.Send(datagram.data(), kFloodSize))
                    ++sent;
            });
        });
    }
    std::printf("\nFlood: four senders (127.0.0.2-5), %d-byte datagrams, %.0f/s in all, %d s\n",
                kFloodSize, rate, seconds);
    std::printf("%8s %12s %12s %14s\n", "time s", "sent", "shown", "resident MiB");
    const auto start = Clock::now();
    QTimer report;
    QEventLoop loop;
    int elapsed = 0;
    bool capped = false;
    QObject::connect(&report, &QTimer::timeout, [&] {
        ++elapsed;
        const Memory m = ReadMemory();
        if (elapsed % 10 == 0 || elapsed == seconds)
            std::printf("%8d %12llu %12llu %14.0f\n", elapsed,
                        static_cast<unsigned long long>(sent.load()),
                        static_cast<unsigned long long>(panel.Handled()), m.resident);
        std::fflush(stdout);
        capped = m.resident > capMiB;
        if (elapsed >= seconds || capped)
            loop.quit();
    });
    report.start(1000);
    loop.exec();
    stop = true;
    for (std::thread& t : senders)
        t.join();
    RunEventsFor(std::chrono::milliseconds(500)); // what was on its way
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    const Memory m = ReadMemory();
    if (capped)
        std::printf("Stopped early after %.0f s: resident memory passed the cap of %.0f MiB\n",
                    took, capMiB);
    const PaneReader pane = panel.Pane();
    // The pane ends with the empty line after the last appended one.
    const std::int64_t lines = pane.LineCount() - 1;
    std::printf("End: %.0f s, %llu sent, %lld lines in the pane, resident %.0f MiB, peak %.0f "
                "MiB\n",
                took, static_cast<unsigned long long>(sent.load()), static_cast<long long>(lines),
                m.resident, m.peak);
    for (const auto& [name, at] : {std::pair{"first", std::int64_t{0}},
                                   std::pair{"middle", lines / 2}, std::pair{"last", lines - 1}}) {
        const bool readable = lines > 0 && IsFloodLine(pane.Line(at));
        std::printf("  %-6s line %lld: %s\n", name, static_cast<long long>(at),
                    readable ? "readable, whole" : "NOT READABLE");
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int floodSeconds = argc > 2 ? std::atoi(argv[2]) : 120;
    const double floodRate = argc > 3 ? std::atof(argv[3]) : 2000;
    // The flood stops early rather than take the machine's memory with a pane that keeps all.
    const double capMiB =
        std::getenv("FLOOD_CAP_MIB") ? std::atof(std::getenv("FLOOD_CAP_MIB")) : 4096;
    return RunOffscreen(argc, argv, [&] {
        if (mode == "--endpoint") {
            BenchEndpoint();
        } else if (mode == "--ladder") {
            BenchLadder();
        } else if (mode == "--steady") {
            BenchSteady();
        } else if (mode == "--flood") {
            BenchFlood(floodSeconds > 0 ? floodSeconds : 120, floodRate > 0 ? floodRate : 2000,
                       capMiB);
        } else if (mode == "--capture" && argc > 2) {
            BenchCapture(std::atof(argv[2]),
                         std::chrono::seconds(argc > 3 ? std::atoi(argv[3]) : 60), 1);
        } else if (mode == "--capture") {
            BenchCapture(25'000, kPhase, 3);
        } else if (mode == "--close") {
            BenchClose();
        } else if (mode == "--stall") {
            BenchStall();
        } else if (mode == "--beyond") {
            BenchBeyond();
        } else {
            BenchEndpoint();
            BenchLadder();
            BenchSteady();
        }
    });
}

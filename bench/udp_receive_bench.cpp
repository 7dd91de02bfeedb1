// Datagrams offered from other loopback addresses to the UDP endpoint alone and to the running
// window's UDP panel. Every figure counts what the lower pane really shows: after each phase the
// pane is read back line by line and every numbered datagram is looked for in it.
//
//   udp_receive_bench              the three figures below, one after the other
//   udp_receive_bench --endpoint   the endpoint alone at rising rates (no window)
//   udp_receive_bench --ladder     the panel at rising rates: the highest rate without loss
//   udp_receive_bench --steady     the panel, three runs at 25,000 datagrams/s; through
//                                  bench/with_reader.sh, with a screen reader listening
//   udp_receive_bench --flood [S] [R]  four senders flood 8 KB datagrams for S seconds (120),
//                                      R datagrams a second in all (2000: 49 MB/s of pane text)
//   udp_receive_bench --close      how long Close takes while datagrams arrive
//
// Each panel phase also times a 10 ms timer on the UI thread: its lateness is how long the window
// would keep the operator's input waiting.
#include "benchsupport.h"
#include "console/untMain.h"
#include "platform/winsock.h"
#include "processfigures.h"
#include "udp/idudpserver.h"

#include <QAccessible>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace corvane::winsock;
using Clock = std::chrono::steady_clock;
using corvane::ByteString;

constexpr double kLadder[] = {5'000, 10'000, 25'000, 50'000, 75'000, 100'000};
constexpr auto kPhase = std::chrono::seconds(3);
// A phase ends once everything sent was handled, or nothing has been handled for this long.
constexpr auto kQuiet = std::chrono::milliseconds(500);
constexpr auto kTick = std::chrono::milliseconds(10);

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
    probe.SetDefaultPort(0);
    probe.SetActive(true);
    return probe.Bindings().Items(0).Port();
}

void RunEventsFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// How late a 10 ms timer on the UI thread fires: each tick's distance from the one before, less
// the interval.
class LatenessProbe {
public:
    LatenessProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            if (previous_)
                lateness_.push_back(
                    std::chrono::duration<double, std::milli>(now - *previous_ - kTick).count());
            previous_ = now;
        });
        timer_.start(kTick);
    }
    double Worst() const {
        return lateness_.empty() ? 0 : *std::max_element(lateness_.begin(), lateness_.end());
    }
    double Percentile99() const {
        if (lateness_.empty())
            return 0;
        std::vector<double> sorted = lateness_;
        const std::size_t at = sorted.size() * 99 / 100;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(at), sorted.end());
        return sorted[at];
    }

private:
    QTimer timer_;
    std::optional<Clock::time_point> previous_;
    std::vector<double> lateness_;
};

// The number in a pane line "-> (127.0.0.5) : XX XX XX XX XX XX XX XX"; none for another line.
std::optional<std::uint64_t> NumberInLine(const ByteString& line) {
    static const ByteString kPrefix = "-> (127.0.0.5) :";
    if (line.size() != kPrefix.size() + 8 * 3 || line.compare(0, kPrefix.size(), kPrefix) != 0)
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
    std::uint64_t Lost() const { return sent - shown; }
};

// One phase: offers at rate while the event loop runs, until everything has been handled or
// nothing more comes; handled() counts the deliveries so far.
std::uint64_t Offer(Sender& sender, double rate, const std::function<std::uint64_t()>& handled) {
    std::atomic<bool> done{false};
    std::atomic<std::uint64_t> sent{0};
    std::thread offering([&] {
        const std::atomic<bool> never{false};
        sent = sender.Offer(rate, kPhase, never);
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
    std::printf("%10s %10s %10s %8s %14s %14s\n", "offered/s", "sent", "shown", "lost",
                "timer worst ms", "timer p99 ms");
}

void PrintRow(const Figures& f) {
    std::printf("%10.0f %10llu %10llu %8llu %14.1f %14.1f\n", f.rate,
                static_cast<unsigned long long>(f.sent), static_cast<unsigned long long>(f.shown),
                static_cast<unsigned long long>(f.Lost()), f.worstLateMs, f.p99LateMs);
    std::fflush(stdout);
}

// The window with its UDP port open, counting deliveries beside its own handler.
class OpenPanel {
public:
    OpenPanel() {
        frm_.show();
        port_ = FreePort();
        frm_.edtUDPPort->setText(QString::number(port_));
        frm_.btnOpenUDPPort->click();
        const corvane::TUDPReadEvent shown = frm_.IdUDPServer1->OnUDPRead();
        frm_.IdUDPServer1->SetOnUDPRead([this, shown](corvane::TIdUDPServer& s, corvane::Stream& d,
                                                      corvane::TIdSocketHandle& b) {
            shown(s, d, b);
            ++handled_;
        });
        RunEventsFor(std::chrono::milliseconds(300)); // laid out and painted once
    }

    TfrmMain& Form() { return frm_; }
    int Port() const { return port_; }
    std::uint64_t Handled() const { return handled_; }
    PaneReader Pane() const { return {*frm_.mmLogRec}; }

    // Clears the panes, offers datagrams at rate from 127.0.0.5, and reads the pane back.
    Figures Phase(double rate) {
        frm_.btnClearLog->click();
        Sender sender(5, port_);
        LatenessProbe probe;
        const std::uint64_t before = handled_;
        const std::uint64_t sent = Offer(sender, rate, [&] { return handled_ - before; });
        Tally tally(sent);
        Pane().EachLine([&](const ByteString& line) {
            if (const auto number = NumberInLine(line))
                tally.Count(*number);
        });
        return {rate, sent, tally.shown, probe.Worst(), probe.Percentile99()};
    }

private:
    SilentDialogs dialogs_;
    TfrmMain frm_{dialogs_};
    int port_ = 0;
    std::uint64_t handled_ = 0;
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
    server.SetDefaultPort(0);
    server.SetActive(true);
    Sender sender(5, server.Bindings().Items(0).Port());
    PrintHeader("Endpoint alone (OnUDPRead on the UI thread counts each datagram)");
    for (double rate : kLadder) {
        numbers.clear();
        LatenessProbe probe;
        const std::uint64_t sent = Offer(sender, rate, [&] { return numbers.size(); });
        Tally tally(sent);
        for (std::uint64_t number : numbers)
            tally.Count(number);
        PrintRow({rate, sent, tally.shown, probe.Worst(), probe.Percentile99()});
    }
}

void BenchLadder() {
    OpenPanel panel;
    PrintHeader("Window panel at rising rates (shown: lines read back from the lower pane)");
    double highest = 0;
    for (double rate : kLadder) {
        const Figures f = panel.Phase(rate);
        PrintRow(f);
        if (f.Lost() != 0)
            break;
        highest = rate;
    }
    std::printf("Highest loss-free rate: %.0f datagrams/s\n", highest);
}

void BenchSteady() {
    OpenPanel panel;
    PrintHeader("Window panel, three runs at 25000 datagrams/s");
    std::printf("Accessibility bridge: %s\n", QAccessible::isActive() ? "on" : "off");
    int lossFree = 0;
    for (int run = 0; run < 3; ++run) {
        const Figures f = panel.Phase(25'000);
        PrintRow(f);
        lossFree += f.Lost() == 0;
    }
    std::printf("Runs without loss: %d of 3\n", lossFree);
}

void BenchClose() {
    OpenPanel panel;
    Sender sender(5, panel.Port());
    std::atomic<bool> stop{false};
    std::thread flood([&] { sender.Offer(50'000, std::chrono::seconds(30), stop); });
    RunEventsFor(std::chrono::milliseconds(200));
    const auto start = Clock::now();
    panel.Form().btnOpenUDPPort->click();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    stop = true;
    flood.join();
    std::printf("\nClose while 50000 datagrams/s arrive: %.1f ms\n", ms);
}

// Resident memory and its peak, in MiB, as the kernel counts them.
struct Memory {
    double resident = 0, peak = 0;
};
Memory ReadMemory() {
    const ProcessFigures figures = ReadProcessFigures();
    return {figures.residentMb, figures.peakMb};
}

// A flood datagram: the sender's address byte and its number, then filler up to 8192 bytes.
constexpr int kFloodSize = 8192;

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
        } else if (mode == "--close") {
            BenchClose();
        } else {
            BenchEndpoint();
            BenchLadder();
            BenchSteady();
        }
    });
}

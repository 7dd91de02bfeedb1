// Offers datagrams at rising rates from another socket (127.0.0.5) to the UDP endpoint alone and
// to the running window's UDP panel, and prints per offered rate the datagrams handled or shown
// per second and the datagrams lost. Ends with how long Close takes while datagrams arrive.
#include "benchsupport.h"
#include "console/dialogs.h"
#include "console/untMain.h"
#include "core/handover.h"
#include "platform/winsock.h"
#include "udp/idudpserver.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

using namespace corvane::winsock;
using Clock = std::chrono::steady_clock;

constexpr double kRates[] = {1'000,  1'500,  2'000,  3'000,  5'000,  10'000,
                             20'000, 30'000, 40'000, 50'000, 100'000};
constexpr auto kPhase = std::chrono::seconds(1);
// A phase ends once nothing has arrived for this long after the last send.
constexpr auto kQuiet = std::chrono::milliseconds(300);

// A plain socket on 127.0.0.5 that sends numbered 8-byte datagrams to 127.0.0.1:port.
class Offerer {
public:
    explicit Offerer(int port) {
        WSADATA data;
        WSAStartup(0x0202, &data);
        socket_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.S_un.S_un_b = {127, 0, 0, 5};
        bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        to_.sin_family = AF_INET;
        to_.sin_port = htons(static_cast<u_short>(port));
        to_.sin_addr.S_un.S_un_b = {127, 0, 0, 1};
    }
    ~Offerer() {
        closesocket(socket_);
        WSACleanup();
    }

    // Sends at rate per second, paced per millisecond, for duration or until stop; returns the
    // number sent.
    std::uint64_t Offer(double rate, Clock::duration duration, const std::atomic<bool>& stop) {
        const auto start = Clock::now();
        std::uint64_t sent = 0;
        for (auto slot = start; slot - start < duration && !stop.load();
             slot += std::chrono::milliseconds(1)) {
            std::this_thread::sleep_until(slot);
            const double due = rate * std::chrono::duration<double>(slot - start).count();
            for (; sent < due; ++sent) {
                sendto(socket_, reinterpret_cast<const char*>(&sent), sizeof sent, 0,
                       reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
            }
        }
        return sent;
    }

private:
    SOCKET socket_;
    sockaddr_in to_{};
};

struct Figures {
    double offeredPerSecond;
    std::uint64_t sent;
    std::uint64_t arrived;
    double arrivedPerSecond;
};

// Runs one phase: offers at rate while the event loop runs, then drains. arrived() counts the
// datagrams handled so far; lastArrival gives the time of the latest one.
Figures RunPhase(Offerer& offerer, double rate, const std::function<std::uint64_t()>& arrived,
                 const std::function<Clock::time_point()>& lastArrival) {
    const std::uint64_t before = arrived();
    std::atomic<bool> done{false};
    std::atomic<std::uint64_t> sent{0};
    const auto start = Clock::now();
    std::thread sender([&] {
        const std::atomic<bool> never{false};
        sent = offerer.Offer(rate, kPhase, never);
        done = true;
    });
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const auto latest = std::max(lastArrival(), start);
        if (done.load() && Clock::now() - latest > kQuiet && Clock::now() - start > kPhase)
            loop.quit();
    });
    check.start(10);
    loop.exec();
    sender.join();
    const std::uint64_t got = arrived() - before;
    const double seconds = std::chrono::duration<double>(lastArrival() - start).count();
    return {sent / std::chrono::duration<double>(kPhase).count(), sent.load(), got,
            seconds > 0 ? got / seconds : 0};
}

void PrintHeader(const char* title) {
    std::printf("\n%s\n", title);
    std::printf("%12s %12s %12s %14s %10s\n", "target/s", "offered/s", "arrived", "handled/s",
                "lost");
}

void PrintRow(double target, const Figures& f) {
    std::printf("%12.0f %12.0f %12llu %14.0f %10lld\n", target, f.offeredPerSecond,
                static_cast<unsigned long long>(f.arrived), f.arrivedPerSecond,
                static_cast<long long>(f.sent) - static_cast<long long>(f.arrived));
}

int FreePort() {
    corvane::TIdUDPServer probe;
    probe.SetDefaultPort(0);
    probe.SetActive(true);
    return probe.Bindings().Items(0).Port();
}

void BenchEndpoint() {
    corvane::TIdUDPServer server;
    std::uint64_t count = 0;
    Clock::time_point last{};
    server.SetOnUDPRead([&](corvane::TIdUDPServer&, corvane::Stream&, corvane::TIdSocketHandle&) {
        ++count;
        last = Clock::now();
    });
    server.SetDefaultPort(0);
    server.SetActive(true);
    Offerer offerer(server.Bindings().Items(0).Port());
    PrintHeader("Endpoint alone (OnUDPRead counts on the UI thread)");
    for (double rate : kRates)
        PrintRow(rate, RunPhase(
                           offerer, rate, [&] { return count; }, [&] { return last; }));
}

void BenchPanel() {
    SilentDialogs dialogs;
    TfrmMain frm(dialogs);
    frm.show();
    const int port = FreePort();
    frm.edtUDPPort->setText(QString::number(port));
    frm.btnOpenUDPPort->click();
    // Lets the window lay itself out and paint once before anything is measured.
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    Clock::time_point last{};
    QObject::connect(frm.mmLogRec, &TLogPane::textChanged, [&] { last = Clock::now(); });
    const auto shown = [&] { return static_cast<std::uint64_t>(frm.mmLogRec->LineCount() - 1); };
    Offerer offerer(port);
    PrintHeader("Window panel (each datagram a line in the lower pane; handled = shown)");
    for (double rate : kRates) {
        frm.btnClearLog->click();
        PrintRow(rate, RunPhase(offerer, rate, shown, [&] { return last; }));
    }

    // Close while datagrams keep arriving.
    std::atomic<bool> stop{false};
    std::thread flood([&] { offerer.Offer(50'000, std::chrono::seconds(30), stop); });
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    const auto start = Clock::now();
    frm.btnOpenUDPPort->click();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    stop = true;
    flood.join();
    std::printf("\nClose while 50000 datagrams/s arrive: %.1f ms\n", ms);
}

} // namespace

int main(int argc, char** argv) {
    return RunOffscreen(argc, argv, [] {
        BenchEndpoint();
        BenchPanel();
    });
}

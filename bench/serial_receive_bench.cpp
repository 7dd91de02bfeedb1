// Pushes 10 MB of random bytes through a pseudo-terminal into the running window's receive path
// (the port's reader, the receive worker, the hand-over and the lower pane) and prints how fast
// the bytes are shown, the CPU time per megabyte and the memory the process grows by per megabyte.
// Then the same without the window, to a pane that only counts: what the link itself costs.
// The device side keeps at most 1 MB ahead of the pane, so the port's 4 MiB queue never drops a
// byte and the figure is what the receive path itself can take.
#include "benchsupport.h"
#include "console/dialogs.h"
#include "console/untMain.h"
#include "core/handover.h"
#include "serial/seriallink.h"
#include "serial/serialstate.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <pty.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kTotal = 10 * 1000 * 1000;
constexpr std::size_t kAhead = 1000 * 1000;
constexpr std::size_t kChunk = 64 * 1024;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Bytes shown in the lower pane: every line is "-> " and three characters per byte, and the text
// ends in a line break, so its last line is empty.
std::size_t BytesShown(const TLogPane* pane) {
    std::size_t bytes = 0;
    for (std::int64_t line = 0; line + 1 < pane->LineCount(); ++line)
        bytes += static_cast<std::size_t>(pane->Store().LineLength(line) - 3) / 3;
    return bytes;
}

// Bytes shown by a LogPanes that only counts what reaches the lower pane.
class CountingPanes : public corvane::LogPanes {
public:
    void AddToLog(const corvane::ByteString&) override {}
    void AddToLogRec(const corvane::ByteString& line) override {
        bytes += (line.size() - 3) / 3;
        ++lines;
    }
    std::size_t bytes = 0;
    int lines = 0;
};

// Runs the event loop until done() holds, testing it every 5 ms.
void RunUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    loop.exec();
}

// Writes kTotal random bytes into the device side, never more than kAhead ahead of shown(),
// while the event loop runs the hand-overs; prints the figures once shown() has them all.
void Push(const char* title, int master, const std::function<std::size_t()>& shown,
          const std::function<int()>& lines) {
    std::string data(kTotal, '\0');
    std::mt19937 random(7);
    for (char& byte : data)
        byte = static_cast<char>(random());

    std::atomic<std::size_t> seen{0};
    const double cpuBefore = CpuSeconds();
    const double memoryBefore = PeakMegabytes();
    const auto start = Clock::now();
    std::thread device([&] {
        std::size_t written = 0;
        while (written < kTotal) {
            if (written - seen.load() > kAhead) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const ssize_t n =
                write(master, data.data() + written, std::min(kChunk, kTotal - written));
            if (n <= 0) {
                std::perror("write");
                std::exit(1);
            }
            written += static_cast<std::size_t>(n);
        }
    });
    RunUntil([&] {
        seen = shown();
        return seen.load() >= kTotal;
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    const double memory = PeakMegabytes() - memoryBefore;
    device.join();

    const double megabytes = kTotal / 1e6;
    std::printf("%s\n", title);
    std::printf("  lines shown          %d\n", lines());
    std::printf("  bytes shown          %zu\n", seen.load());
    std::printf("  shown per second     %.2f MB/s\n", megabytes / seconds);
    std::printf("  CPU per MB           %.3f s\n", cpu / megabytes);
    std::printf("  peak memory per MB   %.1f MB\n", memory / megabytes);
}

void Run() {
    int master = -1;
    int slave = -1;
    char name[256];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        std::exit(1);
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    char folder[] = "/tmp/corvane-bench-ports-XXXXXX";
    mkdtemp(folder);
    setenv("CORVANE_PORTS_DIR", folder, 1);
    std::filesystem::create_symlink(name, std::string(folder) + "/COM7");
    const auto workerGone = [] { return !corvane::RxThreadRegistered(); };

    {
        SilentDialogs dialogs;
        TfrmMain frm(dialogs);
        frm.show();
        frm.cmbxComPorts->setCurrentIndex(6);
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
        Push(
            "The window: port, worker, hand-over and the lower pane", master,
            [&] { return BytesShown(frm.mmLogRec); },
            [&] { return static_cast<int>(frm.mmLogRec->LineCount() - 1); });
        // Close, and let the worker hand over its last lines before the window goes.
        frm.btnOpenComPort->click();
        RunUntil(workerGone);
    }

    CountingPanes panes;
    if (!corvane::OpenSerialLink(panes, 7, 115200)) {
        std::fprintf(stderr, "COM7 did not open\n");
        std::exit(1);
    }
    Push(
        "\nThe link alone: port, worker and hand-over to a pane that only counts", master,
        [&] { return panes.bytes; }, [&] { return panes.lines; });
    corvane::CloseSerialLink();
    RunUntil(workerGone);
    std::filesystem::remove_all(folder);
}

} // namespace

int main(int argc, char** argv) {
    return RunOffscreen(argc, argv, [] { Run(); });
}

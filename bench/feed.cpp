// SPDX-License-Identifier: GPL-3.0-or-later
#include "feed.h"
#include "processfigures.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <pty.h>
#include <random>
#include <sstream>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 64 * 1024;

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

std::string FeedData() {
    std::string data(10 * 1000 * 1000, '\0');
    std::mt19937 random(7);
    for (char& byte : data)
        byte = static_cast<char>(random());
    return data;
}

std::string FeedTextData() {
    constexpr std::size_t kLine = 80;
    std::string data(10 * 1000 * 1000, '\0');
    std::mt19937 random(7);
    for (std::size_t at = 0; at < data.size(); ++at)
        data[at] = at % kLine == kLine - 2   ? '\r'
                   : at % kLine == kLine - 1 ? '\n'
                                             : static_cast<char>(0x20 + random() % 0x5F);
    return data;
}

PtyPair::PtyPair() {
    char path[256];
    if (openpty(&master, &slave, path, nullptr, nullptr) != 0)
        Fail("openpty");
    name = path;
    // Nothing started from here (the peer, its display) is to hold either end.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
}

PtyPair::~PtyPair() {
    close(master);
    close(slave);
}

std::size_t PtyPair::Unread() const {
    int count = 0;
    ioctl(slave, FIONREAD, &count);
    return static_cast<std::size_t>(count);
}

FeedFigures Feed(const PtyPair& pty, std::string_view data, const Receiver& receiver) {
    std::atomic<std::size_t> written{0};
    std::atomic<std::size_t> taken{0};
    std::atomic<double> writerCpu{0};

    // What earlier runs let go of goes back to the system first: growth taken from memory they
    // freed would not show.
    if (receiver.pid == getpid())
        malloc_trim(0);
    ResetPeakResident(receiver.pid);
    const ProcessFigures before = ReadProcessFigures(receiver.pid);
    const double uiCpuBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    std::thread device([&] {
        while (written < data.size()) {
            const ssize_t n =
                write(pty.master, data.data() + written, std::min(kChunk, data.size() - written));
            if (n <= 0)
                Fail("write");
            written += static_cast<std::size_t>(n);
        }
        writerCpu = ThreadCpuSeconds();
    });
    RunUntil([&] {
        taken = receiver.taken(written);
        return taken >= data.size() && receiver.onScreen();
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const ProcessFigures after = ReadProcessFigures(receiver.pid);
    const double uiCpu = ThreadCpuSeconds() - uiCpuBefore;
    device.join();

    FeedFigures figures;
    figures.seconds = seconds;
    figures.cpuSeconds = after.cpuSeconds - before.cpuSeconds;
    if (receiver.pid == getpid()) {
        figures.cpuSeconds -= writerCpu;
        figures.uiCpuSeconds = uiCpu;
    }
    figures.memoryGrowthMb = after.peakMb - before.residentMb;
    return figures;
}

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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stopsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace corvane {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Written by the signal handler, read by the UI thread; made once, kept for the process's life.
int signalPipe[2] = {-1, -1};

struct Stop {
    QSocketNotifier* notifier = nullptr;
    std::function<void()> end;
    // What each stop signal did before, and whether it was taken over: put back when the
    // application goes.
    struct sigaction previous[std::size(kStopSignals)] = {};
    bool taken[std::size(kStopSignals)] = {};
};

bool Ignored(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

Stop& GetStop() {
    static Stop stop;
    return stop;
}

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up: the byte may be lost.
    [[maybe_unused]] const ssize_t ignored = write(signalPipe[1], &byte, 1);
    errno = saved;
}

void ReadStopSignals() {
    char bytes[64];
    while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (GetStop().end)
        GetStop().end();
}

} // namespace

void EndOnStopSignals(std::function<void()> end) {
    Stop& stop = GetStop();
    stop.end = std::move(end);
    if (stop.notifier)
        return;
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no descriptors left: the signals keep ending the process at once
    stop.notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(stop.notifier, &QSocketNotifier::activated, [] { ReadStopSignals(); });
    // Without the application nothing reads the pipe: the signals do again what they did before.
    QObject::connect(stop.notifier, &QObject::destroyed, [] {
        Stop& stop = GetStop();
        stop.notifier = nullptr;
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
            if (stop.taken[i])
                sigaction(kStopSignals[i], &stop.previous[i], nullptr);
            stop.taken[i] = false;
        }
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Calls interrupted elsewhere go on rather than fail with EINTR.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        sigaction(kStopSignals[i], nullptr, &stop.previous[i]);
        // A signal the process was started with ignored stays so: nohup's SIGHUP, a shell's
        // SIGINT for a job in the background.
        stop.taken[i] = !Ignored(stop.previous[i]);
        if (stop.taken[i])
            sigaction(kStopSignals[i], &action, nullptr);
    }
}

} // namespace corvane

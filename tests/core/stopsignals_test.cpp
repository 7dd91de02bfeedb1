// SPDX-License-Identifier: GPL-3.0-or-later
// Stop signals change how this process ends, so these cases live in a program of their own.
#include "core/stopsignals.h"

#include "core/handover.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

using Handler = void (*)(int);

Handler HandlerOf(int signal) {
    struct sigaction action {};
    sigaction(signal, nullptr, &action);
    return action.sa_handler;
}

void ShellsOwnHandler(int) {}

// Each case has an application object of its own, as the program has, and leaves the signals
// as it found them.
class StopSignals : public ::testing::Test {
protected:
    StopSignals() {
        // As started from a terminal, though this test may run under nohup.
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
            sigaction(kStopSignals[i], nullptr, &found_[i]);
            std::signal(kStopSignals[i], SIG_DFL);
        }
        corvane::InstallHandOver();
    }
    ~StopSignals() override {
        app.reset();
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
            sigaction(kStopSignals[i], &found_[i], nullptr);
    }

    int argc = 1;
    char name[18] = "stopsignals_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app = std::make_unique<QCoreApplication>(argc, argv);

private:
    struct sigaction found_[std::size(kStopSignals)] = {};
};

TEST_F(StopSignals, EachEndsTheProgramFromTheUiThreadsEventLoop) {
    std::vector<std::string> ends;
    for (const int signal : kStopSignals) {
        corvane::EndOnStopSignals([&ends, signal] {
            ends.push_back(std::string(strsignal(signal)) +
                           (corvane::IsUiThread() ? " on the UI thread" : " elsewhere"));
            QCoreApplication::quit();
        });
        // raise() runs the handler before it returns: the end waits for the event loop.
        QTimer::singleShot(0, [signal] { raise(signal); });
        QCoreApplication::exec();
    }
    EXPECT_EQ(ends,
              (std::vector<std::string>{"Terminated on the UI thread", "Hangup on the UI thread",
                                        "Interrupt on the UI thread"}));
}

// Started by `nohup corvane &` from a shell with a SIGINT handler of its own: the closed
// terminal's SIGHUP stays ignored, and once the application object goes each signal does what it
// did before.
TEST_F(StopSignals, AnIgnoredSignalStaysIgnoredAndEachGetsBackWhatItHad) {
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGINT, ShellsOwnHandler);
    int ends = 0;
    corvane::EndOnStopSignals([&ends] {
        ++ends;
        QCoreApplication::quit();
    });
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    QTimer::singleShot(0, [] {
        raise(SIGHUP);
        raise(SIGINT);
    });
    QCoreApplication::exec();
    EXPECT_EQ(ends, 1) << "SIGINT ends it from the event loop";

    app.reset();
    EXPECT_EQ(HandlerOf(SIGTERM), SIG_DFL);
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    EXPECT_EQ(HandlerOf(SIGINT), ShellsOwnHandler);
}

} // namespace

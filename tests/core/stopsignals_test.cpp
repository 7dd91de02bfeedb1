// SPDX-License-Identifier: GPL-3.0-or-later
// Stop signals change how this process ends, so these cases live in a program of their own.
#include "core/stopsignals.h"

#include "core/handover.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(StopSignals, EachEndsTheProgramFromTheUiThreadsEventLoop) {
    std::vector<std::string> ends;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
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

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two log panes as the serial tests see them: every line in the order the UI thread appended
// it, with the pane it went to. Appending anywhere but on the UI thread fails the test. A line can
// be made to fail once, as a pane that raises would.

#include "core/exception.h"
#include "core/handover.h"
#include "core/logpanes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace corvane::testing {

enum class Pane { Log, LogRec };

struct Line {
    Pane pane;
    ByteString text;
    std::int64_t time = 0; // as the line was handed to the pane
};

class RecordingPanes : public LogPanes {
public:
    using LogPanes::AddToLog;
    using LogPanes::AddToLogRec;
    void AddToLog(const ByteString& line, std::int64_t time) override {
        Append(Pane::Log, line, time);
    }
    void AddToLogRec(const ByteString& line, std::int64_t time) override {
        Append(Pane::LogRec, line, time);
    }

    std::vector<ByteString> Of(Pane pane) const {
        std::vector<ByteString> lines;
        for (const Line& line : lines_)
            if (line.pane == pane)
                lines.push_back(line.text);
        return lines;
    }
    std::vector<ByteString> Log() const { return Of(Pane::Log); }
    std::vector<ByteString> LogRec() const { return Of(Pane::LogRec); }
    const std::vector<Line>& All() const { return lines_; }
    void Clear() { lines_.clear(); }

    // The next line that pane gets raises instead of standing in the pane.
    void FailNext(Pane pane) { failNext_ = pane; }

private:
    void Append(Pane pane, const ByteString& line, std::int64_t time) {
        EXPECT_TRUE(IsUiThread()) << "appended off the UI thread: " << line;
        if (failNext_ == pane) {
            failNext_.reset();
            throw Exception("pane failed");
        }
        lines_.push_back({pane, line, time});
    }

    std::vector<Line> lines_;
    std::optional<Pane> failNext_;
};

// Runs hand-overs on this (the UI) thread until done() holds, or until progress() has stood still
// for a minute: a loaded machine makes a long transfer slower, not failed. Returns done(). A ticker
// wakes the wait now and then, for conditions no hand-over changes.
inline bool ServeWhileAdvancing(const std::function<std::size_t()>& progress,
                                const std::function<bool()>& done) {
    using Clock = std::chrono::steady_clock;
    std::size_t seen = progress();
    auto deadline = Clock::now() + std::chrono::minutes(1);
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            WakeUiThread();
        }
    });
    ServeHandOversUntil([&] {
        if (done())
            return true;
        if (const std::size_t now = progress(); now != seen) {
            seen = now;
            deadline = Clock::now() + std::chrono::minutes(1);
        }
        return Clock::now() > deadline;
    });
    stop = true;
    ticker.join();
    return done();
}

// The same for a condition with no measure of progress: at most a minute.
inline bool ServeUntil(const std::function<bool()>& done) {
    return ServeWhileAdvancing([] { return std::size_t{0}; }, done);
}

} // namespace corvane::testing

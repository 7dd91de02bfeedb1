// SPDX-License-Identifier: GPL-3.0-or-later
#include "filesend/serialchunks.h"

#include "core/handover.h"
#include "serial/comport.h"

#include <vector>

namespace corvane {
namespace {

// Takes the lines of one write on the worker; they are handed over after the write's turn is
// given back, as the UI thread may be waiting for that turn.
class HeldLines : public LogPanes {
public:
    using LogPanes::AddToLog;
    using LogPanes::AddToLogRec;
    void AddToLog(const ByteString& line, std::int64_t time) override {
        lines_.push_back({line, time});
    }
    void AddToLogRec(const ByteString& line, std::int64_t time) override {
        AddToLog(line, time); // a write logs to the upper pane only
    }

    void HandOverTo(LogPanes& panes) const {
        Synchronize([&] {
            for (const Line& line : lines_)
                panes.AddToLog(line.text, line.time);
        });
    }

private:
    struct Line {
        ByteString text;
        std::int64_t time;
    };
    std::vector<Line> lines_;
};

} // namespace

bool SerialChunkLink::WriteChunk(const ByteString& chunk) {
    HeldLines lines;
    const bool written = SendData(lines, chunk);
    lines.HandOverTo(panes_);
    return written;
}

} // namespace corvane

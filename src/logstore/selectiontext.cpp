// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/selectiontext.h"

#include "logstore/panetext.h"

#include <algorithm>
#include <utility>

namespace corvane {

namespace {

// Bytes converted between two readings of the clock: about a millisecond's work.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
// Short lines read between two readings of the clock.
constexpr int kLinesPerClockRead = 256;

} // namespace

SelectionText::SelectionText(const LineStore& store, TextPos from, TextPos to, LocalTimeText* clock,
                             std::int64_t expected)
    : lines_(store.TakeSnapshot()), from_(std::min(from, to)), to_(std::max(from, to)),
      clock_(clock), line_(from_.line) {
    if (expected > 0)
        text_.reserve(static_cast<qsizetype>(expected));
}

SelectionText::~SelectionText() = default;

void SelectionText::BeginLine() {
    begun_ = true;
    converted_ = 0;
    part_.clear();
    if (line_ > from_.line)
        text_ += u'\n';
    const std::int64_t begin = line_ == from_.line ? from_.column : 0;
    // The empty line after the last line break is not in the snapshot: it has no text.
    if (line_ < lines_->LineCount())
        lines_->AppendLineTo(line_, part_);
    const auto length = static_cast<std::int64_t>(part_.size());
    const std::int64_t end = line_ == to_.line ? std::min(to_.column, length) : length;
    // With times, a range that ends at the start of a line ends with the line break before it:
    // the empty part after it has no time.
    if (clock_ && line_ == to_.line && line_ > from_.line && end == 0) {
        part_.clear();
        return;
    }
    part_.erase(static_cast<std::size_t>(std::clamp<std::int64_t>(end, 0, length)));
    part_.erase(0, static_cast<std::size_t>(std::clamp<std::int64_t>(begin, 0, length)));
    if (clock_) {
        ByteString time;
        clock_->AppendClock(time, lines_->LineTime(line_));
        text_ += QLatin1String(time.data(), static_cast<qsizetype>(time.size()));
        text_ += u'\t';
    }
}

bool SelectionText::Step(std::chrono::steady_clock::time_point deadline) {
    int lines = 0;
    while (!done_) {
        if (!begun_)
            BeginLine();
        const std::size_t piece = std::min(kPieceBytes, part_.size() - converted_);
        AppendShown(text_, std::string_view(part_).substr(converted_, piece));
        converted_ += piece;
        const bool lineDone = converted_ == part_.size();
        if (lineDone) {
            begun_ = false;
            done_ = line_ == to_.line;
            ++line_;
        }
        if ((!lineDone || ++lines % kLinesPerClockRead == 0) &&
            std::chrono::steady_clock::now() >= deadline)
            break;
    }
    if (done_)
        ByteString().swap(part_);
    return done_;
}

QString SelectionText::Take() {
    return std::exchange(text_, QString());
}

QString TextOf(const LineStore& store, TextPos from, TextPos to, LocalTimeText* clock) {
    SelectionText text(store, from, to, clock);
    text.Step(std::chrono::steady_clock::time_point::max());
    return text.Take();
}

} // namespace corvane

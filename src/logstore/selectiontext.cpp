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
                             std::int64_t limit)
    : lines_(store.TakeSnapshot()), from_(std::min(from, to)), to_(std::max(from, to)),
      clock_(clock), limit_(limit), size_(to_.column - from_.column), line_(from_.line) {}

SelectionText::~SelectionText() = default;

void SelectionText::BeginLine() {
    begun_ = true;
    converted_ = 0;
    part_.clear();
    if (line_ > from_.line)
        text_ += '\n';
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
        text_.append(time.data(), static_cast<qsizetype>(time.size()));
        text_ += '\t';
    }
}

bool SelectionText::Count(std::chrono::steady_clock::time_point deadline) {
    // Each line before the last with its line break; the columns of the first and the last are
    // counted in size_ from the start.
    for (int lines = 0; line_ < to_.line; ++line_) {
        if (line_ < lines_->LineCount())
            size_ += lines_->LineLength(line_);
        // Beyond the limit already: the rest only adds.
        if (++size_ > limit_)
            break;
        if (++lines % kLinesPerClockRead == 0 && std::chrono::steady_clock::now() >= deadline) {
            ++line_;
            return false;
        }
    }
    if (size_ > limit_) {
        tooLarge_ = done_ = true;
        return true;
    }
    counted_ = true;
    line_ = from_.line;
    // Most characters of a log are ASCII, one byte of UTF-8 each: the text is not copied as it
    // grows, up to that size at least.
    text_.reserve(static_cast<qsizetype>(size_));
    return true;
}

bool SelectionText::Step(std::chrono::steady_clock::time_point deadline) {
    if (!counted_ && !Count(deadline))
        return false;
    int lines = 0;
    while (!done_) {
        if (!begun_)
            BeginLine();
        const std::size_t piece = std::min(kPieceBytes, part_.size() - converted_);
        piece_.clear();
        AppendShownUtf8(piece_, std::string_view(part_).substr(converted_, piece));
        text_.append(piece_.data(), static_cast<qsizetype>(piece_.size()));
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
    if (done_) {
        ByteString().swap(part_);
        ByteString().swap(piece_);
    }
    return done_;
}

QByteArray SelectionText::Take() {
    return std::exchange(text_, QByteArray());
}

std::int64_t SizeUpTo(const LineStore& store, TextPos from, TextPos to, std::int64_t limit) {
    if (to < from)
        std::swap(from, to);
    std::int64_t size = to.column - from.column;
    for (std::int64_t line = from.line; line < to.line && size <= limit; ++line)
        size += store.LineLength(line) + 1;
    return size;
}

} // namespace corvane

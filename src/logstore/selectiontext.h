// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text between two places of a line store, in UTF-8, as the pane gives it out (panetext.h:
// ShownText), or, for "Copy with Times", with each line preceded by its time and a tab
// ("17:07:20.123\t", LocalTimeText::AppendClock); a range that ends at the start of a line then
// ends with the line break before it, as the empty part after it has no time. Built in steps
// between turns of the event loop: for a copy of a selection of hundreds of megabytes, which
// built at once would hold the window for seconds. The lines are those of a snapshot of the store
// (linestore.h), so the text is the
// one there was when the build began, whatever the store does meanwhile.
//
// A step reads whole lines from the snapshot but converts them in pieces of a bounded number of
// bytes, and reads the clock between pieces: a line of megabytes is spread over several steps.
// UTF-8, as the clipboard gives text to other programs: half the memory of the same text in
// UTF-16 for the Latin letters of a log, and nothing to convert when it is asked for.
//
// Before the text, its size is counted, in steps too: a range beyond a limit is not built at all.
// The size is counted in the stored text (the Hex view's, without times): the text of another view
// may be longer or shorter.

#include "core/walltime.h"
#include "logstore/linestore.h"

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>

namespace corvane {

class SelectionText {
public:
    static constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

    // from and to in either order; clock, when given, puts each line's time before it and is used
    // until the build is done; limit: the most characters the range may hold to be built.
    SelectionText(const LineStore& store, TextPos from, TextPos to, LocalTimeText* clock = nullptr,
                  std::int64_t limit = kNoLimit);
    ~SelectionText();
    SelectionText(const SelectionText&) = delete;
    SelectionText& operator=(const SelectionText&) = delete;

    // Counts, then builds, until deadline; true once the text is complete or the range found
    // beyond the limit.
    bool Step(std::chrono::steady_clock::time_point deadline);
    bool Done() const { return done_; }
    bool TooLarge() const { return tooLarge_; }
    // The characters of the range, once counted (0 before).
    std::int64_t Size() const { return counted_ ? size_ : 0; }
    // The bytes built so far: as many as characters for ASCII, up to three a character else.
    std::int64_t Built() const { return text_.size(); }
    // The text, once done; the build holds it no longer.
    QByteArray Take();

private:
    // Counts the range's characters until deadline; false when not done.
    bool Count(std::chrono::steady_clock::time_point deadline);
    // Starts the next line: its break and time, and its part within the range read out.
    void BeginLine();

    std::unique_ptr<LineStore::Snapshot> lines_;
    TextPos from_;
    TextPos to_;
    LocalTimeText* clock_;
    std::int64_t limit_;
    std::int64_t size_ = 0;
    bool counted_ = false;
    bool tooLarge_ = false;
    QByteArray text_;
    ByteString piece_;          // the UTF-8 of a piece of part_
    std::int64_t line_;         // the line being converted
    ByteString part_;           // its part within the range
    std::size_t converted_ = 0; // of part_
    bool begun_ = false;        // whether line_ has been read out
    bool done_ = false;
};

// The characters between two places (in either order) as the store shows them, lines joined by
// one character, counted only as far as limit (beyond it: more than limit): for a bound on the
// work a range would take.
std::int64_t SizeUpTo(const LineStore& store, TextPos from, TextPos to, std::int64_t limit);

} // namespace corvane

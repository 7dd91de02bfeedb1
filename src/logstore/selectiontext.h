// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text between two places of a line store as the pane gives it out (panetext.h: ShownText),
// or, for "Copy with Times", with each line preceded by its time and a tab ("17:07:20.123\t",
// LocalTimeText::AppendClock); a range that ends at the start of a line then ends with the line
// break before it, as the empty part after it has no time. Built in steps between turns of the
// event loop:
// for a copy of a selection of hundreds of megabytes, which built at once would hold the window
// for seconds. The lines are those of a snapshot of the store (linestore.h), so the text is the
// one there was when the build began, whatever the store does meanwhile.
//
// A step reads whole lines from the snapshot but converts them in pieces of a bounded number of
// bytes, and reads the clock between pieces: a line of megabytes is spread over several steps.

#include "core/walltime.h"
#include "logstore/linestore.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>

namespace corvane {

class SelectionText {
public:
    // from and to in either order; clock, when given, puts each line's time before it and is used
    // until the build is done. expected: the characters the text will about hold, reserved at
    // once so that the text is not copied as it grows (0: unknown).
    SelectionText(const LineStore& store, TextPos from, TextPos to, LocalTimeText* clock = nullptr,
                  std::int64_t expected = 0);
    ~SelectionText();
    SelectionText(const SelectionText&) = delete;
    SelectionText& operator=(const SelectionText&) = delete;

    // Builds until deadline; true once the text is complete.
    bool Step(std::chrono::steady_clock::time_point deadline);
    bool Done() const { return done_; }
    // The characters built so far.
    std::int64_t Built() const { return text_.size(); }
    // The text, once done; the build holds it no longer.
    QString Take();

private:
    // Starts the next line: its break and time, and its part within the range read out.
    void BeginLine();

    std::unique_ptr<LineStore::Snapshot> lines_;
    TextPos from_;
    TextPos to_;
    LocalTimeText* clock_;
    QString text_;
    std::int64_t line_;         // the line being converted
    ByteString part_;           // its part within the range
    std::size_t converted_ = 0; // of part_
    bool begun_ = false;        // whether line_ has been read out
    bool done_ = false;
};

// The whole text at once: for a small range.
QString TextOf(const LineStore& store, TextPos from, TextPos to, LocalTimeText* clock = nullptr);

} // namespace corvane

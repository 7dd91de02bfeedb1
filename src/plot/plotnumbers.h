// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The numbers of a run of lines, each line's with its time and the prefix of its series' names,
// kept in a few buffers that are reused from run to run: what the plot's reading thread hands to
// the UI thread at a time, and adds to the series there.
//
// One thread at a time.

#include "core/bytestring.h"
#include "plot/linenumbers.h"
#include "plot/plotseries.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace corvane {

class PlotNumbers {
public:
    // One line's numbers at time, for the series of prefix; a line without numbers is left out.
    void Add(std::int64_t time, std::string_view prefix, std::span<const LineNumber> numbers);
    // Adds every line's numbers to series, in the order they were added here.
    void AddTo(PlotSeries& series);
    bool Empty() const { return lines_.empty(); }
    // Empties it, keeping the buffers.
    void Clear();

private:
    struct Number {
        std::size_t nameAt;
        std::size_t nameLength;
        int position;
        double value;
    };
    struct Line {
        std::int64_t time;
        std::size_t prefixAt;
        std::size_t prefixLength;
        std::size_t numbersEnd;
    };
    ByteString text_; // prefixes and names
    std::vector<Number> numbers_;
    std::vector<Line> lines_;
    std::vector<LineNumber> line_; // one line's numbers as the series take them
};

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a plot takes from the lower pane: its data lines (an arrow, the sender of a datagram, the
// hex view of the bytes) read as the pane's Text view shows them, the bytes decoded in the pane's
// encoding (logstore/dataview.h), and their numbers added to the series at the line's time. The
// plot follows the serial link, the UDP link or both; a datagram's numbers go to series named
// after its sender ("127.0.0.5 temp"), so that hosts and the serial device never share one.
//
// One thread (the UI thread).

#include "core/bytestring.h"
#include "logstore/dataview.h"
#include "plot/linenumbers.h"
#include "plot/plotseries.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvane {

enum class PlotLink { Serial, Udp };
enum class PlotFollow { Serial, Udp, Both };

class PlotFeed {
public:
    explicit PlotFeed(PlotSeries& series) : series_(series) {}

    void SetFollow(PlotFollow follow) { follow_ = follow; }
    PlotFollow Follow() const { return follow_; }
    void SetEncoding(TextEncoding encoding) { encoding_ = encoding; }

    // One line of the lower pane from link at time; sender: a datagram's sender address. Lines
    // of a link not followed, lines other than data lines and lines without a number add nothing.
    void Take(PlotLink link, std::string_view sender, std::string_view line, std::int64_t time);

private:
    PlotSeries& series_;
    PlotFollow follow_ = PlotFollow::Both;
    TextEncoding encoding_ = TextEncoding::Utf8;
    // Kept between lines: no allocation per line once they have grown.
    ByteString bytes_;
    ByteString text_;
    ByteString prefix_;
    std::vector<LineNumber> numbers_;
};

} // namespace corvane

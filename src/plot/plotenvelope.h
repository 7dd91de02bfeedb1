// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a line chart needs to draw many samples exactly at its resolution: the span shown is cut
// into columns (one a pixel), and of the samples that fall in one column only the first, the
// lowest, the highest and the last are drawn (M4 aggregation). The line through them covers the
// same pixels as the line through all the samples of the column, so a chart of tens of thousands
// of samples a series is drawn from a few points a pixel, however many samples a second come.
// A column of four samples or fewer keeps them all. Pure; any thread.

#include "plot/plotseries.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace corvane {

// Appends to out the samples to draw of those from time from to time to (both included), over
// columns columns (at least 1), in time order.
void AppendEnvelope(const std::deque<PlotSample>& samples, std::int64_t from, std::int64_t to,
                    int columns, std::vector<PlotSample>& out);

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The samples of a plot as comma-separated values (RFC 4180), UTF-8: a header row ("time", then
// each series' name), then one row per time, oldest first: the local time with microseconds
// ("2026-12-07 17:07:20.123456", core/walltime.h), then each series' value at that time, empty
// where it has none. Values are written in the shortest form that reads back as the same double.

#include "core/bytestring.h"
#include "plot/plotseries.h"

#include <cstdint>

namespace corvane {

// The samples of every series from time from to time to, both included.
ByteString PlotCsv(const PlotSeries& series, std::int64_t from, std::int64_t to);

} // namespace corvane

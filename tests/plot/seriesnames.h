// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names of a plot's series, in their order: what the plot tests compare.

#include "plot/plotseries.h"

#include <string>
#include <vector>

inline std::vector<std::string> SeriesNames(const corvane::PlotSeries& series) {
    std::vector<std::string> names;
    for (const auto& one : series.All())
        names.push_back(one.name);
    return names;
}

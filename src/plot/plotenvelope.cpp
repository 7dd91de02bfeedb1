// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plotenvelope.h"

#include <algorithm>

namespace corvane {

void AppendEnvelope(const std::deque<PlotSample>& samples, std::int64_t from, std::int64_t to,
                    int columns, std::vector<PlotSample>& out) {
    const auto before = [](const PlotSample& sample, std::int64_t t) { return sample.time < t; };
    auto at = std::lower_bound(samples.begin(), samples.end(), from, before);
    const auto end =
        std::upper_bound(at, samples.end(), to,
                         [](std::int64_t t, const PlotSample& sample) { return t < sample.time; });
    const std::int64_t span = std::max<std::int64_t>(to - from, 1);
    const std::int64_t count = std::max(columns, 1);
    while (at != end) {
        // The column of the sample at `at`, and where the next starts: at the first sample of a
        // greater column (times only grow within a series, a later one staying in its column).
        const std::int64_t column = std::min((at->time - from) * count / span, count - 1);
        auto next = at + 1;
        auto lowest = at;
        auto highest = at;
        while (next != end && std::min((next->time - from) * count / span, count - 1) <= column) {
            if (next->value < lowest->value)
                lowest = next;
            if (next->value > highest->value)
                highest = next;
            ++next;
        }
        const auto last = next - 1;
        if (next - at <= 4) {
            out.insert(out.end(), at, next);
        } else {
            out.push_back(*at);
            // The lowest and the highest in their order in time, each once.
            auto [early, late] =
                lowest < highest ? std::pair{lowest, highest} : std::pair{highest, lowest};
            if (early != at)
                out.push_back(*early);
            if (late != early && late != last)
                out.push_back(*late);
            out.push_back(*last);
        }
        at = next;
    }
}

} // namespace corvane

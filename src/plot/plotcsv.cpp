// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plotcsv.h"

#include "core/codepage.h"
#include "core/walltime.h"

#include <algorithm>
#include <charconv>

namespace corvane {

namespace {

void AppendField(ByteString& out, std::string_view codePageText) {
    ByteString utf8;
    AppendUtf8(utf8, codePageText);
    if (utf8.find_first_of(",\"\r\n") == ByteString::npos) {
        out += utf8;
        return;
    }
    out += '"';
    for (const char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

ByteString PlotCsv(const PlotSeries& series, std::int64_t from, std::int64_t to) {
    const auto& all = series.All();
    ByteString out = "time";
    for (const PlotSeries::Series& one : all) {
        out += ',';
        AppendField(out, one.name);
    }
    out += "\r\n";
    // Each series' next sample to write: the rows merge the series by time, a series giving at
    // most one value to a row.
    std::vector<std::size_t> next(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto& samples = all[i].samples;
        next[i] = static_cast<std::size_t>(
            std::find_if(samples.begin(), samples.end(),
                         [from](const PlotSample& sample) { return sample.time >= from; }) -
            samples.begin());
    }
    LocalTimeText clock;
    for (;;) {
        std::int64_t time = INT64_MAX;
        for (std::size_t i = 0; i < all.size(); ++i)
            if (next[i] < all[i].samples.size())
                time = std::min(time, all[i].samples[next[i]].time);
        if (time == INT64_MAX || time > to)
            break;
        clock.AppendFull(out, time);
        for (std::size_t i = 0; i < all.size(); ++i) {
            out += ',';
            if (next[i] < all[i].samples.size() && all[i].samples[next[i]].time == time) {
                char digits[32];
                const auto end =
                    std::to_chars(digits, digits + sizeof digits, all[i].samples[next[i]].value)
                        .ptr;
                out.append(digits, end);
                ++next[i];
            }
        }
        out += "\r\n";
    }
    return out;
}

} // namespace corvane

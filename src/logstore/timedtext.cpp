// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/timedtext.h"

#include "logstore/panetext.h"

#include <utility>

namespace corvane {

QString TextWithTimes(const LineStore& store, TextPos from, TextPos to, LocalTimeText& clock) {
    if (to < from)
        std::swap(from, to);
    QString out;
    ByteString time;
    for (std::int64_t line = from.line; line <= to.line; ++line) {
        if (line > from.line)
            out += '\n';
        const std::int64_t begin = line == from.line ? from.column : 0;
        const std::int64_t end = line == to.line ? to.column : store.LineLength(line);
        if (line == to.line && line > from.line && end == 0)
            break;
        time.clear();
        clock.AppendClock(time, store.LineTime(line));
        out += QLatin1String(time.data(), static_cast<qsizetype>(time.size()));
        out += u'\t';
        out += ShownLine(store.Line(line, begin, end - begin));
    }
    return out;
}

} // namespace corvane

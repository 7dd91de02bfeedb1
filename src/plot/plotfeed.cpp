// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plotfeed.h"

#include "logstore/hexview.h"

namespace corvane {

void PlotFeed::Take(PlotLink link, std::string_view sender, std::string_view line,
                    std::int64_t time) {
    if (follow_ != PlotFollow::Both &&
        (follow_ == PlotFollow::Serial) != (link == PlotLink::Serial))
        return;
    const HexView hex = FindHexView(line);
    if (hex.groups == 0 || !IsDataPrefix(line.substr(0, hex.prefix)))
        return;
    bytes_.resize(hex.groups);
    PackHexView(line.substr(hex.prefix), bytes_.data());
    text_.clear();
    AppendDataView(bytes_, {DataView::Text, encoding_}, text_);
    ParseLineNumbers(text_, numbers_);
    prefix_.clear();
    if (link == PlotLink::Udp)
        prefix_.append(sender).append(" ");
    series_.Add(time, prefix_, numbers_);
}

} // namespace corvane

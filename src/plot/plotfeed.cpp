// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plotfeed.h"

namespace corvane {

void PlotFeed::Take(PlotLink link, std::string_view sender, std::string_view line,
                    std::int64_t time) {
    if (follow_ != PlotFollow::Both &&
        (follow_ == PlotFollow::Serial) != (link == PlotLink::Serial))
        return;
    if (!DataLineBytes(line, bytes_))
        return;
    text_.clear();
    AppendDataView(bytes_, {DataView::Text, encoding_}, text_);
    ParseLineNumbers(text_, numbers_);
    prefix_.clear();
    if (link == PlotLink::Udp)
        prefix_.append(sender).append(" ");
    series_.Add(time, prefix_, numbers_);
}

} // namespace corvane

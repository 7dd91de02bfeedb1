// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The numbers of a data line of the lower pane (an arrow, the sender of a datagram, the hex view
// of the bytes) as its Text view shows them: the bytes decoded in the pane's encoding
// (logstore/dataview.h), then read as plot/linenumbers.h reads a line. The numbers are read where
// the bytes stand, decoding a line only for a name the view writes otherwise: decoding costs more
// than reading.
//
// One thread at a time.

#include "core/bytestring.h"
#include "logstore/dataview.h"
#include "plot/linenumbers.h"

#include <span>
#include <string_view>
#include <vector>

namespace corvane {

class DataLineReader {
public:
    // The numbers of line with its bytes in encoding; none for a line other than a data line.
    // Names point into the line or what the reader keeps: valid until the next read.
    std::span<const LineNumber> Read(std::string_view line, TextEncoding encoding);
    // The same for a data line given as the bytes its hex view shows.
    std::span<const LineNumber> ReadBytes(std::string_view bytes, TextEncoding encoding);

private:
    // Kept between lines: no allocation per line once they have grown.
    ByteString bytes_;
    ByteString text_;
    std::vector<LineNumber> numbers_;
};

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/linereader.h"

#include <algorithm>

namespace corvane {

std::span<const LineNumber> DataLineReader::Read(std::string_view line, TextEncoding encoding) {
    if (!DataLineBytes(line, bytes_)) {
        numbers_.clear();
        return {};
    }
    return ReadBytes(bytes_, encoding);
}

std::span<const LineNumber> DataLineReader::ReadBytes(std::string_view bytes,
                                                      TextEncoding encoding) {
    // A byte the view writes otherwise than as it is becomes characters that are neither
    // separators nor a number's (an escape, a doubled backslash, a decoded character), so the
    // bytes hold the numbers, their places and their names' places of the view. Only a name
    // holding such a byte reads otherwise there.
    ParseLineNumbers(WithoutLineEnd(bytes), numbers_);
    if (std::all_of(numbers_.begin(), numbers_.end(),
                    [&](const LineNumber& number) { return ShownAsIs(number.name, encoding); }))
        return numbers_;
    text_.clear();
    AppendDataView(bytes, {DataView::Text, encoding}, text_);
    ParseLineNumbers(text_, numbers_);
    return numbers_;
}

} // namespace corvane

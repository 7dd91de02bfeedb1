// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plotnumbers.h"

namespace corvane {

void PlotNumbers::Add(std::int64_t time, std::string_view prefix,
                      std::span<const LineNumber> numbers) {
    if (numbers.empty())
        return;
    lines_.push_back({time, text_.size(), prefix.size(), 0});
    text_.append(prefix);
    for (const LineNumber& number : numbers) {
        numbers_.push_back({text_.size(), number.name.size(), number.position, number.value});
        text_.append(number.name);
    }
    lines_.back().numbersEnd = numbers_.size();
}

void PlotNumbers::AddTo(PlotSeries& series) {
    const std::string_view text = text_;
    std::size_t number = 0;
    for (const Line& line : lines_) {
        line_.clear();
        for (; number < line.numbersEnd; ++number) {
            const Number& n = numbers_[number];
            line_.push_back({text.substr(n.nameAt, n.nameLength), n.position, n.value});
        }
        series.Add(line.time, text.substr(line.prefixAt, line.prefixLength), line_);
    }
}

void PlotNumbers::Clear() {
    text_.clear();
    numbers_.clear();
    lines_.clear();
}

} // namespace corvane

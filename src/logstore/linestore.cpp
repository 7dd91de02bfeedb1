#include "logstore/linestore.h"

#include <algorithm>
#include <vector>

// A first, plain implementation: one string per line, all in memory. Its behaviour is the
// contract of the header; the arena and spool implementation replaces it.

namespace corvane {

struct LineStore::Impl {
    Limits limits;
    std::vector<std::string> lines{std::string()};
    std::int64_t longest = 0;

    void Grow(const std::string& line) {
        longest = std::max<std::int64_t>(longest, static_cast<std::int64_t>(line.size()));
    }
};

LineStore::LineStore() : LineStore(Limits{}) {}
LineStore::LineStore(Limits limits) : impl_(std::make_unique<Impl>()) {
    impl_->limits = std::move(limits);
}
LineStore::~LineStore() = default;

std::int64_t LineStore::LineCount() const {
    return static_cast<std::int64_t>(impl_->lines.size());
}

std::int64_t LineStore::LineLength(std::int64_t line) const {
    return static_cast<std::int64_t>(impl_->lines.at(static_cast<std::size_t>(line)).size());
}

std::int64_t LineStore::LongestLine() const {
    return impl_->longest;
}

ByteString LineStore::Line(std::int64_t line, std::int64_t column, std::int64_t count) const {
    const std::string& text = impl_->lines.at(static_cast<std::size_t>(line));
    const auto size = static_cast<std::int64_t>(text.size());
    if (column >= size || count <= 0)
        return {};
    return text.substr(static_cast<std::size_t>(column),
                       static_cast<std::size_t>(std::min(count, size - column)));
}

ByteString LineStore::Text(TextPos from, TextPos to, std::string_view lineBreak) const {
    if (to < from)
        std::swap(from, to);
    if (from.line == to.line)
        return Line(from.line, from.column, to.column - from.column);
    ByteString text = Line(from.line, from.column);
    for (std::int64_t line = from.line + 1; line < to.line; ++line) {
        text.append(lineBreak);
        text.append(impl_->lines[static_cast<std::size_t>(line)]);
    }
    text.append(lineBreak);
    text.append(Line(to.line, 0, to.column));
    return text;
}

void LineStore::AppendLine(std::string_view line) {
    auto& lines = impl_->lines;
    const bool endsWithBreak = lines.back().empty();
    if (!endsWithBreak)
        lines.emplace_back();
    std::size_t start = 0;
    for (;;) {
        const std::size_t crlf = line.find("\r\n", start);
        lines.back().append(
            line.substr(start, crlf == std::string_view::npos ? crlf : crlf - start));
        impl_->Grow(lines.back());
        if (crlf == std::string_view::npos)
            break;
        lines.emplace_back();
        start = crlf + 2;
    }
    if (endsWithBreak)
        lines.emplace_back();
}

TextPos LineStore::Replace(TextPos from, TextPos to, std::string_view text) {
    if (to < from)
        std::swap(from, to);
    auto& lines = impl_->lines;
    const std::string head = Line(from.line, 0, from.column);
    const std::string tail = Line(to.line, to.column);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        pieces.emplace_back(text.substr(start, lf == std::string_view::npos ? lf : lf - start));
        if (lf == std::string_view::npos)
            break;
        start = lf + 1;
    }
    const TextPos end{
        from.line + static_cast<std::int64_t>(pieces.size()) - 1,
        static_cast<std::int64_t>((pieces.size() == 1 ? head.size() : 0) + pieces.back().size())};
    pieces.front().insert(0, head);
    pieces.back().append(tail);
    lines.erase(lines.begin() + from.line, lines.begin() + to.line + 1);
    lines.insert(lines.begin() + from.line, pieces.begin(), pieces.end());
    for (const auto& piece : pieces)
        impl_->Grow(piece);
    return end;
}

void LineStore::Clear() {
    impl_->lines.assign(1, std::string());
    impl_->longest = 0;
}

std::int64_t LineStore::LinesShiftedOut() const {
    return 0;
}

std::size_t LineStore::BytesInMemory() const {
    std::size_t bytes = 0;
    for (const auto& line : impl_->lines)
        bytes += line.capacity() + sizeof line;
    return bytes;
}

std::size_t LineStore::BytesSpooled() const {
    return 0;
}

} // namespace corvane

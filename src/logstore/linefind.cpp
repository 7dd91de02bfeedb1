// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/linefind.h"

#include "core/hexformat.h"
#include "logstore/dataview.h"
#include "logstore/findfrom.h"
#include "logstore/hexview.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace corvane {

namespace {

// Each byte of Windows-1251 in lower case: Latin and Cyrillic letters, the Serbian, Macedonian,
// Ukrainian and Belarusian ones included.
constexpr std::array<char, 256> kLower = [] {
    std::array<char, 256> lower{};
    for (int byte = 0; byte < 256; ++byte)
        lower[static_cast<std::size_t>(byte)] = static_cast<char>(byte);
    for (int byte = 'A'; byte <= 'Z'; ++byte)
        lower[static_cast<std::size_t>(byte)] = static_cast<char>(byte + 0x20);
    for (int byte = 0xC0; byte <= 0xDF; ++byte)
        lower[static_cast<std::size_t>(byte)] = static_cast<char>(byte + 0x20);
    constexpr std::array<std::array<unsigned char, 2>, 16> kPairs = {{
        {0x80, 0x90},
        {0x81, 0x83},
        {0x8A, 0x9A},
        {0x8C, 0x9C},
        {0x8D, 0x9D},
        {0x8E, 0x9E},
        {0x8F, 0x9F},
        {0xA1, 0xA2},
        {0xA3, 0xBC},
        {0xA5, 0xB4},
        {0xA8, 0xB8},
        {0xAA, 0xBA},
        {0xAF, 0xBF},
        {0xB2, 0xB3},
        {0xBD, 0xBE},
        {0xB8, 0xB8},
    }};
    for (const auto& [upper, small] : kPairs)
        lower[upper] = static_cast<char>(small);
    return lower;
}();

// Whether some other byte folds to this one: a text without such bytes reads the same in any
// case, and the lines need no folding to be searched for it.
constexpr std::array<bool, 256> kHasOtherCase = [] {
    std::array<bool, 256> other{};
    for (std::size_t byte = 0; byte < 256; ++byte) {
        const auto lower = static_cast<unsigned char>(kLower[byte]);
        if (lower != byte)
            other[lower] = true;
    }
    return other;
}();

// Folds text to one case into out. Log lines are mostly ASCII: eight such bytes are folded at
// once, A-Z taking the 0x20 bit, found by arithmetic on the whole word (a byte of at most 0x7F
// plus 0x3F reaches 0x80 exactly when it is at least 'A', plus 0x25 when it is above 'Z');
// words with other bytes go through the table.
void Fold(std::string_view text, ByteString& out) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighBits = 0x80 * kOnes;
    out.resize(text.size());
    const char* from = text.data();
    char* to = out.data();
    std::size_t left = text.size();
    for (; left >= 8; left -= 8, from += 8, to += 8) {
        std::uint64_t word;
        std::memcpy(&word, from, 8);
        if ((word & kHighBits) != 0) {
            for (int i = 0; i < 8; ++i)
                to[i] = kLower[static_cast<unsigned char>(from[i])];
            continue;
        }
        const std::uint64_t fromA = word + (0x80 - 'A') * kOnes;
        const std::uint64_t beyondZ = word + (0x80 - 'Z' - 1) * kOnes;
        word |= ((fromA ^ beyondZ) & kHighBits) >> 2;
        std::memcpy(to, &word, 8);
    }
    for (; left > 0; --left)
        *to++ = kLower[static_cast<unsigned char>(*from++)];
}

// The bytes text reads as, when it is hex tokens of one or two digits separated by spaces.
ByteString HexBytesOf(std::string_view text) {
    ByteString bytes;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ')
            ++end;
        if (end - at > 2)
            return {};
        int value = 0;
        for (std::size_t i = at; i < end; ++i) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0)
                return {};
            value = value << 4 | digit;
        }
        bytes.push_back(static_cast<char>(value));
        at = end;
    }
    return bytes;
}

// A slice reads the clock once per this many lines or bytes searched, whichever comes first: a
// few hundred typical lines take well under a millisecond, and so does a piece of a long line,
// which is searched this much at a time.
constexpr std::int64_t kLinesPerClockRead = 256;
constexpr std::size_t kBytesPerClockRead = std::size_t{256} << 10;
constexpr std::int64_t kPieceBytes = static_cast<std::int64_t>(kBytesPerClockRead);

} // namespace

FindQuery::FindQuery(ByteString text, FindOptions options) : hexBytes_(HexBytesOf(text)) {
    if (options.matchCase)
        text_ = std::move(text);
    else
        Fold(text, text_);
    fold_ = !options.matchCase && std::any_of(text_.begin(), text_.end(), [](char c) {
        return kHasOtherCase[static_cast<unsigned char>(c)];
    });
    // The view without the first group's leading space: a match starts on a digit.
    if (!hexBytes_.empty())
        UnpackHexView(hexBytes_.data(), 1, 3 * static_cast<std::int64_t>(hexBytes_.size()),
                      hexView_);
    // Without regard to case, text typed as the view writes it ("0d 0a") finds every place the
    // byte groups do, and more: one search is enough.
    ByteString foldedView;
    Fold(hexView_, foldedView);
    if (!options.matchCase && foldedView == text_)
        hexView_.clear();
}

std::size_t FindQuery::MatchesInText(std::string_view text, std::int64_t line,
                                     std::vector<Match>* out) const {
    return Scan(text, line, 0, -1, out);
}

std::size_t FindQuery::Scan(std::string_view text, std::int64_t line, std::int64_t offset,
                            std::int64_t viewStart, std::vector<Match>* out, std::size_t before,
                            std::size_t* end) const {
    if (text_.empty())
        return 0;
    std::string_view haystack = text;
    if (fold_) {
        Fold(text, folded_);
        haystack = folded_;
    }
    std::size_t plain = FindFrom(haystack, text_, 0);
    // Byte groups: the hex form searched in the text as it is (the view is upper case), kept
    // only where a group of the line's hex view starts.
    std::size_t hex = std::string_view::npos;
    auto nextHex = [&](std::size_t from) {
        for (std::size_t at = FindFrom(text, hexView_, from); at != std::string_view::npos;
             at = FindFrom(text, hexView_, at + 1)) {
            const std::int64_t column = offset + static_cast<std::int64_t>(at);
            if (column > viewStart && (column - viewStart) % 3 == 1)
                return at;
        }
        return std::string_view::npos;
    };
    if (!hexView_.empty()) {
        hex = FindFrom(text, hexView_, 0);
        if (hex != std::string_view::npos) {
            if (viewStart < 0)
                viewStart = offset + static_cast<std::int64_t>(FindHexView(text).prefix);
            hex = nextHex(0);
        }
    }
    std::size_t count = 0;
    while (plain != std::string_view::npos || hex != std::string_view::npos) {
        // The earlier one; at the same place, the longer.
        const bool takeHex = plain == std::string_view::npos ||
                             (hex != std::string_view::npos &&
                              (hex < plain || (hex == plain && hexView_.size() > text_.size())));
        const std::size_t at = takeHex ? hex : plain;
        const std::size_t length = takeHex ? hexView_.size() : text_.size();
        if (at >= before)
            break;
        ++count;
        if (end)
            *end = at + length;
        if (out)
            out->push_back({{line, offset + static_cast<std::int64_t>(at)},
                            static_cast<std::int64_t>(length)});
        const std::size_t next = at + length;
        if (plain != std::string_view::npos && plain < next)
            plain = FindFrom(haystack, text_, next);
        if (hex != std::string_view::npos && hex < next)
            hex = nextHex(next);
    }
    return count;
}

std::size_t FindQuery::MatchesInLine(const LineStore& store, std::int64_t line, ByteString& text,
                                     std::vector<Match>* out) const {
    if (store.View().view != DataView::Hex) {
        if (const std::optional<LineStore::DataLine> data = store.DataLineAt(line)) {
            LineScan scan{line};
            std::size_t count = 0;
            do {
                count += ScanViewPiece(store, *data, scan, kPieceBytes, out);
            } while (!scan.Done());
            return count;
        }
    }
    text.clear();
    store.AppendLineTo(line, text);
    return MatchesInText(text, line, out);
}

std::vector<Match> FindQuery::MatchesIn(const LineStore& store, std::int64_t first,
                                        std::int64_t last) const {
    std::vector<Match> matches;
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, store.LineCount() - 1);
    ByteString text;
    for (std::int64_t line = first; line <= last; ++line)
        MatchesInLine(store, line, text, &matches);
    return matches;
}

std::size_t FindQuery::ScanPiece(const LineStore& store, LineScan& scan, std::int64_t bytes,
                                 std::vector<Match>* out) const {
    if (store.View().view != DataView::Hex) {
        if (const std::optional<LineStore::DataLine> data = store.DataLineAt(scan.line))
            return ScanViewPiece(store, *data, scan, bytes, out);
    }
    const std::int64_t length = store.LineLength(scan.line);
    scan.length = length;
    if (text_.empty() || scan.next >= length) {
        scan.next = length;
        return 0;
    }
    // A line searched whole finds its hex view in its own text.
    const bool whole = scan.next == 0 && length <= bytes;
    if (scan.viewStart < 0 && !hexView_.empty() && !whole)
        scan.viewStart = store.HexViewStart(scan.line);
    // A match that starts in the piece may end a little beyond it.
    const std::int64_t reach = Reach();
    const std::int64_t pieceEnd = std::min(length, scan.next + bytes);
    piece_.clear();
    store.AppendLineTo(scan.line, piece_, scan.next, pieceEnd + reach - scan.next);
    std::size_t end = 0;
    const std::size_t count = Scan(piece_, scan.line, scan.next, scan.viewStart, out,
                                   static_cast<std::size_t>(pieceEnd - scan.next), &end);
    scan.next = std::max(pieceEnd, scan.next + static_cast<std::int64_t>(end));
    return count;
}

std::vector<Match> FindQuery::MatchesInColumns(const LineStore& store, std::int64_t line,
                                               std::int64_t from, std::int64_t to) const {
    std::vector<Match> matches;
    if (text_.empty() || line < 0 || line >= store.LineCount())
        return matches;
    const auto outside = [&](const Match& match) {
        return match.To().column <= from || match.from.column >= to;
    };
    // A match that reaches into the columns starts at most its length less one before them.
    const std::int64_t start = std::max<std::int64_t>(0, from - Reach());
    if (store.View().view != DataView::Hex) {
        if (const std::optional<LineStore::DataLine> data = store.DataLineAt(line)) {
            // Pieces of about the columns' width: a character takes at least one.
            LineScan scan = ViewScanFrom(store, *data, line, start);
            while (!scan.Done() && std::max<std::int64_t>(scan.pieceColumn, 0) < to)
                ScanViewPiece(store, *data, scan,
                              to + Reach() - std::max<std::int64_t>(scan.pieceColumn, 0) + 1,
                              &matches);
            std::erase_if(matches, outside);
            return matches;
        }
    }
    const ByteString text =
        store.Line(line, start, std::max<std::int64_t>(0, to + Reach() - start));
    const std::int64_t viewStart = hexView_.empty() ? 0 : store.HexViewStart(line);
    Scan(text, line, start, viewStart, &matches);
    std::erase_if(matches, outside);
    return matches;
}

// ---- the walk to the next match ----

namespace {

class SliceEnd {
public:
    explicit SliceEnd(FindClock::time_point deadline) : deadline_(deadline) {}
    // After a line of bytes has been searched: whether the slice is over.
    bool After(std::size_t bytes) {
        bytes_ += bytes;
        if (++lines_ < kLinesPerClockRead && bytes_ < kBytesPerClockRead)
            return false;
        lines_ = 0;
        bytes_ = 0;
        return FindClock::now() >= deadline_;
    }

private:
    FindClock::time_point deadline_;
    std::int64_t lines_ = 0;
    std::size_t bytes_ = 0;
};

} // namespace

MatchWalk::MatchWalk(FindQuery query, TextPos from, Direction direction)
    : query_(std::move(query)), from_(from), direction_(direction) {}

bool MatchWalk::Step(const LineStore& store, FindClock::time_point deadline) {
    if (done_)
        return true;
    if (line_ < 0 || store.Rewrites() != rewrites_) {
        // From the start, in the text as it is now.
        rewrites_ = store.Rewrites();
        from_.line = std::clamp<std::int64_t>(from_.line, 0, store.LineCount() - 1);
        line_ = from_.line;
        wrapped_ = false;
        scanning_ = false;
    }
    if (query_.Empty()) {
        done_ = true;
        return true;
    }
    const bool forward = direction_ == Direction::Forward;
    SliceEnd slice(deadline);
    for (;;) {
        if (!scanning_) {
            const std::int64_t count = store.LineCount();
            if (line_ >= count || line_ < 0) {
                line_ = forward ? 0 : count - 1;
                wrapped_ = true;
            }
            scan_ = {line_, 0, -1};
            scanning_ = true;
            candidate_.reset();
        }
        lineMatches_.clear();
        const std::int64_t start = scan_.next;
        query_.ScanPiece(store, scan_, kPieceBytes, &lineMatches_);
        const auto searched = static_cast<std::size_t>(scan_.next - start);
        const bool startLine = line_ == from_.line;
        // On the line the walk starts from, only what lies beyond the place counts; on coming
        // back round to it, only what lies before.
        auto counts = [&](const Match& match) {
            if (!startLine)
                return true;
            const std::int64_t edge = forward ? match.from.column : match.To().column;
            const bool beyond = forward ? edge >= from_.column : edge <= from_.column;
            return wrapped_ ? !beyond : beyond;
        };
        // Forward, the first that counts; backward, the last of the line's.
        for (const Match& match : lineMatches_) {
            if (counts(match))
                candidate_ = match;
            if (forward && candidate_)
                break;
        }
        const bool lineDone = scan_.Done();
        if (candidate_ && (forward || lineDone))
            result_ = candidate_;
        if (result_ || (lineDone && wrapped_ && startLine)) {
            done_ = true;
            return true;
        }
        if (lineDone) {
            scanning_ = false;
            line_ += forward ? 1 : -1;
        }
        if (slice.After(searched))
            return false;
    }
}

// ---- the count ----

MatchCounter::MatchCounter(FindQuery query) : query_(std::move(query)) {}

void MatchCounter::Restart(const LineStore& store) {
    rewrites_ = store.Rewrites();
    counted_ = 0;
    inBlocks_ = 0;
    inPartBlock_ = 0;
    partLines_ = 0;
    partBytes_ = 0;
    scanning_ = false;
    blockEnds_.clear();
    lastNumber_.reset();
    started_ = true;
}

bool MatchCounter::Step(const LineStore& store, FindClock::time_point deadline) {
    if (!started_ || store.Rewrites() != rewrites_)
        Restart(store);
    // The last line is not counted for good: appends go on filling it.
    const std::int64_t end = store.LineCount() - 1;
    SliceEnd slice(deadline);
    while (counted_ < end) {
        if (!scanning_)
            scan_ = {counted_, 0, -1};
        const std::int64_t start = scan_.next;
        inPartBlock_ +=
            static_cast<std::int64_t>(query_.ScanPiece(store, scan_, kPieceBytes, nullptr));
        const auto searched = static_cast<std::size_t>(scan_.next - start);
        partBytes_ += scan_.next - start;
        scanning_ = !scan_.Done();
        if (!scanning_)
            ++counted_;
        // A block ends after so many lines, or so many bytes, within a line if need be.
        if ((!scanning_ && ++partLines_ == kBlockLines) || partBytes_ >= kBlockBytes) {
            inBlocks_ += inPartBlock_;
            blockEnds_.push_back(
                {scanning_ ? scan_ : FindQuery::LineScan{counted_, 0, -1}, inBlocks_});
            inPartBlock_ = 0;
            partLines_ = 0;
            partBytes_ = 0;
        }
        if (slice.After(searched))
            return false;
    }
    return true;
}

bool MatchCounter::CaughtUp(const LineStore& store) const {
    return started_ && store.Rewrites() == rewrites_ && counted_ >= store.LineCount() - 1;
}

std::int64_t MatchCounter::Total(const LineStore& store) const {
    std::int64_t total = inBlocks_ + inPartBlock_;
    if (CaughtUp(store)) {
        total += static_cast<std::int64_t>(query_.MatchesInLine(store, counted_, line_, nullptr));
    }
    return total;
}

std::optional<std::int64_t> MatchCounter::NumberOf(const LineStore& store,
                                                   const Match& match) const {
    const std::int64_t line = match.from.line;
    const bool passed = line < counted_ || (line == counted_ && CaughtUp(store)) ||
                        (line == counted_ && scanning_ && match.from.column < scan_.next);
    if (!started_ || store.Rewrites() != rewrites_ || line < 0 || line >= store.LineCount() ||
        !passed)
        return std::nullopt;
    if (lastNumber_ && lastNumber_->first == match)
        return lastNumber_->second;
    // From the last block end at or before the match, searched as the count searched.
    const auto after = std::upper_bound(blockEnds_.begin(), blockEnds_.end(), match.from,
                                        [](const TextPos& wanted, const BlockEnd& end) {
                                            return wanted < TextPos{end.at.line, end.at.next};
                                        });
    const bool first = after == blockEnds_.begin();
    FindQuery::LineScan scan = first ? FindQuery::LineScan{} : std::prev(after)->at;
    std::int64_t before = first ? 0 : std::prev(after)->matches;
    for (;;) {
        scratch_.clear();
        const std::size_t found =
            query_.ScanPiece(store, scan, kPieceBytes, scan.line == line ? &scratch_ : nullptr);
        if (scan.line < line)
            before += static_cast<std::int64_t>(found);
        for (const Match& other : scratch_) {
            if (other == match) {
                lastNumber_.emplace(match, before + 1);
                return lastNumber_->second;
            }
            if (match.from < other.from)
                return std::nullopt;
            ++before;
        }
        if (scan.Done()) {
            if (scan.line == line)
                return std::nullopt;
            scan = {scan.line + 1, 0, -1};
        }
    }
}

} // namespace corvane

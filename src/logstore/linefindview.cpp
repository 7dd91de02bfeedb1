// SPDX-License-Identifier: GPL-3.0-or-later
// Finding in a data line shown in a view other than Hex, a piece at a time: the text is found in
// the line as the view renders it, and hex bytes in the line's bytes, marked where the view shows
// them. Nothing is rendered or read beyond the piece and a few bytes after it, so that a line of
// megabytes costs a slice no more than its piece. The matches are those of the whole line: the
// text's and the bytes' each taken left to right without overlapping, then the two together,
// the earlier first and at one place the longer.
#include "logstore/linefind.h"

#include "core/hexformat.h"
#include "logstore/dataview.h"
#include "logstore/findfrom.h"
#include "logstore/hexview.h"

#include <algorithm>
#include <limits>

namespace corvane {

namespace {

constexpr auto kGroup = static_cast<std::int64_t>(kHexGroupSize);
constexpr std::int64_t kUnknown = std::numeric_limits<std::int64_t>::max();
// The bytes a walk to a column reads at a time.
constexpr std::int64_t kWalkPiece = std::int64_t{256} << 10;

// The Hex and Text view of a data line: its prefix, the hex view of its n bytes, two spaces and
// a character a byte.
struct HexAndTextLine {
    const LineStore::DataLine& data;
    std::int64_t Prefix() const { return static_cast<std::int64_t>(data.prefix.size()); }
    std::int64_t Length() const { return Prefix() + kGroup * data.bytes + 2 + data.bytes; }
    // The first byte whose group's digits start at column or after it.
    std::int64_t FirstByteFrom(std::int64_t column) const {
        const std::int64_t digits = column - Prefix() - 1;
        return std::clamp<std::int64_t>(digits <= 0 ? 0 : (digits + kGroup - 1) / kGroup, 0,
                                        data.bytes);
    }
};

// The bytes of a data line before its line end.
std::int64_t ShownBytes(const LineStore& store, std::int64_t line, std::int64_t count,
                        ByteString& raw) {
    raw.clear();
    store.AppendDataBytes(line, count - 2, 2, raw);
    return count - static_cast<std::int64_t>(LineEndLength(raw));
}

} // namespace

std::int64_t FindQuery::Reach() const {
    return static_cast<std::int64_t>(std::max(text_.size(), hexView_.size())) - 1;
}

std::size_t FindQuery::ScanViewPiece(const LineStore& store, const LineStore::DataLine& data,
                                     LineScan& scan, std::int64_t bytes,
                                     std::vector<Match>* out) const {
    if (text_.empty()) {
        scan.length = scan.next;
        return 0;
    }
    const PaneView view = store.View();
    const std::int64_t line = scan.line;
    const bool first = scan.pieceColumn < 0;
    if (first) {
        scan.byte = 0;
        scan.textNext = 0;
        scan.bytesNext = 0;
    }
    const std::int64_t start = first ? 0 : scan.pieceColumn; // where the piece's text starts
    const std::int64_t reach = Reach();
    const auto size = static_cast<std::int64_t>(hexBytes_.size());
    inView_.clear();
    // The piece: matches that start in columns [start, end) and in bytes [byte, endByte).
    std::int64_t end = 0;
    std::int64_t endByte = 0;
    bool last = false;
    // Adds the matches of the hex bytes found in bytes_ (from byte byte on) that start before
    // endByte, at their columns.
    const auto findBytes = [&](std::int64_t byte, auto columnsOf) {
        for (std::size_t at =
                 FindFrom(bytes_, hexBytes_,
                          static_cast<std::size_t>(std::max(byte, scan.bytesNext) - byte));
             at != std::string_view::npos && byte + static_cast<std::int64_t>(at) < endByte;
             at = FindFrom(bytes_, hexBytes_, at + hexBytes_.size())) {
            const std::int64_t from = byte + static_cast<std::int64_t>(at);
            const std::int64_t columnFrom = columnsOf(from).first;
            const std::int64_t columnTo = columnsOf(from + size - 1).second;
            if (columnTo > columnFrom) // not a line end the view leaves out
                inView_.push_back({{line, columnFrom}, columnTo - columnFrom});
            scan.bytesNext = from + size;
        }
    };
    if (view.view == DataView::Text) {
        // A character takes at least a column and at most four bytes: the text the piece's
        // last match may reach into is rendered from so many bytes more, and a character at
        // the end of what is read is read whole.
        const std::int64_t shown = ShownBytes(store, line, data.bytes, bytes_);
        const std::int64_t byte = scan.byte;
        const std::int64_t column =
            first ? static_cast<std::int64_t>(data.prefix.size()) + 1 : scan.pieceColumn;
        bytes_.clear();
        store.AppendDataBytes(line, byte, bytes + 4 * reach + size + 8, bytes_);
        const std::string_view shownBytes = std::string_view(bytes_).substr(
            0, static_cast<std::size_t>(std::clamp<std::int64_t>(
                   shown - byte, 0, static_cast<std::int64_t>(bytes_.size()))));
        piece_.clear();
        if (first) {
            piece_ = data.prefix;
            piece_.push_back(kHexGroupSeparator);
        }
        const std::size_t pieceBytes =
            AppendTextPiece(shownBytes, static_cast<std::size_t>(bytes), view.encoding, piece_);
        endByte = byte + static_cast<std::int64_t>(pieceBytes);
        end = start + static_cast<std::int64_t>(piece_.size());
        last = endByte >= shown;
        if (last)
            endByte = data.bytes; // and the line end, which takes no column
        else
            AppendTextPiece(shownBytes.substr(pieceBytes), static_cast<std::size_t>(4 * reach),
                            view.encoding, piece_);
        if (size > 0) {
            TextColumns columns(view.encoding, shown, byte, column);
            columns.Read(bytes_, byte);
            findBytes(byte, [&](std::int64_t at) { return columns.Of(at); });
        }
    } else {
        const HexAndTextLine hexAndText{data};
        end = std::min(hexAndText.Length(), start + bytes);
        last = end == hexAndText.Length();
        const std::int64_t textFrom = std::max(start, scan.textNext);
        piece_.clear();
        store.AppendLineTo(line, piece_, textFrom, end + reach - textFrom);
        if (size > 0) {
            const std::int64_t byte = hexAndText.FirstByteFrom(start);
            endByte = hexAndText.FirstByteFrom(end);
            bytes_.clear();
            store.AppendDataBytes(line, byte, endByte - byte + size - 1, bytes_);
            const std::int64_t prefix = hexAndText.Prefix();
            findBytes(byte, [&](std::int64_t at) {
                const std::int64_t group = prefix + kGroup * at;
                return std::pair{group + 1, group + kGroup};
            });
        }
    }
    // The text, from where its last match ended; Text view pieces start at their own column.
    const std::int64_t textFrom = std::max(start, scan.textNext);
    const std::int64_t pieceStart = view.view == DataView::Text ? start : textFrom;
    if (textFrom < end) {
        std::size_t textEnd = 0;
        const std::size_t before = inView_.size();
        Scan(std::string_view(piece_).substr(static_cast<std::size_t>(textFrom - pieceStart)), line,
             textFrom, kUnknown, &inView_, static_cast<std::size_t>(end - textFrom), &textEnd);
        if (inView_.size() > before)
            scan.textNext = textFrom + static_cast<std::int64_t>(textEnd);
    }
    scan.textNext = std::max(scan.textNext, end);
    scan.bytesNext = std::max(scan.bytesNext, endByte);
    // Left to right, not overlapping: at the same place, the longer.
    std::sort(inView_.begin(), inView_.end(), [](const Match& a, const Match& b) {
        return a.from.column != b.from.column ? a.from.column < b.from.column : a.length > b.length;
    });
    std::size_t count = 0;
    for (const Match& match : inView_) {
        if (match.from.column < scan.next)
            continue;
        scan.next = match.To().column;
        ++count;
        if (out)
            out->push_back(match);
    }
    scan.next = std::max(scan.next, end);
    scan.byte = endByte;
    scan.pieceColumn = end;
    scan.length = last ? end : kUnknown;
    return count;
}

FindQuery::LineScan FindQuery::ViewScanFrom(const LineStore& store, const LineStore::DataLine& data,
                                            std::int64_t line, std::int64_t column) const {
    const PaneView view = store.View();
    const auto prefix = static_cast<std::int64_t>(data.prefix.size());
    if (column <= prefix + 1)
        return {line, 0, -1, kUnknown};
    if (view.view != DataView::Text) {
        const std::int64_t byte = HexAndTextLine{data}.FirstByteFrom(column);
        return {line, column, -1, kUnknown, byte, column, column, byte};
    }
    // The Text view's columns are known only from the line's start, or from a mark the store
    // took there: a walk over its bytes from there, which renders nothing.
    const std::int64_t shown = ShownBytes(store, line, data.bytes, bytes_);
    const LineStore::TextMark mark = store.TextViewMark(line, column);
    TextColumns columns(view.encoding, shown, mark.column < 0 ? 0 : mark.byte,
                        mark.column < 0 ? prefix + 1 : mark.column);
    for (;;) {
        const std::int64_t byte = columns.Byte();
        bytes_.clear();
        store.AppendDataBytes(line, byte, kWalkPiece + 3, bytes_);
        columns.Read(bytes_, byte);
        columns.MoveOn(byte + kWalkPiece, column);
        if (columns.Byte() < byte + kWalkPiece)
            break;
    }
    const std::int64_t at = columns.Column();
    return {line, at, -1, kUnknown, columns.Byte(), at, at, columns.Byte()};
}

} // namespace corvane

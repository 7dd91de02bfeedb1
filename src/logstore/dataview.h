// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ways a pane shows the bytes of its data lines (the lines of an arrow and a hex view: what
// was sent or received). Every view keeps the line's prefix (the arrow, the sender) and puts its
// own rendering of the bytes where the hex view stood, starting with the view's space:
// - Hex: the hex view itself (" 48 69 0D 0A").
// - Text: a space, then the bytes decoded (" Hi"): a line end at the end (CR LF, LF or CR) is not
//   drawn, a tab is a tab, a backslash is "\\", and every other byte below 0x20, 0x7F and every
//   byte that does not decode is "\xNN" (upper-case hex). A character that decodes but that the
//   pane's 8-bit code page (Windows-1251) cannot show is written as the "\xNN" of its bytes, so
//   the line still turns back into the same bytes (TextViewBytes).
// - Hex and Text: the hex view, two spaces, then one character per byte: printable ASCII as
//   itself, any other byte as "." (" 48 69 0D 0A  Hi..").
// Everything here is pure and may run on any thread.

#include "core/bytestring.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

enum class DataView { Hex, Text, HexAndText };

// The length of the Text view's escape of a byte, "\xNN".
inline constexpr std::size_t kEscapeSize = 4;
enum class TextEncoding { Utf8, Windows1251 };

struct PaneView {
    DataView view = DataView::Hex;
    TextEncoding encoding = TextEncoding::Utf8;
    bool operator==(const PaneView&) const = default;
};

// Whether the text before a hex view makes a data line: it starts with an arrow ("-> ", "<- ",
// "->" of a datagram).
bool IsDataPrefix(std::string_view prefix);

// Appends the rendering of bytes that takes the hex view's place in the view (a Hex view is
// written as the hex view).
void AppendDataView(std::string_view bytes, PaneView view, ByteString& out);

// The bytes of a data line given as its text (a data prefix and at least one hex group), written
// over bytes, and the length of its prefix; nothing for any other line.
std::optional<std::size_t> DataLineBytes(std::string_view line, ByteString& bytes);

// A line as the view shows it, appended to out: a data line (a data prefix and at least one hex
// group) with its bytes in the view, any other line as it is. True when it is a data line shown
// in a view other than Hex.
bool AppendLineInView(std::string_view line, PaneView view, ByteString& out);

// The bytes the Text view shows: a line end at the end (CR LF, LF or CR) left out.
std::string_view WithoutLineEnd(std::string_view bytes);

// Whether the Text view writes each of bytes as it is: printable ASCII but the backslash, a tab,
// and in Windows-1251 the upper half but 0x98. What most devices print.
bool ShownAsIs(std::string_view bytes, TextEncoding encoding);

// The bytes the text of a Text view (what follows its space) stands for, line end excepted: the
// inverse of the rendering.
ByteString TextViewBytes(std::string_view text, TextEncoding encoding);

// How many bytes at the end of a data line's bytes are a line end the Text view leaves out (the
// last two bytes tell).
std::size_t LineEndLength(std::string_view bytes);

// The Text view's rendering of bytes (the shown ones: no line end) a piece at a time, appended
// to out: the characters that start before stop, bytes starting where a character starts and
// holding three bytes beyond stop or every byte up to the line end. Returns where the next
// character starts.
std::size_t AppendTextPiece(std::string_view bytes, std::size_t stop, TextEncoding encoding,
                            ByteString& out);

// The Hex and Text view's column of characters: printable ASCII as itself, any other byte ".".
void AppendAsciiColumn(std::string_view bytes, ByteString& out);

// Where the bytes of a data line stand in the Text view, found a character at a time from a
// place where one starts: a byte's columns [first, second) are those of the character it belongs
// to, the running sum of the widths before it. The bytes of one decoded character share its
// columns; a line end the view leaves out stands at the end, taking nothing. The bytes are read
// a piece at a time, so that a line of megabytes costs no more than the bytes walked over.
class TextColumns {
public:
    // shown: the line's bytes before its line end; byte and column: a character's start and its
    // column.
    TextColumns(TextEncoding encoding, std::int64_t shown, std::int64_t byte, std::int64_t column);
    // The bytes to walk over: from byte first (at most Byte()) on, holding three bytes beyond
    // any byte asked for, or every byte up to the shown end.
    void Read(std::string_view bytes, std::int64_t first);
    // The columns of byte at, at or beyond the character the walk stands on.
    std::pair<std::int64_t, std::int64_t> Of(std::int64_t at);
    // Walks over the characters that start before byte end and end at column column or before
    // it: it then stands on a character that starts at that column or before it.
    void MoveOn(std::int64_t end, std::int64_t column);
    std::int64_t Byte() const { return byte_; }
    std::int64_t Column() const { return column_; }

private:
    // The bytes and the width of the character at the walk's place.
    std::pair<std::size_t, std::int64_t> Character() const;

    TextEncoding encoding_;
    std::int64_t shown_;
    std::int64_t byte_;
    std::int64_t column_;
    std::string_view bytes_;
    std::int64_t first_ = 0;
};

// The columns [first, second) of a Text view line that are "\xNN" escapes: drawn muted.
std::vector<std::pair<std::int64_t, std::int64_t>> EscapesIn(std::string_view line);

} // namespace corvane

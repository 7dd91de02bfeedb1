// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of a log pane, kept apart from any widget: lines of 8-bit code-page text, appended at
// the end by the program and edited anywhere by the operator. It is built for millions of lines
// and lines of megabytes: appending is a copy, reading a line or a part of one costs no more for
// a long line than for a short one, and beyond a memory budget the older text moves to a spool
// file on disk and is read back from there when asked for. Each line keeps its time (µs since
// the Unix epoch, core/walltime.h) in memory beside its place, spooled or not.
//
// Every call belongs to one thread (the UI thread for a pane).

#include "core/bytestring.h"
#include "core/walltime.h"
#include "logstore/dataview.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

// A place in the text: a line number from 0 and a column, the number of bytes before it on the
// line (0 to the line's length).
struct TextPos {
    std::int64_t line = 0;
    std::int64_t column = 0;
    auto operator<=>(const TextPos&) const = default;
};

class LineStore {
public:
    struct Limits {
        // Bytes of text kept in memory; older text beyond it moves to the spool file.
        std::size_t memoryBudget = std::size_t{256} << 20;
        // Folder of the spool file; empty: $XDG_CACHE_HOME/corvane (~/.cache/corvane), or the
        // temporary folder when that cannot be used.
        std::string spoolFolder;
    };

    LineStore();
    explicit LineStore(Limits limits);
    ~LineStore();
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    // reading
    // Number of lines, at least 1: an empty text is one empty line, and a text that ends with a
    // line break has an empty last line.
    std::int64_t LineCount() const;
    std::int64_t LineLength(std::int64_t line) const;
    // The cells the line takes on the screen (tabstops.h): its length, unless it holds a TAB.
    std::int64_t LineWidth(std::int64_t line) const;
    bool HasTabs(std::int64_t line) const;
    // The widest line's cells: the horizontal extent of the text, which follows every change.
    std::int64_t LongestLine() const;
    // Up to count bytes of the line from column on: fewer at the line's end, none past it.
    ByteString Line(std::int64_t line, std::int64_t column = 0,
                    std::int64_t count = std::numeric_limits<std::int64_t>::max()) const;
    // Where the hex view at the end of the line starts (hexview.h: FindHexView's prefix; the
    // line's length when it ends in none). At once for a line kept as raw bytes, which long
    // received lines are.
    std::int64_t HexViewStart(std::int64_t line) const;
    // Appends the line to out (up to count bytes from column on): for readers of many lines,
    // which keep one buffer.
    void AppendLineTo(std::int64_t line, ByteString& out, std::int64_t column = 0,
                      std::int64_t count = std::numeric_limits<std::int64_t>::max()) const;
    // The text between two places (in either order), its lines joined by lineBreak.
    ByteString Text(TextPos from, TextPos to, std::string_view lineBreak = "\n") const;
    TextPos End() const { return {LineCount() - 1, LineLength(LineCount() - 1)}; }
    // The place in the text nearest to pos: its line and column each brought into range.
    TextPos Clamp(TextPos pos) const;
    // When the line came into being: the time AppendLine was given, the time of the edit that made
    // it, or, for the empty line after the last line break, the time of the append or edit that
    // ended the line before it.
    std::int64_t LineTime(std::int64_t line) const;

    // editing
    // Appends one line written by the program: when the text is empty or ends with a line
    // break, the line and a line break are added; otherwise (the operator typed on the last
    // line) a line break and then the line. A CR LF pair inside the line splits it; a lone CR
    // or LF does not. Every line it makes gets time.
    void AppendLine(std::string_view line, std::int64_t time);
    // Replaces the text between two places (in either order) with text, in which each "\n"
    // starts a new line. Returns the place just after the inserted text. A line the edit makes
    // keeps the time of the line whose text it keeps (the text before the edit's start, else the
    // text after its end); a line of nothing but the new text gets time (by default, now).
    TextPos Replace(TextPos from, TextPos to, std::string_view text,
                    std::int64_t time = WallClockNow());
    // The same with the lines to put in given one by one: a line may then hold a lone LF.
    TextPos Replace(TextPos from, TextPos to, std::span<const ByteString> lines,
                    std::int64_t time = WallClockNow());
    void Clear();

    // Counts the changes other than appends: edits, Clear and lines dropped for want of disk. A
    // reader that holds line numbers or figures about lines already read starts again when it
    // changes; between two changes, lines before the last one only ever get lines added after
    // them.
    std::uint64_t Rewrites() const;

    // Lines taken out of the text when the spool file could not take them (the disk is full):
    // the oldest of those only memory holds, while what the spool file holds stays. A note line
    // stands in their place, saying how many went; it counts on while the drops go on right
    // after it. This count is the lines taken out less the note lines put in; it never goes
    // down, not even on Clear. Every line number held outside the store below the note moves down
    // by the growth of this count; the lines above it keep their numbers.
    std::int64_t LinesShiftedOut() const;

    // the view of the data lines
    // Every reader from then on (lengths, widths, text) gets the data lines in view
    // (logstore/dataview.h); the other lines stay as they are. Nothing is done per line stored:
    // the lines keep their bytes and each is rendered as it is read. Counts as a rewrite.
    void SetView(PaneView view);
    PaneView View() const;
    // Whether the line is a data line shown in a view other than Hex.
    bool InDataView(std::int64_t line) const;
    // The bytes of a data line (what its hex view shows), written to bytes, and the column where
    // their rendering starts (its prefix's length); nothing for any other line.
    std::optional<std::int64_t> DataBytes(std::int64_t line, ByteString& bytes) const;
    // A data line told without reading its bytes (at once for a long line, which is kept
    // packed): its prefix as the line starts, and how many bytes it shows; nothing for any other
    // line.
    struct DataLine {
        ByteString prefix;
        std::int64_t bytes = 0;
    };
    std::optional<DataLine> DataLineAt(std::int64_t line) const;
    // A place in the Text view of a data line where a character starts, at or before column:
    // byte, its column and its cell (tabstops.h), from the marks taken as the line was last
    // rendered whole (a pane renders the lines in view), at most 4 KiB of bytes before column;
    // byte 0 and column and cell -1 when the line has no mark there. Once marked, a line's
    // columns are read from the mark before them: a pane painting a row of a line of megabytes
    // renders only what is in view.
    struct TextMark {
        std::int64_t byte = 0;
        std::int64_t column = -1;
        std::int64_t cell = -1;
    };
    TextMark TextViewMark(std::int64_t line, std::int64_t column) const;
    // The same for the mark at or before a cell.
    TextMark TextViewMarkAtCell(std::int64_t line, std::int64_t cell) const;
    // Appends up to count of a data line's bytes from byte from on.
    void AppendDataBytes(std::int64_t line, std::int64_t from, std::int64_t count,
                         ByteString& out) const;

private:
    struct Impl;

public:
    // The lines there are now, readable as they are now (in the view the store shows now)
    // whatever the store does afterwards
    // (Clear, edits, lines dropped or appended): for a reader that works through them over many
    // turns of the event loop, such as a save. The empty line after a closing line break is not
    // among them. While a snapshot lives, the text the store lets go of stays where it is (in
    // memory or in the spool file) and the store drops no lines for want of disk. Used on the
    // store's thread, and may outlive the store.
    class Snapshot {
    public:
        ~Snapshot();
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;

        std::int64_t LineCount() const { return count_; }
        // The bytes of its lines' text, and one for the end of each line.
        std::int64_t Bytes() const { return bytes_; }
        std::int64_t LineLength(std::int64_t line) const;
        void AppendLineTo(std::int64_t line, ByteString& out) const;
        std::int64_t LineTime(std::int64_t line) const;

    private:
        friend class LineStore;
        struct Kept;
        explicit Snapshot(std::shared_ptr<Impl> impl);
        std::unique_ptr<Kept> kept_;
        std::int64_t count_ = 0;
        std::int64_t bytes_ = 0;
    };
    std::unique_ptr<Snapshot> TakeSnapshot() const;

    // figures
    std::size_t BytesInMemory() const; // text and per-line records held in memory
    std::size_t BytesSpooled() const;  // text held in the spool file

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace corvane

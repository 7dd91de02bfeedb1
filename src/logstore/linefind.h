// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding text in a line store, without widgets: the matches in a range of lines (to highlight
// what is in view), the next or previous match from a place, wrapping round, and the count of all
// matches with the number of a given one ("N of M").
//
// What matches: the text as typed, in the program's code page, with or without regard to case
// (Latin and Cyrillic letters). A text that reads as hex bytes ("0d 0a", "D A": tokens of one or
// two hex digits, separated by spaces) also finds those bytes in the hex view of a line (" 0D 0A"),
// whatever the case it was typed in, as whole byte groups; in the store's other views, where the
// view shows those bytes. Matches are taken left to right and do
// not overlap.
//
// Long work comes in steps: the walk to the next match and the count each take a step of at most
// a given time, so that a caller on the UI thread keeps its window responsive by running one step
// per turn of its event loop (logstore/slicedtask.h). The store is never shared with another
// thread: it belongs to the UI thread, which appends tens of thousands of lines a second, and a
// lock on every append and every paint, or a copy of the text, would cost the links more than steps
// cost the search. Between steps the store may grow (new lines are searched too) or be rewritten
// (LineStore::Rewrites): a walk then starts again from its place clamped into the text, a count
// starts again from the top.

#include "core/bytestring.h"
#include "logstore/linestore.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

struct FindOptions {
    bool matchCase = false;
};

// One match: columns [from.column, from.column + length) of line from.line.
struct Match {
    TextPos from;
    std::int64_t length = 0;
    auto operator<=>(const Match&) const = default;
    TextPos To() const { return {from.line, from.column + length}; }
};

using FindClock = std::chrono::steady_clock;

// What is searched for, ready to search. Cheap to copy.
class FindQuery {
public:
    // text: in the program's code page. An empty text matches nothing.
    FindQuery(ByteString text, FindOptions options);

    bool Empty() const { return text_.empty(); }
    // The bytes the text reads as when it reads as hex bytes ("0d 0a" -> 0x0D 0x0A), else empty.
    const ByteString& HexBytes() const { return hexBytes_; }

    // Appends the matches of one line's text to out, left to right; returns how many.
    std::size_t MatchesInText(std::string_view text, std::int64_t line,
                              std::vector<Match>* out) const;
    // The same for a line of a store, read into text: in a view other than Hex, the bytes are
    // also found in the line's bytes and marked where the view shows them.
    std::size_t MatchesInLine(const LineStore& store, std::int64_t line, ByteString& text,
                              std::vector<Match>* out) const;
    // The matches of lines first..last (both included, clamped into the store), in order.
    std::vector<Match> MatchesIn(const LineStore& store, std::int64_t first,
                                 std::int64_t last) const;
    // The matches that lie at least in part within columns [from, to) of a line, found in those
    // columns and the few around them alone, so that a line of megabytes costs what is in view.
    // Matches are taken left to right from a little before from: where the text can overlap
    // itself ("aa" in "aaa") they may start one place off from those of the whole line.
    std::vector<Match> MatchesInColumns(const LineStore& store, std::int64_t line,
                                        std::int64_t from, std::int64_t to) const;

    // A line searched a piece at a time, so that a line of megabytes does not hold up a slice:
    // next is where the next match may start (0 to begin), viewStart where the line's hex view
    // starts (-1: not known yet).
    struct LineScan {
        std::int64_t line = 0;
        std::int64_t next = 0;
        std::int64_t viewStart = -1;
        std::int64_t length = 0; // the line's, as the last piece found it
        // A data line in a view other than Hex is searched by its bytes, rendered a piece at a
        // time: the next piece starts at byte byte (where a character starts), drawn at column
        // pieceColumn (-1: the line's first piece, from column 0); the text and the bytes each
        // go on from where their last match ended.
        std::int64_t byte = 0;
        std::int64_t pieceColumn = -1;
        std::int64_t textNext = 0;
        std::int64_t bytesNext = 0;
        bool Done() const { return next >= length; }
    };
    // Searches the matches that start in about the next bytes bytes of the line (appended to
    // out when given) and moves next on past them. Returns how many; Done() once next has
    // reached the line's length. The matches are those of the whole line's search.
    std::size_t ScanPiece(const LineStore& store, LineScan& scan, std::int64_t bytes,
                          std::vector<Match>* out) const;

private:
    // MatchesInText for text that starts at column offset of the line, whose hex view starts at
    // column viewStart (-1: found in text), for matches starting before index before of text.
    // end: where the last match ends.
    std::size_t Scan(std::string_view text, std::int64_t line, std::int64_t offset,
                     std::int64_t viewStart, std::vector<Match>* out,
                     std::size_t before = std::string_view::npos, std::size_t* end = nullptr) const;

    // ScanPiece for a data line in a view other than Hex (linefindview.cpp): the text is found
    // in the line as the view renders it, the hex bytes in its bytes, marked where the view
    // shows them.
    std::size_t ScanViewPiece(const LineStore& store, const LineStore::DataLine& data,
                              LineScan& scan, std::int64_t bytes, std::vector<Match>* out) const;
    // A scan of such a line that starts at about column column (at most there), for
    // MatchesInColumns.
    LineScan ViewScanFrom(const LineStore& store, const LineStore::DataLine& data,
                          std::int64_t line, std::int64_t column) const;
    // How far beyond its start a match may reach: its length less one.
    std::int64_t Reach() const;

    ByteString text_; // folded to one case when the case does not matter
    // The hex bytes as the view writes them ("0D 0A"); empty when not hex, or when the plain
    // search finds every place it would.
    ByteString hexView_;
    ByteString hexBytes_;
    bool fold_ = false; // lines are folded to one case before searching: the text has letters
    mutable ByteString folded_; // a line folded to one case: kept from line to line
    mutable ByteString bytes_;  // a piece of a data line's bytes, for the hex bytes in a view
    mutable std::vector<Match> inView_;
    mutable ByteString piece_; // the piece of a line ScanPiece searches
};

// The walk to the next (or previous) match from a place, wrapping round once through the whole
// store. Run Step until it returns true; Result() then holds the match, or nothing when the store
// has none.
class MatchWalk {
public:
    enum class Direction { Forward, Backward };

    // from: the place to search from; forward, a match starting at it or after it counts (a
    // caller stepping on from a selected match passes its end); backward, a match ending at or
    // before it counts (pass the match's start).
    MatchWalk(FindQuery query, TextPos from, Direction direction);

    // Searches until a match is found, the whole store has been searched, or the deadline has
    // passed (at least one line is searched). True when the walk is over.
    bool Step(const LineStore& store, FindClock::time_point deadline);
    bool Done() const { return done_; }
    const std::optional<Match>& Result() const { return result_; }
    // Whether the match was found only after going round the end (or the start) of the store.
    bool Wrapped() const { return wrapped_; }

private:
    FindQuery query_;
    TextPos from_;
    Direction direction_;
    std::int64_t line_ = -1;     // the next line to search; -1 before the first step
    std::int64_t searched_ = 0;  // lines searched so far
    std::uint64_t rewrites_ = 0; // the store's Rewrites() the walk began with
    bool wrapped_ = false;
    bool done_ = false;
    std::optional<Match> result_;
    FindQuery::LineScan scan_;       // the line being searched
    bool scanning_ = false;          // scan_ is part way through its line
    std::optional<Match> candidate_; // of that line, so far
    std::vector<Match> lineMatches_;
};

// The count of all matches in a store, kept up to date as lines arrive, with the number of any
// match (its place among all of them, from 1). Lines are counted in blocks of at most 4096 lines
// and about a quarter megabyte, a long line split across blocks, and the count up to each block's
// end is kept, so that the number of a match costs at most a block's search once the count has
// passed it, however long its line.
class MatchCounter {
public:
    explicit MatchCounter(FindQuery query);

    // Counts on until every line there is has been counted or the deadline has passed. True when
    // the count has caught up with the store (it falls behind again as lines arrive).
    bool Step(const LineStore& store, FindClock::time_point deadline);
    // Matches counted so far, the last line included (it is searched afresh each time: lines
    // are appended into it).
    std::int64_t Total(const LineStore& store) const;
    // Whether every line there is has been counted.
    bool CaughtUp(const LineStore& store) const;
    // Lines counted and lines there are, for progress.
    std::int64_t LinesCounted() const { return counted_; }

    // The number (from 1) of match among all matches, once the count has passed it (in a long
    // line, its place in the line); nothing before then, or when it is not a match of this query.
    // The last number found is kept: the find bar asks for the same match after every step of
    // the count.
    std::optional<std::int64_t> NumberOf(const LineStore& store, const Match& match) const;

private:
    static constexpr std::int64_t kBlockLines = 4096;
    static constexpr std::int64_t kBlockBytes = std::int64_t{256} << 10;

    struct BlockEnd {
        FindQuery::LineScan at; // where the count went on after the block: a line, or a place in it
        std::int64_t matches;   // before it
    };

    void Restart(const LineStore& store);

    FindQuery query_;
    bool started_ = false;
    std::uint64_t rewrites_ = 0;
    std::int64_t counted_ = 0;        // lines counted, from line 0
    std::int64_t inBlocks_ = 0;       // matches in the whole blocks counted
    std::int64_t inPartBlock_ = 0;    // matches in the lines counted after them
    std::int64_t partLines_ = 0;      // those lines
    std::int64_t partBytes_ = 0;      // and their bytes
    std::vector<BlockEnd> blockEnds_; // where each whole block ends
    FindQuery::LineScan scan_;        // the line being counted
    bool scanning_ = false;           // scan_ is part way through it
    // The last number found, until the text is rewritten (appends leave it as it is).
    mutable std::optional<std::pair<Match, std::int64_t>> lastNumber_;
    mutable std::vector<Match> scratch_;
    mutable ByteString line_;
};

} // namespace corvane

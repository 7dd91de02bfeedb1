// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/linestore.h"

#include "core/hexformat.h"
#include "logstore/hexview.h"
#include "logstore/lineindex.h"
#include "logstore/linepieces.h"
#include "logstore/tabstops.h"
#include "logstore/textarena.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>
#include <vector>

namespace corvane {

namespace {

ByteString DroppedNote(std::int64_t dropped) {
    return "[" + std::to_string(dropped) + " older lines dropped: they could not be kept on disk]";
}

} // namespace

struct LineStore::Impl {
    Limits limits;
    TextArena arena;
    LineIndex index;
    // How many lines there are of each width (in cells; empty lines are not counted): the
    // widest is the last, and it follows deletions as well as appends.
    std::map<std::int64_t, std::int64_t> widths;
    // The widths of the lines that hold a TAB, by their place in the arena: the others are as
    // wide as they are long. Such lines are rare in a log of bytes.
    std::map<std::uint64_t, std::int64_t> tabbed;
    std::int64_t shiftedOut = 0;
    std::int64_t firstShifted = 0; // the first line the last drop moved: the one below its note
    std::int64_t noteLine = -1;    // the note on the lines last dropped; -1: none
    std::int64_t noteCount = 0;    // how many lines that note stands for
    std::uint64_t rewrites = 0;
    PaneView view;
    // The last data line rendered in the view: a line is read for its length, its width and its
    // text in turn.
    struct Rendered {
        LineRef ref;
        bool valid = false;
        bool data = false;
        ByteString text;
    };
    mutable Rendered rendered;
    // Where pieces of long data lines start in the Text view, taken as each was last rendered
    // whole, with what the rendering told of the whole line: a reader of some columns of a line
    // of megabytes renders them from the mark before them, and its length and width are known
    // without rendering it again. Kept for the lines rendered lately (a pane renders those in
    // view), by their place. A pane reads a row's columns from the mark before them several
    // times over as it paints: marks this close cost that little, and their memory is less than
    // a hundredth of the line's.
    static constexpr std::size_t kMarkBytes = std::size_t{4} << 10;
    static constexpr std::size_t kMarkedLines = 1024;
    struct MarkedLine {
        std::vector<TextMark> marks;
        std::int64_t length = 0; // columns
        std::int64_t width = 0;  // cells
        std::int64_t shown = 0;  // bytes before the line end
        bool tabs = false;
    };
    mutable std::unordered_map<std::uint64_t, MarkedLine> textMarks;
    // Bytes rendered at a time for some columns of a marked line.
    static constexpr std::size_t kRenderPiece = std::size_t{4} << 10;
    mutable ByteString kept;      // a line's kept bytes, read to be rendered
    mutable ByteString piece;     // a part of a line read to be rendered
    mutable ByteString rendering; // the columns of a marked line rendered from its mark
    std::int64_t textBytes = 0;
    std::vector<Snapshot::Kept*> snapshots;

    Impl(Limits given, std::int64_t time)
        : limits(std::move(given)), arena(limits.memoryBudget, limits.spoolFolder) {
        index.Push({LineRef{}, time});
    }

    static bool HasTab(std::string_view text) {
        return std::memchr(text.data(), '\t', text.size()) != nullptr;
    }

    static std::uint64_t Place(LineRef ref) { return std::uint64_t{ref.chunk} << 32 | ref.offset; }

    LineRef Keep(std::string_view text) {
        const LineRef ref = arena.Add(text);
        textBytes += static_cast<std::int64_t>(text.size());
        const bool tabs = HasTab(text);
        const std::int64_t width = tabs ? CellAfter(text) : static_cast<std::int64_t>(text.size());
        if (tabs)
            tabbed[Place(ref)] = width;
        if (width > 0)
            ++widths[width];
        return ref;
    }

    // The line's bytes are no longer used.
    void Forget(LineRef ref) {
        textMarks.erase(Place(ref));
        textBytes -= arena.Length(ref);
        const std::int64_t width = Width(ref);
        if (width > 0) {
            tabbed.erase(Place(ref));
            const auto count = widths.find(width);
            if (count != widths.end() && --count->second == 0)
                widths.erase(count);
        }
        arena.Remove(ref);
    }

    static bool Empty(LineRef ref) {
        return ref.length == 0 && ref.hexPrefix == LineRef::kNotPacked;
    }

    std::int64_t Width(LineRef ref) const {
        if (Empty(ref))
            return 0;
        if (const std::int64_t length = HexAndTextLength(ref))
            return length; // a data prefix and the view hold no tab
        if (const MarkedLine* marked = Marked(ref))
            return marked->width;
        if (const ByteString* text = Shown(ref))
            return HasTab(*text) ? CellAfter(*text) : static_cast<std::int64_t>(text->size());
        const auto found = tabbed.find(Place(ref));
        return found != tabbed.end() ? found->second : arena.Length(ref);
    }

    std::int64_t Length(std::int64_t line) const {
        const LineRef ref = index.At(line);
        if (const std::int64_t length = HexAndTextLength(ref))
            return length;
        if (const MarkedLine* marked = Marked(ref))
            return marked->length;
        if (const ByteString* text = Shown(ref))
            return static_cast<std::int64_t>(text->size());
        return arena.Length(ref);
    }

    // What the marks of a data line of the Text view tell; null when it has none.
    const MarkedLine* Marked(LineRef ref) const {
        if (view.view != DataView::Text || !TextArena::Packed(ref))
            return nullptr;
        const auto found = textMarks.find(Place(ref));
        return found == textMarks.end() || found->second.marks.empty() ? nullptr : &found->second;
    }

    // Lines are about to change in place: each snapshot that still reads this index takes a copy
    // of it as it is.
    void BeforeRewrite();

    void Read(std::int64_t line, std::int64_t column, std::int64_t count, ByteString& out) const {
        const LineRef ref = index.At(line);
        if (view.view != DataView::Hex && column == 0 &&
            count == std::numeric_limits<std::int64_t>::max()) {
            // A whole line, as saving reads every line: rendered straight into out, unless it is
            // the line last rendered, which a pane painting a row reads several times.
            if (rendered.valid && SameRef(rendered.ref, ref) && rendered.data)
                out.append(rendered.text);
            else
                RenderInto(ref, view, out);
            return;
        }
        if (const std::int64_t length = HexAndTextLength(ref)) {
            ReadHexAndText(ref, length, column, count, out);
            return;
        }
        if (const MarkedLine* marked = Marked(ref)) {
            ReadMarked(ref, *marked, column, count, out);
            return;
        }
        const ByteString* text = Shown(ref);
        if (!text) {
            arena.Read(ref, column, count, out);
            return;
        }
        const auto size = static_cast<std::int64_t>(text->size());
        column = std::clamp<std::int64_t>(column, 0, size);
        count = std::clamp<std::int64_t>(count, 0, size - column);
        out.append(*text, static_cast<std::size_t>(column), static_cast<std::size_t>(count));
    }

    // Appends the line as the view in shows it; whether it is a data line in that view.
    bool RenderInto(LineRef ref, const PaneView& in, ByteString& out) const {
        if (in.view == DataView::Hex || Empty(ref)) {
            arena.Read(ref, 0, arena.Length(ref), out);
            return false;
        }
        kept.clear();
        arena.ReadKept(ref, kept);
        // Hex views of a few bytes are kept as text.
        if (!TextArena::Packed(ref))
            return AppendLineInView(kept, in, out);
        const std::size_t prefixLength = TextArena::PrefixLength(ref);
        const std::string_view prefix = std::string_view(kept).substr(0, prefixLength);
        if (!IsDataPrefix(prefix)) {
            arena.Read(ref, 0, arena.Length(ref), out);
            return false;
        }
        const std::size_t start = out.size();
        out.append(prefix);
        const std::string_view bytes = std::string_view(kept).substr(prefixLength);
        if (in.view != DataView::Text || in != view) {
            AppendDataView(bytes, in, out);
            return true;
        }
        // A piece at a time, marking where each starts.
        out.push_back(kHexGroupSeparator);
        const std::size_t shown = bytes.size() - LineEndLength(bytes);
        MarkedLine& marked = textMarks[Place(ref)];
        marked.marks.clear();
        std::int64_t cell = CellAfter(std::string_view(out).substr(start));
        for (std::size_t at = 0; at < shown;) {
            const std::size_t pieceStart = out.size();
            marked.marks.push_back({static_cast<std::int64_t>(at),
                                    static_cast<std::int64_t>(pieceStart - start), cell});
            at += AppendTextPiece(bytes.substr(at, shown - at), kMarkBytes, in.encoding, out);
            cell = CellAfter(std::string_view(out).substr(pieceStart), cell);
        }
        marked.length = static_cast<std::int64_t>(out.size() - start);
        marked.width = cell;
        marked.shown = static_cast<std::int64_t>(shown);
        marked.tabs = HasTab(std::string_view(out).substr(start));
        if (textMarks.size() > kMarkedLines)
            textMarks = {{Place(ref), std::move(marked)}};
        return true;
    }

    // Appends columns [column, column + count) of a marked line, rendered from the mark before
    // them on: its prefix and space as they are, its bytes from the character the mark is on.
    void ReadMarked(LineRef ref, const MarkedLine& marked, std::int64_t column, std::int64_t count,
                    ByteString& out) const {
        column = std::clamp<std::int64_t>(column, 0, marked.length);
        const std::int64_t end =
            column + std::clamp<std::int64_t>(count, 0, marked.length - column);
        const std::int64_t textStart = marked.marks.front().column;
        if (column < textStart) {
            piece.clear();
            arena.Read(ref, 0, static_cast<std::int64_t>(TextArena::PrefixLength(ref)), piece);
            piece.push_back(kHexGroupSeparator);
            out.append(piece, static_cast<std::size_t>(column),
                       static_cast<std::size_t>(std::min(end, textStart) - column));
        }
        if (end <= textStart)
            return;
        const TextMark& mark =
            MarkBefore(marked.marks, std::max(column, textStart), &TextMark::column);
        rendering.clear();
        for (std::int64_t at = mark.byte;
             at < marked.shown &&
             mark.column + static_cast<std::int64_t>(rendering.size()) < end;) {
            piece.clear();
            arena.ReadPacked(ref, at, std::min<std::int64_t>(kRenderPiece + 3, marked.shown - at),
                             piece);
            at += static_cast<std::int64_t>(AppendTextPiece(
                piece, std::min(kRenderPiece, piece.size()), view.encoding, rendering));
        }
        const std::int64_t from = std::max(column, textStart) - mark.column;
        out.append(rendering, static_cast<std::size_t>(from),
                   static_cast<std::size_t>(end - mark.column - from));
    }

    // The last of marks at or before place, by the field place is of; the first when none is.
    static const TextMark& MarkBefore(const std::vector<TextMark>& marks, std::int64_t place,
                                      std::int64_t TextMark::*of) {
        const auto after = std::upper_bound(
            marks.begin(), marks.end(), place,
            [of](std::int64_t wanted, const TextMark& mark) { return wanted < mark.*of; });
        return after == marks.begin() ? *after : *std::prev(after);
    }

    // The length of a long data line in the Hex and Text view, told without rendering it: its
    // prefix and hex view (as the Hex view shows them), two spaces and a character a byte. 0 for
    // any other line.
    std::int64_t HexAndTextLength(LineRef ref) const {
        if (view.view != DataView::HexAndText || !TextArena::Packed(ref))
            return 0;
        const auto prefix = static_cast<std::int64_t>(TextArena::PrefixLength(ref));
        piece.clear();
        arena.Read(ref, 0, prefix, piece);
        if (!IsDataPrefix(piece))
            return 0;
        const std::int64_t hex = arena.Length(ref) - prefix;
        return prefix + hex + 2 + hex / static_cast<std::int64_t>(kHexGroupSize);
    }

    // Appends columns [column, column + count) of such a line, rendered from what lies under
    // them alone: a pane reads what is in view of a line of megabytes.
    void ReadHexAndText(LineRef ref, std::int64_t length, std::int64_t column, std::int64_t count,
                        ByteString& out) const {
        const std::int64_t hexEnd = arena.Length(ref);
        const std::int64_t charactersStart = hexEnd + 2;
        column = std::clamp<std::int64_t>(column, 0, length);
        const std::int64_t end = column + std::clamp<std::int64_t>(count, 0, length - column);
        if (column < hexEnd)
            arena.Read(ref, column, std::min(end, hexEnd) - column, out);
        for (std::int64_t at = std::max(column, hexEnd); at < std::min(end, charactersStart); ++at)
            out.push_back(' ');
        if (end > charactersStart) {
            const std::int64_t first = std::max(column, charactersStart) - charactersStart;
            piece.clear();
            arena.ReadPacked(ref, first, end - charactersStart - first, piece);
            AppendAsciiColumn(piece, out);
        }
    }

    static bool SameRef(LineRef a, LineRef b) {
        return a.chunk == b.chunk && a.offset == b.offset && a.length == b.length &&
               a.hexPrefix == b.hexPrefix;
    }

    // The line as the view shows it when it is a data line in a view other than Hex; null
    // otherwise (the arena's text is the line's).
    const ByteString* Shown(LineRef ref) const {
        if (view.view == DataView::Hex || Empty(ref))
            return nullptr;
        if (!rendered.valid || !SameRef(rendered.ref, ref)) {
            rendered.text.clear();
            rendered.data = RenderInto(ref, view, rendered.text);
            rendered.ref = ref;
            rendered.valid = true;
        }
        return rendered.data ? &rendered.text : nullptr;
    }

    // The mark at or before place, by the field place is of; none when the line has none there.
    TextMark MarkAt(std::int64_t line, std::int64_t place, std::int64_t TextMark::*of) const {
        const auto found = textMarks.find(Place(index.At(line)));
        if (found == textMarks.end() || found->second.marks.empty() ||
            place < found->second.marks.front().*of)
            return {};
        return MarkBefore(found->second.marks, place, of);
    }

    // Keeps the text in memory within the budget: the oldest chunks go to the spool file, and
    // when that fails, the oldest lines that only memory holds go.
    void KeepWithinBudget() {
        arena.Spool();
        // A snapshot still reads the lines that would go.
        if (arena.SpoolFailed() && arena.OverBudget() && snapshots.empty()) {
            arena.SettleSpool();
            DropOldestInMemory();
        }
    }

    bool InMemoryOnly(std::int64_t line) const {
        return line != noteLine && arena.InMemoryOnly(index.At(line));
    }

    // The first line from `from` on that only memory holds. Text goes to the spool file oldest
    // first, so the lines on disk come before the others; where edits broke that order the
    // search lands a little early or late, which costs only a few more lines kept or dropped.
    std::int64_t FirstInMemoryOnly(std::int64_t from, std::int64_t last) const {
        while (from < last) {
            const std::int64_t middle = from + (last - from) / 2;
            if (InMemoryOnly(middle))
                last = middle;
            else
                from = middle + 1;
        }
        return from;
    }

    // Drops the oldest lines that only memory holds until the text in memory is within the
    // budget (the last line always stays); what the spool file holds stays readable. One note
    // line in their place says how many went: the note of the last drop when these lines came
    // right after it, a new one otherwise.
    void DropOldestInMemory() {
        const std::int64_t last = index.Count() - 1;
        const bool afterNote = noteLine >= 0 && noteLine + 1 < last && InMemoryOnly(noteLine + 1);
        const std::int64_t first =
            afterNote ? noteLine + 1 : FirstInMemoryOnly(noteLine >= 0 ? noteLine + 1 : 0, last);
        std::int64_t line = first;
        for (; line < last && arena.OverBudget(); ++line)
            Forget(index.At(line));
        const std::int64_t count = line - first;
        if (count == 0)
            return;
        noteCount = afterNote ? noteCount + count : count;
        const IndexEntry note{Keep(DroppedNote(noteCount)), index.Time(line - 1)};
        ++rewrites;
        if (afterNote) {
            Forget(index.At(noteLine));
            index.Splice(noteLine, count + 1, {&note, 1});
            shiftedOut += count;
        } else {
            index.Splice(first, count, {&note, 1});
            noteLine = first;
            shiftedOut += count - 1;
        }
        firstShifted = noteLine + 1;
    }
};

struct LineStore::Snapshot::Kept {
    std::shared_ptr<Impl> impl;
    std::unique_ptr<LineIndex> own; // the index as it was, once the store changed lines in place
    PaneView view;                  // the view the lines are read in: the store's when taken

    const LineIndex& Index() const { return own ? *own : impl->index; }
};

void LineStore::Impl::BeforeRewrite() {
    for (Snapshot::Kept* kept : snapshots) {
        if (!kept->own)
            kept->own = std::make_unique<LineIndex>(index);
    }
}

LineStore::Snapshot::Snapshot(std::shared_ptr<Impl> impl) : kept_(std::make_unique<Kept>()) {
    const std::int64_t last = impl->index.Count() - 1;
    count_ = impl->Length(last) > 0 ? last + 1 : last;
    bytes_ = impl->textBytes + count_;
    impl->arena.Hold();
    impl->snapshots.push_back(kept_.get());
    kept_->view = impl->view;
    kept_->impl = std::move(impl);
}

LineStore::Snapshot::~Snapshot() {
    Impl& impl = *kept_->impl;
    std::erase(impl.snapshots, kept_.get());
    impl.arena.Unhold();
}

std::int64_t LineStore::Snapshot::LineLength(std::int64_t line) const {
    return kept_->impl->arena.Length(kept_->Index().At(line));
}

void LineStore::Snapshot::AppendLineTo(std::int64_t line, ByteString& out) const {
    kept_->impl->RenderInto(kept_->Index().At(line), kept_->view, out);
}

std::int64_t LineStore::Snapshot::LineTime(std::int64_t line) const {
    return kept_->Index().Time(line);
}

std::unique_ptr<LineStore::Snapshot> LineStore::TakeSnapshot() const {
    return std::unique_ptr<Snapshot>(new Snapshot(impl_));
}

LineStore::LineStore() : LineStore(Limits{}) {}
LineStore::LineStore(Limits limits)
    : impl_(std::make_shared<Impl>(std::move(limits), WallClockNow())) {}
LineStore::~LineStore() = default;

std::int64_t LineStore::LineCount() const {
    return impl_->index.Count();
}

std::int64_t LineStore::LineLength(std::int64_t line) const {
    return impl_->Length(line);
}

std::int64_t LineStore::LineWidth(std::int64_t line) const {
    return impl_->Width(impl_->index.At(line));
}

bool LineStore::HasTabs(std::int64_t line) const {
    const LineRef ref = impl_->index.At(line);
    if (impl_->HexAndTextLength(ref))
        return false;
    if (const Impl::MarkedLine* marked = impl_->Marked(ref))
        return marked->tabs;
    if (const ByteString* text = impl_->Shown(ref))
        return Impl::HasTab(*text);
    return !Impl::Empty(ref) && impl_->tabbed.contains(Impl::Place(ref));
}

std::int64_t LineStore::LongestLine() const {
    const std::int64_t longest = impl_->widths.empty() ? 0 : impl_->widths.rbegin()->first;
    if (impl_->view.view == DataView::Hex)
        return longest;
    // What the other views may take, from the widths kept for the hex view: a byte takes three
    // cells there, at most four in Text (an escape) and four in Hex and Text, which adds its two
    // spaces. Knowing it exactly would mean rendering every line.
    return longest + longest / 3 + 2;
}

TextPos LineStore::Clamp(TextPos pos) const {
    pos.line = std::clamp<std::int64_t>(pos.line, 0, LineCount() - 1);
    pos.column = std::clamp<std::int64_t>(pos.column, 0, LineLength(pos.line));
    return pos;
}

ByteString LineStore::Line(std::int64_t line, std::int64_t column, std::int64_t count) const {
    ByteString text;
    impl_->Read(line, column, count, text);
    return text;
}

std::int64_t LineStore::LineTime(std::int64_t line) const {
    return impl_->index.Time(line);
}

std::int64_t LineStore::HexViewStart(std::int64_t line) const {
    const LineRef ref = impl_->index.At(line);
    if (TextArena::Packed(ref))
        return static_cast<std::int64_t>(TextArena::PrefixLength(ref));
    return static_cast<std::int64_t>(FindHexView(Line(line)).prefix);
}

void LineStore::AppendLineTo(std::int64_t line, ByteString& out, std::int64_t column,
                             std::int64_t count) const {
    impl_->Read(line, column, count, out);
}

ByteString LineStore::Text(TextPos from, TextPos to, std::string_view lineBreak) const {
    if (to < from)
        std::swap(from, to);
    if (from.line == to.line)
        return Line(from.line, from.column, to.column - from.column);
    ByteString text;
    impl_->Read(from.line, from.column, std::numeric_limits<std::int64_t>::max(), text);
    for (std::int64_t line = from.line + 1; line <= to.line; ++line) {
        text.append(lineBreak);
        impl_->Read(line, 0, line == to.line ? to.column : std::numeric_limits<std::int64_t>::max(),
                    text);
    }
    return text;
}

void LineStore::AppendLine(std::string_view line, std::int64_t time) {
    Impl& store = *impl_;
    const std::int64_t last = store.index.Count() - 1;
    // An empty last line is where the line goes; otherwise the operator typed on it and the
    // line starts a line of its own.
    bool intoLast = store.Length(last) == 0;
    const bool endsWithBreak = intoLast;
    ForEachPaneLine(line, [&](std::string_view piece) {
        const IndexEntry entry{store.Keep(piece), time};
        if (intoLast)
            store.index.Set(last, entry);
        else
            store.index.Push(entry);
        intoLast = false;
        // Line by line, so that a block of many lines stays within the budget as it goes in.
        store.KeepWithinBudget();
    });
    if (endsWithBreak)
        store.index.Push({LineRef{}, time});
}

TextPos LineStore::Replace(TextPos from, TextPos to, std::string_view text, std::int64_t time) {
    std::vector<ByteString> lines;
    ForEachPiece(text, "\n", [&](std::string_view piece) { lines.emplace_back(piece); });
    return Replace(from, to, lines, time);
}

TextPos LineStore::Replace(TextPos from, TextPos to, std::span<const ByteString> pieces,
                           std::int64_t time) {
    Impl& store = *impl_;
    if (to < from)
        std::swap(from, to);
    from = Clamp(from);
    to = Clamp(to);
    const bool nothing = pieces.empty() || (pieces.size() == 1 && pieces[0].empty());
    if (from == to && nothing)
        return from;
    const ByteString head = Line(from.line, 0, from.column);
    const ByteString tail = Line(to.line, to.column);
    // A line that keeps text of the line it was made from keeps that line's time: the first line
    // holds what stood before the edit, the last what stood after it. A line of nothing but what
    // the operator typed gets the edit's time.
    const std::int64_t headTime = store.index.Time(from.line);
    const std::int64_t tailTime = tail.empty() ? time : store.index.Time(to.line);
    ++store.rewrites;
    store.BeforeRewrite();

    std::vector<IndexEntry> lines;
    std::int64_t endColumn = 0;
    const std::size_t count = std::max<std::size_t>(1, pieces.size());
    for (std::size_t i = 0; i < count; ++i) {
        const bool first = i == 0;
        const bool last = i + 1 == count;
        const std::string_view piece = i < pieces.size() ? pieces[i] : std::string_view();
        ByteString line;
        line.reserve((first ? head.size() : 0) + piece.size() + (last ? tail.size() : 0));
        if (first)
            line += head;
        line += piece;
        if (last) {
            endColumn = static_cast<std::int64_t>(line.size());
            line += tail;
        }
        const std::int64_t lineTime = first && !head.empty() ? headTime : last ? tailTime : time;
        lines.push_back({store.Keep(line), lineTime});
        // Lines may only be dropped once the edit is in the index; spooling may go on meanwhile.
        store.arena.Spool();
    }

    for (std::int64_t line = from.line; line <= to.line; ++line)
        store.Forget(store.index.At(line));
    store.index.Splice(from.line, to.line - from.line + 1, lines);
    // An edited note is the operator's text now; one below the edit moves with its lines.
    if (store.noteLine >= from.line && store.noteLine <= to.line)
        store.noteLine = -1;
    else if (store.noteLine > to.line)
        store.noteLine += static_cast<std::int64_t>(lines.size()) - (to.line - from.line + 1);

    const std::int64_t shiftedBefore = store.shiftedOut;
    store.KeepWithinBudget();
    std::int64_t endLine = from.line + static_cast<std::int64_t>(lines.size()) - 1;
    if (store.shiftedOut != shiftedBefore && endLine >= store.firstShifted) {
        // Among the lines dropped, the place is the note's.
        endLine = std::max(endLine - (store.shiftedOut - shiftedBefore), store.firstShifted - 1);
        if (endLine < store.firstShifted)
            return {endLine, 0};
    }
    return TextPos{endLine, endColumn};
}

void LineStore::Clear() {
    // A new arena: the spool file is closed, and a failed one is tried afresh.
    const std::int64_t shiftedOut = impl_->shiftedOut;
    const std::uint64_t rewrites = impl_->rewrites;
    const PaneView view = impl_->view;
    // A snapshot keeps the old one alive.
    impl_ = std::make_shared<Impl>(impl_->limits, WallClockNow());
    impl_->view = view;
    impl_->shiftedOut = shiftedOut;
    impl_->rewrites = rewrites + 1;
}

void LineStore::SetView(PaneView view) {
    if (view == impl_->view)
        return;
    impl_->view = view;
    impl_->rendered.valid = false;
    impl_->textMarks.clear();
    ++impl_->rewrites;
}

PaneView LineStore::View() const {
    return impl_->view;
}

bool LineStore::InDataView(std::int64_t line) const {
    const LineRef ref = impl_->index.At(line);
    return impl_->HexAndTextLength(ref) || impl_->Marked(ref) || impl_->Shown(ref) != nullptr;
}

std::optional<std::int64_t> LineStore::DataBytes(std::int64_t line, ByteString& bytes) const {
    const LineRef ref = impl_->index.At(line);
    if (Impl::Empty(ref))
        return std::nullopt;
    ByteString& kept = impl_->kept;
    kept.clear();
    impl_->arena.ReadKept(ref, kept);
    const std::string_view text = kept;
    if (TextArena::Packed(ref)) {
        const std::size_t prefixLength = TextArena::PrefixLength(ref);
        if (!IsDataPrefix(text.substr(0, prefixLength)))
            return std::nullopt;
        bytes.assign(text.substr(prefixLength));
        return static_cast<std::int64_t>(prefixLength);
    }
    if (const std::optional<std::size_t> prefix = DataLineBytes(text, bytes))
        return static_cast<std::int64_t>(*prefix);
    return std::nullopt;
}

std::optional<LineStore::DataLine> LineStore::DataLineAt(std::int64_t line) const {
    const LineRef ref = impl_->index.At(line);
    if (!TextArena::Packed(ref)) {
        // A hex view of a few bytes kept as text, or no data line: told by the line as shown,
        // which is kept from one reader to the next.
        if (impl_->view.view != DataView::Hex && !impl_->Shown(ref))
            return std::nullopt;
        ByteString bytes;
        const std::optional<std::int64_t> prefix = DataBytes(line, bytes);
        if (!prefix)
            return std::nullopt;
        return DataLine{impl_->kept.substr(0, static_cast<std::size_t>(*prefix)),
                        static_cast<std::int64_t>(bytes.size())};
    }
    const auto prefixLength = static_cast<std::int64_t>(TextArena::PrefixLength(ref));
    DataLine data;
    impl_->arena.Read(ref, 0, prefixLength, data.prefix);
    if (!IsDataPrefix(data.prefix))
        return std::nullopt;
    data.bytes =
        (impl_->arena.Length(ref) - prefixLength) / static_cast<std::int64_t>(kHexGroupSize);
    return data;
}

void LineStore::AppendDataBytes(std::int64_t line, std::int64_t from, std::int64_t count,
                                ByteString& out) const {
    const LineRef ref = impl_->index.At(line);
    if (TextArena::Packed(ref)) {
        impl_->arena.ReadPacked(ref, from, count, out);
        return;
    }
    ByteString bytes;
    if (!DataBytes(line, bytes))
        return;
    from = std::clamp<std::int64_t>(from, 0, static_cast<std::int64_t>(bytes.size()));
    out.append(
        std::string_view(bytes).substr(static_cast<std::size_t>(from),
                                       static_cast<std::size_t>(std::max<std::int64_t>(count, 0))));
}

LineStore::TextMark LineStore::TextViewMark(std::int64_t line, std::int64_t column) const {
    return impl_->MarkAt(line, column, &TextMark::column);
}

LineStore::TextMark LineStore::TextViewMarkAtCell(std::int64_t line, std::int64_t cell) const {
    return impl_->MarkAt(line, cell, &TextMark::cell);
}

std::uint64_t LineStore::Rewrites() const {
    return impl_->rewrites;
}

std::int64_t LineStore::LinesShiftedOut() const {
    return impl_->shiftedOut;
}

std::size_t LineStore::BytesInMemory() const {
    return impl_->arena.BytesInMemory() + impl_->index.BytesInMemory();
}

std::size_t LineStore::BytesSpooled() const {
    return impl_->arena.BytesSpooled();
}

} // namespace corvane

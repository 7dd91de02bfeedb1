// SPDX-License-Identifier: GPL-3.0-or-later
// The line store beyond its memory budget: older text in the spool file, read back exactly, and
// when the spool file fails, the newest lines kept and one note on how many older ones went.
#include "filesizelimit.h"
#include "logstore/linestore.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using corvane::LineStore;
using corvane::TextPos;

namespace {

constexpr std::size_t kBudget = 64 << 10;

// Room beyond the budget for what is not text: the line records (20 bytes with their times), the
// table of chunks and the spool file's page cache.
std::size_t MemoryBound(const LineStore& store) {
    return kBudget + 24 * static_cast<std::size_t>(store.LineCount()) + (256 << 10);
}

// A line whose bytes say where they are, so that a piece read from the wrong place shows.
std::string NumberedLine(std::size_t number, std::size_t length) {
    std::string line;
    while (line.size() < length)
        line += " " + std::to_string(number) + ":" + std::to_string(line.size());
    line.resize(length);
    return line;
}

// Short lines, lines about a chunk long and longer, and one of 3 MB, as the program appends them.
std::vector<std::string> MixedLines() {
    std::vector<std::string> lines;
    for (std::size_t number = 0; number < 6000; ++number) {
        std::size_t length = 20 + number % 90;
        if (number % 97 == 0)
            length = 900 + number % 5000; // around the 4 KiB chunk of this budget
        if (number == 3000)
            length = 3 << 20;
        lines.push_back(NumberedLine(number, length));
    }
    return lines;
}

void ExpectLines(const LineStore& store, const std::vector<std::string>& lines,
                 std::int64_t first) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::int64_t line = first + static_cast<std::int64_t>(i);
        ASSERT_EQ(store.LineLength(line), static_cast<std::int64_t>(lines[i].size())) << line;
        ASSERT_TRUE(store.Line(line) == lines[i]) << "line " << line;
    }
}

} // namespace

TEST(LineStoreSpool, EveryLineReadsBackWithMemoryBounded) {
    TempFolder folder;
    LineStore store({.memoryBudget = kBudget, .spoolFolder = folder.Path().string()});
    const std::vector<std::string> lines = MixedLines();
    std::size_t mostInMemory = 0;
    for (const std::string& line : lines) {
        store.AppendLine(line, 0);
        mostInMemory = std::max(mostInMemory, store.BytesInMemory());
    }
    EXPECT_LE(mostInMemory, MemoryBound(store));
    EXPECT_GT(store.BytesSpooled(), std::size_t{3} << 20);
    EXPECT_EQ(folder.Entries(), 0u) << "the spool file has no name";

    ExpectLines(store, lines, 0);
    EXPECT_EQ(store.LongestLine(), 3 << 20);
    // Parts of the 3 MB line, and of a line about a chunk long, from the disk.
    for (std::int64_t column : {0, 1, 4095, 4096, 65535, 65536, (3 << 20) - 700, (3 << 20) - 1})
        ASSERT_EQ(store.Line(3000, column, 1000), lines[3000].substr(column, 1000)) << column;
    ASSERT_EQ(store.Line(97 * 7, 850, 100), lines[97 * 7].substr(850, 100));
    EXPECT_LE(store.BytesInMemory(), MemoryBound(store)) << "reading keeps memory bounded too";

    const TextPos from{2990, 5};
    const TextPos to{3010, 7};
    std::string expected = lines[2990].substr(5);
    for (std::size_t line = 2991; line <= 3010; ++line)
        expected += "\n" + lines[line];
    expected.resize(expected.size() - (lines[3010].size() - 7));
    EXPECT_TRUE(store.Text(to, from) == expected);
}

TEST(LineStoreSpool, EditsOnSpooledLines) {
    TempFolder folder;
    LineStore store({.memoryBudget = kBudget, .spoolFolder = folder.Path().string()});
    std::vector<std::string> lines = MixedLines();
    for (const std::string& line : lines)
        store.AppendLine(line, 0);

    // Typing in the middle of the 3 MB line, then joining lines across spooled chunks.
    EXPECT_EQ(store.Replace({3000, 1 << 20}, {3000, 1 << 20}, "typed"),
              (TextPos{3000, (1 << 20) + 5}));
    lines[3000].insert(1 << 20, "typed");
    EXPECT_EQ(store.Replace({10, 3}, {500, 8}, "a\nb"), (TextPos{11, 1}));
    const std::string joined = lines[10].substr(0, 3) + "a";
    const std::string rest = "b" + lines[500].substr(8);
    lines.erase(lines.begin() + 10, lines.begin() + 501);
    lines.insert(lines.begin() + 10, {joined, rest});
    lines.emplace_back();
    ExpectLines(store, lines, 0);
    EXPECT_LE(store.BytesInMemory(), MemoryBound(store));

    // Everything deleted: the chunks that no line uses are freed, on disk too.
    store.Replace({0, 0}, store.End(), "");
    EXPECT_EQ(store.LineCount(), 1);
    EXPECT_EQ(store.BytesSpooled(), 0u);
}

TEST(LineStoreSpool, DefaultFolderIsTheUsersCacheAndKeepsNothing) {
    TempFolder folder;
    const char* previous = std::getenv("XDG_CACHE_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_CACHE_HOME", folder.Path().c_str(), 1);
    {
        LineStore store({.memoryBudget = kBudget, .spoolFolder = {}});
        for (std::size_t number = 0; number < 5000; ++number)
            store.AppendLine(NumberedLine(number, 60), 0);
        EXPECT_GT(store.BytesSpooled(), 0u);
        EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "corvane"));
        EXPECT_EQ(folder.Entries(), 0u);
        EXPECT_EQ(store.Line(7), NumberedLine(7, 60));
    }
    EXPECT_EQ(folder.Entries(), 0u);
    previous ? ::setenv("XDG_CACHE_HOME", saved.c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
}

namespace {

std::string Note(std::size_t dropped) {
    return "[" + std::to_string(dropped) + " older lines dropped: they could not be kept on disk]";
}

// Checks the store holds lines 0..appended-1 but for one run of them, whose place a note takes
// with their count; returns the note's line.
std::int64_t ExpectOneRunDropped(const LineStore& store, std::size_t appended) {
    const std::int64_t kept = store.LineCount() - 2; // less the note and the empty last line
    const std::size_t dropped = appended - static_cast<std::size_t>(kept);
    std::int64_t note = 0;
    while (note < store.LineCount() && store.Line(note) == NumberedLine(note, 40 + note % 50))
        ++note;
    EXPECT_EQ(store.Line(note), Note(dropped));
    EXPECT_EQ(store.LinesShiftedOut(), static_cast<std::int64_t>(dropped) - 1);
    for (std::int64_t line = note + 1; line <= kept; ++line) {
        const std::size_t number = dropped + static_cast<std::size_t>(line) - 1;
        EXPECT_EQ(store.Line(line), NumberedLine(number, 40 + number % 50)) << line;
        if (::testing::Test::HasFailure())
            break;
    }
    EXPECT_EQ(store.Line(kept + 1), "");
    return note;
}

// Appends numbered lines to a store whose spool file fails at some point and checks what is left:
// what the spool file took, exactly; one note with the count of the lines dropped; the newest
// lines exactly. Returns the note's line.
std::int64_t ExpectDropsWhenSpoolFails(LineStore& store, std::size_t appended = 20000) {
    std::int64_t shiftedBefore = 0;
    std::size_t mostInMemory = 0;
    for (std::size_t number = 0; number < appended; ++number) {
        store.AppendLine(NumberedLine(number, 40 + number % 50), 0);
        EXPECT_GE(store.LinesShiftedOut(), shiftedBefore);
        shiftedBefore = store.LinesShiftedOut();
        mostInMemory = std::max(mostInMemory, store.BytesInMemory());
    }
    EXPECT_LE(mostInMemory, MemoryBound(store));
    EXPECT_GT(store.LinesShiftedOut(), 1000);
    EXPECT_GT(store.BytesInMemory(), kBudget / 2) << "the budget is still used";
    return ExpectOneRunDropped(store, appended);
}

} // namespace

TEST(LineStoreSpoolFailure, FolderThatCannotBeWritten) {
    TempFolder folder;
    std::ofstream(folder.Path() / "file") << "not a folder";
    LineStore store(
        {.memoryBudget = kBudget, .spoolFolder = (folder.Path() / "file/spool").string()});
    EXPECT_EQ(ExpectDropsWhenSpoolFails(store), 0);
    EXPECT_EQ(store.BytesSpooled(), 0u);
}

// The disk fills up part way (a file size limit fails the writes as a full disk does): the text
// already on disk stays, only what memory alone holds is dropped, and once there is room again
// the spool file takes the text again.
TEST(LineStoreSpoolFailure, WritesFailingPartWayKeepWhatIsOnDiskAndTryAgain) {
    TempFolder folder;
    LineStore store({.memoryBudget = kBudget, .spoolFolder = folder.Path().string()});
    std::int64_t note = 0;
    std::size_t spooled = 0;
    {
        const FileSizeLimit limit(100 << 10);
        note = ExpectDropsWhenSpoolFails(store);
        spooled = store.BytesSpooled();
    }
    EXPECT_GT(spooled, 0u);
    EXPECT_GT(note, 1000) << "the spooled lines before the note are kept";
    // Room again: the spool file is tried again within a budget's worth of text (3000 of these
    // lines are three budgets); from then on it takes the text and nothing more is dropped.
    std::size_t number = 20000;
    for (; number < 23000; ++number)
        store.AppendLine(NumberedLine(number, 40 + number % 50), 0);
    const std::int64_t shifted = store.LinesShiftedOut();
    const std::size_t appended = 40000;
    for (; number < appended; ++number)
        store.AppendLine(NumberedLine(number, 40 + number % 50), 0);
    EXPECT_GT(store.BytesSpooled(), spooled + 8 * kBudget);
    EXPECT_EQ(store.LinesShiftedOut(), shifted);
    EXPECT_EQ(ExpectOneRunDropped(store, appended), note);
}

TEST(LineStoreSpoolFailure, TheNoteMovesWithAnEditAboveItAndCountsOn) {
    TempFolder folder;
    const FileSizeLimit limit(100 << 10);
    LineStore store({.memoryBudget = kBudget, .spoolFolder = folder.Path().string()});
    std::size_t number = 0;
    const auto append = [&] {
        store.AppendLine(NumberedLine(number, 40 + number % 50), 0);
        ++number;
    };
    while (store.LinesShiftedOut() == 0)
        append();
    store.Replace({0, 0}, {2, 0}, ""); // the operator deletes two spooled lines
    const std::int64_t shifted = store.LinesShiftedOut();
    while (store.LinesShiftedOut() < shifted + 1000)
        append();
    std::int64_t note = -1;
    for (std::int64_t line = 0; line < store.LineCount(); ++line) {
        if (store.Line(line).starts_with("[")) {
            EXPECT_EQ(note, -1) << "a second note at " << line;
            note = line;
        }
    }
    ASSERT_GT(note, 0);
    // Line i above the note holds number i + 2; the note's count of lines follows it, and then
    // the line after those.
    const auto dropped = static_cast<std::size_t>(store.LinesShiftedOut()) + 1;
    EXPECT_EQ(store.Line(note - 1), NumberedLine(note + 1, 40 + (note + 1) % 50));
    EXPECT_EQ(store.Line(note), Note(dropped));
    const std::size_t next = static_cast<std::size_t>(note) + 2 + dropped;
    EXPECT_EQ(store.Line(note + 1), NumberedLine(next, 40 + next % 50));
}

TEST(LineStoreSpoolFailure, OneNoteAfterTheOperatorEditedIt) {
    TempFolder folder;
    std::ofstream(folder.Path() / "file") << "not a folder";
    LineStore store({.memoryBudget = kBudget, .spoolFolder = (folder.Path() / "file").string()});
    std::size_t number = 0;
    while (store.LinesShiftedOut() == 0)
        store.AppendLine(NumberedLine(number++, 60), 0);
    store.Replace({0, 0}, {1, 0}, ""); // the operator deletes the note
    const std::int64_t shifted = store.LinesShiftedOut();
    while (store.LinesShiftedOut() == shifted)
        store.AppendLine(NumberedLine(number++, 60), 0);
    std::int64_t notes = 0;
    for (std::int64_t line = 0; line < store.LineCount(); ++line)
        notes += store.Line(line).starts_with("[") ? 1 : 0;
    EXPECT_EQ(notes, 1);
    EXPECT_TRUE(store.Line(0).starts_with("["));
    EXPECT_EQ(store.Line(store.LineCount() - 2), NumberedLine(number - 1, 60));
}

TEST(LineStoreSpool, HexViewsReadBackFromTheSpoolFile) {
    TempFolder folder;
    LineStore store({.memoryBudget = kBudget, .spoolFolder = folder.Path().string()});
    std::vector<std::string> lines;
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::size_t number = 0; number < 20000; ++number) {
        std::string line = "-> (127.0.0." + std::to_string(number % 256) + ") :";
        for (std::size_t byte = 0; byte < 4 + number % 40; ++byte) {
            const std::size_t value = (number * 31 + byte * 7) % 256;
            line += {' ', kDigits[value / 16], kDigits[value % 16]};
        }
        store.AppendLine(line, 0);
        lines.push_back(line);
    }
    EXPECT_GT(store.BytesSpooled(), kBudget * 4);
    ExpectLines(store, lines, 0);
    for (std::size_t line = 0; line < lines.size(); line += 97)
        for (std::int64_t column = 0; column < static_cast<std::int64_t>(lines[line].size());
             column += 5)
            ASSERT_EQ(store.Line(line, column, 7), lines[line].substr(column, 7))
                << line << " " << column;
    // An edit in the middle of a packed line keeps what is around it.
    store.Replace({5, 20}, {5, 21}, "x");
    lines[5][20] = 'x';
    EXPECT_EQ(store.Line(5), lines[5]);
    EXPECT_EQ(store.Line(4), lines[4]);
    EXPECT_EQ(store.Line(6), lines[6]);
}

TEST(LineStoreSpool, LongHexLinesKeptAsTheirBytesInMemoryAndSpooled) {
    // A serial read of megabytes is one line: kept as its raw bytes, about a third of its text,
    // in a chunk of its own, and read back in parts from memory and from the spool file alike.
    TempFolder folder;
    const std::size_t budget = 4 << 20;
    LineStore store({.memoryBudget = budget, .spoolFolder = folder.Path().string()});
    static const char kDigits[] = "0123456789ABCDEF";
    std::vector<std::string> lines;
    for (std::size_t number = 0; number < 6; ++number) {
        std::string line = "-> ";
        for (std::size_t byte = 0; byte < (1 << 20) + number; ++byte) {
            const std::size_t value = (number * 131 + byte * 7 + byte / 256) % 256;
            line += {' ', kDigits[value / 16], kDigits[value % 16]};
        }
        store.AppendLine(line, 0);
        lines.push_back(std::move(line));
        EXPECT_LT(store.BytesInMemory(), budget + budget / 4 + (2 << 20)) << number;
    }
    EXPECT_GT(store.BytesSpooled(), 0u);
    EXPECT_LT(store.BytesSpooled(), lines.size() * (1 << 20) + (64 << 10));
    ExpectLines(store, lines, 0);
    for (std::size_t line = 0; line < lines.size(); ++line)
        for (std::int64_t column :
             std::initializer_list<std::int64_t>{0, 1, 2, 3, 4, 5, 1000, 3 * (1 << 19) + 1,
                                                 static_cast<std::int64_t>(lines[line].size()) - 5})
            ASSERT_EQ(store.Line(line, column, 11), lines[line].substr(column, 11))
                << line << " " << column;
    EXPECT_EQ(store.LongestLine(), static_cast<std::int64_t>(lines.back().size()));
}

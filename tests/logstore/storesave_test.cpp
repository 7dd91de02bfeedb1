// SPDX-License-Identifier: GPL-3.0-or-later
// Save of a whole store: UTF-8 lines with or without times, spooled lines included; the target
// appears only when complete, and a cancel or a failure leaves no file behind.
#include "logstore/storesave.h"

#include "logstore/filereplace.h"

#include "core/walltime.h"
#include "filesizelimit.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace corvane;

namespace {

constexpr std::int64_t kBase = 1'796'000'000'000'000;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the save's steps as the event loop would, slice after slice, until it is over.
StoreSave::State Finish(StoreSave& save) {
    while (!save.Step(std::chrono::steady_clock::now() + std::chrono::milliseconds(8))) {
    }
    return save.CurrentState();
}

std::string Numbered(int number) {
    return "-> (127.0.0.1) : " + std::to_string(number) + " 0D 0A 01 02 03";
}

class Save : public ::testing::Test {
protected:
    std::string Target() const { return (folder.Path() / "saved.txt").string(); }
    TempFolder folder;
};

TEST_F(Save, WritesEveryLineAsUtf8WithItsTimeAndNoEmptyLastLine) {
    LineStore store;
    // "Ошибка" in Windows-1251, a hex line, and an empty line in between.
    store.AppendLine("\xCE\xF8\xE8\xE1\xEA\xE0", kBase);
    store.AppendLine("", kBase + 1500);
    store.AppendLine("-> 0D 0A", kBase + 2'000'000);
    StoreSave save(store, Target(), {.withTimes = true});
    ASSERT_EQ(Finish(save), StoreSave::State::Done);

    ByteString expected;
    LocalTimeText times;
    for (auto [time, text] : {std::pair{kBase, "Ошибка"}, std::pair{kBase + 1500, ""},
                              std::pair{kBase + 2'000'000, "-> 0D 0A"}}) {
        times.AppendIso(expected, time);
        expected += '\t';
        expected += text;
        expected += '\n';
    }
    EXPECT_EQ(ReadFile(Target()), expected);
    EXPECT_EQ(save.LinesWritten(), 3);
    EXPECT_EQ(folder.Entries(), 1u) << "nothing beside the target";

    // Without times; a last line the operator typed (no line break after it) is written too.
    store.Replace(store.End(), store.End(), "typed", kBase);
    StoreSave plain(store, Target(), {});
    ASSERT_EQ(Finish(plain), StoreSave::State::Done);
    EXPECT_EQ(ReadFile(Target()), "Ошибка\n\n-> 0D 0A\ntyped\n");

    // A lone LF or CR inside a line is written as the pane shows it: the file has the pane's
    // lines and no others.
    store.Clear();
    store.AppendLine("a\nb\r\nc\rd", kBase);
    StoreSave marks(store, Target(), {});
    ASSERT_EQ(Finish(marks), StoreSave::State::Done);
    EXPECT_EQ(ReadFile(Target()), "a␊b\nc␍d\n");
}

TEST_F(Save, WritesSpooledLinesAndOnlyTheLinesThereWereWhenItBegan) {
    TempFolder spool;
    LineStore store({.memoryBudget = 64 << 10, .spoolFolder = spool.Path().string()});
    constexpr int kLines = 40'000;
    std::string expected;
    for (int number = 0; number < kLines; ++number) {
        store.AppendLine(Numbered(number), kBase + number);
        expected += Numbered(number) + "\n";
    }
    ASSERT_GT(store.BytesSpooled(), std::size_t{512} << 10);
    StoreSave save(store, Target(), {});
    // Lines go on arriving between the slices, as they do in the window.
    int extra = 0;
    while (!save.Step(std::chrono::steady_clock::now() + std::chrono::milliseconds(1)))
        store.AppendLine("late " + std::to_string(extra++), kBase);
    ASSERT_EQ(save.CurrentState(), StoreSave::State::Done);
    EXPECT_EQ(save.LinesWritten(), kLines);
    EXPECT_EQ(save.LinesToWrite(), kLines);
    EXPECT_TRUE(ReadFile(Target()) == expected);
}

// Whatever the pane does while the save runs (Clear, with nothing after it; edits; lines dropped
// for want of disk), the file holds the lines as they were when it began, spooled ones included.
TEST_F(Save, WritesTheLinesAsTheyWereWhateverTheStoreDoesMeanwhile) {
    TempFolder spool;
    const LineStore::Limits limits{.memoryBudget = 64 << 10, .spoolFolder = spool.Path().string()};
    constexpr int kLines = 30'000;
    std::string expected;
    for (int number = 0; number < kLines; ++number)
        expected += Numbered(number) + "\n";
    const auto fill = [&](LineStore& store) {
        for (int number = 0; number < kLines; ++number)
            store.AppendLine(Numbered(number), kBase + number);
        ASSERT_GT(store.BytesSpooled(), std::size_t{256} << 10);
    };
    const std::vector<std::pair<const char*, std::function<void(LineStore&)>>> meanwhile = {
        {"Clear", [](LineStore& store) { store.Clear(); }},
        {"edits",
         [](LineStore& store) {
             store.Replace({0, 0}, store.End(), "all replaced");
             store.Replace({0, 3}, {0, 3}, "x\ny");
         }},
        {"Clear, then new lines",
         [](LineStore& store) {
             store.Clear();
             for (int number = 0; number < 20'000; ++number)
                 store.AppendLine("after " + std::to_string(number), kBase);
         }},
    };
    for (const auto& [what, change] : meanwhile) {
        SCOPED_TRACE(what);
        LineStore store(limits);
        fill(store);
        std::size_t held = 0;
        {
            StoreSave save(store, Target(), {});
            ASSERT_FALSE(save.Step(std::chrono::steady_clock::time_point::min()));
            change(store);
            ASSERT_EQ(Finish(save), StoreSave::State::Done);
            EXPECT_EQ(save.LinesWritten(), kLines);
            EXPECT_TRUE(ReadFile(Target()) == expected);
            held = store.BytesInMemory();
        }
        // The text the store let go of while the save read it is given back when the save goes.
        EXPECT_LE(store.BytesInMemory(), held);
        if (std::string_view(what) == "edits") {
            EXPECT_LT(store.BytesInMemory(), held);
        }
    }
}

// Progress goes by bytes: a long line weighs what it holds.
TEST_F(Save, CountsItsProgressInTheStoresBytes) {
    LineStore store;
    store.AppendLine("short", kBase);
    store.AppendLine(std::string(std::size_t{3} << 20, 'x'), kBase);
    store.AppendLine("", kBase);
    StoreSave save(store, Target(), {});
    const std::int64_t total = 5 + (std::int64_t{3} << 20) + 3;
    EXPECT_EQ(save.StoreBytesToWrite(), total);
    EXPECT_EQ(save.LinesToWrite(), 3);
    ASSERT_EQ(Finish(save), StoreSave::State::Done);
    EXPECT_EQ(save.StoreBytesWritten(), total);
    EXPECT_EQ(save.BytesWritten(), total);
}

TEST_F(Save, ACancelLeavesTheTargetAsItWasAndNoFileBeside) {
    {
        std::ofstream old(Target());
        old << "the old file\n";
    }
    LineStore store;
    for (int number = 0; number < 100'000; ++number)
        store.AppendLine(Numbered(number), kBase);
    StoreSave save(store, Target(), {});
    EXPECT_FALSE(save.Step(std::chrono::steady_clock::time_point::min()));
    save.Cancel();
    EXPECT_EQ(Finish(save), StoreSave::State::Cancelled);
    EXPECT_EQ(ReadFile(Target()), "the old file\n");
    EXPECT_EQ(folder.Entries(), 1u);

    // Destroyed while running: the same.
    {
        StoreSave dropped(store, Target(), {});
        EXPECT_FALSE(dropped.Step(std::chrono::steady_clock::time_point::min()));
    }
    EXPECT_EQ(ReadFile(Target()), "the old file\n");
    EXPECT_EQ(folder.Entries(), 1u);
}

TEST_F(Save, AFullDiskFailsWithTheFileAndTheReasonAndLeavesNothing) {
    LineStore store;
    for (int number = 0; number < 20'000; ++number)
        store.AppendLine(Numbered(number), kBase);
    StoreSave::State state;
    {
        // The file size limit stands in for a full disk: the write fails part way.
        const FileSizeLimit limit(64 << 10);
        StoreSave save(store, Target(), {});
        state = Finish(save);
        EXPECT_EQ(save.Failure().file, Target());
        EXPECT_EQ(save.Failure().reason, "File too large");
    }
    EXPECT_EQ(state, StoreSave::State::Failed);
    EXPECT_EQ(folder.Entries(), 0u) << "no partial file";

    // A folder that does not exist: failed from the start.
    const std::string nowhere = (folder.Path() / "missing" / "saved.txt").string();
    StoreSave save(store, nowhere, {});
    EXPECT_EQ(save.CurrentState(), StoreSave::State::Failed);
    EXPECT_TRUE(save.Step(std::chrono::steady_clock::now()));
    EXPECT_EQ(save.Failure().file, nowhere);
    EXPECT_EQ(save.Failure().reason, "No such file or directory");
}

// What stands at the name is replaced as a file of the operator's: through links, with its
// permissions; what is no regular file is refused and left alone.
TEST_F(Save, ReplacesTheFileALinkLeadsToWithItsPermissionsAndRefusesWhatIsNoFile) {
    LineStore store;
    store.AppendLine("new text", kBase);
    const auto path = [&](const char* name) { return (folder.Path() / name).string(); };
    std::filesystem::create_directory(folder.Path() / "sub");
    {
        std::ofstream old(path("sub/real.txt"));
        old << "old text\n";
    }
    std::filesystem::permissions(path("sub/real.txt"), std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_write);
    // A relative link to a link.
    std::filesystem::create_symlink("sub/real.txt", path("first.txt"));
    std::filesystem::create_symlink("first.txt", path("link.txt"));
    {
        StoreSave save(store, path("link.txt"), {});
        ASSERT_EQ(Finish(save), StoreSave::State::Done);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.txt")));
    EXPECT_TRUE(std::filesystem::is_symlink(path("first.txt")));
    EXPECT_EQ(ReadFile(path("sub/real.txt")), "new text\n");
    struct stat status {};
    ASSERT_EQ(::stat(path("sub/real.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(status.st_uid, ::getuid());

    // A link to nothing yet: the file it names is made.
    std::filesystem::create_symlink("sub/made.txt", path("dangling.txt"));
    {
        StoreSave save(store, path("dangling.txt"), {});
        ASSERT_EQ(Finish(save), StoreSave::State::Done);
    }
    EXPECT_EQ(ReadFile(path("sub/made.txt")), "new text\n");

    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    const std::size_t entries = folder.Entries();
    for (auto [name, reason] :
         {std::pair{"fifo", "Not a regular file"}, std::pair{"sub", "Is a directory"}}) {
        StoreSave save(store, path(name), {});
        EXPECT_EQ(save.CurrentState(), StoreSave::State::Failed);
        EXPECT_EQ(save.Failure().file, path(name));
        EXPECT_EQ(save.Failure().reason, reason);
    }
    EXPECT_TRUE(std::filesystem::is_fifo(path("fifo")));
    EXPECT_EQ(folder.Entries(), entries) << "nothing made beside";
}

TEST_F(Save, FileMadeInMemoryReplacesWholeOrFailsLeavingNothing) {
    const std::string target = Target();
    {
        std::ofstream old(target);
        old << "old text that is longer\n";
    }
    EXPECT_EQ(ReplaceFileWith(target, std::string_view("a\0b", 3)), std::nullopt);
    EXPECT_EQ(ReadFile(target), std::string("a\0b", 3));
    const std::size_t entries = folder.Entries();
    std::filesystem::create_directory(folder.Path() / "sub");
    const auto error = ReplaceFileWith((folder.Path() / "sub").string(), "x");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->reason, "Is a directory");
    EXPECT_EQ(folder.Entries(), entries) << "no file made beside";
}

} // namespace

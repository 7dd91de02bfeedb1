// SPDX-License-Identifier: GPL-3.0-or-later
// Save of a whole store: UTF-8 lines with or without times, spooled lines included; the target
// appears only when complete, and a cancel or a failure leaves no file behind.
#include "logstore/storesave.h"

#include "core/walltime.h"
#include "filesizelimit.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

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

TEST_F(Save, StartsAgainWhenTheStoreIsClearedMeanwhile) {
    LineStore store;
    for (int number = 0; number < 50'000; ++number)
        store.AppendLine(Numbered(number), kBase);
    StoreSave save(store, Target(), {});
    EXPECT_FALSE(save.Step(std::chrono::steady_clock::time_point::min()));
    store.Clear();
    store.AppendLine("after the clear", kBase);
    ASSERT_EQ(Finish(save), StoreSave::State::Done);
    EXPECT_EQ(ReadFile(Target()), "after the clear\n");
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

} // namespace

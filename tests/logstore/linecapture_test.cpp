// SPDX-License-Identifier: GPL-3.0-or-later
// Capture of lines to a file: each line with its time, as the pane breaks it; written in the
// background without Stop; a write error stops the capture and is reported once, later.
#include "logstore/linecapture.h"

#include "filesizelimit.h"
#include "tempfolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace corvane;

namespace {

constexpr std::int64_t kBase = 1'796'000'000'000'000;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the event loop until done() or for at most ten seconds; returns done().
bool RunEventsUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10'000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

class Capture : public ::testing::Test {
protected:
    std::string Path() const { return (folder.Path() / "capture.log").string(); }
    TempFolder folder;
    std::vector<FileError> errors;
    LineCapture capture{[this](const FileError& error) { errors.push_back(error); }};
};

TEST_F(Capture, WritesEachLineWithItsTimeFromStartToStop) {
    capture.Add("before the start", kBase);
    ASSERT_FALSE(capture.Start(Path()).has_value());
    EXPECT_TRUE(capture.Capturing());
    EXPECT_EQ(capture.Path(), Path());
    capture.Add("\xCE\xF8\xE8\xE1\xEA\xE0", kBase); // "Ошибка" in Windows-1251
    // Split as the pane splits it; a lone LF stays in its line, as the pane's mark.
    capture.Add("two\r\nlines\nnot three", kBase + 1500);
    capture.Stop();
    capture.Add("after the stop", kBase);

    ByteString expected;
    LocalTimeText times;
    for (auto [time, text] : {std::pair{kBase, "Ошибка"}, std::pair{kBase + 1500, "two"},
                              std::pair{kBase + 1500, "lines␊not three"}}) {
        times.AppendIso(expected, time);
        expected += '\t';
        expected += text;
        expected += '\n';
    }
    EXPECT_EQ(ReadFile(Path()), expected);
    EXPECT_FALSE(capture.Capturing());

    // Started again on the same file: emptied, unless appending.
    ASSERT_FALSE(capture.Start(Path(), true).has_value());
    capture.Add("more", kBase);
    capture.Stop();
    EXPECT_EQ(ReadFile(Path()).size(), expected.size() + 30 + 5);
    ASSERT_FALSE(capture.Start(Path()).has_value());
    capture.Stop();
    EXPECT_EQ(ReadFile(Path()), "");
    EXPECT_TRUE(errors.empty());
}

TEST_F(Capture, LinesReachTheFileWhileTheCaptureRuns) {
    ASSERT_FALSE(capture.Start(Path()).has_value());
    capture.Add("a quiet line", kBase);
    EXPECT_EQ(ReadFile(Path()), "") << "gathered, not written a line at a time";
    EXPECT_TRUE(RunEventsUntil([&] { return ReadFile(Path()).ends_with("\ta quiet line\n"); }));
    EXPECT_TRUE(capture.Capturing());
}

TEST_F(Capture, AWriteErrorStopsTheCaptureAndIsReportedOnceFromTheEventLoop) {
    ASSERT_FALSE(capture.Start(Path()).has_value());
    {
        const FileSizeLimit limit(32 << 10);
        for (int number = 0; number < 20'000 && capture.Capturing(); ++number)
            capture.Add("-> 01 02 03 04 05 06 07 08 09 0A " + std::to_string(number), kBase);
    }
    EXPECT_FALSE(capture.Capturing()) << "the limit stopped it";
    EXPECT_TRUE(errors.empty()) << "not reported from inside Add";
    EXPECT_TRUE(RunEventsUntil([&] { return !errors.empty(); }));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].file, Path());
    EXPECT_EQ(errors[0].reason, "File too large");
    capture.Add("after the failure", kBase);
    EXPECT_EQ(ReadFile(Path()).find("after the failure"), std::string::npos);

    // A file that cannot be made: the error at once, and no capture.
    const auto error = capture.Start((folder.Path() / "missing" / "x.log").string());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->reason, "No such file or directory");
    EXPECT_FALSE(capture.Capturing());
}

// Two captures into one file, as two panes (or two programs) make them: every write goes to the
// file's end, so neither overwrites the other, and each line stays whole.
TEST_F(Capture, TwoCapturesIntoOneFileKeepEveryLineWhole) {
    {
        std::ofstream old(Path());
        old << "replaced\n";
    }
    LineCapture other{[this](const FileError& error) { errors.push_back(error); }};
    // The first replaces the file, the second adds to it.
    ASSERT_FALSE(capture.Start(Path(), false).has_value());
    ASSERT_FALSE(other.Start(Path(), true).has_value());
    constexpr int kLines = 20'000; // several writes of each
    for (int number = 0; number < kLines; ++number) {
        capture.Add("upper " + std::to_string(number), kBase);
        other.Add("lower " + std::to_string(number), kBase);
    }
    capture.Stop();
    other.Stop();
    std::istringstream text(ReadFile(Path()));
    std::string line;
    int upper = 0;
    int lower = 0;
    while (std::getline(text, line)) {
        const std::string body = line.substr(line.find('\t') + 1);
        if (body == "upper " + std::to_string(upper))
            ++upper;
        else if (body == "lower " + std::to_string(lower))
            ++lower;
        else
            ADD_FAILURE() << "torn or lost: " << line;
    }
    EXPECT_EQ(upper, kLines);
    EXPECT_EQ(lower, kLines);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Capture, AFileDeletedUnderTheCaptureStopsItWithItsReason) {
    ASSERT_FALSE(capture.Start(Path()).has_value());
    capture.Add("written", kBase);
    ASSERT_TRUE(capture.Flush());
    ASSERT_EQ(std::remove(Path().c_str()), 0);
    capture.Add("would be lost", kBase);
    EXPECT_FALSE(capture.Flush());
    EXPECT_FALSE(capture.Capturing());
    EXPECT_TRUE(RunEventsUntil([&] { return !errors.empty(); }));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].file, Path());
    EXPECT_EQ(errors[0].reason, "the file was deleted");
}

} // namespace

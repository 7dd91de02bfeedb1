// SPDX-License-Identifier: GPL-3.0-or-later
// The time of a line on its way into a pane: the window's calls pass it to the pane's store as
// given, lines of the program are stamped as they are appended, and a capture set on a pane gets
// every line appended after it with its time.
#include "console/untMain.h"
#include "core/walltime.h"
#include "logstore/linecapture.h"
#include "recordingdialogs.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

constexpr std::int64_t kReadAt = 1'796'000'000'123'456;

TEST(PaneTimes, LinesReachThePanesWithTheirTimesAndACaptureSeesThem) {
    RecordingDialogs dialogs;
    TfrmMain frm(dialogs);
    frm.AddToLogRec("-> 01 02", kReadAt);
    const std::int64_t before = corvane::WallClockNow();
    frm.AddToLog("an event");
    EXPECT_EQ(frm.mmLogRec->Store().LineTime(0), kReadAt);
    EXPECT_GE(frm.mmLog->Store().LineTime(0), before);
    EXPECT_LE(frm.mmLog->Store().LineTime(0), corvane::WallClockNow());

    QTemporaryDir folder;
    const std::string path = folder.filePath("lower.log").toStdString();
    corvane::LineCapture capture([](const corvane::FileError&) { ADD_FAILURE(); });
    ASSERT_FALSE(capture.Start(path).has_value());
    frm.mmLogRec->SetCapture(&capture);
    frm.AddToLogRec("-> 03", kReadAt + 1000);
    frm.btnClearLog->click();
    frm.AddToLogRec("-> 04", kReadAt + 2000);
    frm.mmLogRec->SetCapture(nullptr);
    frm.AddToLogRec("-> 05", kReadAt + 3000);
    capture.Stop();

    corvane::ByteString expected;
    corvane::LocalTimeText times;
    for (auto [time, text] :
         {std::pair{kReadAt + 1000, "-> 03"}, std::pair{kReadAt + 2000, "-> 04"}}) {
        times.AppendIso(expected, time);
        expected += '\t';
        expected += text;
        expected += '\n';
    }
    std::ifstream file(path);
    std::stringstream written;
    written << file.rdbuf();
    EXPECT_EQ(written.str(), expected) << "Clear does not stop the capture";
}

} // namespace

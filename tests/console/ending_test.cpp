// SPDX-License-Identifier: GPL-3.0-or-later
// The program's ending changes the hand-over for the rest of the process, so these cases live in a
// program of their own.
#include "console/untMain.h"
#include "core/handover.h"
#include "recordingdialogs.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(WindowPanes, AfterTheEndingBeginsAWorkersLineIsDroppedAndItDoesNotWait) {
    RecordingDialogs dialogs;
    TfrmMain frm(dialogs);
    corvane::BeginEnding();
    std::thread worker([&] { corvane::Synchronize([&] { frm.AddToLog("late"); }); });
    worker.join(); // returns although the UI thread runs no hand-over
    EXPECT_TRUE(frm.mmLog->toPlainText().isEmpty());
}

} // namespace

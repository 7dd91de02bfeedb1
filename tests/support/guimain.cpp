// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry for the window: an application object with the window's style on this thread, which
// is the UI thread of the hand-over. Without a platform named, it runs offscreen: tests never need
// a display.
#include "console/windowstyle.h"
#include "core/handover.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window keeps its settings in the user's configuration folder: the tests' go away.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ApplyWindowStyle();
    corvane::InstallHandOver();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

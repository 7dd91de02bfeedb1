// Test entry for the window: an application object with the window's style on this thread, which
// is the UI thread of the hand-over. Without a platform named, it runs offscreen: tests never need
// a display.
#include "console/windowstyle.h"
#include "core/handover.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ApplyWindowStyle();
    corvane::InstallHandOver();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry for the libraries below the window: a core application object on this thread, which
// is the UI thread of the hand-over.
#include "core/handover.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    corvane::InstallHandOver();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

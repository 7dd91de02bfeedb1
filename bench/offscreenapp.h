#pragma once
// The benchmarks drive the real window and links: an application object offscreen (unless a
// platform is named), with the hand-over installed on this thread.

#include "core/handover.h"

#include <QApplication>

template <class Body> int RunOffscreen(int argc, char** argv, Body body) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    corvane::InstallHandOver();
    body();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the benchmarks share: they drive the real window and links, offscreen (unless a platform
// is named), with the hand-over installed on this thread and no box ever waiting for an answer.

#include "console/dialogs.h"
#include "core/handover.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

// Shows nothing; an error box's text goes to stderr, so a failing run is seen. A file dialog
// answers fileAnswer.
class SilentDialogs : public Dialogs {
public:
    std::optional<FileChoice> fileAnswer;

    void ShowError(const corvane::ByteString& text) override {
        std::fprintf(stderr, "error box: %s\n", text.c_str());
    }
    void ShowInformation(const corvane::ByteString&, const LinkOpener&) override {}
    bool Confirm(const corvane::ByteString&) override { return false; }
    std::optional<FileChoice> AskFileToWrite(const FileQuestion&) override { return fileAnswer; }
    std::optional<QString> AskText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

template <class Body> int RunOffscreen(int argc, char** argv, Body body) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window keeps its settings in the user's configuration folder: a bench's go away.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    corvane::InstallHandOver();
    body();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/taskprogress.h"

#include <QProgressDialog>

#include <algorithm>

namespace {

// Work that takes longer than this shows its progress.
constexpr int kQuietMs = 500;
constexpr int kProgressSteps = 1000;

} // namespace

QProgressDialog* NewTaskProgress(const QString& label, const QString& name, QWidget* window) {
    // Not modal: a modal progress dialog runs the event loop inside every update of its value.
    auto* progress = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 0, window);
    progress->setObjectName(name);
    progress->setWindowTitle(QStringLiteral("Corvane"));
    progress->setMinimumDuration(kQuietMs);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    return progress;
}

void SetTaskProgress(QProgressDialog& progress, std::int64_t done, std::int64_t total) {
    progress.setMaximum(kProgressSteps);
    progress.setValue(static_cast<int>(std::min<std::int64_t>(
        done * kProgressSteps / std::max<std::int64_t>(1, total), kProgressSteps - 1)));
}

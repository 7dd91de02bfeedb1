// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/panesave.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/logpane.h"
#include "console/logpanetools.h"
#include "core/settings.h"

#include <QProgressDialog>

#include <algorithm>

namespace {

// A save that takes longer than this shows its progress.
constexpr int kQuietMs = 500;
constexpr int kProgressSteps = 1000;

} // namespace

TPaneSave::TPaneSave(TLogPane* pane, Dialogs& dialogs, corvane::Settings& settings)
    : QObject(pane), pane_(pane), dialogs_(dialogs), settings_(settings) {}

TPaneSave::~TPaneSave() {
    task_.reset();
    delete progress_;
}

void TPaneSave::Run() {
    if (Running())
        return;
    const auto choice =
        AskFileInLastFolder(dialogs_, settings_,
                            {.caption = QStringLiteral("Save As"),
                             .folder = {},
                             .filter = QStringLiteral("Text files (*.txt *.log);;All files (*)"),
                             .offerTimes = true,
                             .includeTimes = settings_.IncludeTimes(),
                             .offerAppend = false});
    if (!choice)
        return;
    settings_.SetIncludeTimes(choice->includeTimes);
    Start(choice->path, choice->includeTimes);
}

void TPaneSave::Start(const QString& path, bool withTimes) {
    save_ = std::make_unique<corvane::StoreSave>(pane_->Store(), path.toStdString(),
                                                 corvane::StoreSave::Options{withTimes});
    // Not modal: a modal progress dialog runs the event loop inside every update of its value.
    progress_ = new QProgressDialog(QStringLiteral("Saving %1").arg(path), QStringLiteral("Cancel"),
                                    0, 0, pane_->window());
    progress_->setObjectName(QStringLiteral("saveProgress"));
    progress_->setWindowTitle(QStringLiteral("Corvane"));
    progress_->setMinimumDuration(kQuietMs);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    connect(progress_, &QProgressDialog::canceled, this, [this] {
        if (save_)
            save_->Cancel();
    });
    task_ = std::make_unique<corvane::SlicedTask>(
        [this](corvane::SlicedTask::Clock::time_point deadline) { return save_->Step(deadline); },
        [this](bool done) { Stepped(done); });
    task_->Start();
}

void TPaneSave::Stepped(bool done) {
    if (!done) {
        // In thousandths of the bytes: a count of lines stands still on a long line. The total is
        // the stored text's; a view other than Hex writes more or fewer bytes, so the value stops
        // short of the end until the save is over.
        const std::int64_t total = std::max<std::int64_t>(1, save_->StoreBytesToWrite());
        progress_->setMaximum(kProgressSteps);
        progress_->setValue(static_cast<int>(std::min<std::int64_t>(
            save_->StoreBytesWritten() * kProgressSteps / total, kProgressSteps - 1)));
        return;
    }
    Finish();
}

void TPaneSave::Finish() {
    const auto save = std::move(save_);
    task_.reset();
    delete progress_;
    if (save->CurrentState() == corvane::StoreSave::State::Failed)
        dialogs_.ShowError(ErrorDisplay::BoxText(FileFailureText("Cannot save", save->Failure())));
}

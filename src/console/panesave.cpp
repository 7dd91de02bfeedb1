// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/panesave.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/logpane.h"
#include "console/logpanetools.h"
#include "console/taskprogress.h"
#include "core/settings.h"

#include <QProgressDialog>

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
    progress_ = NewTaskProgress(QStringLiteral("Saving %1").arg(path),
                                QStringLiteral("saveProgress"), pane_->window());
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
        // By the bytes: a count of lines stands still on a long line. The total is the stored
        // text's; a view other than Hex writes more or fewer bytes.
        SetTaskProgress(*progress_, save_->StoreBytesWritten(), save_->StoreBytesToWrite());
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

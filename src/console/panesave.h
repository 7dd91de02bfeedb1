// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Save As…" of a log pane: asks for a file (offering "Include times"), writes the whole text,
// spooled lines included, in slices from the event loop while a writer thread formats and writes,
// with a progress dialog that can cancel once the save takes more than a moment, and shows one
// error box naming the file and the system's reason when it fails. The file appears only when
// complete.

#include "logstore/slicedtask.h"
#include "logstore/storesave.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Dialogs;
class QProgressDialog;
class TLogPane;

namespace corvane {
class Settings;
}

class TPaneSave : public QObject {
public:
    TPaneSave(TLogPane* pane, Dialogs& dialogs, corvane::Settings& settings);
    ~TPaneSave() override;

    // Asks for the file and starts the save; nothing while a save is running.
    void Run();
    bool Running() const { return save_ != nullptr; }

private:
    void Start(const QString& path, bool withTimes);
    void Stepped(bool done);
    void Finish();

    TLogPane* pane_;
    Dialogs& dialogs_;
    corvane::Settings& settings_;
    std::unique_ptr<corvane::StoreSave> save_;
    std::unique_ptr<corvane::SlicedTask> task_;
    QPointer<QProgressDialog> progress_;
};

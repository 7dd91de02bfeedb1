// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a log pane offers beyond its text, each item added to its context menu: "Show Times" (a
// column of line times, remembered per pane), the tooltip of a line, "Copy with Times", "Find…"
// (Ctrl+F, the find bar; F3 and Shift+F3 step through the matches), "Save As…" (Ctrl+S) and
// "Capture to File…". The keys work while the pane or its find bar has the focus; Shift+F10, the
// menu itself, while the pane has it.

#include "core/walltime.h"
#include "logstore/linecapture.h"

#include <QObject>

#include <functional>

class Dialogs;
class QAction;
class QMenu;
class TFindBar;
class TLogPane;
class TPaneSave;
class TTimesColumn;

namespace corvane {
class Settings;
}

class TLogPaneTools : public QObject {
public:
    // Reports a failure of the pane's capture as a line of the upper pane.
    using EventLog = std::function<void(const corvane::ByteString& line)>;

    TLogPaneTools(TLogPane* pane, Dialogs& dialogs, corvane::Settings& settings, EventLog log);
    ~TLogPaneTools() override;

    // "Show Times"
    void ShowTimes(bool shown);
    bool TimesShown() const;
    // "Copy with Times": the selection on the clipboard, each line preceded by its time and a tab.
    void CopyWithTimes();
    // "Find…"
    TFindBar* FindBar() const { return findBar_; }
    // "Save As…"
    TPaneSave* Save() const { return save_; }
    // "Capture to File…": asks for the file and starts, or, while capturing, stops.
    void ToggleCapture();
    const corvane::LineCapture& Capture() const { return capture_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddMenuKey();
    void AddMenuItems(QMenu* menu);
    void CaptureFailed(const corvane::FileError& error);
    // The line under a point of the viewport, or -1 where there is none.
    std::int64_t LineAt(int y) const;

    TLogPane* pane_;
    Dialogs& dialogs_;
    corvane::Settings& settings_;
    EventLog log_;
    TTimesColumn* times_;
    TFindBar* findBar_;
    TPaneSave* save_;
    corvane::LineCapture capture_;
    corvane::LocalTimeText clock_;
};

// The same failure in words, for the error box and the log line: "<what> <file>: <reason>".
corvane::ByteString FileFailureText(const char* what, const corvane::FileError& error);

// A capture that has stopped on a failure: the same words as one line in the upper pane and in
// one error box.
void ReportCaptureStopped(Dialogs& dialogs, const TLogPaneTools::EventLog& log,
                          const corvane::FileError& error);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Plot…" in the lower pane's context menu: opens the plot window (plotwindow.h), or brings the
// one open to the front, where it was last closed and as large. While it is open, every line the
// lower pane receives goes to it as well.

#include <QObject>
#include <QPointer>

class Dialogs;
class QMenu;
class TfrmMain;
class TPlotWindow;
namespace corvane {
class Settings;
}

class TPlotMenu : public QObject {
public:
    TPlotMenu(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings);

    // "Plot…"
    void Open();
    // The window, while it is open.
    TPlotWindow* Window() const;
    // Closes the window, its place remembered: before the main window lets its parts go.
    void Close();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddMenuItem(QMenu* menu);

    TfrmMain& window_;
    Dialogs& dialogs_;
    corvane::Settings& settings_;
    QPointer<TPlotWindow> plot_;
};

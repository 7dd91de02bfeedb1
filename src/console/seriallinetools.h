// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial line's settings and lines, wired onto the serial group without changing it: the
// group's and the port list's context menu ("Line Settings…", "Show Serial Lines"), the Line
// Settings dialog, the serial lines bar in the upper pane, and the frame for the lamp's tooltip
// (console/countertools.h shows it there, with the counts) and the port list's ("19200 8E1,
// RTS/CTS": what the driver holds while the port is open, what is saved while it is closed).

#include "core/lineframe.h"
#include "platform/windef.h"

#include <QObject>
#include <QPointer>

class QMenu;
class TfrmMain;
#include "console/linesettingsdialog.h"
#include "console/seriallinesbar.h"

class TSerialLineTools : public QObject {
public:
    explicit TSerialLineTools(TfrmMain& window);

    // The context menu of the serial group and of its port list.
    QMenu* MakeMenu(QWidget* parent);
    // "Line Settings…": opens the dialog for the selected COM number (window-modal).
    TLineSettingsDialog* OpenLineSettings();
    TLineSettingsDialog* LineSettingsDialog() const { return dialog_; }
    // "Show Serial Lines": shows or hides the bar, and remembers it.
    void ShowSerialLines(bool shown);
    TSerialLinesBar* LinesBar() const { return bar_; }

    // The frame of the selected port in its short form.
    QString FrameHint() const;

private:
    BYTE PortNumber() const;
    bool PortOpen() const;
    // What the driver holds while the port is open; the saved settings otherwise.
    corvane::LineFrame ShownFrame(unsigned long* baudRate) const;
    corvane::LineFrame Apply(const corvane::LineFrame& chosen);

    TfrmMain& window_;
    QPointer<TLineSettingsDialog> dialog_;
    TSerialLinesBar* bar_;
};

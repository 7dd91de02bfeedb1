// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "View" in a log pane's context menu: how the pane shows its data lines ("Hex", "Text",
// "Hex and Text") and the encoding of the text ("UTF-8", "Windows-1251"), remembered per pane
// (logstore/dataview.h holds the views themselves).

#include "logstore/dataview.h"

#include <QObject>
#include <QString>

class QMenu;
class TLogPane;

namespace corvane {
class Settings;
}

class TPaneViewMenu : public QObject {
public:
    // Shows the pane in the view remembered for it.
    TPaneViewMenu(TLogPane* pane, corvane::Settings& settings);

    // Shows the pane in view and remembers it.
    void Choose(corvane::PaneView view);

private:
    void AddMenu(QMenu* menu);

    TLogPane* pane_;
    corvane::Settings& settings_;
};

// The view and the encoding as the settings file writes them, and back (Hex and UTF-8 for
// anything else).
QString ViewName(corvane::DataView view);
QString EncodingName(corvane::TextEncoding encoding);
corvane::PaneView PaneViewFromNames(const QString& view, const QString& encoding);

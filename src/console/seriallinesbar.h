// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial lines bar, at the top of the upper pane as the find bar sits at the bottom of its
// pane: DTR and RTS as toggle buttons showing their levels, Reset (DTR low for a moment), Break,
// lamps for CTS, DSR, DCD and RI kept up to date by serial/modemlines.h's watch, and "Log Line
// Changes". The bar only shows the lines and forwards clicks; a device without modem lines shows
// its lamps greyed and its buttons disabled.

#include "console/panetopbar.h"
#include "core/bytestring.h"
#include "platform/windef.h"

#include <QCheckBox>
#include <QPushButton>

class TfrmMain;
class TShape;

class TSerialLinesBar : public TPaneTopBar {
public:
    // The lamps' colours: a line raised, a line low, and no line to show.
    static inline const QColor kOn{0, 255, 0};
    static inline const QColor kOff{0, 96, 0};
    static inline const QColor kNone{192, 192, 192};

    explicit TSerialLinesBar(TfrmMain& window);

    // The port opened or closed (also a port reopened after a re-plug): the bar reads what the
    // device has and starts watching its input lines.
    void PortChanged();

    // controls
    QPushButton* btnDtr;
    QPushButton* btnRts;
    QPushButton* btnReset;
    QPushButton* btnBreak;
    TShape* shpCts;
    TShape* shpDsr;
    TShape* shpDcd;
    TShape* shpRi;
    QCheckBox* chkbxLogChanges;

private:
    // changes: the levels come from a change the watch saw, which "Log Line Changes" logs.
    void ShowInputs(DWORD status, bool changes);
    void ShowNoLines(const QString& why);
    void DtrClicked(bool raised);
    void RtsClicked(bool raised);
    void ResetClicked();
    void BreakClicked();
    corvane::ByteString Path() const;

    TfrmMain& window_;
    HANDLE port_;             // the port the bar shows, INVALID_HANDLE_VALUE while none is open
    unsigned generation_ = 0; // counts the ports shown: a change of an earlier one is dropped
};

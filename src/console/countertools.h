// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The links' counters as the window shows them, wired on without changing its layout: below the
// frame in the serial lamp's tooltip and in the UDP lamp's, and in the counters bar inside the
// lower pane while "Show Counters" in its context menu is ticked (remembered in the settings
// file). "Reset Counters" in both panes' menus starts both links' counts again, as an Open starts
// its own link's. One timer reads the counts four times a second, and runs only while the bar is
// shown or a lamp's tooltip is up; what the links count costs them an addition per read or send.

#include "core/linkcounters.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QMenu;
class TCountersBar;
class TfrmMain;

class TCounterTools : public QObject {
public:
    static constexpr int kRefreshMs = 250;

    explicit TCounterTools(TfrmMain& window);

    // "Show Counters": shows or hides the bar, and remembers it.
    void ShowCounters(bool shown);
    // "Reset Counters": both links count from now on.
    void ResetCounters();
    TCountersBar* Bar() const { return bar_; }
    // Whether the timer reads the counts.
    bool Refreshing() const { return timer_.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddMenuItems(QMenu* menu, bool lowerPane);
    // Shows or hides the bar, reading the counts while it shows.
    void ShowBar(bool shown);
    // Reads both links' counts, shows them in the bar and in a lamp's tooltip that is up, and
    // stops the timer once neither is shown.
    void Refresh();
    void ReadCounts();
    QString LampHint(const QWidget* lamp) const;

    TfrmMain& window_;
    TCountersBar* bar_;
    QTimer timer_;
    QPointer<QWidget> tipLamp_; // the lamp whose tooltip was asked for last
    corvane::LinkCounts serial_;
    corvane::LinkCounts udp_;
};

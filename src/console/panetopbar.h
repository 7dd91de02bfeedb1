// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A bar that a log pane hosts along the top of its text, from the pane's left frame to the
// vertical scroll bar, stacked with the pane's other bars there (TLogPane::SetEdgeRoom). It keeps
// its place as the pane's text moves and resizes; what it shows is its own.

#include <QWidget>

class TLogPane;

class TPaneTopBar : public QWidget {
public:
    // Hidden until shown; in the window's face, not the pane's.
    explicit TPaneTopBar(TLogPane* pane);

    // Shows or hides the bar, making room for it above the text.
    void SetShown(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();

    TLogPane* const pane_;
    QWidget* const viewport_; // the pane's: asked once, as the pane may be half destroyed later
};

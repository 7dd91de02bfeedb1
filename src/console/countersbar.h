// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The counters bar, along the top of the lower pane's text: one line with what went through each
// link since it was opened, the serial link on the left and UDP on the right
// (console/countertools.h fills it). It only shows the texts it is given; a line wider than its
// half of the bar ends in "…", and its tooltip holds it all.

#include "console/panetopbar.h"

#include <QLabel>

class TCountersBar : public TPaneTopBar {
public:
    explicit TCountersBar(TLogPane* pane);

    // Each link's line, and the fuller text of its tooltip.
    void ShowTexts(const QString& serial, const QString& serialTip, const QString& udp,
                   const QString& udpTip);
    // The lines as given, before any is cut to its label.
    const QString& SerialLine() const { return lines_[0]; }
    const QString& UdpLine() const { return lines_[1]; }

    // controls
    QLabel* lblSerial;
    QLabel* lblUdp;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Elide();

    QString lines_[2];
};

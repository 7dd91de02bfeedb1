// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The counters bar, along the top of the lower pane's text: one line with what went through each
// link since it was opened, the serial link on the left and UDP on the right
// (console/countertools.h fills it). It only shows the texts it is given; a line wider than its
// half of the bar ends in "…", and its tooltip holds it all.

#include <QLabel>
#include <QWidget>

class TLogPane;

class TCountersBar : public QWidget {
public:
    explicit TCountersBar(TLogPane* pane);

    // Shows or hides the bar, making room for it above the text.
    void SetShown(bool shown);
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
    void Place();
    void Elide();

    TLogPane* pane_;
    QWidget* viewport_; // the pane's: asked once, as the pane may be half destroyed later
    QString lines_[2];
};

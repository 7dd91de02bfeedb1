// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bars of the files being sent, which a log pane hosts along its top edge: one row per
// sending, with the file's name, a progress bar, the bytes sent of the file's size, the rate, and
// Cancel. The rows read the sender's count a few times a second; nothing waits for it.

#include <QWidget>

#include <functional>

class QVBoxLayout;
class TLogPane;

namespace corvane {
class FileSender;
}

class TFileSendBars : public QWidget {
public:
    explicit TFileSendBars(TLogPane* pane);

    // A row for sender, which must outlive it; cancel runs on a click on Cancel.
    QWidget* Add(const QString& name, const corvane::FileSender& sender,
                 std::function<void()> cancel);
    void Remove(QWidget* row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Along the top of the text, from the pane's left frame to the vertical scroll bar, with room
    // made for it.
    void Place();

    TLogPane* pane_;
    QWidget* viewport_;
    QVBoxLayout* rows_;
};

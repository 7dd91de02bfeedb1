// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A horizontal splitter bar under a control docked at the top: dragging it with the left button
// shows a hatched line that follows the pointer, and the release sets the control's new height.
// Esc during the drag cancels it.

#include <QWidget>

#include <functional>

class TSplitter : public QWidget {
    Q_OBJECT

public:
    // heightAbove: the current height of the control above; maxHeight: the largest it may take.
    TSplitter(QWidget* parent, std::function<int()> heightAbove, std::function<int()> maxHeight);

    static constexpr int kMinHeight = 30;

    // The height a drag that would leave the control above at `wanted` gives it: at least
    // kMinHeight and at most `maximum`; a drag ending at kMinHeight or less collapses it to 0.
    static int Clamp(int wanted, int maximum);
    static int FinalHeight(int wanted, int maximum);

signals:
    void Moved(int newHeight);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int Wanted(QMouseEvent* event) const;
    void EndDrag();

    std::function<int()> heightAbove_;
    std::function<int()> maxHeight_;
    QWidget* line_;
    bool dragging_ = false;
    int startY_ = 0;
    int startHeight_ = 0;
};

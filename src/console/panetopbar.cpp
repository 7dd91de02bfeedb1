// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/panetopbar.h"

#include "console/logpane.h"

#include <QEvent>

TPaneTopBar::TPaneTopBar(TLogPane* pane) : QWidget(pane), pane_(pane), viewport_(pane->viewport()) {
    setFont(pane->window()->font());
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    viewport_->installEventFilter(this);
    hide();
}

void TPaneTopBar::SetShown(bool shown) {
    if (shown == !isHidden())
        return;
    pane_->SetEdgeRoom(Qt::TopEdge, shown ? sizeHint().height() : 0, this);
    setVisible(shown);
    if (shown)
        Place();
}

void TPaneTopBar::Place() {
    const QRect text = viewport_->geometry();
    const int left = pane_->frameWidth();
    const int height = sizeHint().height();
    const int top = text.top() - pane_->EdgeRoomInside(Qt::TopEdge, this) - height;
    setGeometry(left, top, text.right() + 1 - left, height);
}

bool TPaneTopBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && !isHidden() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        Place();
    return QWidget::eventFilter(watched, event);
}

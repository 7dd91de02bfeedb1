// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/timage.h"

#include <QMouseEvent>

#include <utility>

TImage::TImage(QWidget* parent, const QPixmap& picture) : QLabel(parent) {
    setPixmap(picture);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setCursor(Qt::PointingHandCursor);
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        secondClick_ = true;
    QLabel::mouseDoubleClickEvent(event);
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const bool second = std::exchange(secondClick_, false);
    if (!second && rect().contains(event->position().toPoint()))
        emit Click();
}

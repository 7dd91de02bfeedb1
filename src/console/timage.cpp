#include "console/timage.h"

#include <QMouseEvent>

TImage::TImage(QWidget* parent, const QPixmap& picture) : QLabel(parent) {
    setPixmap(picture);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setCursor(Qt::PointingHandCursor);
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/tshape.h"

#include <QPainter>

TShape::TShape(QWidget* parent, QColor brushColor) : QWidget(parent), brushColor_(brushColor) {}

void TShape::SetBrushColor(QColor color) {
    if (color == brushColor_)
        return;
    brushColor_ = color;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(brushColor_);
    const int side = qMin(width(), height());
    // Half a pixel in, so the one-pixel outline lies inside the square.
    painter.drawEllipse(QRectF(0.5, 0.5, side - 1.0, side - 1.0));
}

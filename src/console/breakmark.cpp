// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/breakmark.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

void DrawBreakMark(QPainter& painter, const QRectF& cell, bool lineFeed) {
    const QString letters = lineFeed ? QStringLiteral("LF") : QStringLiteral("CR");
    const QFont original = painter.font();
    QFont small = original;
    // Two letters high in one cell; narrowed where a letter is wider than the cell.
    small.setPixelSize(std::max(4, static_cast<int>(cell.height() / 2)));
    const qreal widest = std::max(QFontMetricsF(small).horizontalAdvance(letters[0]),
                                  QFontMetricsF(small).horizontalAdvance(letters[1]));
    if (widest > cell.width())
        small.setStretch(std::max(50, static_cast<int>(100 * cell.width() / widest)));
    painter.setFont(small);
    const qreal half = cell.height() / 2;
    painter.drawText(QRectF(cell.left(), cell.top(), cell.width(), half), Qt::AlignCenter,
                     QString(letters[0]));
    painter.drawText(QRectF(cell.left(), cell.top() + half, cell.width(), half), Qt::AlignCenter,
                     QString(letters[1]));
    painter.setFont(original);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/logo.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// A dark plate with a signal trace of `pulses` square pulses across it: bytes on a wire. Each
// corner of the trace goes through at(); returns the x at which the trace ends.
qreal DrawPlateAndTrace(QPainter& p, int width, int height, int pulses, qreal margin, qreal pen,
                        const std::function<qreal(qreal)>& at) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate(0.5, 0.5, width - 1.0, height - 1.0);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, QColor(38, 70, 110));
    fill.setColorAt(1, QColor(16, 34, 58));
    p.setPen(QPen(QColor(10, 20, 35), 1));
    p.setBrush(fill);
    p.drawRoundedRect(plate, height / 8.0, height / 8.0);

    const qreal mid = height / 2.0;
    const qreal step = height / 4.0;
    QPolygonF trace;
    trace << QPointF(at(margin), at(mid));
    qreal x = margin;
    for (int i = 0; i < pulses; ++i) {
        trace << QPointF(at(x), at(mid - step)) << QPointF(at(x + step), at(mid - step))
              << QPointF(at(x + step), at(mid + step)) << QPointF(at(x + 2 * step), at(mid + step));
        x += 2 * step;
    }
    trace << QPointF(at(x), at(mid));
    // Each level or upright stretch is a rectangle pen wide, reaching half a pen beyond its ends
    // (square ends, mitred corners): on the pixel grid, a rectangle covers whole pixels only,
    // where a stroked corner leaves some pixels half lit.
    const QColor green(120, 230, 140);
    for (qsizetype i = 1; i < trace.size(); ++i) {
        const QRectF stretch = QRectF(trace[i - 1], trace[i]).normalized();
        p.fillRect(stretch.adjusted(-pen / 2, -pen / 2, pen / 2, pen / 2), green);
    }
    return x;
}

// Drawn in as many pixels as the screen shows for width x height, so that a scaled display (144
// dpi, say) shows it sharp rather than enlarged.
QPixmap DrawLogo(int width, int height) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QImage image(QSize(width, height) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const qreal x = DrawPlateAndTrace(p, width, height, 3, 4, 2, [](qreal v) { return v; });

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(height * 11 / 20);
    p.setFont(font);
    p.setPen(QColor(235, 242, 250));
    p.drawText(QRectF(x + 4, 0, width - x - 8, height), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Corvane"));
    return QPixmap::fromImage(image);
}

} // namespace

QImage LogoMark(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // One pulse, half the plate wide, in the middle of it. The trace is a whole number of pixels
    // wide and its edges fall on pixel edges (a line of odd width runs through pixel centres), so
    // that the small sizes show it crisp instead of smeared over two rows of half-lit pixels.
    const int pen = std::max(1, qRound(size / 16.0));
    const auto onGrid = [pen](qreal v) { return pen % 2 ? std::floor(v) + 0.5 : std::round(v); };
    DrawPlateAndTrace(p, size, size, 1, size / 4.0, pen, onGrid);
    return image;
}

QPixmap LogoPicture() {
    return DrawLogo(151, 32);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(LogoMark(size)));
    return icon;
}

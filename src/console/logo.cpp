#include "console/logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawLogo(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A dark plate with a signal trace across it: bytes on a wire.
    const QRectF plate(0.5, 0.5, width - 1.0, height - 1.0);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, QColor(38, 70, 110));
    fill.setColorAt(1, QColor(16, 34, 58));
    p.setPen(QPen(QColor(10, 20, 35), 1));
    p.setBrush(fill);
    p.drawRoundedRect(plate, 4, 4);

    const qreal mid = height / 2.0;
    const qreal step = height / 4.0;
    QPainterPath trace;
    trace.moveTo(4, mid);
    qreal x = 4;
    for (int i = 0; i < 3; ++i) {
        trace.lineTo(x, mid - step);
        trace.lineTo(x + step, mid - step);
        trace.lineTo(x + step, mid + step);
        trace.lineTo(x + 2 * step, mid + step);
        x += 2 * step;
    }
    trace.lineTo(x, mid);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(120, 230, 140), 2));
    p.drawPath(trace);

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

QIcon LogoIcon() {
    QIcon icon;
    icon.addPixmap(LogoPicture());
    icon.addPixmap(DrawLogo(153, 41));
    return icon;
}

QPixmap LogoPicture() {
    return DrawLogo(151, 32);
}

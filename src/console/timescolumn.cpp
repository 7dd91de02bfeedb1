// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/timescolumn.h"

#include "console/logpane.h"
#include "console/mutedink.h"

#include <QEvent>
#include <QPainter>

namespace {

constexpr int kPadding = 4; // pixels either side of the times

} // namespace

TTimesColumn::TTimesColumn(TLogPane* pane)
    : QWidget(pane), pane_(pane), viewport_(pane->viewport()) {
    setObjectName(QStringLiteral("timesColumn"));
    // It repaints whenever the text does, and follows the viewport's place and size.
    viewport_->installEventFilter(this);
    pane_->installEventFilter(this);
    hide();
}

int TTimesColumn::ColumnWidth() const {
    return pane_->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 2 * kPadding;
}

void TTimesColumn::SetShown(bool shown) {
    pane_->SetEdgeRoom(Qt::LeftEdge, shown ? ColumnWidth() : 0);
    setVisible(shown);
    Place();
}

void TTimesColumn::Place() {
    const QRect text = viewport_->geometry();
    setGeometry(text.left() - ColumnWidth(), text.top(), ColumnWidth(), text.height());
}

bool TTimesColumn::eventFilter(QObject* watched, QEvent* event) {
    if (isHidden())
        return false;
    if (watched == viewport_) {
        if (event->type() == QEvent::Paint)
            update();
        else if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
            Place();
    } else if (watched == pane_ && event->type() == QEvent::FontChange) {
        SetShown(true);
    }
    return false;
}

void TTimesColumn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = pane_->palette();
    painter.fillRect(rect(), colours.brush(QPalette::Base));
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(width() - 1, 0, width() - 1, height());

    painter.setPen(MutedInk(colours, colours.currentColorGroup()));
    painter.setFont(pane_->font());
    const int ascent = pane_->fontMetrics().ascent();
    const corvane::LineStore& store = pane_->Store();
    const std::int64_t last = pane_->LinesWithTimes();
    corvane::ByteString clock;
    for (std::int64_t line = pane_->FirstVisibleLine(); line < last; ++line) {
        const int y = pane_->CellRect({line, 0}).top();
        if (y >= height())
            break;
        clock.clear();
        text_.AppendClock(clock, store.LineTime(line));
        painter.drawText(kPadding, y + ascent, QString::fromLatin1(clock));
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/countersbar.h"

#include "console/logpane.h"

#include <QEvent>
#include <QHBoxLayout>

namespace {

QLabel* MakeLabel(QWidget* parent, QHBoxLayout* row, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    // Cut rather than widen the pane: the window's layout is fixed.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumHeight(label->fontMetrics().height()); // also while its text is cut to nothing
    row->addWidget(label, 1);
    return label;
}

} // namespace

TCountersBar::TCountersBar(TLogPane* pane)
    : QWidget(pane), pane_(pane), viewport_(pane->viewport()) {
    setObjectName(QStringLiteral("countersBar"));
    setFont(pane->window()->font()); // the window's face, not the pane's
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(12);
    lblSerial = MakeLabel(this, row, "lblSerialCounters");
    lblUdp = MakeLabel(this, row, "lblUdpCounters");
    viewport_->installEventFilter(this);
    for (QLabel* label : {lblSerial, lblUdp})
        label->installEventFilter(this);
    hide();
}

void TCountersBar::SetShown(bool shown) {
    if (shown == !isHidden())
        return;
    pane_->SetEdgeRoom(Qt::TopEdge, shown ? sizeHint().height() : 0, this);
    setVisible(shown);
    if (shown)
        Place();
}

void TCountersBar::ShowTexts(const QString& serial, const QString& serialTip, const QString& udp,
                             const QString& udpTip) {
    lines_[0] = serial;
    lines_[1] = udp;
    lblSerial->setToolTip(serialTip);
    lblUdp->setToolTip(udpTip);
    Elide();
}

void TCountersBar::Elide() {
    QLabel* const labels[2] = {lblSerial, lblUdp};
    for (int i = 0; i < 2; ++i)
        labels[i]->setText(
            labels[i]->fontMetrics().elidedText(lines_[i], Qt::ElideRight, labels[i]->width()));
}

void TCountersBar::Place() {
    // Above the text, from the pane's left frame to the vertical scroll bar.
    const QRect text = viewport_->geometry();
    const int left = pane_->frameWidth();
    const int height = sizeHint().height();
    const int top = text.top() - pane_->EdgeRoomInside(Qt::TopEdge, this) - height;
    setGeometry(left, top, text.right() + 1 - left, height);
}

bool TCountersBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && !isHidden() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        Place();
    else if ((watched == lblSerial || watched == lblUdp) && event->type() == QEvent::Resize)
        Elide();
    return QWidget::eventFilter(watched, event);
}

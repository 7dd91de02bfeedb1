// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/countersbar.h"

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

TCountersBar::TCountersBar(TLogPane* pane) : TPaneTopBar(pane) {
    setObjectName(QStringLiteral("countersBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(12);
    lblSerial = MakeLabel(this, row, "lblSerialCounters");
    lblUdp = MakeLabel(this, row, "lblUdpCounters");
    for (QLabel* label : {lblSerial, lblUdp})
        label->installEventFilter(this);
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

bool TCountersBar::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == lblSerial || watched == lblUdp) && event->type() == QEvent::Resize)
        Elide();
    return TPaneTopBar::eventFilter(watched, event);
}

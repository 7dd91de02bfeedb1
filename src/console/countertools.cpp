// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/countertools.h"

#include "console/countersbar.h"
#include "console/seriallinetools.h"
#include "console/untMain.h"
#include "core/settings.h"
#include "serial/serialstate.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QToolTip>

TCounterTools::TCounterTools(TfrmMain& window)
    : QObject(&window), window_(window), bar_(new TCountersBar(window.mmLogRec)) {
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
    connect(window.mmLogRec, &TLogPane::ContextMenuBuilt, this,
            [this](QMenu* menu) { AddMenuItems(menu, true); });
    connect(window.mmLog, &TLogPane::ContextMenuBuilt, this,
            [this](QMenu* menu) { AddMenuItems(menu, false); });
    for (QWidget* lamp : {static_cast<QWidget*>(window.shpComPortState),
                          static_cast<QWidget*>(window.shpUDPPortState)})
        lamp->installEventFilter(this);
    ShowBar(corvane::Settings().ShowCounters());
}

void TCounterTools::AddMenuItems(QMenu* menu, bool lowerPane) {
    menu->addSeparator();
    if (lowerPane) {
        QAction* show = menu->addAction(QStringLiteral("Show Counters"), this,
                                        [this](bool shown) { ShowCounters(shown); });
        show->setObjectName(QStringLiteral("show-counters"));
        show->setCheckable(true);
        show->setChecked(!bar_->isHidden());
    }
    QAction* reset =
        menu->addAction(QStringLiteral("Reset Counters"), this, [this] { ResetCounters(); });
    reset->setObjectName(QStringLiteral("reset-counters"));
}

void TCounterTools::ShowCounters(bool shown) {
    ShowBar(shown);
    corvane::Settings().SetShowCounters(shown);
}

void TCounterTools::ShowBar(bool shown) {
    if (shown) {
        ReadCounts();
        timer_.start();
    }
    bar_->SetShown(shown);
}

void TCounterTools::ResetCounters() {
    corvane::SerialCounters().Reset();
    window_.IdUDPServer1->Counters().Reset();
    if (!bar_->isHidden())
        ReadCounts();
}

void TCounterTools::ReadCounts() {
    serial_ = corvane::SerialCounters().Read();
    udp_ = window_.IdUDPServer1->Counters().Read();
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    bar_->ShowTexts(text(corvane::CountsLine("Serial", serial_, false)),
                    text(corvane::CountsTooltip(serial_, false)),
                    text(corvane::CountsLine("UDP", udp_, true)),
                    text(corvane::CountsTooltip(udp_, true)));
}

void TCounterTools::Refresh() {
    const bool tip = tipLamp_ && QToolTip::isVisible() && tipLamp_->underMouse();
    if (bar_->isHidden() && !tip) {
        timer_.stop();
        return;
    }
    ReadCounts();
    if (!tip)
        return;
    const QString hint = LampHint(tipLamp_);
    tipLamp_->setToolTip(hint);
    if (QToolTip::text() != hint)
        QToolTip::showText(QCursor::pos(), hint, tipLamp_);
}

QString TCounterTools::LampHint(const QWidget* lamp) const {
    if (lamp == window_.shpUDPPortState)
        return QString::fromStdString(corvane::CountsTooltip(udp_, true));
    return window_.SerialLineTools()->FrameHint() + '\n' +
           QString::fromStdString(corvane::CountsTooltip(serial_, false));
}

bool TCounterTools::eventFilter(QObject* watched, QEvent* event) {
    // Watches the two lamps alone; set before the lamp shows its tooltip.
    if (event->type() == QEvent::ToolTip) {
        auto* lamp = static_cast<QWidget*>(watched);
        ReadCounts();
        lamp->setToolTip(LampHint(lamp));
        tipLamp_ = lamp;
        timer_.start();
    }
    return QObject::eventFilter(watched, event);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/payloadhistory.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <utility>

PayloadHistory::PayloadHistory(QLineEdit* edit, QStringList entries, Keeper keep)
    : QObject(edit), edit_(edit), recall_(std::move(entries)), keep_(std::move(keep)) {
    edit_->installEventFilter(this);
}

void PayloadHistory::Remember() {
    if (recall_.Remember(edit_->text()) && keep_)
        keep_(edit_->text());
}

bool PayloadHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    if (key->key() == Qt::Key_Up)
        edit_->setText(recall_.Older(edit_->text()));
    else if (key->key() == Qt::Key_Down)
        edit_->setText(recall_.Newer(edit_->text()));
    else
        return false;
    return true;
}

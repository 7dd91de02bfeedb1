// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Up and Down in a payload edit line recall the payloads it sent, as in a shell; each payload
// remembered is handed to keep as well, so that the list outlasts the run.

#include "core/payloadrecall.h"

#include <QObject>

#include <functional>

class QLineEdit;

class PayloadHistory : public QObject {
public:
    using Keeper = std::function<void(const QString& payload)>;

    PayloadHistory(QLineEdit* edit, QStringList entries, Keeper keep);

    // The edit's text was sent.
    void Remember();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    corvane::PayloadRecall recall_;
    Keeper keep_;
};

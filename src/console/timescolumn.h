// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The time of each line in view, in a column at the left edge of a log pane: beside the text and
// not part of it, so the text's selection, copy, accessibility and scroll ranges stay its own.

#include "core/walltime.h"

#include <QWidget>

class TLogPane;

class TTimesColumn : public QWidget {
    Q_OBJECT

public:
    explicit TTimesColumn(TLogPane* pane);

    void SetShown(bool shown);
    bool Shown() const { return !isHidden(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int ColumnWidth() const;
    void Place();

    TLogPane* pane_;
    // The pane's viewport, compared with by the event filter: it may watch the viewport's last
    // events while the pane is being destroyed and no longer knows it.
    QWidget* viewport_;
    corvane::LocalTimeText text_;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/findhighlight.h"

#include "console/logpane.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

TFindHighlight::TFindHighlight(TLogPane* pane) : QWidget(pane->viewport()), pane_(pane) {
    setObjectName(QStringLiteral("findHighlight"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(parentWidget()->rect());
    // Its parent, the viewport, is watched by comparison only: the filter may see the viewport's
    // last events while the pane is being destroyed.
    parentWidget()->installEventFilter(this);
    hide();
}

void TFindHighlight::SetQuery(std::optional<corvane::FindQuery> query) {
    query_ = std::move(query);
    setVisible(query_ && !query_->Empty());
    update();
}

bool TFindHighlight::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

void TFindHighlight::paintEvent(QPaintEvent*) {
    if (!query_)
        return;
    const std::int64_t first = pane_->FirstVisibleLine();
    // One row more than wholly fits: the one cut at the bottom edge.
    const std::int64_t last = std::min(first + pane_->VisibleRows(), pane_->LineCount() - 1);
    QPainter painter(this);
    const QColor mark(255, 200, 0, 110);
    for (std::int64_t line = first; line <= last; ++line) {
        // The columns in view, in bytes of this line: a tab before them takes several cells.
        const int y = pane_->CellRect({line, 0}).center().y();
        const std::int64_t leftColumn =
            std::max<std::int64_t>(pane_->PositionAt({0, y}).column - 1, 0);
        const std::int64_t rightColumn = pane_->PositionAt({width(), y}).column + 1;
        const corvane::LineStore& store = pane_->Store();
        const std::vector<corvane::Match> matches =
            store.LineLength(line) < kLongLine
                ? query_->MatchesIn(store, line, line)
                : query_->MatchesInColumns(store, line, leftColumn, rightColumn);
        for (const corvane::Match& match : matches) {
            const std::int64_t from = std::max(match.from.column, leftColumn);
            const std::int64_t to = std::min(match.To().column, rightColumn);
            if (from >= to)
                continue;
            const QRect start = pane_->CellRect({match.from.line, from});
            const QRect end = pane_->CellRect({match.from.line, to});
            painter.fillRect(QRect(start.topLeft(), QPoint(end.left() - 1, start.bottom())), mark);
        }
    }
}

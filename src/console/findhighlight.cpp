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
    const std::int64_t last = first + pane_->VisibleRows();
    const std::int64_t leftColumn = pane_->FirstVisibleColumn();
    const std::int64_t rightColumn = leftColumn + pane_->VisibleColumns() + 1;
    QPainter painter(this);
    QColor mark(255, 200, 0, 110);
    for (const corvane::Match& match : query_->MatchesIn(pane_->Store(), first, last)) {
        const std::int64_t from = std::max(match.from.column, leftColumn);
        const std::int64_t to = std::min(match.To().column, rightColumn);
        if (from >= to)
            continue;
        const QRect start = pane_->CellRect({match.from.line, from});
        const QRect end = pane_->CellRect({match.from.line, to});
        painter.fillRect(QRect(start.topLeft(), QPoint(end.left() - 1, start.bottom())), mark);
    }
}

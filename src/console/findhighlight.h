#pragma once
// Every match in view of a log pane, marked over its text: a translucent layer on the viewport
// that the pointer passes through.

#include "logstore/linefind.h"

#include <QWidget>

#include <optional>

class TLogPane;

class TFindHighlight : public QWidget {
public:
    explicit TFindHighlight(TLogPane* pane);

    // What to mark; nothing marks nothing.
    void SetQuery(std::optional<corvane::FindQuery> query);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TLogPane* pane_;
    std::optional<corvane::FindQuery> query_;
};

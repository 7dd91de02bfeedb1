// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every match in view of a log pane, marked over its text: a translucent layer on the viewport
// that the pointer passes through.

#include "logstore/linefind.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

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
    // Of a line this long only the columns in view are searched, at every frame: a pane painting
    // megabyte lines would otherwise search tens of megabytes at each key typed or page turned.
    static constexpr std::int64_t kLongLine = 64 * 1024;

    TLogPane* pane_;
    std::optional<corvane::FindQuery> query_;
};

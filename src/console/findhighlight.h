// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every match in view of a log pane, marked over its text: a translucent layer on the viewport
// that the pointer passes through.

#include "logstore/linefind.h"

#include <QWidget>

#include <cstdint>
#include <map>
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
    // A line this long is searched once for as long as the text and the query stay as they are,
    // not at every frame: a pane painting megabyte lines at 60 frames a second would otherwise
    // search hundreds of megabytes a second beside the links.
    static constexpr std::int64_t kLongLine = 64 * 1024;
    static constexpr std::size_t kLongLinesKept = 256;

    // The matches of one line, from the kept ones for a long line.
    const std::vector<corvane::Match>& MatchesOf(std::int64_t line);

    TLogPane* pane_;
    std::optional<corvane::FindQuery> query_;
    std::map<std::int64_t, std::vector<corvane::Match>> longLines_;
    std::uint64_t rewrites_ = 0;  // the store's Rewrites() the kept matches belong to
    std::int64_t shiftedOut_ = 0; // and its LinesShiftedOut()
    std::vector<corvane::Match> shortLine_;
};

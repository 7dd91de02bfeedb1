// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The find bar a log pane hosts along its bottom edge: the text to find, "Match case", previous
// and next, the count "N of M" and a close button. Enter or F3 selects the next match after the
// caret, Shift+Enter or Shift+F3 the one before it, wrapping round; Esc closes the bar and gives
// the focus back to the pane. The walk and the count run in slices from the event loop, so the
// window stays responsive over millions of lines, and lines that arrive meanwhile are searched
// too.
//
// Once closed, F3 and Shift+F3 (the pane's keys) find again the text the bar last held. In the
// Tab order the bar follows its pane.

#include "logstore/linefind.h"
#include "logstore/slicedtask.h"

#include <QWidget>

#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;
class TFindHighlight;
class TLogPane;

class TFindBar : public QWidget {
    Q_OBJECT

public:
    explicit TFindBar(TLogPane* pane);
    ~TFindBar() override;

    // Shows the bar with the field focused and its text selected; a selection within one line of
    // the pane becomes the text to find.
    void Open();
    void Close();
    bool IsOpen() const { return !isHidden(); }

    void FindNext();
    void FindPrevious();

    // controls, for keys and tests
    QLineEdit* Field() const { return field_; }
    QCheckBox* MatchCase() const { return matchCase_; }
    QLabel* Count() const { return count_; }

    // What the bar searches for while it is open and has text.
    const std::optional<corvane::FindQuery>& Query() const { return query_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    // What the field and "Match case" ask for.
    corvane::FindQuery FieldQuery() const;
    void QueryEdited();
    void Walk(corvane::MatchWalk::Direction direction);
    void WalkEnded();
    void ShowCount();

    TLogPane* pane_;
    // The pane's viewport, compared with by the event filter: it may watch the viewport's last
    // events while the pane is being destroyed and no longer knows it.
    QWidget* viewport_;
    QLineEdit* field_;
    QCheckBox* matchCase_;
    QToolButton* previous_;
    QToolButton* next_;
    QLabel* count_;
    QToolButton* close_;
    TFindHighlight* highlight_;

    std::optional<corvane::FindQuery> query_;
    std::unique_ptr<corvane::MatchCounter> counter_;
    corvane::SlicedTask countTask_;
    std::unique_ptr<corvane::MatchWalk> walk_;
    corvane::SlicedTask walkTask_;
    std::optional<corvane::Match> current_; // the match the last walk selected
};

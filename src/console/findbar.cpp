// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/findbar.h"

#include "console/findhighlight.h"
#include "console/logpane.h"
#include "core/codepage.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

using corvane::FindClock;
using corvane::MatchWalk;
using corvane::TextPos;

namespace {

QToolButton* MakeButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon,
                        const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TFindBar::TFindBar(TLogPane* pane)
    : QWidget(pane), pane_(pane), viewport_(pane->viewport()), field_(new QLineEdit(this)),
      matchCase_(new QCheckBox(QStringLiteral("Match case"), this)),
      previous_(MakeButton(this, "findPrevious", QStyle::SP_ArrowUp, QStringLiteral("Previous"))),
      next_(MakeButton(this, "findNext", QStyle::SP_ArrowDown, QStringLiteral("Next"))),
      count_(new QLabel(this)), close_(MakeButton(this, "findClose", QStyle::SP_TitleBarCloseButton,
                                                  QStringLiteral("Close"))),
      highlight_(new TFindHighlight(pane)), countTask_(
                                                [this](FindClock::time_point deadline) {
                                                    return counter_->Step(pane_->Store(), deadline);
                                                },
                                                [this](bool) { ShowCount(); }),
      walkTask_(
          [this](FindClock::time_point deadline) { return walk_->Step(pane_->Store(), deadline); },
          [this](bool done) {
              if (done)
                  WalkEnded();
          }) {
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    field_->setObjectName(QStringLiteral("findText"));
    field_->setAccessibleName(QStringLiteral("Find"));
    field_->setClearButtonEnabled(true);
    matchCase_->setObjectName(QStringLiteral("findMatchCase"));
    count_->setObjectName(QStringLiteral("findCount"));
    // The count itself ("2 of 5") is what a screen reader reads as the label's name, and hears
    // change as it changes; what it counts is its description.
    count_->setAccessibleDescription(QStringLiteral("Matches"));
    count_->setMinimumWidth(
        count_->fontMetrics().horizontalAdvance(QStringLiteral("0000 of 0000000")));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 2, 2);
    row->setSpacing(4);
    row->addWidget(field_, 1);
    row->addWidget(matchCase_);
    row->addWidget(previous_);
    row->addWidget(next_);
    row->addWidget(count_);
    row->addWidget(close_);

    connect(field_, &QLineEdit::textChanged, this, &TFindBar::QueryEdited);
    connect(matchCase_, &QCheckBox::toggled, this, &TFindBar::QueryEdited);
    connect(previous_, &QToolButton::clicked, this, &TFindBar::FindPrevious);
    connect(next_, &QToolButton::clicked, this, &TFindBar::FindNext);
    connect(close_, &QToolButton::clicked, this, &TFindBar::Close);
    // New lines are counted too: the count goes on whenever the text grows.
    connect(pane_, &TLogPane::textChanged, this, [this] {
        if (counter_ && !countTask_.Running())
            countTask_.Start();
    });
    // Esc closes the bar wherever in it the focus is.
    auto* close = new QAction(this);
    close->setShortcut(Qt::Key_Escape);
    close->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(close, &QAction::triggered, this, &TFindBar::Close);
    addAction(close);
    field_->installEventFilter(this);
    viewport_->installEventFilter(this);
    // Tab goes from the pane into its open bar, and from the bar on to what follows the pane.
    setTabOrder(pane_, field_);
    setTabOrder(field_, matchCase_);
    hide();
}

TFindBar::~TFindBar() = default;

void TFindBar::Open() {
    if (pane_->HasSelection() && pane_->Anchor().line == pane_->Caret().line)
        field_->setText(pane_->SelectedText());
    if (isHidden()) {
        pane_->SetEdgeRoom(Qt::BottomEdge, sizeHint().height());
        show();
        Place();
        QueryEdited();
    }
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void TFindBar::Close() {
    if (isHidden())
        return;
    walkTask_.Stop();
    countTask_.Stop();
    walk_.reset();
    counter_.reset();
    query_.reset();
    current_.reset();
    highlight_->SetQuery(std::nullopt);
    hide();
    pane_->SetEdgeRoom(Qt::BottomEdge, 0);
    pane_->setFocus(Qt::OtherFocusReason);
}

void TFindBar::Place() {
    // Under the text, from the pane's left frame to the vertical scroll bar.
    const QRect text = viewport_->geometry();
    const int left = pane_->frameWidth();
    setGeometry(left, text.bottom() + 1, text.right() + 1 - left, sizeHint().height());
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_) {
        if (!isHidden() && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
            Place();
        return false;
    }
    if (watched != field_ || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool shift = key->modifiers() & Qt::ShiftModifier;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F3:
        shift ? FindPrevious() : FindNext();
        return true;
    default:
        return false;
    }
}

corvane::FindQuery TFindBar::FieldQuery() const {
    return corvane::FindQuery(corvane::ToCodePage(field_->text()),
                              corvane::FindOptions{matchCase_->isChecked()});
}

void TFindBar::QueryEdited() {
    walkTask_.Stop();
    walk_.reset();
    current_.reset();
    countTask_.Stop();
    counter_.reset();
    query_.reset();
    const corvane::FindQuery query = FieldQuery();
    if (!query.Empty()) {
        query_ = query;
        counter_ = std::make_unique<corvane::MatchCounter>(query);
        countTask_.Start();
    }
    highlight_->SetQuery(query_);
    ShowCount();
}

void TFindBar::FindNext() {
    Walk(MatchWalk::Direction::Forward);
}

void TFindBar::FindPrevious() {
    Walk(MatchWalk::Direction::Backward);
}

void TFindBar::Walk(MatchWalk::Direction direction) {
    // Once the bar is closed, F3 and Shift+F3 find again what it last held.
    const corvane::FindQuery query = query_ ? *query_ : FieldQuery();
    if (query.Empty())
        return;
    // From the end of the selection forward, from its start backward: a selected match is
    // stepped over, and without a selection the walk starts at the caret.
    const TextPos anchor = pane_->Anchor();
    const TextPos caret = pane_->Caret();
    walk_ = std::make_unique<MatchWalk>(query,
                                        direction == MatchWalk::Direction::Forward
                                            ? std::max(anchor, caret)
                                            : std::min(anchor, caret),
                                        direction);
    walkTask_.Start();
}

void TFindBar::WalkEnded() {
    current_ = walk_->Result();
    if (current_)
        pane_->SetSelection(current_->from, current_->To());
    ShowCount();
}

void TFindBar::ShowCount() {
    if (!counter_) {
        count_->clear();
        return;
    }
    const corvane::LineStore& store = pane_->Store();
    // Before a match is selected, its number is 0; while the count has not reached the selected
    // one, "?"; and while the count runs, the total is followed by "…".
    QString number = QStringLiteral("0");
    if (current_) {
        const std::optional<std::int64_t> place = counter_->NumberOf(store, *current_);
        number = place ? QString::number(*place) : QStringLiteral("?");
    }
    count_->setText(QStringLiteral("%1 of %2%3")
                        .arg(number)
                        .arg(counter_->Total(store))
                        .arg(counter_->CaughtUp(store) ? QString() : QStringLiteral("…")));
}

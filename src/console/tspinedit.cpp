// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/tspinedit.h"

#include "core/codepage.h"
#include "core/inttext.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>

namespace {

// Whether the spin edit's key filter lets this typed character through.
bool AcceptedCharacter(QChar ch) {
    if (ch == u'\r' || ch == u'\n')
        return false; // Enter is refused, though it is a control character
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7F)
        return true; // Backspace and the Ctrl combinations
    if (ch.isDigit() && ch.unicode() < 0x80)
        return true;
    return ch == u'+' || ch == u'-' || QLocale().decimalPoint() == QString(ch);
}

void Refuse(TSpinEdit* owner) {
    QApplication::beep();
    emit owner->Refused();
}

// The text part: Up and Down step the value, and typed characters pass the key filter.
class Editor : public QLineEdit {
public:
    explicit Editor(TSpinEdit* owner) : QLineEdit(owner), owner_(owner) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
            owner_->Step(event->key() == Qt::Key_Up ? 1 : -1);
            return;
        }
        // Paste, cut and the other shortcuts pass; they are filtered by nothing.
        const QString text = event->text();
        if (!text.isEmpty() && !event->matches(QKeySequence::Paste) &&
            !event->matches(QKeySequence::Cut)) {
            for (QChar ch : text) {
                if (!AcceptedCharacter(ch)) {
                    Refuse(owner_);
                    return;
                }
            }
        }
        QLineEdit::keyPressEvent(event);
    }

    // Dead keys, compose sequences and input methods hand over their text here, not as key
    // presses: the same filter applies, and the refused characters are dropped with one beep.
    void inputMethodEvent(QInputMethodEvent* event) override {
        const QString committed = event->commitString();
        QString accepted;
        for (QChar ch : committed) {
            if (AcceptedCharacter(ch))
                accepted += ch;
        }
        if (accepted.size() == committed.size()) {
            QLineEdit::inputMethodEvent(event);
            return;
        }
        Refuse(owner_);
        QInputMethodEvent filtered(event->preeditString(), event->attributes());
        filtered.setCommitString(accepted, event->replacementStart(), event->replacementLength());
        QLineEdit::inputMethodEvent(&filtered);
    }

private:
    TSpinEdit* owner_;
};

} // namespace

TSpinEdit::TSpinEdit(QWidget* parent, std::int32_t value, std::int32_t minValue,
                     std::int32_t maxValue)
    : QWidget(parent), edit_(new Editor(this)), up_(new QToolButton(this)),
      down_(new QToolButton(this)), minValue_(minValue), maxValue_(maxValue) {
    for (QToolButton* button : {up_, down_}) {
        button->setArrowType(button == up_ ? Qt::UpArrow : Qt::DownArrow);
        button->setFocusPolicy(Qt::NoFocus);
        // A click steps at the release while the pointer is still on the button; holding it
        // repeats, and the repeat stops when the pointer leaves.
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(kRepeatDelayMs);
        button->setAutoRepeatInterval(kRepeatPeriodMs);
        connect(button, &QToolButton::clicked, this,
                [this, button] { Step(button == up_ ? 1 : -1); });
    }
    setFocusProxy(edit_);
    SetValue(value);
}

std::int32_t TSpinEdit::Value() const {
    return corvane::TryStrToInt(corvane::ToCodePage(edit_->text())).value_or(minValue_);
}

void TSpinEdit::SetValue(std::int32_t value) {
    if (minValue_ != maxValue_)
        value = std::clamp(value, minValue_, maxValue_);
    edit_->setText(QString::number(value));
}

void TSpinEdit::Step(int direction) {
    const auto bits =
        static_cast<std::uint32_t>(Value()) + static_cast<std::uint32_t>(direction * increment_);
    SetValue(static_cast<std::int32_t>(bits));
}

void TSpinEdit::resizeEvent(QResizeEvent*) {
    // The buttons stack at the right edge, each half the height; the text stops short of them.
    const int buttonWidth = 15;
    const int half = height() / 2;
    edit_->setGeometry(0, 0, width() - buttonWidth, height());
    up_->setGeometry(width() - buttonWidth, 0, buttonWidth, half);
    down_->setGeometry(width() - buttonWidth, half, buttonWidth, height() - half);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An edit line with small up and down buttons at its right edge. Its value is the integer text it
// holds, or MinValue when the text is not integer text. Typing is filtered (digits, signs, the
// decimal separator and control characters only; anything else beeps), paste is not.

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

#include <cstdint>

class TSpinEdit : public QWidget {
    Q_OBJECT

public:
    TSpinEdit(QWidget* parent, std::int32_t value, std::int32_t minValue, std::int32_t maxValue);

    std::int32_t Value() const;
    // Writes the decimal value, limited to MinValue..MaxValue unless the two are equal.
    void SetValue(std::int32_t value);
    // One step up or down by Increment, wrapping at either end of the 32-bit range.
    void Step(int direction);

    QString Text() const { return edit_->text(); }
    void SetText(const QString& text) { edit_->setText(text); }
    QLineEdit* Edit() const { return edit_; }
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

    // Button timing: the first auto-repeat step after this long, then one per period.
    static constexpr int kRepeatDelayMs = 400;
    static constexpr int kRepeatPeriodMs = 100;

signals:
    // A typed or composed character was refused, and the system beep sounded.
    void Refused();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* edit_; // the key-filtering editor of tspinedit.cpp
    QToolButton* up_;
    QToolButton* down_;
    std::int32_t minValue_;
    std::int32_t maxValue_;
    std::int32_t increment_ = 1;
};

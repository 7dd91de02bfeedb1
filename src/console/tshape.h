// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A state lamp: a circle filling the control's square, with a one-pixel black outline, filled in a
// colour that can change at run time.

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
public:
    // The state lamps' colours: closed and open.
    static inline const QColor kRed{255, 0, 0};
    static inline const QColor kGreen{0, 255, 0};

    explicit TShape(QWidget* parent, QColor brushColor);

    void SetBrushColor(QColor color);
    QColor BrushColor() const { return brushColor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brushColor_;
};

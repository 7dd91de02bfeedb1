#pragma once
// A state lamp: a circle filling the control's square, with a one-pixel black outline, filled in a
// colour that can change at run time.

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
public:
    explicit TShape(QWidget* parent, QColor brushColor);

    void SetBrushColor(QColor color);
    QColor BrushColor() const { return brushColor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brushColor_;
};

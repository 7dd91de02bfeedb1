#pragma once
// An image shown at its natural size from the top-left corner, with its own pointer shape and a
// click event.

#include <QLabel>

class TImage : public QLabel {
    Q_OBJECT

public:
    TImage(QWidget* parent, const QPixmap& picture);

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

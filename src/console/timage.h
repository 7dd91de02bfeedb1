// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An image shown at its natural size from the top-left corner, with its own pointer shape and a
// click event. A double click is one click, not two.

#include <QLabel>

class TImage : public QLabel {
    Q_OBJECT

public:
    TImage(QWidget* parent, const QPixmap& picture);

signals:
    void Click();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Set by a double click: the release that ends it is part of the first click's gesture.
    bool secondClick_ = false;
};

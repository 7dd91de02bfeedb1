// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/tsplitter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The hatched line that stands for the bar while it is dragged.
class DragLine : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
    }
};

} // namespace

TSplitter::TSplitter(QWidget* parent, std::function<int()> heightAbove,
                     std::function<int()> maxHeight)
    : QWidget(parent), heightAbove_(std::move(heightAbove)), maxHeight_(std::move(maxHeight)),
      line_(new DragLine(parent)) {
    setCursor(Qt::SplitVCursor);
    line_->hide();
}

int TSplitter::Clamp(int wanted, int maximum) {
    return std::max(kMinHeight, std::min(wanted, maximum));
}

int TSplitter::FinalHeight(int wanted, int maximum) {
    return wanted <= kMinHeight ? 0 : Clamp(wanted, maximum);
}

int TSplitter::Wanted(QMouseEvent* event) const {
    return startHeight_ + qRound(event->globalPosition().y()) - startY_;
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    startY_ = qRound(event->globalPosition().y());
    startHeight_ = heightAbove_();
    line_->setGeometry(geometry());
    line_->show();
    line_->raise();
    grabKeyboard();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    const int top = y() - heightAbove_();
    line_->move(x(), top + Clamp(Wanted(event), maxHeight_()));
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    EndDrag();
    emit Moved(FinalHeight(Wanted(event), maxHeight_()));
}

void TSplitter::keyPressEvent(QKeyEvent* event) {
    if (dragging_ && event->key() == Qt::Key_Escape)
        EndDrag();
    else
        QWidget::keyPressEvent(event);
}

void TSplitter::EndDrag() {
    dragging_ = false;
    line_->hide();
    releaseKeyboard();
}

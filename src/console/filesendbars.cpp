// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/filesendbars.h"

#include "console/logpane.h"
#include "filesend/filesender.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kRefreshMs = 200;

// "1,048,576 of 10,485,760 bytes, 812.4 KB/s"
QString Progress(std::uint64_t sent, std::uint64_t size, qint64 elapsedMs) {
    const QLocale c = QLocale::c();
    const double rate =
        elapsedMs > 0 ? static_cast<double>(sent) * 1000.0 / 1024.0 / static_cast<double>(elapsedMs)
                      : 0.0;
    return QStringLiteral("%1 of %2 bytes, %3 KB/s")
        .arg(c.toString(static_cast<qulonglong>(sent)), c.toString(static_cast<qulonglong>(size)),
             c.toString(rate, 'f', 1));
}

class Row : public QWidget {
public:
    Row(QWidget* parent, const QString& name, const corvane::FileSender& sender,
        std::function<void()> cancel)
        : QWidget(parent), sender_(sender), bar_(new QProgressBar(this)),
          counts_(new QLabel(this)) {
        setObjectName(QStringLiteral("fileSendRow"));
        auto* line = new QHBoxLayout(this);
        line->setContentsMargins(4, 1, 2, 1);
        auto* label = new QLabel(name, this);
        label->setObjectName(QStringLiteral("fileSendName"));
        bar_->setObjectName(QStringLiteral("fileSendProgress"));
        bar_->setRange(0, 1000); // per mille: a file's size does not fit the bar's int
        bar_->setTextVisible(false);
        bar_->setAccessibleName(QStringLiteral("Sending %1").arg(name));
        counts_->setObjectName(QStringLiteral("fileSendCounts"));
        auto* button = new QPushButton(QStringLiteral("Cancel"), this);
        button->setObjectName(QStringLiteral("fileSendCancel"));
        line->addWidget(label);
        line->addWidget(bar_, 1);
        line->addWidget(counts_);
        line->addWidget(button);
        connect(button, &QPushButton::clicked, this, std::move(cancel));
        auto* refresh = new QTimer(this);
        connect(refresh, &QTimer::timeout, this, [this] { Refresh(); });
        refresh->start(kRefreshMs);
        started_.start();
        Refresh();
    }

private:
    void Refresh() {
        const std::uint64_t sent = sender_.Sent();
        const std::uint64_t size = sender_.Size();
        bar_->setValue(size == 0 ? 1000 : static_cast<int>(sent * 1000 / size));
        counts_->setText(Progress(sent, size, started_.elapsed()));
    }

    const corvane::FileSender& sender_;
    QProgressBar* bar_;
    QLabel* counts_;
    QElapsedTimer started_;
};

} // namespace

TFileSendBars::TFileSendBars(TLogPane* pane)
    : QWidget(pane), pane_(pane), viewport_(pane->viewport()), rows_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("fileSendBars"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    viewport_->installEventFilter(this);
    hide();
}

QWidget* TFileSendBars::Add(const QString& name, const corvane::FileSender& sender,
                            std::function<void()> cancel) {
    auto* row = new Row(this, name, sender, std::move(cancel));
    rows_->addWidget(row);
    show();
    Place();
    return row;
}

void TFileSendBars::Remove(QWidget* row) {
    rows_->removeWidget(row);
    delete row;
    if (rows_->count() == 0) {
        hide();
        pane_->SetEdgeRoom(Qt::TopEdge, 0, this);
        return;
    }
    Place();
}

void TFileSendBars::Place() {
    const int height = sizeHint().height();
    pane_->SetEdgeRoom(Qt::TopEdge, height, this);
    const QRect text = viewport_->geometry();
    const int left = pane_->frameWidth();
    const int top = text.top() - pane_->EdgeRoomInside(Qt::TopEdge, this) - height;
    setGeometry(left, top, text.right() + 1 - left, height);
}

bool TFileSendBars::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && !isHidden() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        Place();
    return false;
}

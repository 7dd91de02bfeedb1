// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/plotmenu.h"

#include "console/plotwindow.h"
#include "console/untMain.h"
#include "core/settings.h"

#include <QEvent>
#include <QMenu>

TPlotMenu::TPlotMenu(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings)
    : QObject(&window), window_(window), dialogs_(dialogs), settings_(settings) {
    connect(window.mmLogRec, &TLogPane::ContextMenuBuilt, this, &TPlotMenu::AddMenuItem);
}

void TPlotMenu::AddMenuItem(QMenu* menu) {
    QAction* item = menu->addAction(QStringLiteral("Plot…"), this, [this] { Open(); });
    item->setObjectName(QStringLiteral("plot"));
}

void TPlotMenu::Open() {
    if (plot_ == nullptr) {
        plot_ = new TPlotWindow(&window_, window_.mmLogRec, settings_, dialogs_);
        plot_->restoreGeometry(settings_.PlotGeometry());
        window_.SetReceivedTap([plot = plot_](corvane::PlotLink link, std::string_view sender,
                                              std::span<const corvane::ByteString> lines,
                                              std::span<const std::int64_t> times,
                                              std::span<const std::string_view> bytes) {
            if (plot)
                plot->Take(link, sender, lines, times, bytes);
        });
        plot_->installEventFilter(this);
    }
    plot_->show();
    plot_->raise();
    plot_->activateWindow();
}

void TPlotMenu::Close() {
    if (plot_ != nullptr)
        plot_->close();
}

bool TPlotMenu::eventFilter(QObject* watched, QEvent* event) {
    // Closed, the window follows nothing more, and the next "Plot…" opens a new one.
    if (watched == plot_ && event->type() == QEvent::Close) {
        window_.SetReceivedTap({});
        plot_->deleteLater();
        plot_.clear();
    }
    return QObject::eventFilter(watched, event);
}

TPlotWindow* TPlotMenu::Window() const {
    return plot_;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/logpanetools.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/findbar.h"
#include "console/logpane.h"
#include "console/panesave.h"
#include "console/timescolumn.h"
#include "core/codepage.h"
#include "core/settings.h"
#include "logstore/linedetails.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QTextDocument>
#include <QToolTip>

namespace {

// A shortcut of the pane, its find bar included: not the window's.
void AddKey(TLogPane* pane, const QKeySequence& key, std::function<void()> run) {
    auto* action = new QAction(pane);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, pane, std::move(run));
    pane->addAction(action);
}

const corvane::ByteString kCopyTooLarge =
    "The selection is larger than 256 MiB, too large for the clipboard.\r\n"
    "Save the pane to a file instead?";

QString WithKey(const QString& text, QKeySequence::StandardKey key) {
    return text + u'\t' + QKeySequence(key).toString(QKeySequence::NativeText);
}

} // namespace

corvane::ByteString FileFailureText(const char* what, const corvane::FileError& error) {
    return corvane::ToCodePage(QStringLiteral("%1 %2: %3")
                                   .arg(QLatin1String(what), QString::fromStdString(error.file),
                                        QString::fromStdString(error.reason)));
}

void ReportCaptureStopped(Dialogs& dialogs, const TLogPaneTools::EventLog& log,
                          const corvane::FileError& error) {
    const corvane::ByteString text = FileFailureText("Capture stopped:", error);
    log(text);
    dialogs.ShowError(ErrorDisplay::BoxText(text));
}

TLogPaneTools::TLogPaneTools(TLogPane* pane, Dialogs& dialogs, corvane::Settings& settings,
                             EventLog log)
    : QObject(pane), pane_(pane), dialogs_(dialogs), settings_(settings), log_(std::move(log)),
      times_(new TTimesColumn(pane)), findBar_(new TFindBar(pane)),
      save_(new TPaneSave(pane, dialogs, settings)),
      capture_([this](const corvane::FileError& error) { CaptureFailed(error); }) {
    times_->SetShown(settings_.ShowTimes(pane_->objectName()));
    connect(pane_, &TLogPane::ContextMenuBuilt, this, &TLogPaneTools::AddMenuItems);
    // Too much for the clipboard: the pane can go to a file instead.
    connect(pane_, &TLogPane::CopyRefused, this, [this] {
        if (!save_->Running() && dialogs_.Confirm(kCopyTooLarge))
            save_->Run();
    });
    AddKey(pane_, QKeySequence::Find, [this] { findBar_->Open(); });
    AddKey(pane_, QKeySequence::FindNext, [this] { findBar_->FindNext(); });
    AddKey(pane_, QKeySequence::FindPrevious, [this] { findBar_->FindPrevious(); });
    AddKey(pane_, QKeySequence::Save, [this] { save_->Run(); });
    AddMenuKey();
    // The tooltip of a line, over its text or its time.
    pane_->viewport()->installEventFilter(this);
    times_->installEventFilter(this);
}

// The capture goes with the pane: both are destroyed together.
TLogPaneTools::~TLogPaneTools() = default;

void TLogPaneTools::AddMenuKey() {
    // Shift+F10 opens the pane's menu at the caret, as the Menu key does; in the find bar's field
    // it stays the field's own.
    auto* key = new QAction(pane_);
    key->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    key->setShortcutContext(Qt::WidgetShortcut);
    connect(key, &QAction::triggered, pane_, [this] {
        const QPoint at = pane_->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, pane_->mapToGlobal(at));
        QCoreApplication::sendEvent(pane_, &menu);
    });
    pane_->addAction(key);
}

void TLogPaneTools::ShowTimes(bool shown) {
    times_->SetShown(shown);
    settings_.SetShowTimes(pane_->objectName(), shown);
}

bool TLogPaneTools::TimesShown() const {
    return times_->Shown();
}

void TLogPaneTools::CopyWithTimes() {
    pane_->CopySelection(&clock_);
}

void TLogPaneTools::ToggleCapture() {
    if (capture_.Capturing()) {
        capture_.Stop();
        pane_->SetCapture(nullptr);
        return;
    }
    const auto choice =
        AskFileInLastFolder(dialogs_, settings_,
                            {.caption = QStringLiteral("Capture to File"),
                             .folder = {},
                             .filter = QStringLiteral("Text files (*.txt *.log);;All files (*)"),
                             .offerTimes = false,
                             .includeTimes = false,
                             .offerAppend = true});
    if (!choice)
        return;
    if (const auto error = capture_.Start(choice->path.toStdString(), choice->append)) {
        dialogs_.ShowError(ErrorDisplay::BoxText(FileFailureText("Cannot capture to", *error)));
        return;
    }
    pane_->SetCapture(&capture_);
}

void TLogPaneTools::CaptureFailed(const corvane::FileError& error) {
    pane_->SetCapture(nullptr);
    ReportCaptureStopped(dialogs_, log_, error);
}

void TLogPaneTools::AddMenuItems(QMenu* menu) {
    menu->addSeparator();
    QAction* times =
        menu->addAction(QStringLiteral("Show Times"), this, [this] { ShowTimes(!TimesShown()); });
    times->setObjectName(QStringLiteral("show-times"));
    times->setCheckable(true);
    times->setChecked(TimesShown());
    QAction* copy =
        menu->addAction(QStringLiteral("Copy with Times"), this, [this] { CopyWithTimes(); });
    copy->setObjectName(QStringLiteral("copy-with-times"));
    copy->setEnabled(pane_->HasSelection());
    menu->addSeparator();
    menu->addAction(WithKey(QStringLiteral("Find…"), QKeySequence::Find), this,
                    [this] { findBar_->Open(); })
        ->setObjectName(QStringLiteral("find"));
    QAction* save = menu->addAction(WithKey(QStringLiteral("Save As…"), QKeySequence::Save), this,
                                    [this] { save_->Run(); });
    save->setObjectName(QStringLiteral("save-as"));
    save->setEnabled(!save_->Running());
    // While capturing, the item names the file; choosing it again stops the capture.
    const QString capturing =
        capture_.Capturing()
            ? QStringLiteral("Capture to File: %1").arg(QString::fromStdString(capture_.Path()))
            : QStringLiteral("Capture to File…");
    QAction* capture = menu->addAction(capturing, this, [this] { ToggleCapture(); });
    capture->setObjectName(QStringLiteral("capture-to-file"));
    capture->setCheckable(true);
    capture->setChecked(capture_.Capturing());
}

std::int64_t TLogPaneTools::LineAt(int y) const {
    const QRect top = pane_->CellRect({pane_->FirstVisibleLine(), 0});
    if (y < top.top())
        return -1;
    const std::int64_t line = pane_->FirstVisibleLine() + (y - top.top()) / top.height();
    return line < pane_->LinesWithTimes() ? line : -1;
}

bool TLogPaneTools::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return false;
    auto* help = static_cast<QHelpEvent*>(event);
    auto* widget = static_cast<QWidget*>(watched);
    const std::int64_t line = LineAt(help->pos().y());
    if (line < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    // The tip stays while the pointer is on the same row.
    const QRect row = pane_->CellRect({line, 0});
    const QString text = corvane::LineDetails(pane_->Store(), line, clock_);
    // Its lines as they are: a rich text tip would otherwise be wrapped at its spaces, the date
    // apart from the time.
    QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(text, Qt::WhiteSpacePre), widget,
                       QRect(0, row.top(), widget->width(), row.height()));
    return true;
}

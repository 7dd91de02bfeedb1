// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/panecopy.h"

#include "console/logpane.h"
#include "console/taskprogress.h"
#include "logstore/selectiontext.h"
#include "logstore/slicedtask.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QProgressDialog>

#include <malloc.h>

using corvane::SelectionText;
using corvane::TextRange;

namespace {

// A text this large is counted and built at once: a millisecond or two.
constexpr std::int64_t kAtOnce = std::int64_t{1} << 20;

const QString kPlainText = QStringLiteral("text/plain");

bool SameRange(TextRange a, TextRange b) {
    return a.from == b.from && a.to == b.to;
}

} // namespace

struct TPaneCopy::Build {
    Build(const corvane::LineStore& store, TextRange range, std::int64_t limit,
          corvane::LocalTimeText* clock)
        : range(range), rewrites(store.Rewrites()), withTimes(clock != nullptr),
          text(store, range.from, range.to, clock, limit) {}
    ~Build() {
        // The dialog may be the one whose Cancel ends the build.
        if (progress) {
            progress->hide();
            progress->deleteLater();
        }
    }

    TextRange range;
    std::uint64_t rewrites;
    bool withTimes;
    SelectionText text;
    std::unique_ptr<corvane::SlicedTask> task;
    QPointer<QProgressDialog> progress;
    bool toClipboard = false;
    bool toSelection = false;
    std::function<void()> copied;
};

TPaneCopy::TPaneCopy(TLogPane* pane, std::function<void()> refused)
    : QObject(pane), pane_(pane), refused_(std::move(refused)) {
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &TPaneCopy::Changed);
}

TPaneCopy::~TPaneCopy() = default;

std::unique_ptr<TPaneCopy::Build> TPaneCopy::Begin(TextRange range, std::int64_t limit,
                                                   corvane::LocalTimeText* clock) {
    auto build = std::make_unique<Build>(pane_->Store(), range, limit, clock);
    Build* raw = build.get();
    build->task = std::make_unique<corvane::SlicedTask>(
        [raw](corvane::SlicedTask::Clock::time_point deadline) { return raw->text.Step(deadline); },
        [this, raw](bool done) { Stepped(*raw, done); });
    return build;
}

bool TPaneCopy::Matches(const Build& build, TextRange range, bool withTimes) const {
    return SameRange(build.range, range) && build.withTimes == withTimes &&
           build.rewrites == pane_->Store().Rewrites();
}

bool TPaneCopy::Copy(TextRange range, std::int64_t limit, corvane::LocalTimeText* clock,
                     std::function<void()> copied) {
    copy_.reset();
    const bool withTimes = clock != nullptr;
    if (const QMimeData* held = HeldText(range, withTimes)) {
        // The primary selection holds this text already: the clipboard shares it.
        Put(QClipboard::Clipboard, held->data(kPlainText),
            Held{nullptr, range, pane_->Store().Rewrites(), withTimes});
        if (copied)
            copied();
        return true;
    }
    if (offer_ && Matches(*offer_, range, withTimes)) {
        // Being built for the primary selection: the copy takes that build over.
        copy_ = std::move(offer_);
        copy_->toSelection = true;
    } else {
        copy_ = Begin(range, limit, clock);
    }
    copy_->toClipboard = true;
    copy_->copied = std::move(copied);
    if (corvane::SizeUpTo(pane_->Store(), range.from, range.to, kAtOnce) <= kAtOnce) {
        copy_->text.Step(corvane::SlicedTask::Clock::time_point::max());
        const bool refused = copy_->text.TooLarge();
        Stepped(*copy_, true);
        return !refused;
    }
    ShowProgress(*copy_);
    copy_->task->Start();
    return true;
}

void TPaneCopy::ShowProgress(Build& build) {
    QProgressDialog* progress = NewTaskProgress(QStringLiteral("Copying the selection"),
                                                QStringLiteral("copyProgress"), pane_->window());
    connect(progress, &QProgressDialog::canceled, this, [this] { copy_.reset(); });
    build.progress = progress;
}

void TPaneCopy::Offer(TextRange range, std::int64_t limit) {
    if (offer_ && Matches(*offer_, range, false))
        return;
    offer_.reset();
    const Held& selection = held_[QClipboard::Selection];
    if (const QMimeData* held = HeldText(range, false)) {
        // The clipboard holds this text already: the primary selection shares it.
        if (held != selection.mime)
            Put(QClipboard::Selection, held->data(kPlainText),
                Held{nullptr, range, pane_->Store().Rewrites(), false});
        return;
    }
    offer_ = Begin(range, limit, nullptr);
    offer_->toSelection = true;
    offer_->task->Start();
}

void TPaneCopy::StopOffer() {
    offer_.reset();
}

qsizetype TPaneCopy::HeldBytes() const {
    qsizetype bytes = 0;
    for (const Held& held : held_) {
        if (held.mime)
            bytes += held.mime->data(kPlainText).size();
    }
    return bytes;
}

const QMimeData* TPaneCopy::HeldText(TextRange range, bool withTimes) const {
    for (const Held& held : held_) {
        if (held.mime && SameRange(held.range, range) && held.withTimes == withTimes &&
            held.rewrites == pane_->Store().Rewrites())
            return held.mime;
    }
    return nullptr;
}

void TPaneCopy::Stepped(Build& build, bool done) {
    if (!done) {
        // Only once the dialog has shown itself, after half a second: a value set earlier
        // would have it shown at once on a guess of the time left.
        if (build.progress && build.progress->isVisible()) {
            // The counted characters, by the bytes of UTF-8 built: a character outside ASCII, or
            // a line's time, makes the count short of them.
            SetTaskProgress(*build.progress, build.text.Built(), build.text.Size());
        }
        return;
    }
    // The build is over: it leaves its slot before what it puts out runs.
    const std::unique_ptr<Build> over = std::move(&build == copy_.get() ? copy_ : offer_);
    if (over->text.TooLarge()) {
        if (over->toSelection)
            QGuiApplication::clipboard()->clear(QClipboard::Selection);
        if (over->toClipboard && refused_)
            refused_();
        return;
    }
    const QByteArray text = over->text.Take();
    const Held made{nullptr, over->range, over->rewrites, over->withTimes};
    if (over->toClipboard)
        Put(QClipboard::Clipboard, text, made);
    if (over->toSelection)
        Put(QClipboard::Selection, text, made);
    if (over->copied)
        over->copied();
}

void TPaneCopy::Put(QClipboard::Mode mode, const QByteArray& text, const Held& made) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (mode == QClipboard::Selection && !clipboard->supportsSelection())
        return;
    // The UTF-8 as it is: Qt gives it to a program that asks for UTF-8 text without converting
    // it, and converts it only for one that asks for something else (or for a paste here).
    auto* mime = new QMimeData;
    mime->setData(kPlainText, text);
    held_[mode] = made;
    held_[mode].mime = mime;
    held_[mode].holding = true;
    clipboard->setMimeData(mime, mode);
}

void TPaneCopy::Changed(QClipboard::Mode mode) {
    if (mode != QClipboard::Clipboard && mode != QClipboard::Selection)
        return;
    Held& held = held_[mode];
    if (!held.holding || (held.mime && QGuiApplication::clipboard()->mimeData(mode) == held.mime))
        return;
    // Qt may keep the data of a clipboard another program took over; its text goes now.
    if (held.mime)
        held.mime->clear();
    held = {};
    // The text's memory went back to the allocator; a large block freed among smaller ones is
    // returned to the system only when asked.
    malloc_trim(0);
}

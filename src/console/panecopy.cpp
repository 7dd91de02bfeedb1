// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/panecopy.h"

#include "console/logpane.h"
#include "logstore/selectiontext.h"
#include "logstore/slicedtask.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QProgressDialog>

#include <malloc.h>

using corvane::TextRange;

namespace {

// A text this large is built at once: a millisecond or two.
constexpr std::int64_t kAtOnce = std::int64_t{1} << 20;
// A copy that takes longer than this shows its progress.
constexpr int kQuietMs = 500;
constexpr int kProgressSteps = 1000;

bool SameRange(TextRange a, TextRange b) {
    return a.from == b.from && a.to == b.to;
}

} // namespace

struct TPaneCopy::Build {
    Build(const corvane::LineStore& store, TextRange range, std::int64_t size,
          corvane::LocalTimeText* clock)
        : range(range), rewrites(store.Rewrites()), withTimes(clock != nullptr), size(size),
          text(store, range.from, range.to, clock, size) {}
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
    std::int64_t size;
    corvane::SelectionText text;
    std::unique_ptr<corvane::SlicedTask> task;
    QPointer<QProgressDialog> progress;
    bool toClipboard = false;
    bool toSelection = false;
    std::function<void()> copied;
};

TPaneCopy::TPaneCopy(TLogPane* pane) : QObject(pane), pane_(pane) {
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &TPaneCopy::Changed);
}

TPaneCopy::~TPaneCopy() = default;

std::unique_ptr<TPaneCopy::Build> TPaneCopy::Begin(TextRange range, std::int64_t size,
                                                   corvane::LocalTimeText* clock) {
    auto build = std::make_unique<Build>(pane_->Store(), range, size, clock);
    Build* raw = build.get();
    build->task = std::make_unique<corvane::SlicedTask>(
        [raw](corvane::SlicedTask::Clock::time_point deadline) { return raw->text.Step(deadline); },
        [this, raw](bool done) { Stepped(*raw, done); });
    return build;
}

void TPaneCopy::Copy(TextRange range, std::int64_t size, corvane::LocalTimeText* clock,
                     std::function<void()> copied) {
    copy_.reset();
    const bool withTimes = clock != nullptr;
    if (const QMimeData* held = HeldText(range, withTimes)) {
        // The primary selection holds this text already: the clipboard shares it.
        Put(QClipboard::Clipboard, held->text(),
            Held{nullptr, range, pane_->Store().Rewrites(), withTimes});
        if (copied)
            copied();
        return;
    }
    if (!withTimes && offer_ && SameRange(offer_->range, range) &&
        offer_->rewrites == pane_->Store().Rewrites()) {
        // Being built for the primary selection: the copy takes that build over.
        copy_ = std::move(offer_);
        copy_->toSelection = true;
    } else {
        copy_ = Begin(range, size, clock);
    }
    copy_->toClipboard = true;
    copy_->copied = std::move(copied);
    if (size <= kAtOnce) {
        copy_->text.Step(corvane::SlicedTask::Clock::time_point::max());
        Stepped(*copy_, true);
        return;
    }
    // Not modal: a modal progress dialog runs the event loop inside every update of its value.
    auto* progress = new QProgressDialog(QStringLiteral("Copying the selection"),
                                         QStringLiteral("Cancel"), 0, 0, pane_->window());
    progress->setObjectName(QStringLiteral("copyProgress"));
    progress->setWindowTitle(QStringLiteral("Corvane"));
    progress->setMinimumDuration(kQuietMs);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    connect(progress, &QProgressDialog::canceled, this, [this] { copy_.reset(); });
    copy_->progress = progress;
    copy_->task->Start();
}

void TPaneCopy::Offer(TextRange range, std::int64_t size) {
    if (offer_ && SameRange(offer_->range, range) && offer_->rewrites == pane_->Store().Rewrites())
        return;
    offer_.reset();
    if (HeldText(range, false))
        return;
    offer_ = Begin(range, size, nullptr);
    offer_->toSelection = true;
    offer_->task->Start();
}

void TPaneCopy::StopOffer() {
    offer_.reset();
}

bool TPaneCopy::Copying() const {
    return copy_ != nullptr;
}

bool TPaneCopy::Offering() const {
    return offer_ != nullptr;
}

qsizetype TPaneCopy::HeldCharacters() const {
    qsizetype characters = 0;
    for (const Held& held : held_) {
        if (held.mime)
            characters += held.mime->text().size();
    }
    return characters;
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
        if (build.progress) {
            // In thousandths of the characters; with times the total is short of them.
            const std::int64_t total = std::max<std::int64_t>(1, build.size);
            build.progress->setMaximum(kProgressSteps);
            build.progress->setValue(static_cast<int>(std::min<std::int64_t>(
                build.text.Built() * kProgressSteps / total, kProgressSteps - 1)));
        }
        return;
    }
    // The build is over: it leaves its slot before what it puts out runs.
    std::unique_ptr<Build> over = std::move(&build == copy_.get() ? copy_ : offer_);
    const QString text = over->text.Take();
    const Held made{nullptr, over->range, over->rewrites, over->withTimes};
    if (over->toClipboard)
        Put(QClipboard::Clipboard, text, made);
    if (over->toSelection)
        Put(QClipboard::Selection, text, made);
    if (over->copied)
        over->copied();
}

void TPaneCopy::Put(QClipboard::Mode mode, const QString& text, const Held& made) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (mode == QClipboard::Selection && !clipboard->supportsSelection())
        return;
    auto* mime = new QMimeData;
    mime->setText(text);
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

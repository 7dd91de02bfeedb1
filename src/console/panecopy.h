// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Copying a log pane's text to the clipboard and offering it as the X11 primary selection, for
// selections of any size up to the pane's copy limit. A small text is put there at once; a large
// one is counted and built in slices from the event loop (logstore/selectiontext.h), so that the
// window keeps answering meanwhile. A copy shows its progress in a dialog that can cancel once it
// takes more than a moment; a cancelled copy leaves the clipboard as it was. The primary selection
// is built the same way without a dialog and offered when complete.
//
// What the pane puts on the clipboard or the primary selection it holds until another program
// takes that over, and then gives the memory back to the system.

#include "core/walltime.h"
#include "logstore/linestore.h"
#include "logstore/textcursor.h"

#include <QClipboard>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QMimeData;
class QProgressDialog;
class TLogPane;

class TPaneCopy : public QObject {
public:
    // refused: a copy found its text beyond the limit and left the clipboard alone.
    TPaneCopy(TLogPane* pane, std::function<void()> refused);
    ~TPaneCopy() override;

    // Puts the text of range (as the pane shows it; with each line's time when clock is given)
    // on the clipboard, unless it holds more than limit characters. A copy still being built is
    // dropped for this one. copied runs once the text is on the clipboard. False when refused
    // at once; a large text may be refused later, once counted.
    bool Copy(corvane::TextRange range, std::int64_t limit, corvane::LocalTimeText* clock,
              std::function<void()> copied = {});
    // Builds the text of range and offers it as the primary selection when complete; a build of
    // an earlier selection is dropped. Beyond limit, the primary selection is cleared instead.
    void Offer(corvane::TextRange range, std::int64_t limit);
    // Drops a build of the primary selection.
    void StopOffer();
    bool Copying() const { return copy_ != nullptr; }
    bool Offering() const { return offer_ != nullptr; }

    // The bytes of text (UTF-8) held for the clipboard and the primary selection.
    qsizetype HeldBytes() const;

private:
    struct Build;
    // What the pane put on the clipboard or the primary selection: the text it was made of.
    struct Held {
        QPointer<QMimeData> mime;
        corvane::TextRange range;
        std::uint64_t rewrites = 0;
        bool withTimes = false;
        bool holding = false; // until the clipboard changes hands; the mime may be gone already
    };

    std::unique_ptr<Build> Begin(corvane::TextRange range, std::int64_t limit,
                                 corvane::LocalTimeText* clock);
    bool Matches(const Build& build, corvane::TextRange range, bool withTimes) const;
    void ShowProgress(Build& build);
    void Stepped(Build& build, bool done);
    // The text of range as the pane holds it already, on the clipboard or the primary selection.
    const QMimeData* HeldText(corvane::TextRange range, bool withTimes) const;
    void Put(QClipboard::Mode mode, const QByteArray& text, const Held& made);
    // Another program took the clipboard or the primary selection: its text is let go.
    void Changed(QClipboard::Mode mode);

    TLogPane* pane_;
    std::function<void()> refused_;
    std::unique_ptr<Build> copy_;  // to the clipboard, and to the primary selection when asked
    std::unique_ptr<Build> offer_; // to the primary selection only
    std::array<Held, 2> held_;     // by QClipboard::Mode
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The payloads an edit line has sent, recalled as a shell recalls its commands: Up steps back
// from the newest, Down forward again, and past the newest the text that was being typed before
// the first Up comes back. An entry edited and left keeps its edit when it is shown again, until
// a payload is sent; the entries themselves stay as they were sent.

#include "core/settings.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace corvane {

class PayloadRecall {
public:
    static constexpr int kKept = Settings::kHistoryLength;

    // entries: oldest first; only the newest kKept are kept.
    explicit PayloadRecall(QStringList entries = {});

    const QStringList& Entries() const { return entries_; }

    // A payload was sent: it becomes the newest entry (unless it is the newest already, or
    // empty), the oldest beyond kKept goes, and the next Up starts from the newest again.
    // Returns whether the entries changed.
    bool Remember(const QString& payload);

    // The text for the edit after Up or Down, given the text it holds now; the same text when
    // there is nothing further that way.
    QString Older(const QString& current);
    QString Newer(const QString& current);

private:
    // Keeps current as the text at the present position, then moves by step and gives the text
    // there.
    QString Move(const QString& current, qsizetype step);

    QStringList entries_;
    qsizetype position_ = 0;          // entries_.size(): at the text being typed
    QString draft_;                   // that text, kept while older entries are shown
    QHash<qsizetype, QString> edits_; // entries edited since the last send, by position
};

} // namespace corvane

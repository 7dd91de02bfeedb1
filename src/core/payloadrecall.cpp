// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/payloadrecall.h"

#include <utility>

namespace corvane {

PayloadRecall::PayloadRecall(QStringList entries) : entries_(std::move(entries)) {
    if (entries_.size() > kKept)
        entries_.remove(0, entries_.size() - kKept);
    position_ = entries_.size();
}

bool PayloadRecall::Remember(const QString& payload) {
    position_ = entries_.size();
    draft_.clear();
    edits_.clear();
    if (payload.isEmpty() || (!entries_.isEmpty() && entries_.back() == payload))
        return false;
    PushHistory(entries_, payload, kKept);
    position_ = entries_.size();
    return true;
}

QString PayloadRecall::Older(const QString& current) {
    return position_ == 0 ? current : Move(current, -1);
}

QString PayloadRecall::Newer(const QString& current) {
    return position_ == entries_.size() ? current : Move(current, 1);
}

QString PayloadRecall::Move(const QString& current, qsizetype step) {
    if (position_ == entries_.size())
        draft_ = current;
    else if (current != entries_[position_])
        edits_.insert(position_, current);
    else
        edits_.remove(position_);
    position_ += step;
    return position_ == entries_.size() ? draft_ : edits_.value(position_, entries_[position_]);
}

} // namespace corvane

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
    if (payload.isEmpty() || (!entries_.isEmpty() && entries_.back() == payload))
        return false;
    PushHistory(entries_, payload, kKept);
    position_ = entries_.size();
    return true;
}

QString PayloadRecall::Older(const QString& current) {
    if (position_ == 0)
        return current;
    if (position_ == entries_.size())
        draft_ = current;
    return entries_[--position_];
}

QString PayloadRecall::Newer(const QString& current) {
    if (position_ == entries_.size())
        return current;
    ++position_;
    return position_ == entries_.size() ? draft_ : entries_[position_];
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/inputqueue.h"

#include <algorithm>
#include <cstring>

namespace corvane::posix {

std::size_t InputQueue::Push(const char* data, std::size_t size) {
    const std::size_t taken = std::min(size, Free());
    std::size_t tail = (head_ + count_) % ring_.size();
    std::size_t done = 0;
    while (done < taken) {
        const std::size_t chunk = std::min(taken - done, ring_.size() - tail);
        std::memcpy(ring_.data() + tail, data + done, chunk);
        done += chunk;
        tail = (tail + chunk) % ring_.size();
    }
    count_ += taken;
    return taken;
}

std::size_t InputQueue::Pop(char* out, std::size_t size) {
    const std::size_t taken = std::min(size, count_);
    std::size_t done = 0;
    while (done < taken) {
        const std::size_t chunk = std::min(taken - done, ring_.size() - head_);
        std::memcpy(out + done, ring_.data() + head_, chunk);
        done += chunk;
        head_ = (head_ + chunk) % ring_.size();
    }
    count_ -= taken;
    return taken;
}

} // namespace corvane::posix

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A port's input queue: a fixed ring of bytes. It takes only what fits; the port reads no more
// from the device than that.

#include <cstddef>
#include <vector>

namespace corvane::posix {

class InputQueue {
public:
    // 4 MiB holds more than 10 s at 4 Mbaud (about 400 kB/s), so a reader that drains the queue
    // every 100 ms never holds a device back.
    static constexpr std::size_t kCapacity = 4 * 1024 * 1024;

    explicit InputQueue(std::size_t capacity = kCapacity) : ring_(capacity) {}

    // Appends what fits and returns how many bytes that was.
    std::size_t Push(const char* data, std::size_t size);
    // Takes up to size bytes from the front and returns how many it took.
    std::size_t Pop(char* out, std::size_t size);
    void Clear() { head_ = count_ = 0; }

    std::size_t Size() const { return count_; }
    std::size_t Free() const { return ring_.size() - count_; }

private:
    std::vector<char> ring_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

} // namespace corvane::posix

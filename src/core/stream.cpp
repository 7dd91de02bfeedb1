// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stream.h"

#include <algorithm>
#include <cstring>

namespace corvane {

std::size_t Stream::Read(void* buffer, std::size_t count) {
    const std::size_t size = Size();
    const std::size_t n = position_ < size ? std::min(count, size - position_) : 0;
    if (n > 0)
        std::memcpy(buffer, Bytes() + position_, n);
    position_ += n;
    return n;
}

void Stream::Write(const void* buffer, std::size_t count) {
    if (count == 0)
        return;
    if (position_ + count > Size())
        SetSize(position_ + count);
    std::memcpy(MutableBytes() + position_, buffer, count);
    position_ += count;
}

void Stream::CopyFrom(Stream& source, std::size_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const std::size_t start = source.Position();
    const std::size_t n = start < source.Size() ? std::min(count, source.Size() - start) : 0;
    Write(source.Bytes() + start, n);
    source.SetPosition(start + n);
}

void MemoryStream::SetSize(std::size_t size) {
    bytes_.resize(size);
    if (Position() > size)
        SetPosition(size);
}

} // namespace corvane

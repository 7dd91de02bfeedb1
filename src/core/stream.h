// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte streams: a size, a position, and reads and writes that move the position. A memory stream
// holds its bytes in one buffer that can be handed to a platform call; a string stream builds a
// byte string.

#include "core/bytestring.h"

#include <cstddef>

namespace corvane {

class Stream {
public:
    virtual ~Stream() = default;

    virtual std::size_t Size() const = 0;
    // Growing adds zero bytes; shrinking below the position moves the position to the end.
    virtual void SetSize(std::size_t size) = 0;
    std::size_t Position() const { return position_; }
    void SetPosition(std::size_t position) { position_ = position; }

    // Copies up to count bytes from the position on; returns how many it copied.
    std::size_t Read(void* buffer, std::size_t count);
    // Writes count bytes at the position, growing the stream as needed.
    void Write(const void* buffer, std::size_t count);
    // Writes count bytes of source from its position on; count 0 means all of source, read from
    // its first byte whatever its position.
    void CopyFrom(Stream& source, std::size_t count);

protected:
    virtual const char* Bytes() const = 0;
    virtual char* MutableBytes() = 0;

private:
    std::size_t position_ = 0;
};

class MemoryStream : public Stream {
public:
    std::size_t Size() const override { return bytes_.size(); }
    void SetSize(std::size_t size) override;
    // The buffer, valid until the next change of size.
    char* Memory() { return bytes_.data(); }
    const char* Memory() const { return bytes_.data(); }

protected:
    const char* Bytes() const override { return bytes_.data(); }
    char* MutableBytes() override { return bytes_.data(); }

private:
    ByteString bytes_;
};

class StringStream : public MemoryStream {
public:
    ByteString DataString() const { return ByteString(Memory(), Size()); }
};

} // namespace corvane

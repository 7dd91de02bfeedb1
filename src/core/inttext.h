// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Integer text, as the baud-rate box, the UDP port edit and the spin edits read it: optional
// leading spaces, at most one sign, then decimal digits or hex digits after "$", "x", "X", "0x" or
// "0X", and nothing after. Decimal must fit a 32-bit signed integer; hex may use all 32 bits and is
// read as a two's-complement pattern before the sign applies.

#include "core/bytestring.h"

#include <cstdint>
#include <optional>

namespace corvane {

// The value, or nothing when the text is not integer text.
std::optional<std::int32_t> TryStrToInt(const ByteString& text);

// The value; raises EConvertError "'<text>' is not a valid integer value" otherwise.
std::int32_t StrToInt(const ByteString& text);

} // namespace corvane

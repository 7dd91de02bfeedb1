// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hex notation of payloads: hex tokens separated by single spaces, one byte per token, and the
// hex view in which the log panes show bytes. Pure functions, safe on any thread.

#include "core/bytestring.h"

#include <cstdint>

namespace corvane {

// The token's value, built by shifting one hex digit in at a time (32 bits, wrapping). An empty
// token is 0. Any character other than 0-9, A-F, a-f raises EConvertError "No Hex-Number".
std::int32_t HexToInt(const ByteString& token);

// One byte per token, the low 8 bits of its value: a text with k spaces gives k + 1 bytes, an
// empty token a zero byte. The first bad token raises and nothing is returned.
ByteString HexStrToData(const ByteString& text);

// " XX" per byte, upper-case; empty for empty data.
ByteString StrToHexView(const ByteString& data);
// Appends the hex view of size bytes at data to out, written in place.
void AppendHexView(ByteString& out, const char* data, std::size_t size);

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a log pane tells about one line when the pointer rests on it: when it came, how long after
// the line before it, and, for a line ending in a hex view, the bytes that view shows as text.

#include "core/walltime.h"
#include "logstore/linestore.h"

#include <QString>

#include <cstdint>

namespace corvane {

// Bytes of a hex view told as text at most; more are cut with "…".
constexpr std::int64_t kDetailedBytes = 256;

// The lines of the text: the full local date and time ("2026-12-07 17:07:20.123456"); then,
// unless it is the first line, the time since the line before (SecondsBetween); then, for a hex
// line, its bytes. clock is the caller's reusable local-time formatter.
QString LineDetails(const LineStore& store, std::int64_t line, LocalTimeText& clock);

// Bytes as text: a character the code page prints stands for itself, any other byte (and the
// backslash, so that the text reads back unambiguously, and the byte 0x85, whose "…" would read
// as the mark of text cut off) is "\xNN".
QString BytesAsText(std::string_view bytes);

// The time from the line above (at earlier) to a line (at later), in seconds to the microsecond:
// "+0.100512 s", or, for a line that came before the one above it, "0.061929 s earlier than the
// line above".
QString SecondsBetween(std::int64_t earlier, std::int64_t later);

} // namespace corvane

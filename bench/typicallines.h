// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The typical line of the store benchmarks: "-> (127.0.0.1) :" and a 16-byte hex view whose bytes
// come from the line's number, so that every line differs: 64 bytes, as the program writes a
// received datagram. With lowerCase, the same line in lower-case hex, which the store keeps as
// text: the figures of lines it cannot pack.

#include <cstdint>
#include <string>

void TypicalLine(std::int64_t number, std::string& line, bool lowerCase = false);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An 8-bit counted string: text in the program's code page and payloads of any byte value alike.
// It may hold zero bytes, so it is never treated as a C string.

#include <string>

namespace corvane {

using ByteString = std::string;

} // namespace corvane

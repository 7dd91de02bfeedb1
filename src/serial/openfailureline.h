// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line that follows "INVALID_HANDLE_VALUE" and says why the port did not open.

#include "core/bytestring.h"
#include "platform/openfailure.h"

namespace corvane {

// error: the open's last error, whose system text the line gives for causes it has no words for.
ByteString OpenFailureLine(const OpenFailure& failure, DWORD error);

} // namespace corvane

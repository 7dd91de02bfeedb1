// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The host edit's text as a destination: a host alone, or "host:port" for a peer that listens on
// another port than the one the endpoint is bound to.

#include "core/bytestring.h"

#include <optional>

namespace corvane {

struct TIdHostPort {
    ByteString host;
    std::optional<int> port; // nothing: the caller's port
};

// Splits text at its last ":". Without one the text is the host, unchanged. The part after it must
// be integer text (EConvertError "'<part>' is not a valid integer value") from 1 to 65535
// (EIdInvalidPortNumber "Invalid port number: <number>").
TIdHostPort SplitHostPort(const ByteString& text);

} // namespace corvane

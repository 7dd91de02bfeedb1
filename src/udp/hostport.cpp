// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/hostport.h"

#include "core/inttext.h"
#include "udp/idexceptions.h"

#include <string>

namespace corvane {

TIdHostPort SplitHostPort(const ByteString& text) {
    const std::size_t colon = text.rfind(':');
    if (colon == ByteString::npos)
        return {text, std::nullopt};
    const std::int32_t port = StrToInt(text.substr(colon + 1));
    if (port < 1 || port > 65535)
        throw EIdInvalidPortNumber("Invalid port number: " + std::to_string(port));
    return {text.substr(0, colon), port};
}

} // namespace corvane

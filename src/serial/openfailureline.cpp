// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/openfailureline.h"

#include "serial/comport.h"
#include "serial/devicemessages.h"

namespace corvane {

using namespace serial;

ByteString OpenFailureLine(const OpenFailure& failure, DWORD error) {
    const ByteString& path = failure.device;
    switch (failure.cause) {
    case OpenFailureCause::Missing:
        return kNoDevice + path;
    case OpenFailureCause::Refused:
        // The group Debian gives serial ports is dialout; a device of another group names its own.
        return kNoRightsOn + path + kJoinGroup + failure.group + kLogInAgain;
    case OpenFailureCause::Held:
        // Where the holder cannot be named (another user's process, seen by a user who may not
        // look), the line says what it knows.
        return kDeviceBusy + path + (failure.holder.empty() ? "" : " (" + failure.holder + ")");
    case OpenFailureCause::Other:
        break;
    }
    return kOpenFailedOn + path + ": " + SystemErrorText(error);
}

} // namespace corvane

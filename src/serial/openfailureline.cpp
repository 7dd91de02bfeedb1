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
        // A group is named only where joining it would give the rights; else the facts ls shows,
        // for the operator or an administrator to judge.
        switch (failure.advice) {
        case RightsAdvice::JoinGroup:
            return kNoRightsOn + failure.refused + kJoinGroup + failure.group + kLogInAgain;
        case RightsAdvice::LogInAgain:
            return kNoRightsOn + failure.refused + kLogInAgainOnly;
        case RightsAdvice::None:
            break;
        }
        return kNoRightsOn + failure.refused + " (" + failure.owner + ":" + failure.group + ", " +
               failure.mode + ")";
    case OpenFailureCause::Held:
        // Where the holder cannot be named (another user's process, seen by a user who may not
        // look), the line says what it knows.
        return kDeviceBusy + path + (failure.holder.empty() ? "" : " (" + failure.holder + ")");
    case OpenFailureCause::LeftExclusive:
        return kDeviceBusy + path + kLeftExclusive;
    case OpenFailureCause::NotSerial:
        return kNotSerialPort + path;
    case OpenFailureCause::Other:
        break;
    }
    return kOpenFailedOn + path + ": " + SystemErrorText(error);
}

} // namespace corvane

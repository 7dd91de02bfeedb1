// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exceptions of the UDP link. Every one derives from EIdException, so a caller can tell a
// socket failure from any other.

#include "core/exception.h"

namespace corvane {

CORVANE_DECLARE_EXCEPTION(EIdException, Exception);

// A failed socket call: the platform's error number and its text.
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int errorNumber, ByteString message)
        : EIdException(std::move(message)), errorNumber_(errorNumber) {}
    int ErrorNumber() const { return errorNumber_; }
    const char* ClassName() const override { return "EIdSocketError"; }

private:
    int errorNumber_;
};

// The socket library could not be loaded: a title, the loader's error number and its system text.
// The message is the title alone when the number is 0.
class EIdWS2StubError : public EIdException {
public:
    // The failure to load library, with the loader's error.
    static EIdWS2StubError LoadFailure(const ByteString& library, unsigned errorNumber,
                                       const ByteString& systemText) {
        return {"Error on loading Winsock2 library (" + library + ")", errorNumber, systemText};
    }

    EIdWS2StubError(ByteString title, unsigned errorNumber, const ByteString& systemText)
        : EIdException(errorNumber == 0 ? title : title + ": " + systemText),
          title_(std::move(title)), errorNumber_(errorNumber) {}
    const ByteString& Title() const { return title_; }
    unsigned ErrorNumber() const { return errorNumber_; }
    const char* ClassName() const override { return "EIdWS2StubError"; }

private:
    ByteString title_;
    unsigned errorNumber_;
};

CORVANE_DECLARE_EXCEPTION(EIdInvalidSocket, EIdException);
CORVANE_DECLARE_EXCEPTION(EIdStackError, EIdException);
CORVANE_DECLARE_EXCEPTION(EIdStackInitializationFailed, EIdStackError);
CORVANE_DECLARE_EXCEPTION(EIdStackSetSizeExceeded, EIdStackError);

// Failures of a binding: binding its socket and sending from it.
CORVANE_DECLARE_EXCEPTION(EIdSocketHandleError, EIdException);
CORVANE_DECLARE_EXCEPTION(EIdCouldNotBindSocket, EIdSocketHandleError);
CORVANE_DECLARE_EXCEPTION(EIdPackageSizeTooBig, EIdSocketHandleError);
CORVANE_DECLARE_EXCEPTION(EIdNotAllBytesSent, EIdSocketHandleError);
// A destination port outside 1 to 65535.
CORVANE_DECLARE_EXCEPTION(EIdInvalidPortNumber, EIdException);

} // namespace corvane

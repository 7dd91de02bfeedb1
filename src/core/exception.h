// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The base of every exception the program raises: a message in the program's code page and the
// name of the exception's class, which the start-up failure box shows.

#include "core/bytestring.h"

#include <exception>

namespace corvane {

class Exception : public std::exception {
public:
    explicit Exception(ByteString message) : message_(std::move(message)) {}

    const ByteString& Message() const { return message_; }
    virtual const char* ClassName() const { return "Exception"; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    ByteString message_;
};

// Declares an exception class that adds nothing but its name to its base.
#define CORVANE_DECLARE_EXCEPTION(Name, Base)                                                      \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        const char* ClassName() const override { return #Name; }                                   \
    }

// A text that does not convert: not integer text, or not hex notation.
CORVANE_DECLARE_EXCEPTION(EConvertError, Exception);

} // namespace corvane

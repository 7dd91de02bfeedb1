#pragma once
// Starting the program: the application object, the main window and the event loop, and the
// box that reports a failure before the window could be shown.

#include "core/bytestring.h"

#include <cstdint>

// "Exception <class> in module <module> at <address>.\r\n<message>[.]\r\n"; the full stop is
// added unless the message is empty or already ends in one.
corvane::ByteString ApplicationErrorText(const char* className, const corvane::ByteString& module,
                                         std::uintptr_t address,
                                         const corvane::ByteString& message);

// Runs the program; returns the process's exit code.
int RunApplication(int argc, char** argv);

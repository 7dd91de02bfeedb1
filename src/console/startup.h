// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting the program: the application object, the main window and the event loop, and the
// box that reports a failure before the window could be shown.

#include "core/bytestring.h"

#include <cstdint>
#include <functional>
#include <memory>

class Dialogs;
class TfrmMain;

// "Exception <class> in module <module> at <address>.\r\n<message>[.]\r\n"; the full stop is
// added unless the message is empty or already ends in one.
corvane::ByteString ApplicationErrorText(const char* className, const corvane::ByteString& module,
                                         std::uintptr_t address,
                                         const corvane::ByteString& message);

using MainWindowMaker = std::function<std::unique_ptr<TfrmMain>(Dialogs&)>;

// Runs the program with the main window that createWindow makes (the real one unless a test
// makes another); returns the process's exit code: 1 when making the window failed.
int RunApplication(int argc, char** argv, const MainWindowMaker& createWindow);
int RunApplication(int argc, char** argv);

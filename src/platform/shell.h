// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop shell's verbs, as ShellExecuteA offers them.

#include "platform/windef.h"

constexpr INT SW_SHOWNORMAL = 1;

// Applies verb ("open") to file, a path or a web address, with the desktop's default handler. The
// result is greater than 32 when the handler was started; 2 (file not found) otherwise. Returns
// at once: the handler runs detached from this process.
HINSTANCE ShellExecuteA(HWND parent, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand);

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell.h"

#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    constexpr std::uintptr_t kFailed = 2;
    constexpr std::uintptr_t kStarted = 42;
    if (!verb || std::strcmp(verb, "open") != 0 || !file)
        return reinterpret_cast<HINSTANCE>(kFailed);

    // xdg-open may wait for the browser, so a shell starts it in the background and ends at once;
    // the opener is left to init and nothing here waits on it. The address is an argument, never
    // part of the shell's command text.
    char* argv[] = {const_cast<char*>("sh"),
                    const_cast<char*>("-c"),
                    const_cast<char*>("command -v xdg-open >/dev/null || exit 1; "
                                      "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &"),
                    const_cast<char*>("sh"),
                    const_cast<char*>(file),
                    nullptr};
    pid_t shell;
    if (posix_spawn(&shell, "/bin/sh", nullptr, nullptr, argv, environ) != 0)
        return reinterpret_cast<HINSTANCE>(kFailed);
    int status = 0;
    if (waitpid(shell, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return reinterpret_cast<HINSTANCE>(kFailed);
    return reinterpret_cast<HINSTANCE>(kStarted);
}

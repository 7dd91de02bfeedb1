// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's command line, read the GNU and Qt way: --help and --version print and end the
// program; anything else that is not one of Qt's own options is refused with a one-line error
// and the usage. The window takes no arguments of its own: everything is chosen in it.

#include <QStringList>

#include <string>

namespace corvane {

// What the command line asks for.
struct CommandLine {
    // True: go on and open the window. False: print the texts below and end with exitCode.
    bool run = true;
    int exitCode = 0;
    std::string standardOutput;
    std::string standardError;
};

// Exit codes, as GNU programs use them.
inline constexpr int kExitFailure = 1; // the program could not do its work
inline constexpr int kExitUsage = 2;   // the command line was wrong

// Reads the program's arguments, its own name first. The usage names the program as the
// application object in existence does, so one should exist.
CommandLine ReadCommandLine(const QStringList& arguments);

// The version from the build, such as "1.0.0".
const char* ProgramVersion();

// What --version prints: the program and its version, the copyright and the licence.
std::string VersionText();

// The licence, as an SPDX expression.
inline constexpr char kLicence[] = "GPL-3.0-or-later";

// The one line printed when the window system cannot be reached.
inline constexpr char kNoDisplayLine[] =
    "corvane: cannot open the display; set DISPLAY or run it in a desktop session";

} // namespace corvane

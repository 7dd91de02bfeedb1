// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the user guide is read from: the installed copy beside an installed program; otherwise
// (a program run from its build folder, or one installed where /usr/share/doc is left out) the
// copy the program carries, written to the user's cache folder when it is about to be opened.

#include "core/bytestring.h"

#include <QString>

// The installed guide's path for a program whose executable lies in executableFolder:
// <prefix>/share/doc/corvane/guide.html for <prefix>/bin.
QString InstalledGuidePath(const QString& executableFolder);

// Where the carried copy is written: $XDG_CACHE_HOME/corvane (~/.cache/corvane).
QString CarriedGuideFolder();

// The guide as a file:// address, percent-encoded so that it is plain ASCII: the installed copy
// when it exists, otherwise the carried copy in CarriedGuideFolder().
corvane::ByteString UserGuideAddress(const QString& executableFolder);

// Makes address readable before it is opened: when it is the carried copy's, writes the guide and
// its pictures there, leaving files that already hold them as they are. False when a file could
// not be written; any other address is left alone.
bool WriteCarriedGuideFor(const corvane::ByteString& address);

// Writes the carried guide and its pictures into folder, as WriteCarriedGuideFor does.
bool WriteCarriedGuide(const QString& folder);

#pragma once
// Where the user guide is: the installed copy beside an installed program, otherwise the copy in
// the source tree the program was built from (a program run from its build folder).

#include "core/bytestring.h"

#include <QString>

// The installed guide's path for a program whose executable lies in executableFolder:
// <prefix>/share/doc/corvane/guide.html for <prefix>/bin.
QString InstalledGuidePath(const QString& executableFolder);

// The guide in the source tree: doc/guide.html.
QString SourceGuidePath();

// The guide as a file:// address, percent-encoded so that it is plain ASCII: the installed copy
// when it exists, otherwise the source tree's.
corvane::ByteString UserGuideAddress(const QString& executableFolder);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Replacing a file the operator named with a new one written beside it, so that the name holds
// the old file or the whole new one and never a part. The name is followed through symbolic links
// to the file they lead to, which is what is replaced (the links stay links); the new file takes
// the old one's permissions, and its owner and group where the system lets us; and a name that
// leads to something other than a regular file (a FIFO, a device, a folder) is refused, as writing
// it would block or replace what is no file of the operator's.

#include "core/fileerror.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

struct FileReplacement {
    std::string target;    // the file to replace: the name with its links followed
    std::string temporary; // the new file, beside the target
    int fd = -1;           // open for writing the new file
};

// Makes the new file beside the file path leads to; the failure names path.
std::optional<FileError> BeginReplacement(const std::string& path, FileReplacement& replacement);

// Puts the written new file on the disk and closes it (fd is -1 after, whatever happens), puts it
// in the target's place, then syncs the folder so that the new name survives a power cut. 0, or
// the errno value of the first failure.
int CompleteReplacement(FileReplacement& replacement);

// Replaces the file path leads to with one that holds bytes, as above, in one go (for a file
// small enough to be made in memory first); the failure names path.
std::optional<FileError> ReplaceFileWith(const std::string& path, std::string_view bytes);

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A failure on a file the operator chose (save, capture): which file, and the system's reason
// in its own words, for one error box and one log line.

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

struct FileError {
    std::string file;   // the path as given
    std::string reason; // strerror's text for the errno ("No space left on device")
};

// The failure of file with the errno value code.
FileError FileErrorOf(std::string file, int code);

// Beyond the file size limit (ulimit -f) a write fails with EFBIG and raises SIGXFSZ at the
// writing thread, which would end the program. Called on a thread that writes files, it blocks
// the signal there for good, so that such a write only fails. Cheap after the first call.
void KeepFileSizeLimitFromEndingProgram();

// Opens path to capture to: created, and emptied, or when append kept; written at its end
// whatever else writes to it meanwhile (O_APPEND), so that two captures into one file, of this
// program or another, each add their writes whole. The file descriptor, or -1 with errno set.
int OpenCaptureFile(const std::string& path, bool append);

// Writes all size bytes to fd, going on after interruptions and short writes: 0, or the errno
// value of the failure (ENOSPC when a write takes nothing, as a full disk does).
int WriteWhole(int fd, const char* bytes, std::size_t size);
// The same at offset in the file, which the file position does not change.
int WriteWholeAt(int fd, const char* bytes, std::size_t size, std::int64_t offset);

} // namespace corvane

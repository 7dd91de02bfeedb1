// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/errors.h"

#include <cerrno>

namespace corvane::posix {

DWORD Win32ErrorFromErrno(int err, ErrnoContext context) {
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:       // TIOCEXCL: another program holds the port
    case EWOULDBLOCK: // flock: another program holds the port
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EIO:
        // A serial node without hardware behind it (most /dev/ttyS*) refuses to open with EIO;
        // on Windows that port simply does not exist. Once open, EIO means the device is gone.
        return context == ErrnoContext::Opening ? ERROR_FILE_NOT_FOUND : ERROR_GEN_FAILURE;
    case ENOTTY:
    case EOPNOTSUPP:
        return ERROR_NOT_SUPPORTED;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace corvane::posix

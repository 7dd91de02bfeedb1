#include "platform/posix/errors.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace corvane::posix;

namespace {

TEST(Win32ErrorFromErrno, GivesTheNumbersAWindowsUserWouldSee) {
    const struct {
        int err;
        ErrnoContext context;
        DWORD win32;
    } cases[] = {
        {ENOENT, ErrnoContext::Opening, ERROR_FILE_NOT_FOUND},
        {ENXIO, ErrnoContext::Opening, ERROR_FILE_NOT_FOUND},
        {ENODEV, ErrnoContext::Opening, ERROR_FILE_NOT_FOUND},
        {EIO, ErrnoContext::Opening, ERROR_FILE_NOT_FOUND},
        {EIO, ErrnoContext::Using, ERROR_GEN_FAILURE},
        {EACCES, ErrnoContext::Opening, ERROR_ACCESS_DENIED},
        {EPERM, ErrnoContext::Opening, ERROR_ACCESS_DENIED},
        {EBUSY, ErrnoContext::Opening, ERROR_ACCESS_DENIED},
        {EWOULDBLOCK, ErrnoContext::Opening, ERROR_ACCESS_DENIED},
        {EMFILE, ErrnoContext::Opening, ERROR_TOO_MANY_OPEN_FILES},
        {EBADF, ErrnoContext::Using, ERROR_INVALID_HANDLE},
        {EINVAL, ErrnoContext::Using, ERROR_INVALID_PARAMETER},
        {ENOTTY, ErrnoContext::Using, ERROR_NOT_SUPPORTED},
        {ENOMEM, ErrnoContext::Using, ERROR_NOT_ENOUGH_MEMORY},
        {0, ErrnoContext::Using, ERROR_SUCCESS},
        {EPIPE, ErrnoContext::Using, ERROR_GEN_FAILURE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Win32ErrorFromErrno(c.err, c.context), c.win32) << c.err;
}

} // namespace

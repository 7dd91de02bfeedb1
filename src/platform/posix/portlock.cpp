// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/portlock.h"

#include "platform/posix/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::posix {
namespace {

// How long a lock file that names no process counts as being written by its creator; after that
// it is a leftover of a crash, as lock libraries treat it.
constexpr time_t kUnwrittenLockSeconds = 5;

// The HDB UUCP form: the PID in ten characters, right-aligned, and a line feed.
std::string LockText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

// The PID a lock file names, or 0 when it names none (empty, half written or not a number).
pid_t OwnerOf(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    if (end == text || pid <= 0 || pid > INT_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

bool Alive(pid_t pid) {
    // EPERM: the process exists but belongs to someone else.
    return kill(pid, 0) == 0 || errno == EPERM;
}

enum class Holder { None, Live, Stale };

// Who holds the lock file at path. Reading it needs no right to write in its folder.
Holder HolderOf(const std::string& path) {
    struct stat info {};
    // A folder this user may not even search shows no locks: none can be honoured there.
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == EACCES ? Holder::None : Holder::Live;
    if (const pid_t owner = OwnerOf(path); owner != 0)
        return Alive(owner) ? Holder::Live : Holder::Stale;
    // One this process may not read is someone's; one that names nobody is still being written,
    // unless it has been so for longer than any creator takes.
    if (access(path.c_str(), R_OK) != 0)
        return Holder::Live;
    return std::time(nullptr) - info.st_mtime > kUnwrittenLockSeconds ? Holder::Stale
                                                                      : Holder::Live;
}

// The errors that mean this user may read the lock folder but not change it.
bool CannotWrite(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

// The lock file of a device in folder: LCK.. and the device's name below /dev with its slashes
// as underscores ("LCK..ttyUSB0", "LCK..pts_5"), as the other serial tools name their locks, so
// that a pseudo-terminal's lock is theirs too; a device outside /dev is named by its last
// component.
std::string LockFileIn(const std::string& folder, const std::string& device) {
    const std::string dev = "/dev/";
    std::string name =
        device.starts_with(dev) ? device.substr(dev.size()) : device.substr(device.rfind('/') + 1);
    std::replace(name.begin(), name.end(), '/', '_');
    return folder + "/LCK.." + name;
}

// Writes this process's lock text into a file of its own in folder and links that to path, so
// the lock appears whole or not at all: nobody ever finds an empty lock of ours. Returns 0, or the
// errno of the step that failed (EEXIST when someone holds path).
int CreateLock(const std::string& folder, const std::string& path) {
    const std::string text = LockText(getpid());
    const std::string temporary = folder + "/LTMP." + std::to_string(getpid());
    unlink(temporary.c_str()); // left by an earlier process with this PID: nobody's now
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    const ssize_t n = write(fd, text.data(), text.size());
    int error = n == static_cast<ssize_t>(text.size()) ? 0 : (n < 0 ? errno : ENOSPC);
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && link(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    unlink(temporary.c_str());
    return error;
}

} // namespace

std::string LockFolder() {
    if (const char* folder = std::getenv("CORVANE_LOCK_DIR"); folder && *folder)
        return folder;
    for (const char* folder : {"/run/lock", "/var/lock"}) {
        struct stat info {};
        if (stat(folder, &info) == 0 && S_ISDIR(info.st_mode))
            return folder;
    }
    return "";
}

int LockOwner(const std::string& devicePath) {
    const std::string folder = LockFolder();
    char device[PATH_MAX];
    if (folder.empty() || !realpath(devicePath.c_str(), device))
        return 0;
    const pid_t owner = OwnerOf(LockFileIn(folder, device));
    return owner != 0 && Alive(owner) ? owner : 0;
}

DWORD PortLock::Acquire(const std::string& devicePath) {
    Release();
    const std::string folder = LockFolder();
    if (folder.empty())
        return ERROR_SUCCESS;
    char device[PATH_MAX];
    if (!realpath(devicePath.c_str(), device))
        return Win32ErrorFromErrno(errno, ErrnoContext::Opening);
    const std::string path = LockFileIn(folder, device);
    // A second round only after a stale lock was removed; someone else may win that race.
    for (int round = 0; round < 2; ++round) {
        switch (HolderOf(path)) {
        case Holder::Live:
            return ERROR_ACCESS_DENIED;
        case Holder::Stale:
            // Nobody holds the device; a user who may not remove the lock cannot replace it.
            if (unlink(path.c_str()) != 0 && errno != ENOENT)
                return CannotWrite(errno) ? ERROR_SUCCESS
                                          : Win32ErrorFromErrno(errno, ErrnoContext::Opening);
            break;
        case Holder::None:
            break;
        }
        const int error = CreateLock(folder, path);
        if (error == 0) {
            path_ = path;
            return ERROR_SUCCESS;
        }
        // Where this user may make no files the others' locks are still honoured, above; the
        // port is then held without a lock file of ours.
        if (CannotWrite(error))
            return ERROR_SUCCESS;
        if (error != EEXIST)
            return Win32ErrorFromErrno(error, ErrnoContext::Opening);
    }
    return ERROR_ACCESS_DENIED;
}

void PortLock::Release() {
    if (path_.empty())
        return;
    // Only our own: a lock someone took over as stale is theirs now.
    if (OwnerOf(path_) == getpid())
        unlink(path_.c_str());
    path_.clear();
}

} // namespace corvane::posix

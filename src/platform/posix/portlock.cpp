#include "platform/posix/portlock.h"

#include "platform/posix/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::posix {
namespace {

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

bool WritableFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           access(path.c_str(), W_OK) == 0;
}

// The device's name below /dev with its slashes as underscores ("ttyUSB0", "pts_5"), as the
// other serial tools name their locks, so that a pseudo-terminal's lock is theirs too; a device
// outside /dev is named by its last component.
std::string LockName(const std::string& device) {
    const std::string dev = "/dev/";
    if (device.starts_with(dev)) {
        std::string name = device.substr(dev.size());
        std::replace(name.begin(), name.end(), '/', '_');
        return name;
    }
    return device.substr(device.rfind('/') + 1);
}

} // namespace

std::string LockFolder() {
    if (const char* folder = std::getenv("CORVANE_LOCK_DIR"); folder && *folder)
        return folder;
    for (const char* folder : {"/run/lock", "/var/lock"}) {
        if (WritableFolder(folder))
            return folder;
    }
    return "";
}

int LockOwner(const std::string& devicePath) {
    const std::string folder = LockFolder();
    char device[PATH_MAX];
    if (folder.empty() || !realpath(devicePath.c_str(), device))
        return 0;
    const pid_t owner = OwnerOf(folder + "/LCK.." + LockName(device));
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
    const std::string path = folder + "/LCK.." + LockName(device);
    const std::string text = LockText(getpid());
    // A second round only after a stale lock was removed; someone else may win that race.
    for (int round = 0; round < 2; ++round) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const bool written =
                write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            close(fd);
            if (!written) {
                unlink(path.c_str());
                return ERROR_ACCESS_DENIED;
            }
            path_ = path;
            return ERROR_SUCCESS;
        }
        if (errno != EEXIST)
            return Win32ErrorFromErrno(errno, ErrnoContext::Opening);
        const pid_t owner = OwnerOf(path);
        if (owner == 0 || Alive(owner))
            return ERROR_ACCESS_DENIED;
        unlink(path.c_str());
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

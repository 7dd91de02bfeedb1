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
#include <sys/file.h>
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

// The PID the open lock file fd names, or 0 when it names none (empty, half written or not a
// number).
pid_t OwnerIn(int fd) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    if (end == text || pid <= 0 || pid > INT_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

pid_t OwnerOf(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    const pid_t owner = OwnerIn(fd);
    close(fd);
    return owner;
}

bool Alive(pid_t pid) {
    // EPERM: the process exists but belongs to someone else.
    return kill(pid, 0) == 0 || errno == EPERM;
}

enum class Holder { None, Live, Stale };

// Who holds a lock file whose PID is owner (0: none) and whose last change was at changed.
Holder Judge(pid_t owner, time_t changed) {
    if (owner != 0)
        return Alive(owner) ? Holder::Live : Holder::Stale;
    // One that names nobody is still being written, unless it has been so for longer than any
    // creator takes.
    return std::time(nullptr) - changed > kUnwrittenLockSeconds ? Holder::Stale : Holder::Live;
}

// Who holds the lock file at path. Reading it needs no right to write in its folder.
Holder HolderOf(const std::string& path) {
    struct stat info {};
    // A folder this user may not even search shows no locks: none can be honoured there.
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == EACCES ? Holder::None : Holder::Live;
    if (const pid_t owner = OwnerOf(path); owner != 0)
        return Judge(owner, info.st_mtime);
    // One this process may not read is someone's.
    if (access(path.c_str(), R_OK) != 0)
        return Holder::Live;
    return Judge(0, info.st_mtime);
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

// This process's lock, written whole into a file of its own in the lock folder before it is put
// in place, so that nobody ever finds an empty lock of ours. Its name is unpredictable: the folder
// is writable by anyone, and a name someone could guess, they could take first.
class OwnLock {
public:
    explicit OwnLock(const std::string& folder) : path_(folder + "/LTMP.XXXXXX") {
        const int fd = mkstemp(path_.data());
        if (fd < 0) {
            path_.clear();
            return;
        }
        const std::string text = LockText(getpid());
        // mkstemp makes it readable by its owner only; the other tools must read it.
        bool written = fchmod(fd, 0644) == 0 &&
                       write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        written = close(fd) == 0 && written;
        if (!written)
            Discard();
    }
    ~OwnLock() { Discard(); }
    OwnLock(const OwnLock&) = delete;
    OwnLock& operator=(const OwnLock&) = delete;

    // Whether it could be made; where it could not (a folder this user may not write, a full
    // disk), nothing of ours can be put in place.
    bool Made() const { return !path_.empty(); }

    // Puts it in place at lock if nothing is there; errno as link() leaves it when not.
    bool LinkTo(const std::string& lock) const { return link(path_.c_str(), lock.c_str()) == 0; }

    // Puts it in place of the stale lock at lock, so that of all who found it stale exactly one
    // does: each locks the stale file (flock), and under that lock makes sure the name still
    // leads to that file and that it is still stale, then renames its own over it in one step.
    // Whoever comes next finds the name leading to another file, ours, and judges that. errno as
    // the failing step leaves it; EAGAIN when the stale lock is no longer what was found.
    bool ReplaceStale(const std::string& lock) {
        const int fd = open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            if (errno == ENOENT) // gone meanwhile: judged again
                errno = EAGAIN;
            return false;
        }
        struct stat locked {};
        struct stat named {};
        // One that someone else is judging right now is theirs to decide; the next look sees what.
        const bool stillStale = flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &locked) == 0 &&
                                lstat(lock.c_str(), &named) == 0 && locked.st_ino == named.st_ino &&
                                locked.st_dev == named.st_dev &&
                                Judge(OwnerIn(fd), locked.st_mtime) == Holder::Stale;
        const bool replaced = stillStale && rename(path_.c_str(), lock.c_str()) == 0;
        const int error = stillStale ? errno : EAGAIN;
        close(fd); // and with it the flock
        if (replaced)
            path_.clear();
        errno = error;
        return replaced;
    }

private:
    void Discard() {
        if (!path_.empty())
            unlink(path_.c_str());
        path_.clear();
    }

    std::string path_;
};

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
    OwnLock own(folder);
    // Where this user may make no files of its own the others' locks are still honoured; the port
    // is then held without a lock file of ours. A lock of ours that cannot be made never makes
    // the port held.
    if (!own.Made())
        return HolderOf(path) == Holder::Live ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    // A few rounds: a stale lock another program took over, or a lock that went between two
    // looks, is judged again.
    for (int round = 0; round < 4; ++round) {
        if (own.LinkTo(path)) {
            path_ = path;
            return ERROR_SUCCESS;
        }
        if (errno != EEXIST)
            return CannotWrite(errno) ? ERROR_SUCCESS
                                      : Win32ErrorFromErrno(errno, ErrnoContext::Opening);
        switch (HolderOf(path)) {
        case Holder::Live:
            return ERROR_ACCESS_DENIED;
        case Holder::None:
            break;
        case Holder::Stale:
            if (own.ReplaceStale(path)) {
                path_ = path;
                return ERROR_SUCCESS;
            }
            // Nobody holds the device; a user who may not replace the lock cannot take it.
            if (errno != EAGAIN)
                return CannotWrite(errno) ? ERROR_SUCCESS
                                          : Win32ErrorFromErrno(errno, ErrnoContext::Opening);
            break;
        }
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/filereplace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// The kernel's own limit on links followed in one name (ELOOP beyond it).
constexpr int kMostLinks = 40;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows path through symbolic links to what they lead to, which may not exist yet. 0, or the
// errno value (ELOOP for a loop of links).
int FollowLinks(std::string path, std::string& target) {
    for (int links = 0; links <= kMostLinks; ++links) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            target = path;
            return 0;
        }
        char to[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), to, sizeof to - 1);
        if (length < 0)
            return errno;
        const std::string link(to, static_cast<std::size_t>(length));
        path = link.starts_with('/') ? link : FolderOf(path) + link;
    }
    return ELOOP;
}

// Makes a new file beside target, named after it. -1 and errno on failure.
int MakeTemporaryBeside(const std::string& target, mode_t mode, std::string& made) {
    const std::string folder = FolderOf(target);
    const std::string name = target.substr(folder.size());
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", random());
        made = folder + "." + name + suffix + ".part";
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

std::optional<FileError> BeginReplacement(const std::string& path, FileReplacement& replacement) {
    if (const int code = FollowLinks(path, replacement.target))
        return FileErrorOf(path, code);
    struct stat old {};
    const bool exists = ::stat(replacement.target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return FileErrorOf(path, errno);
    if (exists && S_ISDIR(old.st_mode))
        return FileErrorOf(path, EISDIR);
    if (exists && !S_ISREG(old.st_mode))
        return FileError{path, "Not a regular file"};
    // A new file is readable as the system's default makes it (0666 less the umask); one that
    // replaces a file is made private and then given that file's permissions, so that its text is
    // never readable by more than the old file's was.
    replacement.fd =
        MakeTemporaryBeside(replacement.target, exists ? 0600 : 0666, replacement.temporary);
    if (replacement.fd < 0)
        return FileErrorOf(path, errno);
    if (exists) {
        // Only root may give a file away; a member of the old file's group may give it that group.
        if (::fchown(replacement.fd, old.st_uid, old.st_gid) != 0)
            (void)!::fchown(replacement.fd, static_cast<uid_t>(-1), old.st_gid);
        if (::fchmod(replacement.fd, old.st_mode & 07777) != 0) {
            const int code = errno;
            ::close(replacement.fd);
            replacement.fd = -1;
            ::unlink(replacement.temporary.c_str());
            return FileErrorOf(path, code);
        }
    }
    return std::nullopt;
}

int CompleteReplacement(FileReplacement& replacement) {
    // On the disk before it takes the target's name.
    const int synced = ::fsync(replacement.fd) != 0 ? errno : 0;
    const int closed = ::close(replacement.fd) != 0 ? errno : 0;
    replacement.fd = -1;
    if (synced != 0 || closed != 0)
        return synced != 0 ? synced : closed;
    if (::rename(replacement.temporary.c_str(), replacement.target.c_str()) != 0)
        return errno;
    const std::string folder = FolderOf(replacement.target);
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // Some file systems cannot sync a folder (EINVAL): their names are as safe as they get.
    const int code = ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    return code;
}

std::optional<FileError> ReplaceFileWith(const std::string& path, std::string_view bytes) {
    KeepFileSizeLimitFromEndingProgram();
    FileReplacement file;
    if (auto error = BeginReplacement(path, file))
        return error;
    int code = WriteWhole(file.fd, bytes.data(), bytes.size());
    if (code == 0) {
        code = CompleteReplacement(file);
    } else {
        ::close(file.fd);
    }
    if (code == 0)
        return std::nullopt;
    ::unlink(file.temporary.c_str());
    return FileErrorOf(path, code);
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/openfailure.h"

#include "platform/comports.h"
#include "platform/posix/portlock.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace corvane {
namespace {

// "ModemManager, PID 812": the command name the kernel keeps for the process.
std::string Describe(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string command;
    std::getline(in, command);
    return (command.empty() ? "?" : command) + ", PID " + std::to_string(pid);
}

// The index of the pseudo-terminal whose slave device is device, or -1 when it is no pty's.
// Unix98 pty slaves have the majors 136 to 143, 256 minors each.
int PtyIndex(dev_t device) {
    const unsigned first = 136, last = 143;
    return major(device) >= first && major(device) <= last
               ? static_cast<int>((major(device) - first) * 256 + minor(device))
               : -1;
}

// Whether descriptor fd of process is the master of pty number index: the kernel names the index
// in the descriptor's fdinfo.
bool IsMasterOf(const std::string& process, const std::string& fd, int index) {
    std::ifstream info("/proc/" + process + "/fdinfo/" + fd);
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("tty-index:", 0) == 0)
            return std::stoi(line.substr(10)) == index;
    }
    return false;
}

// Whether the process has the character device open as a user of it. The program at the other
// end of a pseudo-terminal (socat, a test, an emulator) has its slave open too, to keep the pair
// alive, and is the device rather than a rival: one that holds the master does not count.
bool UsesDevice(const std::string& process, dev_t device) {
    const std::string folder = "/proc/" + process + "/fd";
    DIR* fds = opendir(folder.c_str());
    if (!fds) // gone, or another user's: only root may look
        return false;
    const int pty = PtyIndex(device);
    bool uses = false;
    bool farEnd = false;
    while (const dirent* entry = readdir(fds)) {
        struct stat info {};
        if (entry->d_name[0] == '.' || stat((folder + "/" + entry->d_name).c_str(), &info) != 0 ||
            !S_ISCHR(info.st_mode))
            continue;
        if (info.st_rdev == device)
            uses = true;
        else if (pty >= 0 && IsMasterOf(process, entry->d_name, pty))
            farEnd = true;
    }
    closedir(fds);
    return uses && !farEnd;
}

// The first process but this one that uses the character device; 0 when none is found.
int ProcessWithOpen(dev_t device) {
    DIR* processes = opendir("/proc");
    if (!processes)
        return 0;
    const std::string self = std::to_string(getpid());
    int found = 0;
    while (const dirent* entry = readdir(processes)) {
        const std::string name = entry->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos || name == self)
            continue;
        if (UsesDevice(name, device)) {
            found = std::stoi(name);
            break;
        }
    }
    closedir(processes);
    return found;
}

std::string GroupName(gid_t gid) {
    const group* entry = getgrgid(gid);
    return entry ? entry->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
    const passwd* entry = getpwuid(uid);
    return entry ? entry->pw_name : std::to_string(uid);
}

// The mode as ls -l shows it: the type, then read, write and execute for owner, group and others,
// with the set-ID and sticky bits in the execute places.
std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode)    ? "c"
                       : S_ISBLK(mode)  ? "b"
                       : S_ISDIR(mode)  ? "d"
                       : S_ISFIFO(mode) ? "p"
                       : S_ISLNK(mode)  ? "l"
                       : S_ISSOCK(mode) ? "s"
                                        : "-";
    const auto triple = [&](mode_t read, mode_t write, mode_t exec, mode_t special, char mark) {
        text += (mode & read) ? 'r' : '-';
        text += (mode & write) ? 'w' : '-';
        if (mode & special)
            text += (mode & exec) ? mark : static_cast<char>(mark - 'a' + 'A');
        else
            text += (mode & exec) ? 'x' : '-';
    };
    triple(S_IRUSR, S_IWUSR, S_IXUSR, S_ISUID, 's');
    triple(S_IRGRP, S_IWGRP, S_IXGRP, S_ISGID, 's');
    triple(S_IROTH, S_IWOTH, S_IXOTH, S_ISVTX, 't');
    return text;
}

// Whether this session has the group: as its own or among its supplementary groups.
bool SessionHas(gid_t gid) {
    if (getegid() == gid)
        return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    const int got = getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(got, 0)));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// Whether the user database puts this user in the group, whether or not the session has it yet.
bool UserListedIn(gid_t gid) {
    const passwd* user = getpwuid(geteuid());
    if (!user)
        return false;
    const std::string name = user->pw_name;
    const gid_t own = user->pw_gid;
    if (own == gid)
        return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(name.c_str(), own, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(name.c_str(), own, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<std::size_t>(count));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// Whether a group, and which, would give this user the rights needed on what info describes:
// only one whose members have them all, that the user is not in yet, and not root's.
RightsAdvice AdviceFor(const struct stat& info, mode_t needed) {
    if ((info.st_mode & needed) != needed || info.st_gid == 0 || SessionHas(info.st_gid))
        return RightsAdvice::None;
    return UserListedIn(info.st_gid) ? RightsAdvice::LogInAgain : RightsAdvice::JoinGroup;
}

// The refusal of what info describes, at path, to a user who lacks the needed group rights.
void Refuse(OpenFailure& failure, const std::string& path, const struct stat& info, mode_t needed) {
    failure.cause = OpenFailureCause::Refused;
    failure.refused = path;
    failure.owner = UserName(info.st_uid);
    failure.group = GroupName(info.st_gid);
    failure.mode = ModeText(info.st_mode);
    failure.advice = AdviceFor(info, needed);
}

// The first folder on the way to path that this user may not enter; empty when there is none.
std::string ClosedFolderOn(const std::string& path) {
    std::filesystem::path folder;
    const std::filesystem::path whole(path);
    for (auto part = whole.begin(); part != whole.end(); ++part) {
        folder /= *part;
        if (std::next(part) == whole.end())
            break;
        if (faccessat(AT_FDCWD, folder.c_str(), X_OK, AT_EACCESS) != 0 && errno == EACCES)
            return folder.string();
    }
    return "";
}

// Whether device is a pty's: a pty's exclusive flag lasts while its master is open, beyond the
// program that set it; any other tty's goes with its last close.
bool IsPty(const std::string& device) {
    struct stat info {};
    return stat(device.c_str(), &info) == 0 && PtyIndex(info.st_rdev) >= 0;
}

// The number of the character device at path, links followed; nullopt when there is none.
std::optional<dev_t> CharacterDeviceAt(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return std::nullopt;
    return info.st_rdev;
}

} // namespace

bool OpenElsewhere(const std::string& device) {
    const auto number = CharacterDeviceAt(device);
    return number && ProcessWithOpen(*number) != 0;
}

bool MayOpen(const std::string& device) {
    return faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 ||
           (errno != EACCES && errno != EPERM);
}

std::string OtherHolder(const std::string& device) {
    if (const int owner = posix::LockOwner(device); owner != 0 && owner != getpid())
        return Describe(owner);
    const auto number = CharacterDeviceAt(device);
    const int process = number ? ProcessWithOpen(*number) : 0;
    return process != 0 ? Describe(process) : "";
}

OpenFailure ExplainOpenFailure(unsigned number, DWORD error) {
    OpenFailure failure;
    failure.device = ComPortDevice(number);
    if (failure.device.empty()) // a number no block covers and no link names
        failure.device = ComPortsFolder() + "/COM" + std::to_string(number);
    struct stat info {};
    const bool there = stat(failure.device.c_str(), &info) == 0;
    // Not missing: hidden behind a folder this user may not enter.
    if (!there && errno == EACCES) {
        if (const std::string closed = ClosedFolderOn(failure.device); !closed.empty()) {
            struct stat folder {};
            if (stat(closed.c_str(), &folder) == 0) {
                Refuse(failure, closed, folder, S_IXGRP);
                return failure;
            }
        }
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || !there) {
        failure.cause = OpenFailureCause::Missing;
        return failure;
    }
    if (!S_ISCHR(info.st_mode)) {
        failure.cause = OpenFailureCause::NotSerial;
        return failure;
    }
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
        return failure;
    // A lock file is the first word on who holds a port; the permissions come next, as a user
    // without them cannot see who else has the device open anyway.
    if (const int owner = posix::LockOwner(failure.device); owner != 0) {
        failure.cause = OpenFailureCause::Held;
        failure.holder = Describe(owner);
        return failure;
    }
    if (!MayOpen(failure.device)) {
        Refuse(failure, failure.device, info, S_IRGRP | S_IWGRP);
        return failure;
    }
    failure.cause = OpenFailureCause::Held;
    if (const int process = ProcessWithOpen(info.st_rdev); process != 0)
        failure.holder = Describe(process);
    else if (error == ERROR_SHARING_VIOLATION && IsPty(failure.device))
        failure.cause = OpenFailureCause::LeftExclusive;
    return failure;
}

} // namespace corvane

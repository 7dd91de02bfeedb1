// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/openfailure.h"

#include "platform/comports.h"
#include "platform/posix/portlock.h"

#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        stat(failure.device.c_str(), &info) != 0) {
        failure.cause = OpenFailureCause::Missing;
        return failure;
    }
    if (error != ERROR_ACCESS_DENIED)
        return failure;
    // A lock file is the first word on who holds a port; the permissions come next, as a user
    // without them cannot see who else has the device open anyway.
    if (const int owner = posix::LockOwner(failure.device); owner != 0) {
        failure.cause = OpenFailureCause::Held;
        failure.holder = Describe(owner);
        return failure;
    }
    if (access(failure.device.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        failure.cause = OpenFailureCause::Refused;
        failure.group = GroupName(info.st_gid);
        return failure;
    }
    failure.cause = OpenFailureCause::Held;
    if (const int process = ProcessWithOpen(info.st_rdev); process != 0)
        failure.holder = Describe(process);
    return failure;
}

} // namespace corvane

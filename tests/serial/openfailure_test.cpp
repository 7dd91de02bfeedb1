// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/openfailureline.h"

#include "configfolder.h"
#include "core/codepage.h"
#include "otherprogram.h"
#include "platform/posix/ttydevice.h"
#include "portfixture.h"
#include "serial/devicemessages.h"
#include "serial/messages.h"
#include "serial/seriallink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace corvane;
using namespace corvane::serial;
using namespace corvane::testing;

namespace {

std::string CommandOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string command;
    std::getline(in, command);
    return command;
}

class OpenFailure : public PortFixture {
protected:
    // The lines a refused open of COM<number> writes.
    std::vector<ByteString> OpenLines(BYTE number) {
        panes.Clear();
        AttachComPort(OpenComPort(panes, number, 19200), nullptr);
        EXPECT_EQ(hComPort, INVALID_HANDLE_VALUE);
        return panes.Log();
    }
    static std::vector<ByteString> Refusal(const ByteString& reason) {
        return {kInvalidHandle, reason};
    }
};

TEST(OpenFailureTexts, AreTheWindows1251BytesOfTheRussianTexts) {
    EXPECT_EQ(FromCodePage(kNoDevice + "/dev/x"), QString::fromUtf8("Нет устройства /dev/x"));
    EXPECT_EQ(FromCodePage(kNoRightsOn + "/dev/x" + kJoinGroup + "dialout" + kLogInAgain),
              QString::fromUtf8("Нет прав на /dev/x: добавьте пользователя в группу dialout и "
                                "войдите в систему заново"));
    EXPECT_EQ(FromCodePage(kDeviceBusy), QString::fromUtf8("Устройство занято: "));
    EXPECT_EQ(FromCodePage(kOpenFailedOn), QString::fromUtf8("Ошибка открытия "));
    EXPECT_EQ(FromCodePage(kDeviceBack), QString::fromUtf8("Связь с устройством восстановлена: "));
    EXPECT_EQ(FromCodePage(kLogInAgainOnly), QString::fromUtf8(": войдите в систему заново"));
    EXPECT_EQ(FromCodePage(kLeftExclusive),
              QString::fromUtf8(" (монопольный доступ оставила завершившаяся программа; "
                                "переподключите устройство)"));
    EXPECT_EQ(FromCodePage(kNotSerialPort), QString::fromUtf8("Не последовательный порт: "));
}

TEST_F(OpenFailure, NothingAtThePathNamesThePathTheLinksLeadTo) {
    folder.Link(8, "/dev/nonexistent-corvane-device");
    EXPECT_EQ(OpenLines(8), Refusal(kNoDevice + "/dev/nonexistent-corvane-device"));
    // A link to a by-id name of an adapter that is not plugged in: the name it waits for.
    folder.Link(9, folder.Path() + "/by-id-link");
    std::filesystem::create_symlink("/dev/serial/by-id/usb-corvane-absent",
                                    folder.Path() + "/by-id-link");
    EXPECT_EQ(OpenLines(9), Refusal(kNoDevice + "/dev/serial/by-id/usb-corvane-absent"));
    // A number no block covers and no link names: where its link would go.
    EXPECT_EQ(OpenLines(200), Refusal(kNoDevice + folder.Path() + "/COM200"));
    // The device gone from behind a link that led to it.
    const std::string path = device.SlavePath();
    device.CloseMaster();
    EXPECT_EQ(OpenLines(7), Refusal(kNoDevice + path));
}

TEST_F(OpenFailure, ADeviceHeldByALockFileNamesTheLocksProcess) {
    OtherProgram holder;
    holder.WriteLock(folder.LockFolder(), device.LockName());
    EXPECT_EQ(OpenLines(7), Refusal(kDeviceBusy + device.SlavePath() + " (sleep, PID " +
                                    std::to_string(holder.Pid()) + ")"));
    // The lock of a process that has ended is stale: the port opens.
    holder.End();
    panes.Clear();
    AttachComPort(OpenComPort(panes, 7, 19200), nullptr);
    EXPECT_NE(hComPort, INVALID_HANDLE_VALUE);
}

TEST_F(OpenFailure, ADeviceHeldWithoutALockFileNamesTheProcessThatHasItOpen) {
    OtherProgram holder(device.SlavePath());
    EXPECT_EQ(OpenLines(7), Refusal(kDeviceBusy + device.SlavePath() + " (sleep, PID " +
                                    std::to_string(holder.Pid()) + ")"));
}

TEST_F(OpenFailure, ADeviceAnotherProgramMerelyHasOpenIsHeldByIt) {
    // As `cat /dev/pts/N` reads it: no lock, no flock, no exclusive flag. Opening beside it would
    // let whichever reads first take the device's bytes.
    OtherProgram reader(device.SlavePath(), OtherProgram::Descriptors::None,
                        OtherProgram::Claim::None);
    EXPECT_EQ(OpenLines(7), Refusal(kDeviceBusy + device.SlavePath() + " (sleep, PID " +
                                    std::to_string(reader.Pid()) + ")"));
    // Not a word to the device meanwhile: the reader's line is left as it was.
    EXPECT_EQ(device.ReadAvailable(), "");
    reader.End();
    Open(7, 19200);
    EXPECT_NE(hComPort, INVALID_HANDLE_VALUE);
}

TEST_F(OpenFailure, APortThisProgramHoldsNamesThisProgram) {
    const HANDLE first = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenLines(7), Refusal(kDeviceBusy + device.SlavePath() + " (" + CommandOf(getpid()) +
                                    ", PID " + std::to_string(getpid()) + ")"));
    CloseHandle(first);
}

// Another user on this machine: nobody, whose own group (in the user database) is nogroup, in a
// session of the groups given, the first its primary one.
struct OtherUser {
    std::vector<gid_t> groups{65534};
};

// The lines an open of COM<number> writes for user, in a child of that user. The ports folder, the
// lock folder and the pty become reachable to it.
std::vector<ByteString> OpenLinesAs(const OtherUser& user, BYTE number, const PortsFolder& folder) {
    chmod(folder.Path().c_str(), 0755);
    chmod(folder.LockFolder().c_str(), 0777);
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        if (setgroups(user.groups.size(), user.groups.data()) != 0 ||
            setgid(user.groups.front()) != 0 || setuid(65534) != 0)
            _exit(1);
        RecordingPanes lines;
        const HANDLE port = OpenComPort(lines, number, 19200);
        ByteString text = port == INVALID_HANDLE_VALUE ? "" : "opened\n";
        for (const ByteString& line : lines.Log())
            text += line + "\n";
        const bool written =
            write(pipeFds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        _exit(written ? 0 : 1);
    }
    close(pipeFds[1]);
    ByteString text;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<ByteString> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != ByteString::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

gid_t GroupId(const char* name) {
    const group* entry = getgrnam(name);
    return entry ? entry->gr_gid : 0;
}

struct RightsCase {
    const char* what;
    mode_t mode;
    const char* group;                // of the device; its owner is root
    std::vector<const char*> session; // the user's groups in the session
    std::string reason;               // after "Нет прав на " and the path
};

TEST_F(OpenFailure, ThePermissionLineNamesAGroupOnlyWhereJoiningItWouldHelp) {
    if (getuid() != 0)
        GTEST_SKIP() << "giving the device other owners and opening it as another user needs root";
    const std::string path = device.SlavePath();
    const ByteString joinDialout = kJoinGroup + "dialout" + kLogInAgain;
    const RightsCase cases[] = {
        {"no right for the group", 0600, "root", {"nogroup"}, " (root:root, crw-------)"},
        {"the user's own group", 0600, "nogroup", {"nogroup"}, " (root:nogroup, crw-------)"},
        {"the terminals' group, write only", 0620, "tty", {"nogroup"}, " (root:tty, crw--w----)"},
        {"read only for the group", 0640, "dialout", {"nogroup"}, " (root:dialout, crw-r-----)"},
        {"a group the session has",
         0600,
         "dialout",
         {"nogroup", "dialout"},
         " (root:dialout, crw-------)"},
        {"root's group is no advice", 0660, "root", {"nogroup"}, " (root:root, crw-rw----)"},
        {"a group that would help", 0660, "dialout", {"nogroup"}, joinDialout},
        // nobody's group in the user database is nogroup, which this session lacks.
        {"a group of the user's that the session lacks",
         0660,
         "nogroup",
         {"dialout"},
         kLogInAgainOnly},
    };
    for (const RightsCase& c : cases) {
        ASSERT_EQ(chown(path.c_str(), 0, GroupId(c.group)), 0) << c.what;
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0) << c.what;
        OtherUser user;
        user.groups.clear();
        for (const char* name : c.session)
            user.groups.push_back(GroupId(name));
        EXPECT_EQ(OpenLinesAs(user, 7, folder), Refusal(kNoRightsOn + path + c.reason)) << c.what;
    }
}

TEST_F(OpenFailure, AFolderTheUserMayNotEnterIsNamedWithItsRights) {
    if (getuid() != 0)
        GTEST_SKIP() << "a folder closed to another user needs root";
    const std::string closed = folder.Path() + "/closed";
    std::filesystem::create_directory(closed);
    ASSERT_EQ(chmod(closed.c_str(), 0700), 0);
    std::filesystem::create_symlink(device.SlavePath(), closed + "/tty");
    folder.Link(11, closed + "/tty");
    EXPECT_EQ(OpenLinesAs(OtherUser{}, 11, folder),
              Refusal(kNoRightsOn + closed + " (root:root, drwx------)"));
}

TEST_F(OpenFailure, ALinkToSomethingThatIsNoDeviceSaysSo) {
    const std::string dir = folder.Path() + "/a-folder";
    const std::string file = folder.Path() + "/a-file";
    const std::string fifo = folder.Path() + "/a-fifo";
    std::filesystem::create_directory(dir);
    std::ofstream(file) << "text";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    BYTE number = 11;
    for (const std::string& target : {dir, file, fifo}) {
        folder.Link(number, target);
        EXPECT_EQ(OpenLines(number), Refusal(kNotSerialPort + target));
        ++number;
    }
    // Nothing was left behind in the lock folder for them.
    EXPECT_TRUE(std::filesystem::is_empty(folder.LockFolder()));
}

// The exclusive flag a program set on a pty stays while the pty's master is open (here the test
// holds it), after that program is killed.
pid_t KilledWhileHoldingCom7() {
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        const HANDLE port = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        const char done = port == INVALID_HANDLE_VALUE ? 'n' : 'y';
        if (write(ready[1], &done, 1) != 1)
            _exit(1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char done = 0;
    EXPECT_EQ(read(ready[0], &done, 1), 1);
    close(ready[0]);
    EXPECT_EQ(done, 'y');
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return child;
}

TEST_F(OpenFailure, AnExclusiveFlagLeftByAKilledProgramIsTakenOverWhereTheSystemLetsUs) {
    KilledWhileHoldingCom7();
    if (getuid() == 0) {
        // An ordinary user may not get past the flag.
        ASSERT_EQ(chmod(device.SlavePath().c_str(), 0666), 0);
        EXPECT_EQ(OpenLinesAs(OtherUser{}, 7, folder),
                  Refusal(kDeviceBusy + device.SlavePath() + kLeftExclusive));
        Open(7, 19200);
        ASSERT_NE(hComPort, INVALID_HANDLE_VALUE);
        EXPECT_EQ(panes.Log(), std::vector<ByteString>{});
        // Taken over for good: once closed, the port opens for anyone.
        CloseHandle(hComPort);
        AttachComPort(INVALID_HANDLE_VALUE, nullptr);
        EXPECT_EQ(OpenLinesAs(OtherUser{}, 7, folder), std::vector<ByteString>{"opened"});
    } else {
        EXPECT_EQ(OpenLines(7), Refusal(kDeviceBusy + device.SlavePath() + kLeftExclusive));
    }
}

TEST_F(OpenFailure, AnyOtherFailureGivesTheSystemsText) {
    folder.Link(10, "/dev/null"); // a character device, but no terminal
    EXPECT_EQ(OpenLines(10),
              Refusal(kOpenFailedOn + "/dev/null: " + SystemErrorText(ERROR_NOT_SUPPORTED)));
    EXPECT_EQ(SystemErrorText(ERROR_NOT_SUPPORTED), "The request is not supported");
}

// The device goes at the moment the port reads its error counters: open, and not yet configured.
PtyDevice* vanishing = nullptr;
bool PullDeviceWhileOpening(int, posix::LineErrorCounts&) {
    if (vanishing)
        std::exchange(vanishing, nullptr)->CloseMaster();
    return false;
}

TEST_F(OpenFailure, ADeviceGoneDuringTheOpenIsReportedOnceAsLostWithNoStepLines) {
    ConfigFolder config;
    vanishing = &device;
    posix::SetLineErrorCountsSource(PullDeviceWhileOpening);
    const bool opened = OpenSerialLink(panes, 7, 19200);
    posix::SetLineErrorCountsSource(nullptr);
    ASSERT_TRUE(opened);
    const auto count = [&](const ByteString& line) {
        const auto lines = panes.Log();
        return std::count(lines.begin(), lines.end(), line);
    };
    ASSERT_TRUE(ServeUntil([&] { return count(kDeviceGone) == 1; }));
    CloseSerialLink();
    ASSERT_TRUE(ServeUntil([] { return !RxThreadRegistered(); }));
    EXPECT_EQ(count(kDeviceGone), 1);
    // Nothing but the worker's start and end and the loss: no step the device could not take.
    EXPECT_EQ(panes.Log().size(), 3u) << ::testing::PrintToString(panes.Log());
}

} // namespace

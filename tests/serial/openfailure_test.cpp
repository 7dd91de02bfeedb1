// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/openfailureline.h"

#include "core/codepage.h"
#include "otherprogram.h"
#include "portfixture.h"
#include "serial/devicemessages.h"
#include "serial/messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The line an open of COM7 writes for a user who may not use the device: as nobody in a child
// when the test runs as root, else as this user with every permission taken away.
ByteString RefusedLine() {
    if (getuid() != 0) {
        const HANDLE port = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        EXPECT_EQ(port, INVALID_HANDLE_VALUE);
        const DWORD error = GetLastError();
        return OpenFailureLine(ExplainOpenFailure(7, error), error);
    }
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(1);
        const HANDLE port = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        const DWORD error = GetLastError();
        const ByteString line = port == INVALID_HANDLE_VALUE
                                    ? OpenFailureLine(ExplainOpenFailure(7, error), error)
                                    : "opened";
        const bool written =
            write(pipeFds[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
        _exit(written ? 0 : 1);
    }
    close(pipeFds[1]);
    ByteString line;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        line.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return line;
}

TEST_F(OpenFailure, ADeviceTheUserMayNotOpenSaysWhichGroupToJoin) {
    const std::string path = device.SlavePath();
    if (getuid() == 0) {
        // nobody may reach the links and take a lock; only the device itself is closed to it.
        chmod(folder.Path().c_str(), 0755);
        chmod(folder.LockFolder().c_str(), 0777);
        ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    } else {
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
    }
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    const group* own = getgrgid(info.st_gid);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(RefusedLine(), kNoRightsOn + path + kJoinGroup + own->gr_name + kLogInAgain);

    // The device of the group serial ports have on Debian.
    if (const group* dialout = getgrnam("dialout"); dialout && getuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), 0, dialout->gr_gid), 0);
        EXPECT_EQ(RefusedLine(), kNoRightsOn + path + kJoinGroup + "dialout" + kLogInAgain);
    }
}

TEST_F(OpenFailure, AnyOtherFailureGivesTheSystemsText) {
    folder.Link(10, "/dev/null"); // a character device, but no terminal
    EXPECT_EQ(OpenLines(10),
              Refusal(kOpenFailedOn + "/dev/null: " + SystemErrorText(ERROR_NOT_SUPPORTED)));
    EXPECT_EQ(SystemErrorText(ERROR_NOT_SUPPORTED), "The request is not supported");
}

} // namespace

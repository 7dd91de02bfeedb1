// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Another program on the machine, for the tests of what Corvane does about devices others hold: a
// child process that runs sleep, with a device open (claimed with flock, or plainly, as cat reads
// one), or just alive for a lock file to name it. Not with TIOCEXCL: that flag stays on a tty
// someone else keeps open (the test's own end of a pty) after the process is gone.

#include "recordingpanes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::testing {

class OtherProgram {
public:
    // Descriptors: None, or everything this process has open, as the program at the far end of a
    // pty has both its ends.
    enum class Descriptors { None, This };
    // How the device is held: claimed with flock, or merely open.
    enum class Claim { Flock, None };

    explicit OtherProgram(const std::string& device = "", Descriptors kept = Descriptors::None,
                          Claim claim = Claim::Flock) {
        pid_ = fork();
        if (pid_ == 0) {
            // Nothing of the test's, unless asked: a pty master kept here keeps its device plugged
            // in.
            if (kept == Descriptors::None)
                close_range(3, ~0U, 0);
            if (!device.empty()) {
                const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
                if (fd < 0 || (claim == Claim::Flock && flock(fd, LOCK_EX | LOCK_NB) != 0))
                    _exit(1);
            }
            execlp("sleep", "sleep", "600", static_cast<char*>(nullptr));
            _exit(1);
        }
        // Until the device is open and the command is "sleep", the holder cannot be told.
        EXPECT_TRUE(ServeUntil([&] { return Command() == "sleep"; }));
    }
    ~OtherProgram() { End(); }
    void End() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    pid_t Pid() const { return pid_; }
    // Writes the UUCP lock file that names this process, as lockName in folder.
    void WriteLock(const std::string& folder, const std::string& lockName) const {
        std::ofstream(folder + "/" + lockName)
            << std::string(10 - std::to_string(pid_).size(), ' ') << pid_ << "\n";
    }

private:
    std::string Command() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/comm");
        std::string command;
        std::getline(in, command);
        return command;
    }
    pid_t pid_ = -1;
};

} // namespace corvane::testing

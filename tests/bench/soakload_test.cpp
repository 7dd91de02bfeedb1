// SPDX-License-Identifier: GPL-3.0-or-later
// The soak's load generator (bench/soak_load) as its own process: it must end on SIGTERM whatever
// the program at the other end does, or the soak never prints its report.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Waits until done() holds, for at most a bound far beyond what it takes; returns done().
template <class Done> bool Await(Done done, std::chrono::seconds bound) {
    const auto until = Clock::now() + bound;
    while (!done() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

TEST(SoakLoad, EndsOnSigtermWhileTheProgramHoldsItsDeviceWithoutReading) {
    std::string base = (fs::temp_directory_path() / "corvane-soakload-XXXXXX").string();
    ASSERT_NE(mkdtemp(base.data()), nullptr);
    const fs::path folder = base;
    const std::string ports = (folder / "ports").string();
    const std::string ready = (folder / "ready").string();
    // Ten datagrams a second to an unopened port, no hang-up within the test.
    const char* argv[] = {SOAK_LOAD, ports.c_str(), "200", ready.c_str(), "10", "600000", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t load = 0;
    ASSERT_EQ(posix_spawn(&load, SOAK_LOAD, &actions, nullptr, const_cast<char**>(argv), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_TRUE(Await([&] { return fs::exists(ready); }, std::chrono::seconds(30)));

    // A program opens the device, as the kernel leaves it, and never reads: the pty fills within
    // a few of the load's bursts (one of 64 KiB every 2.5 s), and a blocking write to it would
    // never return. The stop comes once a thread of the load is stuck so, or after 5 s.
    const int device = open((folder / "ports/COM200").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(device, 0);
    const auto stuckInWrite = [&] {
        const fs::path tasks = "/proc/" + std::to_string(load) + "/task";
        for (const auto& task : fs::directory_iterator(tasks)) {
            std::string wchan;
            std::getline(std::ifstream(task.path() / "wchan"), wchan);
            if (wchan == "wait_woken")
                return true;
        }
        return false;
    };
    Await(stuckInWrite, std::chrono::seconds(5));

    ASSERT_EQ(kill(load, SIGTERM), 0);
    int status = 0;
    bool reaped = false;
    const bool ended =
        Await([&] { return reaped = reaped || waitpid(load, &status, WNOHANG) == load; },
              std::chrono::seconds(30));
    if (!ended) {
        kill(load, SIGKILL);
        waitpid(load, &status, 0);
    }
    close(device);
    fs::remove_all(folder);
    EXPECT_TRUE(ended) << "the load did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The built program run as a user runs it, mostly where no display can be reached: what it
// prints, and how it ends.
#include "commandline/commandline.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

struct Ended {
    bool exited = false; // false: ended by a signal (an abort, a crash)
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Runs the program with these arguments in this process's environment, less every way to reach
// a display, plus the variables given; waits for it to end.
Ended RunProgram(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& set = {}) {
    QTemporaryDir folder;
    EXPECT_TRUE(folder.isValid());
    const std::string out = folder.path().toStdString() + "/out";
    const std::string err = folder.path().toStdString() + "/err";

    std::vector<std::string> environment;
    for (char** v = environ; *v; ++v) {
        const std::string variable = *v;
        const std::string name = variable.substr(0, variable.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM" &&
            !set.count(name))
            environment.push_back(variable);
    }
    for (const auto& [name, value] : set)
        environment.push_back(name + '=' + value);
    // A test that fails must not leave a core file behind.
    environment.push_back("HOME=" + folder.path().toStdString());

    std::vector<std::string> command{CORVANE_PROGRAM};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (auto& a : command)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Ended ended;
    EXPECT_EQ(spawned, 0) << std::strerror(spawned);
    if (spawned != 0)
        return ended;
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    ended.exited = WIFEXITED(status);
    ended.exitCode = ended.exited ? WEXITSTATUS(status) : -1;
    ended.out = ReadFile(out);
    ended.err = ReadFile(err);
    return ended;
}

// A display number nobody serves on this machine.
std::string UnservedDisplay() {
    for (int n = 700 + static_cast<int>(getpid() % 200);; ++n) {
        struct stat info {};
        if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &info) != 0)
            return ':' + std::to_string(n);
    }
}

const std::string kNoDisplay = std::string(corvane::kNoDisplayLine) + '\n';

TEST(Program, HelpAndVersionNeedNoDisplay) {
    const Ended help = RunProgram({"--help"});
    EXPECT_TRUE(help.exited);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: corvane [options]\n", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");

    const Ended version = RunProgram({"--version"});
    EXPECT_TRUE(version.exited);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, corvane::VersionText());
    EXPECT_EQ(version.err, "");
}

TEST(Program, AWrongCommandLineEndsWithTwoBeforeTheDisplayIsLookedFor) {
    for (const char* wrong : {"--bogus", "COM1"}) {
        const Ended ended = RunProgram({wrong});
        EXPECT_TRUE(ended.exited);
        EXPECT_EQ(ended.exitCode, corvane::kExitUsage);
        EXPECT_EQ(ended.out, "");
        EXPECT_EQ(ended.err.rfind("corvane: ", 0), 0u) << ended.err;
        EXPECT_NE(ended.err.find("\nUsage: corvane [options]\n"), std::string::npos) << ended.err;
    }
}

TEST(Program, NoDisplayIsOneLineAndExitOneNotACrash) {
    const Ended unset = RunProgram({});
    EXPECT_TRUE(unset.exited) << "ended by a signal";
    EXPECT_EQ(unset.exitCode, corvane::kExitFailure);
    EXPECT_EQ(unset.err, kNoDisplay);
    EXPECT_EQ(unset.out, "");

    const Ended unserved = RunProgram({}, {{"DISPLAY", UnservedDisplay()}});
    EXPECT_TRUE(unserved.exited) << "ended by a signal";
    EXPECT_EQ(unserved.exitCode, corvane::kExitFailure);
    EXPECT_EQ(unserved.err, kNoDisplay);

    // Qt's own option for the platform, naming one that is not there.
    const Ended missing = RunProgram({"-platform", "nosuchplatform"});
    EXPECT_TRUE(missing.exited) << "ended by a signal";
    EXPECT_EQ(missing.exitCode, corvane::kExitFailure);
    EXPECT_EQ(missing.err, kNoDisplay);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The cases that run in processes of their own start an X server; none of what they start may
// outlive their program, however it ends. This program runs theirs as its child and adopts
// whatever that leaves behind (it is their subreaper), so what outlives it is seen here exactly,
// whatever else the machine runs.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The cases with an X server of their own.
constexpr char kServerCases[] = "DesktopBoxes.*:PrimarySelection.*";

// How long what a program left behind may take to end on its own: a server ends within
// milliseconds of its SIGTERM; far more than that means it is not going to.
constexpr std::chrono::seconds kEndingCutOff{60};

// The processes this one started or adopted that have not been reaped: number and name.
std::vector<std::pair<pid_t, std::string>> Children() {
    std::vector<std::pair<pid_t, std::string>> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        // "pid (name) state ppid ...", the name as the process set it, spaces and brackets too.
        std::string stat;
        std::getline(std::ifstream(entry.path() / "stat"), stat);
        const std::size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open)
            continue;
        std::istringstream after(stat.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        if (after >> state >> parent && parent == getpid())
            children.emplace_back(std::stoi(stat), stat.substr(open + 1, close - open - 1));
    }
    return children;
}

class OwnProcessCases : public ::testing::Test {
protected:
    OwnProcessCases() {
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        // Their ends are awaited with sigtimedwait.
        sigemptyset(&childEnded_);
        sigaddset(&childEnded_, SIGCHLD);
        sigprocmask(SIG_BLOCK, &childEnded_, &mask_);
    }

    ~OwnProcessCases() override {
        if (output_)
            std::fclose(output_);
        // What still runs was reported; it does not outlive this program too.
        for (auto children = Children(); !children.empty(); children = Children()) {
            for (const auto& [pid, name] : children)
                kill(pid, SIGKILL);
            waitpid(-1, nullptr, 0);
        }
        sigprocmask(SIG_SETMASK, &mask_, nullptr);
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }

    // Starts the cases' program with the cases named. Its standard output goes to a pipe that
    // ReadUntil reads when watched, else nowhere: a server left running would hold the pipe open.
    void Start(const char* cases, bool watched) {
        int output[2];
        ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        const std::string filter = std::string("--gtest_filter=") + cases;
        program_ = fork();
        if (program_ == 0) {
            dup2(watched ? output[1] : null, STDOUT_FILENO);
            sigprocmask(SIG_SETMASK, &mask_, nullptr);
            execl(OWNPROCESS_TESTS, OWNPROCESS_TESTS, filter.c_str(), nullptr);
            _exit(127);
        }
        close(null);
        close(output[1]);
        output_ = fdopen(output[0], "r");
        ASSERT_GT(program_, 0);
    }

    // Reads the program's output until a line that starts with text; false at its end.
    bool ReadUntil(const std::string& text) {
        char line[4096];
        while (std::fgets(line, sizeof line, output_))
            if (std::string(line).rfind(text, 0) == 0)
                return true;
        return false;
    }

    // Waits for the program to end; its exit status.
    int Wait() {
        int status = 0;
        waitpid(program_, &status, 0);
        return status;
    }

    // Waits up to kEndingCutOff for every process the program left behind to end; those that
    // still run then.
    std::string Outliving() {
        const auto cutOff = std::chrono::steady_clock::now() + kEndingCutOff;
        for (;;) {
            while (waitpid(-1, nullptr, WNOHANG) > 0) {
            }
            const auto children = Children();
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                cutOff - std::chrono::steady_clock::now());
            if (children.empty() || left <= left.zero()) {
                std::string names;
                for (const auto& [pid, name] : children)
                    names += name + " (" + std::to_string(pid) + "); ";
                return names;
            }
            const timespec wait{static_cast<time_t>(left.count() / 1'000'000'000),
                                static_cast<long>(left.count() % 1'000'000'000)};
            sigtimedwait(&childEnded_, nullptr, &wait);
        }
    }

    pid_t program_ = 0;

private:
    FILE* output_ = nullptr;
    sigset_t childEnded_{};
    sigset_t mask_{};
};

TEST_F(OwnProcessCases, LeaveNoProcessBehindWhenTheirProgramEnds) {
    Start(kServerCases, false);
    const int status = Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "their program failed";
    EXPECT_EQ(Outliving(), "");
}

// As when a time-out ends the program: killed while a case runs, with its server up.
TEST_F(OwnProcessCases, LeaveNoProcessBehindWhenTheirProgramIsKilled) {
    Start(kServerCases, true);
    ASSERT_TRUE(ReadUntil("[ RUN      ]")) << "no case ran";
    kill(program_, SIGKILL);
    Wait();
    EXPECT_EQ(Outliving(), "");
}

} // namespace

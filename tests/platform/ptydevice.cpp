// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptydevice.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string(what) + ": " + std::to_string(errno));
}

} // namespace

PortsFolder::PortsFolder() {
    const char* base = std::getenv("CORVANE_TEST_TMPDIR");
    std::string pattern =
        ((base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) /
         "corvane-ports-XXXXXX")
            .string();
    Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    path_ = pattern;
    locks_ = path_ + "/locks";
    std::filesystem::create_directory(locks_);
    setenv("CORVANE_PORTS_DIR", path_.c_str(), 1);
    setenv("CORVANE_LOCK_DIR", locks_.c_str(), 1);
}

PortsFolder::~PortsFolder() {
    unsetenv("CORVANE_PORTS_DIR");
    unsetenv("CORVANE_LOCK_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void PortsFolder::Link(unsigned number, const std::string& target) const {
    const auto link = std::filesystem::path(path_) / ("COM" + std::to_string(number));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target, link);
}

PtyDevice::PtyDevice(Line line) {
    char name[256];
    Check(openpty(&master_, &slave_, name, nullptr, nullptr) == 0, "openpty");
    slavePath_ = name;
    if (line == Line::AsTheKernelLeavesIt)
        return;
    termios raw{};
    Check(tcgetattr(master_, &raw) == 0, "tcgetattr");
    cfmakeraw(&raw);
    Check(tcsetattr(master_, TCSANOW, &raw) == 0, "tcsetattr");
}

PtyDevice::~PtyDevice() {
    CloseMaster();
    close(slave_);
}

void PtyDevice::Write(const ByteString& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        Check(n > 0, "write");
        done += static_cast<std::size_t>(n);
    }
}

ByteString PtyDevice::Read(std::size_t size) const {
    ByteString got;
    char buffer[4096];
    while (got.size() < size) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 5000) <= 0)
            break;
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

ByteString PtyDevice::ReadAvailable() const {
    ByteString got;
    char buffer[4096];
    for (;;) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 0) <= 0)
            return got;
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return got;
        got.append(buffer, static_cast<std::size_t>(n));
    }
}

void PtyDevice::StopTakingOutput() const {
    Check(tcflow(slave_, TCOOFF) == 0, "tcflow");
}

std::string PtyDevice::LockName() const {
    // A pty's lock is named after its path below /dev: /dev/pts/5 gives LCK..pts_5.
    return "LCK..pts_" + std::filesystem::path(slavePath_).filename().string();
}

void PtyDevice::CloseMaster() {
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

} // namespace corvane::testing

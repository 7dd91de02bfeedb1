// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the file sending tests share: files to send, the descriptors and threads of the process,
// and a wait for the end line that keeps running hand-overs.

#include "core/bytestring.h"
#include "filesend/filesender.h"
#include "recordingpanes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace corvane::testing {

// The 256 byte values in order.
inline ByteString AllByteValues() {
    ByteString bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(i);
    return bytes;
}

// size random bytes, the same in every run.
inline ByteString RandomBytes(std::size_t size) {
    std::mt19937 random(20261207);
    ByteString bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

// How many entries a /proc folder of this process has.
inline int EntriesOf(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (const dirent* entry = readdir(dir))
            count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

inline int OpenDescriptors() {
    return EntriesOf("/proc/self/fd") - 1; // less the folder being read
}

// The threads of this process. One thread is started and joined first: a sanitizer starts a
// helper thread of its own with the first thread a process creates, and that one must be counted
// before a test's threads as well as after them.
inline int Threads() {
    std::thread([] {}).join();
    return EntriesOf("/proc/self/task");
}

// A file of the test's own, removed at the end, opened for the sender.
class FileToSend {
public:
    explicit FileToSend(const ByteString& bytes) {
        const char* folder = std::getenv("TMPDIR");
        path_ = std::string(folder && *folder ? folder : "/tmp") + "/corvane-send-XXXXXX";
        const int fd = mkstemp(path_.data());
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
    }
    ~FileToSend() { unlink(path_.c_str()); }
    FileToSend(const FileToSend&) = delete;
    FileToSend& operator=(const FileToSend&) = delete;

    int Open() const { return open(path_.c_str(), O_RDONLY | O_CLOEXEC); }
    const std::string& Path() const { return path_; }
    std::string Name() const { return path_.substr(path_.rfind('/') + 1); }

private:
    std::string path_;
};

// Runs hand-overs until the sender has written its end line, or stood still for a minute.
inline bool ServeUntilEnded(const FileSender& sender, const bool& ended) {
    return ServeWhileAdvancing([&] { return static_cast<std::size_t>(sender.Sent()); },
                               [&] { return ended; });
}

} // namespace corvane::testing

// SPDX-License-Identifier: GPL-3.0-or-later
// The capture of received bytes while its file stalls: a pipe whose reader has stopped reading
// stands in for a hung disk or network folder.
#include "serial/bytecapture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace corvane {
namespace {

// Reads the pipe until every writer has closed it; the number of bytes read.
std::size_t ReadToEnd(int fd) {
    std::size_t total = 0;
    char buffer[1 << 16];
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        ::poll(&ready, 1, -1);
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return total;
        if (got > 0)
            total += static_cast<std::size_t>(got);
    }
}

// While the worker's write of 4 MiB is blocked in a full pipe, the UI thread asks whether it
// captures and where to, and stops the capture, without waiting for the write. The write in
// progress still ends whole, its worker closes the file, and a later write goes nowhere.
TEST(ByteCapture, TheUiThreadNeverWaitsForAWriteInProgress) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("stalled").toStdString();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ByteCapture capture;
    ASSERT_FALSE(capture.Start(path, [](const FileError&) { ADD_FAILURE(); }).has_value());

    const std::string bytes(4 << 20, 'x');
    std::thread worker([&] { capture.Write(bytes.data(), bytes.size()); });
    const int capacity = ::fcntl(reader, F_GETPIPE_SZ);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int queued = 0;
    while ((::ioctl(reader, FIONREAD, &queued), queued < capacity) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(queued, capacity) << "the write never filled the pipe";

    // Should the questions wait for the write after all, the pipe is read after a while, so that
    // the test ends (and fails) rather than hangs.
    std::mutex mutex;
    std::condition_variable answeredWake;
    bool answered = false;
    std::atomic<bool> released{false};
    std::size_t read = 0;
    std::thread rescue([&] {
        {
            std::unique_lock lock(mutex);
            if (!answeredWake.wait_for(lock, std::chrono::seconds(10), [&] { return answered; }))
                released.store(true);
        }
        read = ReadToEnd(reader);
    });
    const bool capturing = capture.Capturing();
    const std::string capturedTo = capture.Path();
    capture.Stop();
    const bool stillBlocked = !released.load();
    {
        const std::lock_guard lock(mutex);
        answered = true;
    }
    answeredWake.notify_one();
    worker.join();
    capture.Write("after", 5);
    rescue.join();
    ::close(reader);

    EXPECT_TRUE(stillBlocked) << "the UI thread waited until the pipe was read";
    EXPECT_TRUE(capturing);
    EXPECT_EQ(capturedTo, path);
    EXPECT_FALSE(capture.Capturing());
    EXPECT_EQ(read, bytes.size()) << "the write in progress was cut, or the later one went in";
}

} // namespace
} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "filesend/filesender.h"

#include "core/handover.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <unistd.h>

namespace corvane {
namespace {

// "Файл отправлен: "
const ByteString kFileSent = "\xD4\xE0\xE9\xEB \xEE\xF2\xEF\xF0\xE0\xE2\xEB\xE5\xED: ";
// "Отправка файла прервана: "
const ByteString kFileSendInterrupted =
    "\xCE\xF2\xEF\xF0\xE0\xE2\xEA\xE0 \xF4\xE0\xE9\xEB\xE0 \xEF\xF0\xE5\xF0\xE2\xE0\xED\xE0: ";
// " из "
const ByteString kOf = " \xE8\xE7 ";
// " байт"
const ByteString kBytes = " \xE1\xE0\xE9\xF2";

} // namespace

ByteString FileSentLine(const ByteString& name, std::uint64_t sent) {
    return kFileSent + name + ", " + std::to_string(sent) + kBytes;
}

ByteString FileSendInterruptedLine(const ByteString& name, std::uint64_t sent, std::uint64_t size) {
    return kFileSendInterrupted + name + ", " + std::to_string(sent) + kOf + std::to_string(size) +
           kBytes;
}

FileSender::FileSender(LogPanes& panes, FileChunkLink& link, int fd, std::uint64_t size,
                       ByteString name, Pace pace)
    : panes_(panes), link_(link), fd_(fd), size_(size),
      name_(std::move(name)), pace_{std::max<std::size_t>(pace.chunkSize, 1), pace.delayMs} {}

FileSender::~FileSender() {
    Cancel();
    WaitFor();
    if (fd_ >= 0)
        close(fd_);
}

void FileSender::Execute() {
    ByteString chunk;
    std::uint64_t sent = 0;
    while (sent < size_ && !Terminated()) {
        if (!ReadChunk(chunk, static_cast<std::size_t>(
                                  std::min<std::uint64_t>(pace_.chunkSize, size_ - sent))) ||
            !link_.WriteChunk(chunk))
            break;
        sent += chunk.size();
        sent_.store(sent);
        if (sent < size_ && pace_.delayMs > 0 && !SleepUnlessTerminated(pace_.delayMs))
            break;
    }
    // The file is let go before the end is told: whoever waits for the line may count descriptors.
    close(fd_);
    fd_ = -1;
    const ByteString line =
        sent == size_ ? FileSentLine(name_, sent) : FileSendInterruptedLine(name_, sent, size_);
    const std::int64_t time = WallClockNow();
    Synchronize([&] {
        panes_.AddToLog(line, time);
        if (onEnded_)
            onEnded_();
    });
}

bool FileSender::ReadChunk(ByteString& chunk, std::size_t count) {
    chunk.resize(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = read(fd_, chunk.data() + got, count - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // a file that shrank, or failed, ends the sending short
        got += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/serialport.h"

#include "platform/posix/errors.h"
#include "platform/posix/overlapped.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace corvane::posix {
namespace {

// How much the I/O thread reads before it hands bytes to waiting operations: enough to keep up
// with any line rate, small enough that a reader is never kept waiting long.
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kReadPerRound = 16 * kChunk;

std::optional<std::chrono::steady_clock::time_point>
DeadlineAfter(std::chrono::steady_clock::time_point now, unsigned long long ms) {
    if (ms == 0)
        return std::nullopt;
    return now + std::chrono::milliseconds(ms);
}

bool Passed(const std::optional<std::chrono::steady_clock::time_point>& deadline,
            std::chrono::steady_clock::time_point now) {
    return deadline && *deadline <= now;
}

// How long a UART takes to send bytes at baudRate, ten bits a byte (start, 8 data, stop); at
// least a millisecond, so that a wait for it never spins.
std::chrono::milliseconds TimeToSend(std::size_t bytes, DWORD baudRate) {
    const auto ms = baudRate == 0 ? 1 : bytes * 10 * 1000 / baudRate;
    return std::chrono::milliseconds(std::max<std::size_t>(ms, 1));
}

} // namespace

DWORD SerialPort::Open(const std::string& path, std::shared_ptr<SerialPort>& port) {
    // A folder, a file or a FIFO is no port: not even opened, which a FIFO's writer would notice.
    if (struct stat info{}; stat(path.c_str(), &info) == 0 && !S_ISCHR(info.st_mode))
        return ERROR_NOT_SUPPORTED;
    PortLock lock;
    if (const DWORD error = lock.Acquire(path); error != ERROR_SUCCESS)
        return error;
    int fd = -1;
    if (const DWORD error = OpenTty(path, fd); error != ERROR_SUCCESS)
        return error;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        const DWORD error = Win32ErrorFromErrno(errno, ErrnoContext::Opening);
        CloseTty(fd);
        return error;
    }
    std::shared_ptr<SerialPort> opened(new SerialPort(fd, wakeFd, std::move(lock)));
    try {
        opened->io_ = std::thread([raw = opened.get()] { raw->Run(); });
    } catch (const std::system_error&) {
        return ERROR_NOT_ENOUGH_MEMORY; // the destructor lets go of the device
    }
    port = std::move(opened);
    return ERROR_SUCCESS;
}

SerialPort::SerialPort(int fd, int wakeFd, PortLock lock)
    : fd_(fd), wakeFd_(wakeFd), lock_(std::move(lock)) {
    // What a Windows driver reports for a port nobody has configured yet.
    settings_.DCBlength = sizeof(DCB);
    settings_.fBinary = 1;
    settings_.fDtrControl = DTR_CONTROL_ENABLE;
    settings_.fRtsControl = RTS_CONTROL_ENABLE;
    settings_.XonLim = 2048;
    settings_.XoffLim = 512;
    countsKept_ = ReadLineErrorCounts(fd_, openingCounts_);
    errorCounts_ = openingCounts_;
}

SerialPort::~SerialPort() {
    Close();
}

void SerialPort::Close() {
    {
        std::lock_guard lock(mutex_);
        if (released_)
            return;
        closed_ = true;
        released_ = true;
        if (wait_)
            FinishWait(ERROR_OPERATION_ABORTED, 0);
        if (read_)
            FinishRead(ERROR_OPERATION_ABORTED);
        if (write_)
            FinishWrite(ERROR_OPERATION_ABORTED);
    }
    EndModemWait();
    Wake();
    if (io_.joinable())
        io_.join();
    CloseTty(fd_);
    close(wakeFd_);
    lock_.Release();
}

void SerialPort::Wake() {
    const eventfd_t one = 1;
    eventfd_write(wakeFd_, one);
}

void SerialPort::ResumeInputIfHeld() {
    if (inputHeld_ && queue_.Free() > 0)
        Wake();
}

void SerialPort::Run() {
    std::vector<char> chunk(kChunk);
    for (;;) {
        pollfd fds[2] = {{fd_, 0, 0}, {wakeFd_, POLLIN, 0}};
        bool room;
        int timeout;
        {
            std::lock_guard lock(mutex_);
            if (closed_)
                return;
            room = queue_.Free() > 0;
            inputHeld_ = !room;
            // A hung-up tty reports POLLHUP for ever; poll() skips a negative descriptor. A device
            // whose bytes have no room in the queue is left out too, unless a write needs it.
            if (hungUp_ || (!room && (!Sending() || hangUpHeld_)))
                fds[0].fd = -1;
            else
                fds[0].events = static_cast<short>((room ? POLLIN : 0) | (Sending() ? POLLOUT : 0));
            timeout = MsUntilNextDeadline(Clock::now());
        }
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) {
            std::lock_guard lock(mutex_);
            hungUp_ = true;
        }
        if (fds[1].revents & POLLIN) {
            eventfd_t drained;
            eventfd_read(wakeFd_, &drained);
        }
        const bool hangUp = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
        if (room && ((fds[0].revents & POLLIN) || hangUp || hangUpHeld_))
            ReadDevice(chunk, hangUp || hangUpHeld_);
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        if (hangUp && !room)
            hangUpHeld_ = true;
        if ((fds[0].revents & POLLOUT) && Sending()) {
            if (const DWORD error = WriteSome(); error != ERROR_SUCCESS)
                FinishWrite(error);
        }
        ServePending(Clock::now());
    }
}

void SerialPort::ReadDevice(std::vector<char>& chunk, bool hangUpReported) {
    for (std::size_t total = 0; total < kReadPerRound;) {
        std::size_t room;
        {
            std::lock_guard lock(mutex_);
            room = std::min(queue_.Free(), chunk.size());
        }
        // Only what the queue can take: the rest stays in the kernel until a read makes room.
        if (room == 0)
            return;
        const ssize_t n = read(fd_, chunk.data(), room);
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing to read now (a line left with VMIN 0 reads 0 bytes when it is merely empty)
        // means the end only when poll() has reported a hang-up.
        const bool nothingNow = n == 0 || (n < 0 && errno == EAGAIN);
        if (nothingNow && !hangUpReported)
            return;
        std::lock_guard lock(mutex_);
        if (n <= 0) {
            // The device or the other end of the pty is gone.
            hungUp_ = true;
            hangUpHeld_ = false;
            return;
        }
        // Only this thread adds to the queue, so the room it saw is still there.
        queue_.Push(chunk.data(), static_cast<std::size_t>(n));
        received_ += static_cast<DWORD>(n);
        total += static_cast<std::size_t>(n);
    }
}

int SerialPort::MsUntilNextDeadline(Clock::time_point now) const {
    std::optional<Clock::time_point> next;
    const auto consider = [&](const std::optional<Clock::time_point>& deadline) {
        if (deadline && (!next || *deadline < *next))
            next = deadline;
    };
    if (read_) {
        consider(read_->totalDeadline);
        consider(read_->intervalDeadline);
    }
    if (write_) {
        consider(write_->deadline);
        // No event says the device has sent its last byte: look again when it should have.
        if (!Sending())
            consider(now + TimeToSend(UnsentOutput(fd_), settings_.BaudRate));
    }
    if (!next)
        return -1;
    if (*next <= now)
        return 0;
    // Rounded up, so the thread never wakes just before the deadline and polls again at once.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

void SerialPort::ServePending(Clock::time_point now) {
    if (wait_) {
        if (hungUp_)
            FinishWait(ERROR_GEN_FAILURE, 0);
        else if ((mask_ & EV_RXCHAR) && queue_.Size() > 0)
            FinishWait(ERROR_SUCCESS, EV_RXCHAR);
    }
    if (read_) {
        const std::size_t taken = queue_.Pop(read_->buffer + read_->got, read_->size - read_->got);
        read_->got += static_cast<DWORD>(taken);
        if (taken > 0 && timeouts_.ReadIntervalTimeout != 0)
            read_->intervalDeadline =
                now + std::chrono::milliseconds(timeouts_.ReadIntervalTimeout);
        if (read_->got == read_->size || Passed(read_->totalDeadline, now) ||
            Passed(read_->intervalDeadline, now))
            FinishRead(ERROR_SUCCESS);
        else if (hungUp_)
            FinishRead(ERROR_GEN_FAILURE);
    }
    if (write_) {
        // A write is done when the device has sent its bytes, not when the kernel took them: what
        // is still queued may be held back, and Close discards it. One that runs out of time fails
        // with the count sent so far; reporting held bytes as sent would be a lie.
        const std::size_t unsent = UnsentOutput(fd_);
        if (!Sending() && unsent == 0) {
            FinishWrite(ERROR_SUCCESS);
        } else if (Passed(write_->deadline, now)) {
            write_->done -= static_cast<DWORD>(std::min<std::size_t>(unsent, write_->done));
            FinishWrite(ERROR_SEM_TIMEOUT);
        } else if (hungUp_) {
            FinishWrite(ERROR_GEN_FAILURE);
        }
    }
}

DWORD SerialPort::WriteSome() {
    while (write_->done < write_->data.size()) {
        const ssize_t n =
            write(fd_, write_->data.data() + write_->done, write_->data.size() - write_->done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        if (n < 0)
            return Win32ErrorFromErrno(errno, ErrnoContext::Using);
        write_->done += static_cast<DWORD>(n);
        transmitted_ += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
}

void SerialPort::FinishWait(DWORD error, DWORD mask) {
    *wait_->mask = mask;
    CompleteOverlapped(*wait_->overlapped, error, 0);
    wait_.reset();
}

void SerialPort::FinishRead(DWORD error) {
    CompleteOverlapped(*read_->overlapped, error, read_->got);
    read_.reset();
}

void SerialPort::FinishWrite(DWORD error) {
    CompleteOverlapped(*write_->overlapped, error, write_->done);
    write_.reset();
}

DWORD SerialPort::GetState(DCB& dcb) {
    return WhileOpen([&]() -> DWORD {
        DCB current = settings_;
        if (const DWORD error = ReadLineSettings(fd_, current); error != ERROR_SUCCESS)
            return error;
        dcb = current;
        return ERROR_SUCCESS;
    });
}

DWORD SerialPort::SetState(const DCB& dcb) {
    return WhileOpen([&]() -> DWORD {
        const DWORD error = WriteLineSettings(fd_, dcb);
        if (error == ERROR_SUCCESS)
            settings_ = dcb;
        return error;
    });
}

DWORD SerialPort::GetTimeouts(COMMTIMEOUTS& timeouts) {
    return WhileOpen([&]() -> DWORD {
        timeouts = timeouts_;
        return ERROR_SUCCESS;
    });
}

DWORD SerialPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    return WhileOpen([&]() -> DWORD {
        timeouts_ = timeouts;
        return ERROR_SUCCESS;
    });
}

DWORD SerialPort::Purge(DWORD flags) {
    return WhileOpen([&]() -> DWORD {
        if ((flags & PURGE_RXABORT) && read_)
            FinishRead(ERROR_OPERATION_ABORTED);
        if ((flags & PURGE_TXABORT) && write_)
            FinishWrite(ERROR_OPERATION_ABORTED);
        if (flags & PURGE_RXCLEAR) {
            queue_.Clear();
            ResumeInputIfHeld();
        }
        return FlushTty(fd_, flags & PURGE_RXCLEAR, flags & PURGE_TXCLEAR);
    });
}

DWORD SerialPort::SetMask(DWORD mask) {
    return WhileOpen([&]() -> DWORD {
        mask_ = mask;
        if (wait_)
            FinishWait(ERROR_SUCCESS, 0);
        return ERROR_SUCCESS;
    });
}

DWORD SerialPort::Escape(DWORD function) {
    return WhileOpen([&]() -> DWORD {
        switch (function) {
        case SETRTS:
        case CLRRTS:
            return SetModemLine(fd_, ModemLine::Rts, function == SETRTS);
        case SETDTR:
        case CLRDTR:
            return SetModemLine(fd_, ModemLine::Dtr, function == SETDTR);
        case SETBREAK:
        case CLRBREAK:
            return SetBreak(fd_, function == SETBREAK);
        case SETXOFF:
        case SETXON:
            return SuspendOutput(fd_, function == SETXOFF);
        default:
            return ERROR_INVALID_PARAMETER;
        }
    });
}

DWORD SerialPort::WaitEvent(DWORD& mask, OVERLAPPED& overlapped) {
    return WhileOpen([&]() -> DWORD {
        if (mask_ == 0 || wait_)
            return ERROR_INVALID_PARAMETER;
        const bool ready = (mask_ & EV_RXCHAR) && queue_.Size() > 0;
        // What came before a hang-up can still be read; only then does the port report it.
        if (hungUp_ && !ready)
            return ERROR_GEN_FAILURE;
        BeginOverlapped(overlapped);
        wait_ = PendingWait{&mask, &overlapped};
        if (ready) {
            FinishWait(ERROR_SUCCESS, EV_RXCHAR);
            return ERROR_SUCCESS;
        }
        return ERROR_IO_PENDING;
    });
}

DWORD SerialPort::GetModemStatus(DWORD& status) {
    return WhileOpen([&] { return ReadModemStatus(fd_, status); });
}

DWORD SerialPort::WaitModemStatus(DWORD& status) {
    const DWORD known = status;
    if (const DWORD error = WhileOpen([&]() -> DWORD {
            if (modemWaiter_)
                return ERROR_INVALID_PARAMETER;
            ModemWaitSignal(); // its handler in place before Close can send it
            modemWaiter_ = pthread_self();
            return ERROR_SUCCESS;
        });
        error != ERROR_SUCCESS)
        return error;
    DWORD error = ERROR_SUCCESS;
    for (;;) {
        // Looked at before every wait: the kernel's wait sees only changes after it began.
        DWORD now = 0;
        error = ReadModemStatus(fd_, now);
        if (error != ERROR_SUCCESS)
            break;
        if (now != known) {
            status = now;
            break;
        }
        {
            std::lock_guard lock(mutex_);
            if (closed_) {
                error = ERROR_OPERATION_ABORTED;
                break;
            }
        }
        error = WaitModemChange(fd_);
        if (error != ERROR_SUCCESS && error != ERROR_OPERATION_ABORTED)
            break;
    }
    std::lock_guard lock(mutex_);
    modemWaiter_.reset();
    modemWaiterLeft_.notify_all();
    return closed_ ? ERROR_OPERATION_ABORTED : error;
}

void SerialPort::EndModemWait() {
    std::unique_lock lock(mutex_);
    // A signal that comes just before the waiter enters the kernel's wait is lost on it: signalled
    // again each millisecond until it has left.
    while (modemWaiter_) {
        pthread_kill(*modemWaiter_, ModemWaitSignal());
        modemWaiterLeft_.wait_for(lock, std::chrono::milliseconds(1));
    }
}

DWORD SerialPort::ClearError(DWORD* errors, COMSTAT* stat) {
    return WhileOpen([&]() -> DWORD {
        DWORD found = 0;
        LineErrorCounts now;
        if (countsKept_ && ReadLineErrorCounts(fd_, now)) {
            if (now.frame != errorCounts_.frame)
                found |= CE_FRAME;
            if (now.overrun != errorCounts_.overrun)
                found |= CE_OVERRUN;
            if (now.bufferOverrun != errorCounts_.bufferOverrun)
                found |= CE_RXOVER;
            if (now.parity != errorCounts_.parity)
                found |= CE_RXPARITY;
            if (now.brk != errorCounts_.brk)
                found |= CE_BREAK;
            errorCounts_ = now;
        }
        if (errors)
            *errors = found;
        if (stat) {
            *stat = COMSTAT{};
            stat->cbInQue = static_cast<DWORD>(queue_.Size());
            stat->cbOutQue = write_ ? static_cast<DWORD>(write_->data.size() - write_->done) : 0;
        }
        return ERROR_SUCCESS;
    });
}

DWORD SerialPort::GetStats(SERIALPERF_STATS& stats) {
    return WhileOpen([&]() -> DWORD {
        LineErrorCounts now;
        if (!countsKept_ || !ReadLineErrorCounts(fd_, now))
            return ERROR_NOT_SUPPORTED;
        const auto since = [](int count, int atOpen) { return static_cast<DWORD>(count - atOpen); };
        stats = SERIALPERF_STATS{};
        stats.ReceivedCount = received_;
        stats.TransmittedCount = transmitted_;
        stats.FrameErrorCount = since(now.frame, openingCounts_.frame);
        stats.SerialOverrunErrorCount = since(now.overrun, openingCounts_.overrun);
        stats.BufferOverrunErrorCount = since(now.bufferOverrun, openingCounts_.bufferOverrun);
        stats.ParityErrorCount = since(now.parity, openingCounts_.parity);
        return ERROR_SUCCESS;
    });
}

DWORD SerialPort::Read(void* buffer, DWORD size, DWORD* got, OVERLAPPED& overlapped) {
    return WhileOpen([&]() -> DWORD {
        if (read_)
            return ERROR_INVALID_PARAMETER;
        if (hungUp_ && queue_.Size() == 0)
            return ERROR_GEN_FAILURE;
        if (got)
            *got = 0;
        const auto now = Clock::now();
        const COMMTIMEOUTS& t = timeouts_;
        BeginOverlapped(overlapped);
        read_ = PendingRead{
            static_cast<char*>(buffer), size, 0, &overlapped, std::nullopt, std::nullopt};
        read_->got = static_cast<DWORD>(queue_.Pop(read_->buffer, size));
        ResumeInputIfHeld();
        const bool returnAtOnce = t.ReadIntervalTimeout == MAXDWORD &&
                                  t.ReadTotalTimeoutMultiplier == 0 &&
                                  t.ReadTotalTimeoutConstant == 0;
        if (read_->got == size || returnAtOnce) {
            if (got)
                *got = read_->got;
            FinishRead(ERROR_SUCCESS);
            return ERROR_SUCCESS;
        }
        read_->totalDeadline = DeadlineAfter(now, 1ULL * t.ReadTotalTimeoutMultiplier * size +
                                                      t.ReadTotalTimeoutConstant);
        if (read_->got > 0 && t.ReadIntervalTimeout != 0)
            read_->intervalDeadline = DeadlineAfter(now, t.ReadIntervalTimeout);
        Wake();
        return ERROR_IO_PENDING;
    });
}

DWORD SerialPort::Write(const void* data, DWORD size, DWORD* done, OVERLAPPED& overlapped) {
    return WhileOpen([&]() -> DWORD {
        if (write_)
            return ERROR_INVALID_PARAMETER;
        if (hungUp_)
            return ERROR_GEN_FAILURE;
        if (done)
            *done = 0;
        const auto now = Clock::now();
        BeginOverlapped(overlapped);
        const char* bytes = static_cast<const char*>(data);
        write_ =
            PendingWrite{std::vector<char>(bytes, bytes + size), 0, &overlapped,
                         DeadlineAfter(now, 1ULL * timeouts_.WriteTotalTimeoutMultiplier * size +
                                                timeouts_.WriteTotalTimeoutConstant)};
        if (const DWORD error = WriteSome(); error != ERROR_SUCCESS) {
            FinishWrite(error);
            return error;
        }
        if (write_->done == size && UnsentOutput(fd_) == 0) {
            if (done)
                *done = size;
            FinishWrite(ERROR_SUCCESS);
            return ERROR_SUCCESS;
        }
        Wake();
        return ERROR_IO_PENDING;
    });
}

} // namespace corvane::posix

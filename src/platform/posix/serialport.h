// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One open serial port: the tty, its input queue, the operations pending on it and the thread
// that moves bytes between the device and those operations. Every method returns a Win32 error:
// ERROR_SUCCESS when done at once, ERROR_IO_PENDING for an overlapped operation left running,
// ERROR_INVALID_HANDLE once the port is closed.

#include "platform/commapi.h"
#include "platform/posix/handletable.h"
#include "platform/posix/inputqueue.h"
#include "platform/posix/portlock.h"
#include "platform/posix/ttydevice.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

namespace corvane::posix {

class SerialPort : public KernelObject {
public:
    // Takes the device's lock file, opens the device at path and starts its I/O thread.
    static DWORD Open(const std::string& path, std::shared_ptr<SerialPort>& port);
    // Closes the port if that has not been done: also a port whose thread never started.
    ~SerialPort() override;

    // Completes everything pending with ERROR_OPERATION_ABORTED, stops the I/O thread, closes
    // the device and removes its lock file; afterwards nothing here touches a caller's record,
    // buffer or the device.
    void Close() override;

    DWORD GetState(DCB& dcb);
    DWORD SetState(const DCB& dcb);
    DWORD GetTimeouts(COMMTIMEOUTS& timeouts);
    DWORD SetTimeouts(const COMMTIMEOUTS& timeouts);
    DWORD Purge(DWORD flags);
    DWORD SetMask(DWORD mask);
    DWORD Escape(DWORD function);
    DWORD WaitEvent(DWORD& mask, OVERLAPPED& overlapped);
    DWORD GetModemStatus(DWORD& status);
    // Blocks the calling thread outside mutex_; Close interrupts it with ModemWaitSignal().
    DWORD WaitModemStatus(DWORD& status);
    DWORD ClearError(DWORD* errors, COMSTAT* stat);
    // The counts since the port opened; ERROR_NOT_SUPPORTED where the driver keeps no error counts.
    DWORD GetStats(SERIALPERF_STATS& stats);
    DWORD Read(void* buffer, DWORD size, DWORD* got, OVERLAPPED& overlapped);
    DWORD Write(const void* data, DWORD size, DWORD* done, OVERLAPPED& overlapped);

private:
    using Clock = std::chrono::steady_clock;

    struct PendingWait {
        DWORD* mask;
        OVERLAPPED* overlapped;
    };
    struct PendingRead {
        char* buffer;
        DWORD size;
        DWORD got;
        OVERLAPPED* overlapped;
        std::optional<Clock::time_point> totalDeadline;
        std::optional<Clock::time_point> intervalDeadline;
    };
    struct PendingWrite {
        std::vector<char> data;
        DWORD done;
        OVERLAPPED* overlapped;
        std::optional<Clock::time_point> deadline;
    };

    SerialPort(int fd, int wakeFd, PortLock lock);

    void Run();
    void ReadDevice(std::vector<char>& chunk, bool hangUpReported);
    void Wake();
    // Holds no lock: returns once no thread waits in WaitModemStatus any more.
    void EndModemWait();
    // Runs call with mutex_ held and returns its error; ERROR_INVALID_HANDLE once the port is
    // closed, without calling it.
    template <class Call> DWORD WhileOpen(Call&& call) {
        std::lock_guard lock(mutex_);
        return closed_ ? ERROR_INVALID_HANDLE : call();
    }
    // Holds mutex_: a write has bytes the kernel has not taken yet.
    bool Sending() const { return write_ && write_->done < write_->data.size(); }
    // Holds mutex_: wakes the I/O thread if it stopped reading for want of room.
    void ResumeInputIfHeld();
    int MsUntilNextDeadline(Clock::time_point now) const;

    // The rest hold mutex_.
    void ServePending(Clock::time_point now);
    DWORD WriteSome(); // the error of a failed write; the operation stays pending
    void FinishWait(DWORD error, DWORD mask);
    void FinishRead(DWORD error);
    void FinishWrite(DWORD error);

    const int fd_;
    const int wakeFd_; // an eventfd: poll() does not return when another thread closes fd_
    PortLock lock_;
    std::thread io_;

    std::mutex mutex_;
    bool closed_ = false;
    // The thread in WaitModemStatus, if one is; Close signals it until it has left.
    std::optional<pthread_t> modemWaiter_;
    std::condition_variable modemWaiterLeft_;
    bool released_ = false; // the device, the eventfd and the lock are let go
    bool hungUp_ = false;
    // With the queue full the device is not read: what it sends waits in the kernel, which holds
    // back a pty or a USB CDC device.
    bool inputHeld_ = false;
    bool hangUpHeld_ = false; // seen while the queue was full; read to its end once there is room
    InputQueue queue_;
    DWORD mask_ = 0;
    COMMTIMEOUTS timeouts_{};
    DCB settings_{};
    bool countsKept_ = false;
    LineErrorCounts openingCounts_; // as they stood at the open
    LineErrorCounts errorCounts_;   // as ClearError last saw them
    DWORD received_ = 0;
    DWORD transmitted_ = 0;
    std::optional<PendingWait> wait_;
    std::optional<PendingRead> read_;
    std::optional<PendingWrite> write_;
};

} // namespace corvane::posix

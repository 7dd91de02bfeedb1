#pragma once
// One open serial port: the tty, its input queue, the operations pending on it and the thread
// that moves bytes between the device and those operations. Every method returns a Win32 error:
// ERROR_SUCCESS when done at once, ERROR_IO_PENDING for an overlapped operation left running,
// ERROR_INVALID_HANDLE once the port is closed.

#include "platform/commapi.h"
#include "platform/posix/handletable.h"
#include "platform/posix/inputqueue.h"
#include "platform/posix/ttydevice.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace corvane::posix {

class SerialPort : public KernelObject {
public:
    // Opens the device at path and starts its I/O thread.
    static DWORD Open(const std::string& path, std::shared_ptr<SerialPort>& port);

    // Completes everything pending with ERROR_OPERATION_ABORTED, stops the I/O thread and closes
    // the device; afterwards nothing here touches a caller's record, buffer or the device.
    void Close() override;

    DWORD GetState(DCB& dcb);
    DWORD SetState(const DCB& dcb);
    DWORD GetTimeouts(COMMTIMEOUTS& timeouts);
    DWORD SetTimeouts(const COMMTIMEOUTS& timeouts);
    DWORD Purge(DWORD flags);
    DWORD SetMask(DWORD mask);
    DWORD Escape(DWORD function);
    DWORD WaitEvent(DWORD& mask, OVERLAPPED& overlapped);
    DWORD ClearError(DWORD* errors, COMSTAT* stat);
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

    SerialPort(int fd, int wakeFd);

    void Run();
    void ReadDevice(std::vector<char>& chunk, bool hangUpReported);
    void Wake();
    int MsUntilNextDeadline(Clock::time_point now) const;

    // The rest hold mutex_.
    void ServePending(Clock::time_point now);
    DWORD WriteSome(); // the error of a failed write; the operation stays pending
    void FinishWait(DWORD error, DWORD mask);
    void FinishRead(DWORD error);
    void FinishWrite(DWORD error);

    const int fd_;
    const int wakeFd_; // an eventfd: poll() does not return when another thread closes fd_
    std::thread io_;

    std::mutex mutex_;
    bool closed_ = false;
    bool hungUp_ = false;
    bool overflowed_ = false;
    InputQueue queue_;
    DWORD mask_ = 0;
    COMMTIMEOUTS timeouts_{};
    DCB settings_{};
    LineErrorCounts errorCounts_;
    std::optional<PendingWait> wait_;
    std::optional<PendingRead> read_;
    std::optional<PendingWrite> write_;
};

} // namespace corvane::posix

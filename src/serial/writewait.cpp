// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/writewait.h"

#include "core/handover.h"
#include "core/thread.h"
#include "serial/serialstate.h"

#include <memory>
#include <utility>

namespace corvane {
namespace {

// Blocks in the write event's wait, which only the write's end sets: the time-outs, the close and
// a purge all end it.
class WriteWaiter : public Thread {
public:
    WriteWaiter(HANDLE port, std::function<void(const WriteEnd&)> ended)
        : port_(port), ended_(std::move(ended)) {}
    HANDLE Port() const { return port_; }

protected:
    void Execute() override;

private:
    const HANDLE port_;
    const std::function<void(const WriteEnd&)> ended_;
};

// UI thread only.
std::unique_ptr<WriteWaiter> waiter;
bool pending = false;

void WriteWaiter::Execute() {
    // The record holds the end once the event is set; a wait on an event already closed (a
    // re-plug's reopen closes it) fails at once, and the record holds the end all the same.
    WaitForSingleObject(WriteOverlapped.hEvent, INFINITE);
    DWORD written = 0;
    const bool ok = GetOverlappedResult(port_, &WriteOverlapped, &written, FALSE);
    const WriteEnd end{ok, ok ? ERROR_SUCCESS : GetLastError(), written};
    Synchronize([&] {
        pending = false;
        ended_(end);
    });
}

} // namespace

void AwaitSerialWrite(HANDLE port, std::function<void(const WriteEnd&)> ended) {
    EndSerialWrite(); // the last one's thread, on its way out
    waiter = std::make_unique<WriteWaiter>(port, std::move(ended));
    pending = true;
    waiter->Start();
}

bool SerialWritePending() {
    return pending;
}

void EndSerialWrite() {
    if (!waiter)
        return;
    if (pending)
        PurgeComm(waiter->Port(), PURGE_TXABORT | PURGE_TXCLEAR); // a closed port ended it already
    waiter->WaitFor();                                            // runs its hand-over
    waiter.reset();
    pending = false; // its hand-over was dropped if the program is ending
}

} // namespace corvane

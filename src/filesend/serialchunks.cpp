// SPDX-License-Identifier: GPL-3.0-or-later
#include "filesend/serialchunks.h"

#include "core/handover.h"
#include "serial/comport.h"
#include "serial/writewait.h"

#include <chrono>

namespace corvane {
namespace {

// How long the worker waits before it looks again for the port to be free, while a write of the
// operator's is held back: short beside the 100 ms a held write takes at the least.
constexpr auto kBusyRetry = std::chrono::milliseconds(2);

} // namespace

bool SerialChunkLink::WriteChunk(const ByteString& chunk) {
    State& state = *state_;
    {
        const std::lock_guard lock(state.mutex);
        state.sent.reset();
    }
    for (;;) {
        bool started = false;
        Synchronize([&] {
            if (SerialWritePending())
                return;
            started = true;
            SendData(panes_, chunk, [shared = state_](bool sent) {
                const std::lock_guard lock(shared->mutex);
                shared->sent = sent;
                shared->changed.notify_all();
            });
        });
        std::unique_lock lock(state.mutex);
        if (started) {
            state.changed.wait(lock, [&] { return state.sent.has_value() || state.cancelled; });
            return state.sent.value_or(false);
        }
        if (state.changed.wait_for(lock, kBusyRetry, [&] { return state.cancelled; }))
            return false;
    }
}

void SerialChunkLink::Cancel() {
    const std::lock_guard lock(state_->mutex);
    state_->cancelled = true;
    state_->changed.notify_all();
}

} // namespace corvane

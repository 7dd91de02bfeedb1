// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/writeturn.h"

#include "core/uiwait.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace corvane {
namespace {

// Not a mutex held by the writer: on the UI thread the turn is waited for on a helper thread,
// which is not the one that gives it back.
std::mutex mutex;
std::condition_variable returned;
bool taken = false;

bool TryTake() {
    std::lock_guard lock(mutex);
    return !std::exchange(taken, true);
}

void Take() {
    std::unique_lock lock(mutex);
    returned.wait(lock, [] { return !taken; });
    taken = true;
}

} // namespace

SerialWriteTurn::SerialWriteTurn() {
    if (!TryTake())
        WaitKeepingUiAlive(Take);
}

SerialWriteTurn::~SerialWriteTurn() {
    {
        std::lock_guard lock(mutex);
        taken = false;
    }
    returned.notify_one();
}

} // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp/idcomponent.h"

#include "udp/idstackwindows.h"

#include <atomic>
#include <mutex>

namespace corvane {
namespace {

// Guards the count and the creation and freeing of the stack.
std::mutex stackLock;
std::int32_t stackUsers = 0;
// Read without the lock by the operations of live components, which keep it from changing.
std::atomic<TIdStack*> stackInstance{nullptr};

} // namespace

TIdComponent::TIdComponent() {
    std::lock_guard lock(stackLock);
    if (stackUsers == 0)
        stackInstance.store(new TIdStackWindows);
    ++stackUsers;
}

TIdComponent::~TIdComponent() {
    std::lock_guard lock(stackLock);
    if (--stackUsers == 0)
        delete stackInstance.exchange(nullptr);
}

TIdStack* StackInstance() {
    return stackInstance.load();
}

std::int32_t StackUsers() {
    std::lock_guard lock(stackLock);
    return stackUsers;
}

} // namespace corvane

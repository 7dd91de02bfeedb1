// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/handletable.h"

#include "platform/commapi.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace corvane::posix {
namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    // Windows handle values are multiples of 4 and never 0; the sequence never comes near the
    // all-bits-set INVALID_HANDLE_VALUE.
    std::uintptr_t next = 0x100;
};

// Never destroyed: a worker that outlives main() may still call into a port or an event.
Table& GetTable() {
    static Table* table = new Table;
    return *table;
}

std::uintptr_t Key(HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    Table& t = GetTable();
    std::lock_guard lock(t.mutex);
    const std::uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    Table& t = GetTable();
    std::lock_guard lock(t.mutex);
    const auto it = t.objects.find(Key(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle) {
    Table& t = GetTable();
    std::lock_guard lock(t.mutex);
    const auto it = t.objects.find(Key(handle));
    if (it == t.objects.end())
        return nullptr;
    auto object = std::move(it->second);
    t.objects.erase(it);
    return object;
}

std::vector<std::shared_ptr<KernelObject>> OpenObjects() {
    Table& t = GetTable();
    std::lock_guard lock(t.mutex);
    std::vector<std::shared_ptr<KernelObject>> objects;
    objects.reserve(t.objects.size());
    for (const auto& entry : t.objects)
        objects.push_back(entry.second);
    return objects;
}

std::size_t OpenHandleCount() {
    Table& t = GetTable();
    std::lock_guard lock(t.mutex);
    return t.objects.size();
}

} // namespace corvane::posix

BOOL CloseHandle(HANDLE hObject) {
    auto object = corvane::posix::RemoveHandle(hObject);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->Close();
    return TRUE;
}

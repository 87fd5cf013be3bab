// The single-instance lock on Windows: the named mutex, created owned by the calling thread
// (instance_lock.hpp says what Windows lets go and when).
#include "platform/instance_lock.hpp"

#include "platform/result.hpp"
#include "platform/windows/window_support.hpp"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace torvane::platform {

namespace {

// The process's mutex handle, taken with atomic exchanges so that exactly one place closes it,
// and whether this process owns the mutex (only an owner releases it).
struct InstanceSlot {
    std::atomic<HANDLE> handle {nullptr};
    std::atomic<bool> owned {false};
};

InstanceSlot& instance_slot()
{
    static InstanceSlot slot;
    return slot;
}

} // namespace

InstanceLock create_instance_mutex()
{
    InstanceSlot& slot = instance_slot();
    if (slot.handle.load())
        fatal("o mutex de instância já foi criado");
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, to_wide(instance_mutex_name).c_str());
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        // Opened, not owned. Without a handle (no right to open it) there is nothing to wait on,
        // and the caller activates the other launcher at once.
        slot.owned.store(false);
        slot.handle.store(mutex);
        return InstanceLock::HeldElsewhere;
    }
    if (!mutex)
        return InstanceLock::Unavailable;
    slot.owned.store(true);
    slot.handle.store(mutex);
    return InstanceLock::Owned;
}

bool wait_for_instance_mutex(std::chrono::milliseconds timeout)
{
    InstanceSlot& slot = instance_slot();
    HANDLE mutex = slot.handle.load();
    if (!mutex)
        return false;
    auto milliseconds = static_cast<DWORD>(std::clamp<long long>(timeout.count(), 0, INFINITE - 1));
    DWORD waited = WaitForSingleObject(mutex, milliseconds);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        return false;
    slot.owned.store(true);
    return true;
}

bool take_and_release_instance_mutex()
{
    InstanceSlot& slot = instance_slot();
    HANDLE mutex = slot.handle.exchange(nullptr);
    if (!mutex)
        return false;
    if (slot.owned.exchange(false))
        ReleaseMutex(mutex);
    CloseHandle(mutex);
    return true;
}

void release_instance_mutex() { (void)take_and_release_instance_mutex(); }

} // namespace torvane::platform

// The single-instance lock on Windows is the named mutex itself, created in the Global namespace
// so that one launcher runs per machine. Windows lets go of a mutex whose owner ends without
// releasing it; the next wait then reports it abandoned, which counts as acquired.
//
// A mutex belongs to the thread that acquired it: the launcher creates, releases and hands it
// over on its main thread. A release from another thread closes the handle only, and the mutex
// is let go (abandoned) when the owning thread ends.
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

std::string instance_lock_file_name()
{
    std::string name = instance_mutex_name;
    for (char& c : name) {
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
            || c == '-' || c == '_';
        if (!safe)
            c = '_';
    }
    return name + ".lock";
}

InstanceLock create_instance_mutex()
{
    InstanceSlot& slot = instance_slot();
    if (slot.handle.load())
        fatal("o mutex de instância já foi criado");
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, win32::wide(instance_mutex_name).c_str());
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

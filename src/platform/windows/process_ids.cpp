#include "platform/process_ids.hpp"

#include "platform/windows/win32.hpp"

namespace torvane::platform {

std::uint32_t current_process_id() { return ::GetCurrentProcessId(); }

bool process_running(std::uint32_t id)
{
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process.is_open())
        return ::GetLastError() == ERROR_ACCESS_DENIED; // someone else's process, still there
    DWORD code = 0;
    return ::GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

} // namespace torvane::platform

#include "platform/random.hpp"

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

#include <bcrypt.h>

namespace torvane::platform {

namespace {

// The Win32 error closest to a failure status of the generator.
int error_of_status(NTSTATUS status)
{
    switch (static_cast<std::uint32_t>(status)) {
    case 0xC000000D: // STATUS_INVALID_PARAMETER
        return ERROR_INVALID_PARAMETER;
    case 0xC0000017: // STATUS_NO_MEMORY
        return ERROR_NOT_ENOUGH_MEMORY;
    case 0xC0000008: // STATUS_INVALID_HANDLE
        return ERROR_INVALID_HANDLE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace

Status random_bytes(std::span<std::uint8_t> buffer)
{
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(buffer.size() - filled, 1u << 30));
        NTSTATUS status = ::BCryptGenRandom(nullptr, buffer.data() + filled, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (status < 0)
            return failure(os_error_text(error_of_status(status)));
        filled += chunk;
    }
    return {};
}

} // namespace torvane::platform

#include "platform/random.hpp"

#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

#include <bcrypt.h>
#include <winternl.h>

namespace torvane::platform {

Status random_bytes(std::span<std::uint8_t> buffer)
{
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(buffer.size() - filled, 1u << 30));
        NTSTATUS status = ::BCryptGenRandom(nullptr, buffer.data() + filled, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (status < 0)
            return failure(os_error_text(static_cast<int>(::RtlNtStatusToDosError(status))));
        filled += chunk;
    }
    return {};
}

} // namespace torvane::platform

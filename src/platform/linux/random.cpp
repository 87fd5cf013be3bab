#include "platform/random.hpp"

#include "platform/files.hpp"

#include <cerrno>
#include <sys/random.h>

namespace torvane::platform {

Status random_bytes(std::span<std::uint8_t> buffer)
{
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        ssize_t got = ::getrandom(buffer.data() + filled, buffer.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failure(last_os_error_text());
        }
        filled += static_cast<std::size_t>(got);
    }
    return {};
}

} // namespace torvane::platform

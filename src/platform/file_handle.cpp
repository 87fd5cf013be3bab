// The part of FileHandle that is the same on every system, over its read.
#include "platform/file_handle.hpp"

namespace torvane::platform {

Result<std::size_t> FileHandle::read_full(std::span<std::uint8_t> buffer)
{
    std::size_t total = 0;
    while (total < buffer.size()) {
        std::size_t got = TRY(read(buffer.subspan(total)));
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

} // namespace torvane::platform

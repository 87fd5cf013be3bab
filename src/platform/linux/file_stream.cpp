#include "platform/file_stream.hpp"

#include "platform/files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace torvane::platform {

Result<FileReader> FileReader::open(const std::filesystem::path& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return failure(last_os_error_text());
    return FileReader(std::move(fd));
}

Result<std::size_t> FileReader::read(std::span<char> buffer)
{
    for (;;) {
        ssize_t got = ::read(fd_.get(), buffer.data(), buffer.size());
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return failure(last_os_error_text());
    }
}

} // namespace torvane::platform

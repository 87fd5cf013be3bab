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

Result<FileWriter> FileWriter::create(const std::filesystem::path& path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT && errno != EISDIR)
        return failure(last_os_error_text());
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        return failure(last_os_error_text());
    return FileWriter(std::move(fd));
}

Status FileWriter::write(std::span<const char> bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd_.get(), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failure(last_os_error_text());
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return {};
}

Status FileWriter::sync()
{
    if (::fsync(fd_.get()) != 0)
        return failure(last_os_error_text());
    return {};
}

Status FileWriter::close()
{
    if (!fd_.close())
        return failure(last_os_error_text());
    return {};
}

} // namespace torvane::platform

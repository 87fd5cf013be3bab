#include "platform/file_stream.hpp"

#include "platform/files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace torvane::platform {

Result<FileReader> FileReader::open(const std::filesystem::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(last_os_error_text());
    return FileReader(fd);
}

FileReader::FileReader(FileReader&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileReader& FileReader::operator=(FileReader&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileReader::~FileReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Result<std::size_t> FileReader::read(std::span<char> buffer)
{
    for (;;) {
        ssize_t got = ::read(fd_, buffer.data(), buffer.size());
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
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return failure(last_os_error_text());
    return FileWriter(fd);
}

FileWriter::FileWriter(FileWriter&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileWriter& FileWriter::operator=(FileWriter&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileWriter::~FileWriter()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Status FileWriter::write(std::span<const char> bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd_, bytes.data(), bytes.size());
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
    if (::fsync(fd_) != 0)
        return failure(last_os_error_text());
    return {};
}

Status FileWriter::close()
{
    int result = ::close(std::exchange(fd_, -1));
    if (result != 0)
        return failure(last_os_error_text());
    return {};
}

} // namespace torvane::platform

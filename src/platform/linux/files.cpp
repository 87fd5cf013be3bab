#include "platform/files.hpp"
#include "platform/clock.hpp"
#include "platform/file_descriptor.hpp"
#include "platform/linux/descriptor_write.hpp"
#include "platform/linux/file_kind.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {

Status write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failure(last_os_error_text());
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

Status flush_through(const char* path, int extra_flags, int (*flush)(int))
{
    FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC | extra_flags));
    if (!fd.is_open() || flush(fd.get()) != 0)
        return failure(last_os_error_text());
    return {};
}

std::string os_error_text(int error_number)
{
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in the buffer.
    const char* text = strerror_r(error_number, buffer, sizeof buffer);
    return std::string(text) + " (os error " + std::to_string(error_number) + ")";
}

std::string last_os_error_text() { return os_error_text(errno); }

std::string c_library_error_text(int errno_value) { return os_error_text(errno_value); }

Result<FileInfo> file_info(const fs::path& path, FollowLinks follow)
{
    struct stat st {};
    int rc = follow == FollowLinks::Yes ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    FileInfo info;
    if (rc != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return info;
        return failure(last_os_error_text());
    }
    info.kind = kind_of_mode(st.st_mode);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.modified_ticks = ticks_from_unix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    info.read_only = (st.st_mode & S_IWUSR) == 0;
    info.device = st.st_dev;
    info.inode = st.st_ino;
    info.link_count = st.st_nlink;
    info.reparse_point = info.kind == FileKind::SymbolicLink;
    return info;
}

Result<std::string> read_file(const fs::path& path, std::uint64_t max_size, FollowLinks follow)
{
    // O_NONBLOCK keeps a FIFO (or a device) planted under the name from blocking the open; the
    // file is refused below before anything is read. On a regular file the flag changes nothing.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (follow == FollowLinks::No)
        flags |= O_NOFOLLOW;
    FileDescriptor fd(::open(path.c_str(), flags));
    if (!fd.is_open())
        return failure(last_os_error_text());
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return failure(last_os_error_text());
    if (S_ISDIR(st.st_mode))
        return failure(os_error_text(EISDIR));
    if (!S_ISREG(st.st_mode))
        return failure(not_regular_file_message);
    if (static_cast<std::uint64_t>(st.st_size) > max_size)
        return failure(file_too_large_message);

    // The size read a moment ago is only a hint: the bytes read decide.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buffer[65536];
    while (bytes.size() <= max_size) {
        std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(max_size + 1 - bytes.size(), sizeof buffer));
        ssize_t got = ::read(fd.get(), buffer, room);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failure(last_os_error_text());
        if (got == 0)
            return bytes;
        bytes.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(got));
    }
    return failure(file_too_large_message);
}

Status sync_file(const fs::path& path) { return flush_through(path.c_str(), 0, ::fsync); }

Status replace_rename(const fs::path& from, const fs::path& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return failure(last_os_error_text());
    return {};
}

Status remove_file(const fs::path& path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return failure(last_os_error_text());
    return {};
}

Status create_folders(const fs::path& path)
{
    std::error_code error;
    fs::create_directories(path, error);
    if (error)
        return failure(os_error_text(error.value()));
    return {};
}

Status set_read_only(const fs::path& path, bool read_only)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return failure(last_os_error_text());
    mode_t mode = st.st_mode & 07777;
    mode = read_only ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if (::chmod(path.c_str(), mode) != 0)
        return failure(last_os_error_text());
    return {};
}

Status set_executable(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return failure(last_os_error_text());
    mode_t mode = st.st_mode & 07777;
    // Each read bit brings its execute bit: u+r gives u+x, and so on.
    mode_t wanted = mode | ((mode & (S_IRUSR | S_IRGRP | S_IROTH)) >> 2);
    if (wanted != mode && ::chmod(path.c_str(), wanted) != 0)
        return failure(last_os_error_text());
    return {};
}

fs::path executable_path()
{
    // Read once: once the launcher has renamed its own file aside (the self-update's swap),
    // /proc/self/exe names the moved file, but callers want the path the launcher started from.
    static const fs::path path = [] {
        std::error_code error;
        fs::path link = fs::read_symlink("/proc/self/exe", error);
        return error ? fs::path() : link;
    }();
    return path;
}

} // namespace torvane::platform

#include "platform/files.hpp"
#include "platform/file_handle.hpp"
#include "platform/unicode.hpp"
#include "platform/windows/reparse_points.hpp"
#include "platform/windows/win32.hpp"

#include <cstring>

namespace torvane::platform {

Status write_all(HANDLE handle, std::string_view bytes)
{
    while (!bytes.empty()) {
        // WriteFile takes a 32-bit length; a gigabyte at a time stays well inside it.
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr))
            return failure(last_os_error_text());
        bytes.remove_prefix(written);
    }
    return {};
}

std::string os_error_text(int error_number)
{
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, static_cast<DWORD>(error_number), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                    nullptr);
    std::wstring_view message(buffer ? buffer : L"", buffer ? length : 0);
    // System messages end with a line break, which would stand before " (os error N)".
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.remove_suffix(1);
    std::string text = message.empty() ? "Unknown error" : utf8_from_wide(message);
    if (buffer)
        ::LocalFree(buffer);
    return text + " (os error " + std::to_string(static_cast<DWORD>(error_number)) + ")";
}

std::string last_os_error_text() { return os_error_text(static_cast<int>(::GetLastError())); }

std::string c_library_error_text(int errno_value)
{
    // The C runtime's own table: its errno numbers are not Win32 codes (EACCES is 13, which
    // FormatMessage would read as ERROR_INVALID_DATA). Its texts are English, one per thread.
    return std::string(std::strerror(errno_value)) + " (os error " + std::to_string(errno_value) + ")";
}

namespace {

// The reparse tag of a path's own entry, as a listing shows it; 0 when it cannot be read.
DWORD listed_reparse_tag(const fs::path& path)
{
    WIN32_FIND_DATAW data {};
    HANDLE find = ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    ::FindClose(find);
    return folder_entry_from_find_data(data).reparse_tag;
}

} // namespace

Result<FileInfo> file_info(const fs::path& path, FollowLinks follow)
{
    FileInfo info;
    // The entry's own attributes: Wine shows a Unix symbolic link to a folder only here and in
    // listings (0x410), and opens it through to its target even with FILE_FLAG_OPEN_REPARSE_POINT.
    DWORD attributes = 0;
    if (follow == FollowLinks::No) {
        attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            DWORD error = ::GetLastError();
            if (is_missing_path_error(error))
                return info;
            return failure(os_error_text(static_cast<int>(error)));
        }
    }
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow == FollowLinks::No ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    auto open_with = [&](DWORD open_flags) {
        return UniqueHandle(
            ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, share_everything, nullptr, OPEN_EXISTING, open_flags, nullptr));
    };
    UniqueHandle handle = open_with(flags);
    if (!handle.is_open()) {
        DWORD error = ::GetLastError();
        if (is_missing_path_error(error))
            return info;
        return failure(os_error_text(static_cast<int>(error)));
    }
    FILE_ATTRIBUTE_TAG_INFO tag {};
    if (::GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tag, sizeof tag)
        && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        info.reparse_point = true;
        info.reparse_tag = tag.ReparseTag;
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        info.reparse_point = true; // Wine's Unix symbolic link: tag 0
    }
    const bool is_link = follow == FollowLinks::No && info.reparse_point && redirects_by_name(info.reparse_tag);
    // Any other reparse point (a cloud placeholder, a deduplicated file) is a file in its own
    // right: its metadata is read through it.
    if (follow == FollowLinks::No && info.reparse_point && !is_link) {
        handle = open_with(FILE_FLAG_BACKUP_SEMANTICS);
        if (!handle.is_open())
            return failure(last_os_error_text());
    }
    BY_HANDLE_FILE_INFORMATION data {};
    if (!::GetFileInformationByHandle(handle.get(), &data))
        return failure(last_os_error_text());
    if (is_link)
        info.kind = FileKind::SymbolicLink;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        info.kind = FileKind::Directory;
    else if (::GetFileType(handle.get()) == FILE_TYPE_DISK)
        info.kind = FileKind::Regular;
    else
        info.kind = FileKind::Other;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.modified_ticks = ticks_from_file_time(data.ftLastWriteTime);
    info.read_only = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.device = data.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.link_count = data.nNumberOfLinks;
    return info;
}

Result<std::string> read_file(const fs::path& path, std::uint64_t max_size, FollowLinks follow)
{
    // Shared for reading, writing and deletion like any reader; a link at the path is opened
    // itself (and refused) when it must not be followed.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (follow == FollowLinks::No ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, flags, nullptr));
    if (!file.is_open())
        return failure(last_os_error_text());
    // Only files on a disk: a pipe, a console or a device is refused before any read can block.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return failure(not_regular_file_message);
    FILE_ATTRIBUTE_TAG_INFO tag {};
    if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag))
        return failure(last_os_error_text());
    if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return failure(os_error_text(ERROR_ACCESS_DENIED));
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag))
        return failure(os_error_text(ERROR_CANT_RESOLVE_FILENAME));
    LARGE_INTEGER size {};
    if (::GetFileSizeEx(file.get(), &size) && static_cast<std::uint64_t>(size.QuadPart) > max_size)
        return failure(file_too_large_message);
    std::string bytes;
    if (size.QuadPart > 0)
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    // At most one byte past the limit, so a file that grows while it is read costs no more.
    std::uint8_t buffer[65536];
    for (;;) {
        const std::uint64_t room = max_size + 1 - bytes.size();
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, static_cast<DWORD>(std::min<std::uint64_t>(sizeof buffer, room)), &got, nullptr))
            return failure(last_os_error_text());
        if (got == 0)
            break;
        bytes.append(reinterpret_cast<const char*>(buffer), got);
        if (bytes.size() > max_size)
            return failure(file_too_large_message);
    }
    return bytes;
}

namespace {

// Clears the read-only attribute of a file that is in the way of a deletion or a replacing
// rename, as Linux lets both happen to a file without write permission. True when it was set.
bool clear_read_only(const fs::path& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0
        || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    return ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) != 0;
}

void restore_read_only(const fs::path& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        ::SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
}

} // namespace

Status sync_file(const fs::path& path)
{
    // FlushFileBuffers needs write access; folders open only with backup semantics.
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, share_everything, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.is_open() || !::FlushFileBuffers(file.get()))
        return failure(last_os_error_text());
    return {};
}

Status replace_rename(const fs::path& from, const fs::path& to)
{
    constexpr DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (::MoveFileExW(from.c_str(), to.c_str(), flags))
        return {};
    DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED && clear_read_only(to)) {
        if (::MoveFileExW(from.c_str(), to.c_str(), flags))
            return {};
        error = ::GetLastError();
        restore_read_only(to);
    }
    return failure(os_error_text(static_cast<int>(error)));
}

Status remove_file(const fs::path& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = ::GetLastError();
        return is_missing_path_error(error) ? Status() : Status(failure(os_error_text(static_cast<int>(error))));
    }
    // Wine deletes a Unix symbolic link's target instead of the link (DeleteFileW, and
    // RemoveDirectoryW of an empty target folder): one whose tag reads 0 stays.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && listed_reparse_tag(path) == 0)
        return failure(os_error_text(ERROR_CANT_RESOLVE_FILENAME));
    // A link to a folder (a directory symbolic link, a junction) is removed as a folder entry;
    // its target is left alone.
    const bool folder_link = (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    auto remove = [&] { return folder_link ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str()); };
    if (remove())
        return {};
    DWORD error = ::GetLastError();
    if (is_missing_path_error(error))
        return {};
    if (error == ERROR_ACCESS_DENIED && clear_read_only(path)) {
        if (remove())
            return {};
        error = ::GetLastError();
        restore_read_only(path);
    }
    return failure(os_error_text(static_cast<int>(error)));
}

Status create_folders(const fs::path& path)
{
    if (path.empty())
        return {};
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return {};
        return failure(os_error_text(ERROR_ALREADY_EXISTS));
    }
    fs::path parent = path.parent_path();
    if (!parent.empty() && parent != path)
        TRY(create_folders(parent));
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return {};
    DWORD error = ::GetLastError();
    // Another process may have made it meanwhile.
    attributes = ::GetFileAttributesW(path.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return failure(os_error_text(static_cast<int>(error)));
}

Status set_read_only(const fs::path& path, bool read_only)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return failure(last_os_error_text());
    DWORD wanted = read_only ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (wanted != attributes && !::SetFileAttributesW(path.c_str(), wanted))
        return failure(last_os_error_text());
    return {};
}

Status set_executable(const fs::path& path)
{
    // Windows runs any file it can read; there is no permission to add. The file must exist.
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return failure(last_os_error_text());
    return {};
}

fs::path executable_path()
{
    static const fs::path path = [] {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0)
                return fs::path();
            if (length < buffer.size()) {
                buffer.resize(length);
                return fs::path(buffer);
            }
            if (buffer.size() >= 32768)
                return fs::path();
            buffer.resize(buffer.size() * 2);
        }
    }();
    return path;
}

} // namespace torvane::platform

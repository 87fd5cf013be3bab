#include "platform/folder_listing.hpp"

#include "platform/windows/reparse_points.hpp"

#include <string>

namespace torvane::platform {

namespace {

struct FindHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~FindHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            ::FindClose(handle);
    }
};

std::wstring every_entry_of(const fs::path& folder)
{
    std::wstring pattern = folder.empty() ? std::wstring(L".") : folder.native();
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    return pattern + L'*';
}

} // namespace

Result<std::vector<FolderEntry>> list_folder(const fs::path& folder)
{
    WIN32_FIND_DATAW data {};
    FindHandle find {::FindFirstFileExW(every_entry_of(folder).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                        nullptr, FIND_FIRST_EX_LARGE_FETCH)};
    std::vector<FolderEntry> entries;
    if (find.handle == INVALID_HANDLE_VALUE) {
        // Only a drive's empty root has no entry at all, not even "." and "..".
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return entries;
        return failure(last_os_error_text());
    }
    do {
        const std::wstring_view name = data.cFileName;
        if (name != L"." && name != L"..")
            entries.push_back(folder_entry_from_find_data(data));
    } while (::FindNextFileW(find.handle, &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES)
        return failure(last_os_error_text());
    return entries;
}

Status remove_folder_entry(const fs::path& path, const FolderEntry& entry)
{
    if (entry.kind != FileKind::Directory || entry.reparse_point)
        return remove_file(path);
    if (::RemoveDirectoryW(path.c_str()))
        return {};
    DWORD error = ::GetLastError();
    if (is_missing_path_error(error))
        return {};
    return failure(os_error_text(static_cast<int>(error)));
}

} // namespace torvane::platform

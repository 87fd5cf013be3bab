#include "support/folder_links.hpp"

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace torvane::test {

namespace {

// Wine's own export: the Unix path of a Windows path, allocated on the process heap.
using UnixFileName = char*(CDECL*)(const wchar_t*);

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string unix_path(UnixFileName convert, const std::filesystem::path& path)
{
    char* name = convert(path.c_str());
    if (!name)
        return {};
    std::string result = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

} // namespace

bool make_folder_link(const std::filesystem::path& target, const std::filesystem::path& link)
{
    auto convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return false;
    const std::string unix_target = unix_path(convert, target);
    // The link does not exist yet: its folder's Unix path and its name.
    const std::string unix_folder = unix_path(convert, link.parent_path());
    if (unix_target.empty() || unix_folder.empty())
        return false;
    const std::string unix_link = unix_folder + "/" + link.filename().string();
    // Wine starts a Unix program for a Windows one, but its process handle is signalled at once:
    // the link is there when Win32 sees it.
    std::wstring command = L"/bin/ln -s \"" + wide(unix_target) + L"\" \"" + wide(unix_link) + L"\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace torvane::test

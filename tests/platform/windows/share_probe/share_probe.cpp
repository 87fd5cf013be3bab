// A second process for the share-mode tests: tries one operation on a file and exits with 0 when
// it worked, else with the Win32 error code.
//   share_probe write <file>         open for writing (sharing everything)
//   share_probe rename <file> <to>   rename, replacing <to>
//   share_probe delete <file>        delete
//   share_probe read <file>          open for reading (sharing everything)
//   share_probe lock <file>          take the update lock on the file (1 when refused)
//   share_probe error-box <text>     show an error message box with the text
#include "platform/message_box.hpp"
#include "platform/update_lock.hpp"
#include "platform/windows/win32.hpp"

#include <windows.h>

#include <string_view>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 1000;
    std::wstring_view action = argv[1];
    const wchar_t* file = argv[2];
    constexpr DWORD share_everything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    auto open_result = [](HANDLE handle) -> int {
        if (handle == INVALID_HANDLE_VALUE)
            return static_cast<int>(::GetLastError());
        ::CloseHandle(handle);
        return 0;
    };
    if (action == L"write")
        return open_result(::CreateFileW(file, GENERIC_WRITE, share_everything, nullptr, OPEN_EXISTING, 0, nullptr));
    if (action == L"read")
        return open_result(::CreateFileW(file, GENERIC_READ, share_everything, nullptr, OPEN_EXISTING, 0, nullptr));
    if (action == L"rename" && argc >= 4)
        return ::MoveFileExW(file, argv[3], MOVEFILE_REPLACE_EXISTING) ? 0 : static_cast<int>(::GetLastError());
    if (action == L"delete")
        return ::DeleteFileW(file) ? 0 : static_cast<int>(::GetLastError());
    if (action == L"lock")
        return torvane::platform::UpdateLock::acquire(file) ? 0 : 1;
    if (action == L"error-box") {
        torvane::platform::show_message_box("Torvane", torvane::platform::utf8_from_wide(file),
                                            torvane::platform::MessageIcon::Error);
        return 0;
    }
    return 1001;
}

// A stand-in for the game's Main.exe in the Windows end-to-end tests: it appends one line to the
// file named by TORVANE_STARTED_FILE (a Windows path), "<working folder>|<arguments>\n" in UTF-8,
// the arguments as the program received them, split by the system's rules and joined by single
// spaces. It then exits 0 at once.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t target[MAX_PATH * 4] = {};
    if (!GetEnvironmentVariableW(L"TORVANE_STARTED_FILE", target, MAX_PATH * 4))
        return 2;
    wchar_t folder[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, folder);
    std::wstring line = folder;
    line += L'|';
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; arguments && i < count; ++i) {
        if (i > 1)
            line += L' ';
        line += arguments[i];
    }
    LocalFree(arguments);
    line += L'\n';
    std::string bytes = utf8(line);
    HANDLE file = CreateFileW(target, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size() ? 0 : 4;
}

// Program starts on Windows go through the shell: ShellExecuteExW opens the program in its folder
// (the system asks for elevation when the program's manifest wants it) and ShellExecuteW opens
// links in the user's browser. Nothing is inherited: the caller's open, share-locked handle of the
// verified executable keeps the file from being replaced until the start has returned.
#include "platform/process.hpp"
#include "platform/final_path.hpp"

#include "platform/unicode.hpp"
#include "platform/windows/window_support.hpp"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

namespace torvane::platform {

namespace {

// The shell may hand a start to extensions that need COM on the calling thread; a thread that
// has it already in another mode keeps that.
void prepare_shell_for_this_thread()
{
    thread_local bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

// One argument as the program's command-line parser reads it back: quoted when it holds a blank,
// a tab or a quote, or is empty; backslashes doubled where a quote follows them.
void append_quoted(std::wstring& line, const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring command_line_of(const std::vector<std::string>& arguments)
{
    std::wstring line;
    for (const std::string& argument : arguments) {
        if (!line.empty())
            line += L' ';
        append_quoted(line, to_wide(argument));
    }
    return line;
}

} // namespace

Status start_detached(const ProgramLaunch& launch)
{
    prepare_shell_for_this_thread();
    std::wstring program = launch.program.wstring();
    std::wstring parameters = command_line_of(launch.arguments);
    std::wstring folder = launch.working_folder ? launch.working_folder->wstring() : std::wstring();

    SHELLEXECUTEINFOW start {};
    start.cbSize = sizeof start;
    // The start has happened when the call returns, and failures come back as codes, not boxes.
    start.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.hwnd = win32::launcher_window();
    start.lpVerb = L"open";
    start.lpFile = program.c_str();
    start.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    start.lpDirectory = launch.working_folder ? folder.c_str() : nullptr;
    start.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&start))
        return {};
    DWORD error = GetLastError();
    // The user said no to the elevation prompt: nothing to report.
    if (error == ERROR_CANCELLED)
        return failure(cancelled_text);
    return failure(os_error_text(static_cast<int>(error)));
}

Result<ExecutableKind> executable_kind(const fs::path& file)
{
    // Every program file is the system's own to start on Windows; reading it tells whether it is
    // there at all.
    HANDLE handle = CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failure(last_os_error_text());
    CloseHandle(handle);
    return ExecutableKind::Native;
}

Result<ExecutableKind> executable_kind(const FileHandle& file)
{
    if (!file.is_open())
        return failure(os_error_text(ERROR_INVALID_HANDLE));
    return ExecutableKind::Native;
}

fs::path inherited_descriptor_path(int descriptor)
{
    // The final path of the open file. While the verified client is held with read sharing only,
    // nothing can be renamed over its name, so starting it by this path starts the file checked.
    HANDLE handle = LongToHandle(descriptor);
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length);
    }
    return without_extended_prefix(fs::path(path));
}

Status open_url(std::string_view url)
{
    prepare_shell_for_this_thread();
    std::wstring address = to_wide(trim_unicode_white_space(url));
    SetLastError(ERROR_SUCCESS);
    auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32)
        return {};
    // Values up to 32 are the shell's error codes; the thread's last error is the system's reason.
    DWORD error = GetLastError();
    return failure(os_error_text(static_cast<int>(error != ERROR_SUCCESS ? error : static_cast<DWORD>(result))));
}

} // namespace torvane::platform

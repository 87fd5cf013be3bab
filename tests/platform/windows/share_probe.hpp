// Runs the share probe (share_probe/share_probe.cpp), a second process, and yields its exit code.
#pragma once

#include "platform/files.hpp"

#include <windows.h>

#include <filesystem>
#include <initializer_list>
#include <string>

namespace torvane::test {

inline std::filesystem::path share_probe_path()
{
    return platform::executable_path().parent_path() / L"torvane_share_probe.exe";
}

// The probe's exit code: 0 when the operation worked, else its Win32 error code.
inline DWORD run_share_probe(const wchar_t* action, std::initializer_list<std::filesystem::path> files)
{
    std::wstring command = L"\"" + share_probe_path().native() + L"\" " + action;
    for (const auto& file : files)
        command += L" \"" + file.native() + L"\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

} // namespace torvane::test

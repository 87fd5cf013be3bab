#include "platform/command_line.hpp"

#include <windows.h>
#include <shellapi.h>

namespace torvane::platform {

namespace {

std::string utf8_of(const wchar_t* text)
{
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.pop_back(); // the terminator
    return out;
}

} // namespace

std::vector<std::string> command_line_arguments(int, char**)
{
    // argv holds the ANSI code page's reading of the command line; the wide one is exact.
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8_of(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

} // namespace torvane::platform

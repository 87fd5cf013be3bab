#include "platform/files.hpp"
#include "share_probe.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

// Wine without an X display: a box cannot be shown there, and the test can run without anyone to
// close it. On Windows, or with a display, a box would wait for a click.
bool headless_wine()
{
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    bool wine = ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    wchar_t display[8];
    return wine && ::GetEnvironmentVariableW(L"DISPLAY", display, 8) == 0;
}

TEST(WindowsMessageBox, WithoutADisplayTheTextGoesToStandardError)
{
    if (!headless_wine())
        GTEST_SKIP() << "a box would be shown and wait for a click";
    test::TempDir dir;
    fs::path captured = dir.path() / "stderr.txt";
    SECURITY_ATTRIBUTES inherit {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = ::CreateFileW(captured.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(output, INVALID_HANDLE_VALUE);
    std::wstring command = L"\"" + test::share_probe_path().native() + L"\" error-box \"Erro ao gerar o manifesto: sem espaço\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = output;
    startup.hStdOutput = output;
    PROCESS_INFORMATION process {};
    BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(output);
    ASSERT_TRUE(started);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    // The stream is in text mode, as console output on Windows is.
    EXPECT_EQ(*read_file(captured, platform::document_read_limit), "Erro ao gerar o manifesto: sem espaço\r\n");
}

} // namespace
} // namespace torvane::platform

// The Windows window tests' program. Started with "--child" it is one of the helper processes the
// tests start (a second launcher holding the instance mutex, a window in another process, a
// started program that records how it was started); otherwise it runs the tests.
#include "windows_test_support.hpp"

#include <gtest/gtest.h>

#include <shellapi.h>

int main(int argc, char** argv)
{
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words && count >= 2 && std::wstring(words[1]) == L"--child") {
        std::vector<std::wstring> arguments(words + 2, words + count);
        LocalFree(words);
        return torvane::test::windows::run_child(arguments);
    }
    LocalFree(words);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

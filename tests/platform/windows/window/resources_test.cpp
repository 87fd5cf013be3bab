#include "windows_test_support.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvane::test::windows {
namespace {

// Icon group 1 holds the artwork at every size the desktop asks for, each loadable as it is.
TEST(ResourcesTest, TheWindowIconAtEverySize)
{
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour {};
        ASSERT_TRUE(GetObjectW(info.hbmColor, sizeof colour, &colour));
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        EXPECT_EQ(colour.bmBitsPixel, 32) << "with its alpha channel";
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

std::wstring version_string(const std::vector<char>& block, const wchar_t* name)
{
    void* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\041604B0\\") + name;
    if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || length == 0)
        return {};
    return static_cast<const wchar_t*>(value);
}

TEST(ResourcesTest, VersionBlock)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD size = GetFileVersionInfoSizeW(self, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(self, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020001u); // 2.1
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);          // .0.0
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020001u);
    EXPECT_EQ(version_string(block, L"FileVersion"), L"2.1.0");
    EXPECT_EQ(version_string(block, L"ProductVersion"), L"2.1.0");
    EXPECT_EQ(version_string(block, L"ProductName"), L"Torvane");
    EXPECT_EQ(version_string(block, L"OriginalFilename"), L"Torvane.exe");
}

// The manifest the system reads at start: the launcher's assembly, asInvoker, Windows 10 and 11,
// per-monitor DPI awareness. (Wine gives every program the desktop's DPI, aware or not, so the
// awareness itself shows only on Windows.)
TEST(ResourcesTest, ApplicationManifest)
{
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    auto* data = static_cast<const char*>(LockResource(LoadResource(self, found)));
    ASSERT_NE(data, nullptr);
    std::string manifest(data, SizeofResource(self, found));
    for (const char* part : {"name=\"Pellamoor.Launcher\" version=\"1.0.0.0\"",
             "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", ">true/pm</dpiAware>",
             ">PerMonitorV2</dpiAwareness>"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

} // namespace
} // namespace torvane::test::windows

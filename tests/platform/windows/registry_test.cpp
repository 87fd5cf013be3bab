// The registry cases of Windows' own: the current user's real keys, read back without the layer.
#include "platform/files.hpp"
#include "platform/registry.hpp"
#include "platform/unicode.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <windows.h>

namespace torvane::platform {
namespace {

// The value as the registry itself holds it, read without the layer.
std::optional<RegistryData> raw_value(const wchar_t* sub_key, const wchar_t* name)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, sub_key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    std::optional<RegistryData> data;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) == ERROR_SUCCESS)
            data = RegistryData {static_cast<RegistryType>(type), bytes.substr(0, size)};
    }
    ::RegCloseKey(key);
    return data;
}

class WindowsRegistry : public ::testing::Test {
protected:
    void TearDown() override
    {
        clear_registry_refusals();
        set_registry_root({});
        ::RegDeleteTreeW(HKEY_CURRENT_USER, wide_key.c_str());
    }

    // A real key of each test's own: the tests run at the same time, each in its own process,
    // over one registry.
    const std::string test_key =
        std::string("SOFTWARE\\Torvane\\Tests\\Registry\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::wstring wide_key = to_wide(test_key);
};

TEST_F(WindowsRegistry, EveryValueTypeRoundTripsThroughTheRealRegistry)
{
    auto key = RegistryKey::create_current_user(test_key);
    ASSERT_TRUE(key) << key.error();
    EXPECT_EQ(key->file(), fs::path(L"HKEY_CURRENT_USER\\" + wide_key));
    struct Case {
        const char* name;
        const wchar_t* wide_name;
        RegistryType type;
        std::string bytes;
    };
    const Case cases[] = {
        {"WindowMode", L"WindowMode", RegistryType::Dword, std::string("\x02\x00\x00\x00", 4)},
        {"LangSelection", L"LangSelection", RegistryType::String, registry_string_bytes("Português")},
        {"Path", L"Path", RegistryType::ExpandString, registry_string_bytes("%APPDATA%\\Ornhald")},
        {"Blob", L"Blob", RegistryType::Binary, std::string("\x00\xFF\x10", 3)},
        {"Names", L"Names", RegistryType::MultiString, std::string("a\0\0\0b\0\0\0\0\0", 10)},
        {"Big", L"Big", RegistryType::Qword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"Nothing", L"Nothing", RegistryType::None, std::string()},
        {"Odd type", L"Odd type", static_cast<RegistryType>(0x40), "kept"},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(key->set(c.name, c.type, c.bytes)) << c.name;
    for (const Case& c : cases) {
        auto read = key->query(c.name);
        ASSERT_TRUE(read) << c.name << ": " << read.error();
        EXPECT_EQ(*read, (RegistryData {c.type, c.bytes})) << c.name;
        EXPECT_EQ(raw_value(wide_key.c_str(), c.wide_name), (RegistryData {c.type, c.bytes})) << c.name;
    }
    EXPECT_EQ(registry_string_text(key->query("LangSelection")->bytes), "Português");
}

TEST_F(WindowsRegistry, AKeyDeletedBehindTheLaunchersBackIsMadeAgainByTheNextWrite)
{
    auto key = RegistryKey::create_current_user(test_key);
    ASSERT_TRUE(key);
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, wide_key.c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(key->query("WindowMode"));
    ASSERT_TRUE(key->set_dword("WindowMode", 1));
    EXPECT_EQ(key->query("WindowMode")->type, RegistryType::Dword);
}

TEST_F(WindowsRegistry, AMovedStoreKeepsItsKeysApartFromTheRealOnes)
{
    test::TempDir dir;
    set_registry_root(dir.path() / "store");
    auto moved = RegistryKey::create_current_user(test_key);
    ASSERT_TRUE(moved) << moved.error();
    ASSERT_TRUE(moved->set_dword("WindowMode", 2));
    EXPECT_EQ(raw_value(wide_key.c_str(), L"WindowMode"), std::nullopt);
}

} // namespace
} // namespace torvane::platform

#include "platform/process.hpp"
#include "support/temp_dir.hpp"
#include "windows_test_support.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace torvane::platform {
namespace {

using test::windows::wait_until;

fs::path this_program()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::string utf8_of(const fs::path& path)
{
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string read_text(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ProcessTest : public testing::Test {
protected:
    // A folder of each test's own: a started program may hold its files for a moment after.
    test::TempDir dir_;
    const fs::path root_ = dir_.path();
};

// The game's start: the program in its folder with its arguments, read back by the started
// program's own command-line parser.
TEST_F(ProcessTest, StartsTheProgramInItsFolderWithItsArguments)
{
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        bool in_folder;
    };
    const Case cases[] = {
        {"the game's argument", {"-launcher"}, true},
        {"blanks, quotes and backslashes", {"a b", "c\"d", "e\\", "f\\\"g", ""}, true},
        {"the restart: no folder, no arguments", {}, false},
    };
    fs::path folder = root_ / L"Versões do jogo";
    fs::create_directories(folder);
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path record = root_ / ("started-" + std::to_string(run++) + ".txt");
        ProgramLaunch launch {.program = this_program(), .arguments = {"--child", "record", record.string()}};
        launch.arguments.insert(launch.arguments.end(), c.arguments.begin(), c.arguments.end());
        if (c.in_folder)
            launch.working_folder = folder;
        Status started = start_detached(launch);
        ASSERT_TRUE(started) << started.error();
        // Wait for the text, not the name: under Wine the name was seen before the text could be read.
        ASSERT_TRUE(wait_until([&] { return !read_text(record).empty(); })) << "the program did not run";
        std::string expected = utf8_of(c.in_folder ? folder : fs::current_path()) + "\n";
        for (const std::string& argument : c.arguments)
            expected += argument + "\n";
        EXPECT_EQ(read_text(record), expected);
    }
}

// The verified client stays open with read sharing only while it starts: nobody can replace it
// in between, and the start itself still opens it.
TEST_F(ProcessTest, StartsAClientHeldWithReadSharingOnly)
{
    fs::path client = root_ / "Main.exe";
    fs::copy_file(this_program(), client);
    HANDLE held = CreateFileW(client.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE writer = CreateFileW(client.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the held client can be written";
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);

    fs::path record = root_ / "started.txt";
    Status started = start_detached({.program = client, .arguments = {"--child", "record", record.string(), "-launcher"},
        .working_folder = root_});
    CloseHandle(held);
    ASSERT_TRUE(started) << started.error();
    EXPECT_TRUE(wait_until([&] { return read_text(record) == utf8_of(root_) + "\n-launcher\n"; })) << read_text(record);
    // The started copy ends right after it wrote the record; then it can go.
    EXPECT_TRUE(wait_until([&] {
        std::error_code error;
        return fs::remove(client, error) || !fs::exists(client);
    }));
}

TEST_F(ProcessTest, FailuresCarryTheSystemsText)
{
    ASSERT_FALSE(fs::exists(root_ / "Main.exe"));
    Status missing = start_detached({.program = root_ / "Main.exe", .arguments = {"-launcher"}, .working_folder = root_});
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.error().ends_with(" (os error 2)")) << missing.error();
    EXPECT_GT(missing.error().size(), std::string(" (os error 2)").size()) << "the system's message comes first";

    Result<ExecutableKind> unreadable = executable_kind(root_ / "Main.exe");
    ASSERT_FALSE(unreadable);
    EXPECT_TRUE(unreadable.error().ends_with(" (os error 2)")) << unreadable.error();
    Result<ExecutableKind> native = executable_kind(this_program());
    ASSERT_TRUE(native) << native.error();
    EXPECT_EQ(*native, ExecutableKind::Native) << "Windows starts its own programs";
}

// A link goes to the desktop's URL handler trimmed, as one argument (the runner's stand-in records
// what it gets).
TEST_F(ProcessTest, LinksReachTheDesktopsUrlHandler)
{
    const wchar_t* record = _wgetenv(L"TORVANE_OPENED_URLS");
    if (!record || !*record)
        GTEST_SKIP() << "run through run_under_wine.sh, which records the opened addresses";
    Status opened = open_url(" \t https://exemplo.com/not\xC3\xAD" "cias?a=1&b=2 \n");
    ASSERT_TRUE(opened) << opened.error();
    EXPECT_TRUE(wait_until([&] { return read_text(record) == "https://exemplo.com/not\xC3\xAD" "cias?a=1&b=2\n"; }))
        << read_text(record);
}

} // namespace
} // namespace torvane::platform

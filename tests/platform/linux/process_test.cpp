#include "platform/process.hpp"
#include "support/temp_dir.hpp"
#include "support/xvfb_display.hpp"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path write_executable(const test::TempDir& dir, const fs::path& relative, std::string_view text)
{
    fs::path path = dir.write(relative, text);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

std::vector<std::string> lines_of(const fs::path& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The fields of /proc/<pid>/stat after the command name: state, parent, group, session.
struct ProcessStat {
    char state = '?';
    long parent = 0;
    long session = 0;
};

std::optional<ProcessStat> process_stat(long pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream rest(text.substr(close + 2));
    ProcessStat stat;
    long group = 0;
    rest >> stat.state >> stat.parent >> group >> stat.session;
    return stat;
}

// Children of this test process that have ended but were not reaped.
std::vector<long> zombie_children()
{
    std::vector<long> zombies;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        auto stat = process_stat(std::stol(name));
        if (stat && stat->parent == ::getpid() && stat->state == 'Z')
            zombies.push_back(std::stol(name));
    }
    return zombies;
}

// A game stand-in: records its folder, arguments, process ids and which descriptors it holds,
// then runs until the test creates "release" beside it.
std::string recording_script(const fs::path& record, int inherited, int not_inherited)
{
    std::string fd = std::to_string(inherited);
    std::string other = std::to_string(not_inherited);
    return "#!/bin/sh\n"
           "{\n"
           "  echo \"folder:$(pwd)\"\n"
           "  for a in \"$@\"; do echo \"arg:$a\"; done\n"
           "  if [ -e /proc/self/fd/" + fd + " ]; then echo inherited:yes; else echo inherited:no; fi\n"
           "  if [ -e /proc/self/fd/" + other + " ]; then echo other:yes; else echo other:no; fi\n"
           "  set -- $(cat /proc/$$/stat)\n"
           "  echo \"pid:$1\"\n"
           "  echo \"parent:$4\"\n"
           "  echo \"session:$6\"\n"
           "} > '" + record.string() + ".part'\n"
           "mv '" + record.string() + ".part' '" + record.string() + "'\n"
           "while [ ! -e release ]; do sleep 0.02; done\n";
}

bool try_exclusive_lock(const fs::path& file)
{
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0)
        ::close(fd);
    return locked;
}

TEST(StartDetached, RunsInItsFolderWithArgumentsInheritingOnlyTheOneDescriptor)
{
    test::TempDir dir;
    fs::path folder = dir.path() / "release folder";
    fs::create_directories(folder);
    fs::path record = dir.path() / "record";
    fs::path locked_file = dir.write("Main.exe.lock", "x");

    int share_lock = ::open(locked_file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(share_lock, 0);
    ASSERT_EQ(::flock(share_lock, LOCK_SH), 0);
    // A descriptor someone opened without close-on-exec must still not reach the program.
    int stray = ::open(locked_file.c_str(), O_RDONLY);
    ASSERT_GE(stray, 0);
    fs::path program = write_executable(dir, "bin/Main.exe", recording_script(record, share_lock, stray));

    auto started = start_detached(ProgramLaunch {.program = program,
        .arguments = {"-launcher", "two words", "$HOME;'\"*"},
        .working_folder = folder,
        .inherited_descriptor = share_lock});
    ASSERT_TRUE(started) << started.error();
    ::close(stray);

    ASSERT_TRUE(test::wait_until([&] { return fs::exists(record); }));
    std::vector<std::string> lines = lines_of(record);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "folder:" + folder.string());
    EXPECT_EQ(lines[1], "arg:-launcher");
    EXPECT_EQ(lines[2], "arg:two words");
    EXPECT_EQ(lines[3], "arg:$HOME;'\"*"); // no shell ever sees the arguments
    EXPECT_EQ(lines[4], "inherited:yes");
    EXPECT_EQ(lines[5], "other:no");
    EXPECT_NE(std::stol(lines[6].substr(4)), ::getpid());
    EXPECT_NE(std::stol(lines[7].substr(7)), ::getpid()) << "the launcher is not the game's parent";
    EXPECT_NE(std::stol(lines[8].substr(8)), ::getsid(0)) << "the game runs in a session of its own";
    EXPECT_TRUE(zombie_children().empty());

    // The launcher lets its own descriptor go: the game's copy keeps the share lock, so the
    // release cannot be locked exclusively (and so not pruned) while the game runs.
    ::close(share_lock);
    EXPECT_FALSE(try_exclusive_lock(locked_file));

    dir.write("release folder/release", "");
    EXPECT_TRUE(test::wait_until([&] { return try_exclusive_lock(locked_file); }));
    EXPECT_TRUE(zombie_children().empty());
}

// A program checked through an open descriptor and started from it is the file that was checked,
// even when another file was renamed over its path in between: native programs by the descriptor
// itself, Windows programs through the descriptor's path.
TEST(StartDetached, FromTheInheritedDescriptorTheCheckedFileRuns)
{
    test::TempDir dir;
    fs::path record = dir.path() / "record";
    auto script = [&](std::string_view who) {
        return "#!/bin/sh\necho " + std::string(who) + " \"$@\" > '" + record.string() + "'\n";
    };
    fs::path program = write_executable(dir, "Main.exe", script("verificado"));
    auto checked = FileHandle::open_for_reading(program);
    ASSERT_TRUE(checked) << checked.error();
    fs::path impostor = write_executable(dir, "outro", script("impostor"));
    fs::rename(impostor, program);

    auto started = start_detached(ProgramLaunch {.program = program, .arguments = {"-launcher"},
        .inherited_descriptor = checked->descriptor(), .run_from = RunFrom::InheritedDescriptor});
    ASSERT_TRUE(started) << started.error();
    ASSERT_TRUE(test::wait_until([&] { return !lines_of(record).empty(); }));
    EXPECT_EQ(lines_of(record), std::vector<std::string> {"verificado -launcher"});

    // What the descriptor's path opens in a program that inherited it is the checked file too.
    fs::remove(record);
    std::string path_text = inherited_descriptor_path(checked->descriptor()).string();
    fs::path reader = write_executable(dir, "leitor", "#!/bin/sh\nhead -n 2 \"$1\" | tail -n 1 > '" + record.string() + "'\n");
    started = start_detached(ProgramLaunch {.program = reader, .arguments = {path_text},
        .inherited_descriptor = checked->descriptor()});
    ASSERT_TRUE(started) << started.error();
    ASSERT_TRUE(test::wait_until([&] { return !lines_of(record).empty(); }));
    EXPECT_EQ(lines_of(record), std::vector<std::string> {"echo verificado \"$@\" > '" + record.string() + "'"});
}

TEST(StartDetached, FindsABareNameOnPath)
{
    test::TempDir dir;
    fs::path record = dir.path() / "record";
    write_executable(dir, "bin/torvane-stand-in", "#!/bin/sh\necho \"$@\" > '" + record.string() + "'\n");
    std::string saved_path = std::getenv("PATH");
    ::setenv("PATH", ("/nonexistent:" + (dir.path() / "bin").string() + ":" + saved_path).c_str(), 1);
    auto started = start_detached(ProgramLaunch {.program = "torvane-stand-in", .arguments = {"a"}});
    ::setenv("PATH", saved_path.c_str(), 1);
    ASSERT_TRUE(started) << started.error();
    ASSERT_TRUE(test::wait_until([&] { return lines_of(record) == std::vector<std::string> {"a"}; }));
}

TEST(StartDetached, StartFailuresCarryTheSystemText)
{
    test::TempDir dir;
    fs::path not_executable = dir.write("plain.txt", "#!/bin/sh\n");
    fs::path no_interpreter_line = write_executable(dir, "data.bin", "just bytes\n");
    fs::path no_interpreter = write_executable(dir, "broken.sh", "#!/nonexistent/sh\n");
    fs::path runs = write_executable(dir, "runs.sh", "#!/bin/sh\n");
    FileHandle not_executable_file = FileHandle::open_for_reading(not_executable).value();
    struct Case {
        const char* what;
        ProgramLaunch launch;
        const char* error;
    };
    const Case cases[] = {
        {"missing file", {.program = dir.path() / "missing.exe"}, "No such file or directory (os error 2)"},
        {"bare name on no PATH folder", {.program = "torvane-no-such-program"}, "No such file or directory (os error 2)"},
        {"empty name", {.program = ""}, "No such file or directory (os error 2)"},
        {"not executable", {.program = not_executable}, "Permission denied (os error 13)"},
        {"no known format", {.program = no_interpreter_line}, "Exec format error (os error 8)"},
        {"interpreter missing", {.program = no_interpreter}, "No such file or directory (os error 2)"},
        {"folder missing", {.program = runs, .working_folder = dir.path() / "gone"},
            "No such file or directory (os error 2)"},
        {"descriptor not open", {.program = runs, .inherited_descriptor = 1000}, "Bad file descriptor (os error 9)"},
        {"run from no descriptor", {.program = runs, .run_from = RunFrom::InheritedDescriptor},
            "Bad file descriptor (os error 9)"},
        {"run from a descriptor of a file that may not run",
            {.program = not_executable, .inherited_descriptor = not_executable_file.descriptor(), .run_from = RunFrom::InheritedDescriptor},
            "Permission denied (os error 13)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto started = start_detached(c.launch);
        ASSERT_FALSE(started);
        EXPECT_EQ(started.error(), c.error);
    }
    EXPECT_TRUE(zombie_children().empty());
}

TEST(ExecutableKind, ByTheFirstBytes)
{
    test::TempDir dir;
    struct Case {
        const char* content;
        std::size_t size;
        ExecutableKind kind;
    };
    const Case cases[] = {
        {"MZ\x90\x00\x03", 5, ExecutableKind::Windows},
        {"MZ", 2, ExecutableKind::Windows},
        {"\x7f" "ELF\x02\x01", 6, ExecutableKind::Native},
        {"#!/bin/sh\n", 10, ExecutableKind::Native},
        {"ZM", 2, ExecutableKind::Native},
        {"mz", 2, ExecutableKind::Native},
        {"M", 1, ExecutableKind::Native},
        {"", 0, ExecutableKind::Native},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.content, c.size));
        fs::path file = dir.write("Main.exe", std::string_view(c.content, c.size));
        auto kind = executable_kind(file);
        ASSERT_TRUE(kind) << kind.error();
        EXPECT_EQ(*kind, c.kind);
        // Through an open handle, wherever its read position stands.
        FileHandle handle = FileHandle::open_for_reading(file).value();
        std::uint8_t skipped[1];
        (void)handle.read(skipped);
        auto by_handle = executable_kind(handle);
        ASSERT_TRUE(by_handle) << by_handle.error();
        EXPECT_EQ(*by_handle, c.kind);
    }
    EXPECT_EQ(executable_kind(dir.path() / "missing").error(), "No such file or directory (os error 2)");
    EXPECT_EQ(executable_kind(dir.path()).error(), "Is a directory (os error 21)");
}

TEST(OpenUrl, RunsXdgOpenFromPathWithTheAddressAsItsOneArgument)
{
    test::TempDir dir;
    fs::path record = dir.path() / "record";
    write_executable(dir, "bin/xdg-open",
        "#!/bin/sh\n{ echo \"count:$#\"; for a in \"$@\"; do echo \"arg:$a\"; done; } > '" + record.string() + "'\n");
    std::string saved_path = std::getenv("PATH");
    ::setenv("PATH", (dir.path() / "bin").c_str(), 1);
    auto opened = open_url("https://example.test/a b?c=1&d=$(x)");
    ::setenv("PATH", (dir.path() / "empty").c_str(), 1);
    auto missing = open_url("https://example.test/");
    ::setenv("PATH", saved_path.c_str(), 1);

    ASSERT_TRUE(opened) << opened.error();
    ASSERT_TRUE(test::wait_until([&] { return lines_of(record).size() == 2; }));
    EXPECT_EQ(lines_of(record), (std::vector<std::string> {"count:1", "arg:https://example.test/a b?c=1&d=$(x)"}));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), "No such file or directory (os error 2)");
}

} // namespace
} // namespace torvane::platform

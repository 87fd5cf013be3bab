#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/path_text.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <thread>
#include <vector>

namespace torvane::platform {
namespace {

TEST(OsErrorText, HasTheOsErrorSuffix)
{
    EXPECT_EQ(os_error_text(ENOENT), "No such file or directory (os error 2)");
    EXPECT_EQ(os_error_text(EACCES), "Permission denied (os error 13)");
}

TEST(OsErrorText, ErrorCodesAreReadInTheirOwnDomain)
{
    EXPECT_EQ(c_library_error_text(EACCES), "Permission denied (os error 13)");
    EXPECT_EQ(error_code_text(std::make_error_code(std::errc::permission_denied)), "Permission denied (os error 13)");
    EXPECT_EQ(error_code_text(std::error_code(ENOENT, std::system_category())), "No such file or directory (os error 2)");
    // Another category's code is no system code: its own message.
    const std::error_code future = std::make_error_code(std::future_errc::no_state);
    EXPECT_EQ(error_code_text(future), future.message() + " (os error " + std::to_string(future.value()) + ")");
}

TEST(FileInfo, TellsLinksFromTheirTargets)
{
    test::TempDir dir;
    auto target = dir.write("target.bin", "12345");
    std::filesystem::create_symlink(target, dir.path() / "link");

    auto followed = file_info(dir.path() / "link", FollowLinks::Yes);
    ASSERT_TRUE(followed);
    EXPECT_EQ(followed->kind, FileKind::Regular);
    EXPECT_EQ(followed->size, 5u);

    EXPECT_FALSE(followed->reparse_point);
    auto itself = file_info(dir.path() / "link", FollowLinks::No);
    ASSERT_TRUE(itself);
    EXPECT_EQ(itself->kind, FileKind::SymbolicLink);
    EXPECT_TRUE(itself->reparse_point) << "a link is Linux's only redirecting entry";
    EXPECT_EQ(itself->reparse_tag, 0u);
    EXPECT_FALSE(file_info(target, FollowLinks::No)->reparse_point);

    auto missing = file_info(dir.path() / "nothing", FollowLinks::No);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->kind, FileKind::Missing);
}

TEST(FileInfo, ModificationTimeIsInTicksSinceYearOne)
{
    test::TempDir dir;
    auto file = dir.write("a", "x");
    auto info = file_info(file, FollowLinks::No);
    ASSERT_TRUE(info);
    std::int64_t now = system_time_ticks();
    EXPECT_GT(info->modified_ticks, unix_epoch_ticks);
    EXPECT_LE(info->modified_ticks, now);
    EXPECT_GT(info->modified_ticks, now - 600LL * 10000000); // within ten minutes
}

TEST(SameFile, ComparesIdentityNotNames)
{
    test::TempDir dir;
    auto launcher = dir.write("launcher", "a");
    dir.write("Launcher", "a");
    std::filesystem::create_hard_link(launcher, dir.path() / "hard");
    std::filesystem::create_symlink(launcher, dir.path() / "soft");
    struct Case {
        std::filesystem::path other;
        bool same;
    };
    const Case cases[] = {
        {launcher, true},
        {dir.path() / "." / "launcher", true},
        {dir.path() / "hard", true},
        {dir.path() / "soft", true},
        {dir.path() / "Launcher", false},
        {dir.path() / "missing", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(same_file(c.other, launcher), c.same) << c.other;
    EXPECT_FALSE(same_file(dir.path() / "missing", dir.path() / "missing"));
}

// Linux names are bytes: names that differ in letter case are two files, and two keys.
TEST(FileNameKey, EqualOnlyWhereTheFileSystemSeesOneName)
{
    test::TempDir dir;
    auto lower = dir.write("a.bin.part", "a");
    auto upper = dir.write("A.BIN.PART", "b");
    EXPECT_FALSE(same_file(lower, upper));
    EXPECT_NE(file_name_key(lower), file_name_key(upper));
    EXPECT_EQ(file_name_key(lower), file_name_key(dir.path() / "a.bin.part"));
}

TEST(WholeFiles, WriteFileNeverWritesThroughALinkAtItsName)
{
    for (bool hard : {true, false}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        test::TempDir dir;
        auto outside = dir.write("outside", "kept");
        if (hard)
            std::filesystem::create_hard_link(outside, dir.path() / "report.txt");
        else
            std::filesystem::create_symlink(outside, dir.path() / "report.txt");
        ASSERT_TRUE(write_file(dir.path() / "report.txt", "novo"));
        EXPECT_EQ(dir.read("report.txt"), "novo");
        EXPECT_FALSE(std::filesystem::is_symlink(dir.path() / "report.txt"));
        EXPECT_EQ(dir.read("outside"), "kept");
    }
}

TEST(WholeFiles, WriteReadAndReplace)
{
    test::TempDir dir;
    auto path = dir.path() / "doc.txt";
    ASSERT_TRUE(write_file(path, std::string("a\0b", 3)));
    EXPECT_EQ(*read_file(path, document_read_limit), std::string("a\0b", 3));

    ASSERT_TRUE(write_file_atomic(path, "novo"));
    EXPECT_EQ(*read_file(path, document_read_limit), "novo");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary left

    auto other = dir.write("other", "outro");
    ASSERT_TRUE(replace_rename(other, path));
    EXPECT_EQ(*read_file(path, document_read_limit), "outro");
    EXPECT_FALSE(std::filesystem::exists(other));

    auto failed = read_file(dir.path() / "missing", document_read_limit);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), "No such file or directory (os error 2)");
}

TEST(WholeFiles, ReadFileOfWhatIsNoPlainFile)
{
    test::TempDir dir;
    // Longer than one read, so the pieces must join up.
    std::string large(200'000, 'x');
    large[0] = 'a';
    large[large.size() - 1] = 'z';
    auto path = dir.write("large", large);
    EXPECT_EQ(*read_file(path, document_read_limit), large);

    EXPECT_EQ(read_file(dir.path(), document_read_limit).error(), "Is a directory (os error 21)");
    // A FIFO without a writer is refused at once instead of blocking the read.
    auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(read_file(fifo, document_read_limit).error(), not_regular_file_message);
}

// Whatever lies under the name, a whole-file read neither blocks nor reads past its limit.
TEST(WholeFiles, ReadFileReadsOnlyRegularFilesWithinTheLimit)
{
    test::TempDir dir;
    const std::string content = "[FPS]\nLimit=144\n";
    const std::uint64_t limit = 4096;
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        const std::filesystem::path path = dir.path() / "arquivo";
        test::PlantedFile planted(path, shape, content, limit, '\n');
        auto bytes = read_file(path, limit);
        switch (shape) {
        case test::FileShape::Regular:
            EXPECT_EQ(bytes.value_or("?"), content);
            break;
        case test::FileShape::LinkToDevZero:
        case test::FileShape::EndlessFifo:
            EXPECT_EQ(bytes.error(), not_regular_file_message);
            break;
        case test::FileShape::OverLimit:
            EXPECT_EQ(bytes.error(), file_too_large_message);
            break;
        }
    }

    // Exactly at the limit is still whole; without following links a link is refused.
    auto at_limit = dir.write("no-limite", std::string(limit, 'x'));
    EXPECT_EQ(read_file(at_limit, limit).value_or("").size(), limit);
    std::filesystem::create_symlink(at_limit, dir.path() / "link");
    EXPECT_EQ(read_file(dir.path() / "link", limit).value_or("").size(), limit);
    EXPECT_EQ(read_file(dir.path() / "link", limit, FollowLinks::No).error(), "Too many levels of symbolic links (os error 40)");
}

TEST(WholeFiles, AtomicWritesFromSeveralThreadsLeaveOneWholeFile)
{
    test::TempDir dir;
    auto path = dir.path() / "alvo";
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            std::string content(4096 + t, static_cast<char>('a' + t));
            for (int i = 0; i < 50; ++i)
                if (!write_file_atomic(path, content))
                    ++failures;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    std::string final_content = *read_file(path, document_read_limit);
    ASSERT_GE(final_content.size(), 4096u);
    int t = static_cast<int>(final_content.size()) - 4096;
    EXPECT_EQ(final_content, std::string(4096 + t, static_cast<char>('a' + t)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WholeFiles, AtomicWriteNeverWritesThroughWhatIsAtItsTemporaryName)
{
    test::TempDir dir;
    auto outside = dir.write("outside.txt", "fora");
    auto path = dir.path() / "doc.txt";
    // Hard links and symbolic links at the names this process's next temporaries take (CTest runs
    // each test in a process of its own, where the counter starts at 0).
    const std::string prefix = path.string() + ".tmp-" + std::to_string(::getpid()) + "-";
    for (int n = 0; n < 40; ++n) {
        if (n % 2 == 0)
            std::filesystem::create_hard_link(outside, prefix + std::to_string(n));
        else
            std::filesystem::create_symlink(outside, prefix + std::to_string(n));
    }
    ASSERT_TRUE(write_file_atomic(path, "novo"));
    EXPECT_EQ(*read_file(path, document_read_limit), "novo");
    EXPECT_EQ(*read_file(outside, document_read_limit), "fora");
}

TEST(WholeFiles, AtomicWriteRemovesStaleTemporariesOfItsFileOnly)
{
    test::TempDir dir;
    const std::string own = std::to_string(::getpid());
    struct Case {
        std::string name;
        bool removed;
    };
    const Case cases[] = {
        {"doc.txt.tmp-999999999-0", true},   // its process no longer runs
        {"doc.txt.tmp-999999998-17", true},
        {"doc.txt.tmp-1-0", false},          // a running process's
        {"doc.txt.tmp-" + own + "-99999", false}, // this process's own threads may be writing it
        {"other.txt.tmp-999999999-0", false}, // another file's
        {"doc.txt.tmp-999999999-", false},   // not of the launcher's naming
        {"doc.txt.tmp-abc-0", false},
        {"doc.txt.bak", false},
    };
    for (const Case& c : cases)
        dir.write(c.name, "resto");
    auto outside = dir.write("outside.txt", "fora");
    std::filesystem::create_symlink(outside, dir.path() / "doc.txt.tmp-999999997-3");
    std::filesystem::create_directory(dir.path() / "doc.txt.tmp-999999996-1");

    // A write that fails (a folder where the file goes) removes nothing.
    std::filesystem::create_directory(dir.path() / "doc.txt");
    ASSERT_FALSE(write_file_atomic(dir.path() / "doc.txt", "x"));
    for (const Case& c : cases)
        EXPECT_TRUE(std::filesystem::exists(dir.path() / c.name)) << c.name;
    std::filesystem::remove(dir.path() / "doc.txt");

    ASSERT_TRUE(write_file_atomic(dir.path() / "doc.txt", "novo"));
    for (const Case& c : cases)
        EXPECT_EQ(std::filesystem::exists(dir.path() / c.name), !c.removed) << c.name;
    EXPECT_FALSE(std::filesystem::is_symlink(dir.path() / "doc.txt.tmp-999999997-3"));
    EXPECT_EQ(*read_file(outside, document_read_limit), "fora");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "doc.txt.tmp-999999996-1"));
}

TEST(WholeFiles, ReadOnlyBitRoundTrips)
{
    test::TempDir dir;
    auto path = dir.write("ro", "x");
    ASSERT_TRUE(set_read_only(path, true));
    EXPECT_TRUE(file_info(path, FollowLinks::No)->read_only);
    ASSERT_TRUE(set_read_only(path, false));
    EXPECT_FALSE(file_info(path, FollowLinks::No)->read_only);
}

TEST(Clock, TicksFromUnixEpoch)
{
    EXPECT_EQ(ticks_from_unix(0, 0), 621355968000000000);
    EXPECT_EQ(ticks_from_unix(1, 500), 621355968010000005);
}

} // namespace
} // namespace torvane::platform

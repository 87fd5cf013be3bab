// The file cases of Linux's own: errno texts, symbolic links, FIFOs and files that are no plain
// file, and the temporaries named after Linux process ids.
#include "platform/files.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

namespace torvane::platform {
namespace {

TEST(OsErrorText, HasTheOsErrorSuffix)
{
    EXPECT_EQ(os_error_text(ENOENT), "No such file or directory (os error 2)");
    EXPECT_EQ(os_error_text(EACCES), "Permission denied (os error 13)");
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

TEST(SameFile, ASymbolicLinkLeadsToItsTarget)
{
    test::TempDir dir;
    auto launcher = dir.write("launcher", "a");
    std::filesystem::create_symlink(launcher, dir.path() / "soft");
    std::filesystem::create_directory_symlink(dir.path(), dir.path() / "atalho");
    EXPECT_TRUE(same_file(dir.path() / "soft", launcher));
    EXPECT_TRUE(same_file(dir.path() / "atalho" / "launcher", launcher)) << "through a link to its folder";
}

TEST(WholeFiles, ReadFileRefusesAFifoWithoutAWriterAtOnce)
{
    test::TempDir dir;
    // Refused at once instead of blocking the read.
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

// rename(2) replaces the target atomically however many writers race (MoveFileExW under Wine
// fails some of them).
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
        {"DOC.TXT.tmp-999999999-0", false},   // so is this one: Linux names differ in letter case
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

} // namespace
} // namespace torvane::platform

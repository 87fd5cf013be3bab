#include "update/file_check.hpp"

#include "recording_sink.hpp"
#include "support/temp_dir.hpp"
#include "update/sha256.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;

const std::string abc_sha = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string xyz_sha = "3608bca1e44ea6c4d268eb6db02260269892c0b42b86bbf1e77a6fa16c3c9282";

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(FileCheckWorkerCount, ClampsTheProcessorCount)
{
    struct Case {
        unsigned processors;
        int workers;
    };
    const Case cases[] = {{0, 4}, {1, 2}, {2, 2}, {3, 3}, {8, 8}, {12, 8}, {16, 8}};
    for (const Case& c : cases)
        EXPECT_EQ(file_check_worker_count(c.processors), c.workers) << c.processors << " processors";
}

TEST(JoinRelativePath, SplitsAtBothSlashesAndSkipsEmptyPieces)
{
    struct Case {
        const char* path;
        fs::path expected;
    };
    const Case cases[] = {
        {"a/b.txt", "base/a/b.txt"},
        {"a\\b.txt", "base/a/b.txt"},
        {"//a//b/", "base/a/b"},
        {"dir with space/é.txt", "base/dir with space/é.txt"},
        {"", "base"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(join_relative_path("base", c.path), c.expected) << c.path;
}

TEST(HashTextEqual, TrimsAndIgnoresAsciiCase)
{
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"abc0", "abc0", true}, {"abc0", "ABC0", true}, {"  abc0\t", "abc0", true}, {"abc0", "abc", false},
        {"abc0", "abd0", false}, {"", "", true},        {"", "abc0", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hash_text_equal(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

class FileCheckTest : public ::testing::Test {
protected:
    // Checks the entries with the given workers; the flags in entry order.
    std::vector<bool> check(const std::vector<ManifestFile>& entries, int workers = 8)
    {
        FileCheckState state(entries, dir_.path(), cache_, sink_, cancel_, clock_);
        run_file_check_workers(state, workers);
        done_ = state.done.load();
        return {state.needs_download.begin(), state.needs_download.end()};
    }

    test::TempDir dir_;
    HashCache cache_;
    test::RecordingSink sink_;
    std::atomic<bool> cancel_ {false};
    FileCheckState::Clock clock_;
    std::size_t done_ = 0;
};

TEST_F(FileCheckTest, DecidesWhichFilesNeedDownloading)
{
    dir_.write("same.txt", "abc");
    dir_.write("upper.txt", "abc");
    dir_.write("longer.txt", "abcd");
    dir_.write("other.txt", "xyz");
    dir_.write("nohash.txt", "abc");
    dir_.write("sub/deep.txt", "abc");
    dir_.write("edited.ini", "the user's own settings");
    fs::create_directories(dir_.path() / "folder.txt");
    fs::create_directories(dir_.path() / "userfolder.ini");
    fs::create_symlink(dir_.path() / "same.txt", dir_.path() / "link.txt");

    struct Case {
        ManifestFile entry;
        bool needs;
    };
    const Case cases[] = {
        {{.path = "same.txt", .size = 3, .sha256 = abc_sha}, false},
        {{.path = "upper.txt", .size = 3, .sha256 = " " + upper(abc_sha) + " "}, false},
        {{.path = "sub\\deep.txt", .size = 3, .sha256 = abc_sha}, false},
        {{.path = "missing.txt", .size = 3, .sha256 = abc_sha}, true},
        {{.path = "longer.txt", .size = 3, .sha256 = abc_sha}, true},
        {{.path = "other.txt", .size = 3, .sha256 = abc_sha}, true},
        {{.path = "nohash.txt", .size = 3}, true},
        {{.path = "same.txt", .size = -1, .sha256 = abc_sha}, true},
        {{.path = "folder.txt", .size = 0, .sha256 = abc_sha}, true},
        {{.path = "link.txt", .size = 3, .sha256 = abc_sha}, true},
        {{.path = "edited.ini", .size = 3, .sha256 = abc_sha, .only_if_missing = true}, false},
        {{.path = "userfolder.ini", .size = 3, .sha256 = abc_sha, .only_if_missing = true}, false},
        {{.path = "absent.ini", .size = 3, .sha256 = abc_sha, .only_if_missing = true}, true},
    };
    std::vector<ManifestFile> entries;
    for (const Case& c : cases)
        entries.push_back(c.entry);
    for (int workers : {1, 2, 8}) {
        cache_.clear();
        std::vector<bool> needs = check(entries, workers);
        ASSERT_EQ(needs.size(), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            EXPECT_EQ(needs[i], cases[i].needs) << *entries[i].path << " with " << workers << " workers";
        EXPECT_EQ(done_, entries.size());
    }
    // Every file that was hashed is in the cache under its path, size and time.
    auto info = platform::file_info(dir_.path() / "other.txt", platform::FollowLinks::No);
    EXPECT_EQ(cache_.at(hash_cache_key("other.txt", *info)), xyz_sha);
    info = platform::file_info(dir_.path() / "sub" / "deep.txt", platform::FollowLinks::No);
    EXPECT_EQ(cache_.at(hash_cache_key("sub/deep.txt", *info)), abc_sha);
    EXPECT_EQ(cache_.size(), 5u); // same, upper, deep, other and nohash: the files of the right size
}

TEST_F(FileCheckTest, AnUnchangedFileIsAnsweredFromTheCacheWithoutBeingRead)
{
    auto file = dir_.write("a.txt", "abc");
    auto info = platform::file_info(file, platform::FollowLinks::No);
    // The cache says the file holds "xyz"; only a read of the file could tell otherwise.
    cache_[hash_cache_key("a.txt", *info)] = xyz_sha;
    EXPECT_EQ(check({{.path = "a.txt", .size = 3, .sha256 = upper(xyz_sha)}}), std::vector<bool> {false});
    // The same cache line against a manifest that expects the file's real content: downloaded.
    EXPECT_EQ(check({{.path = "a.txt", .size = 3, .sha256 = abc_sha}}), std::vector<bool> {true});
    // A new modification time makes a new key, and the file is read again.
    timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(check({{.path = "a.txt", .size = 3, .sha256 = abc_sha}}), std::vector<bool> {false});
    EXPECT_EQ(cache_.size(), 2u);
}

TEST_F(FileCheckTest, NoEntriesMeansNoWork)
{
    std::vector<ManifestFile> none;
    FileCheckState state(none, dir_.path(), cache_, sink_, cancel_);
    EXPECT_EQ(state.total, 1.0);
    run_file_check_workers(state, 4);
    EXPECT_EQ(state.done.load(), 0u);
    EXPECT_TRUE(sink_.reports().empty());
}

TEST_F(FileCheckTest, ARaisedCancelFlagStopsBeforeTheFirstEntry)
{
    dir_.write("a.txt", "abc");
    cancel_ = true;
    check({{.path = "a.txt", .size = 3, .sha256 = abc_sha}, {.path = "b.txt"}});
    EXPECT_EQ(done_, 0u);
    EXPECT_TRUE(cache_.empty());
}

TEST_F(FileCheckTest, ReportsAtMostOncePerFiftyMilliseconds)
{
    std::vector<ManifestFile> entries;
    for (int i = 0; i < 200; ++i)
        entries.push_back({.path = "f" + std::to_string(i), .size = 1, .sha256 = abc_sha});

    struct Case {
        const char* name;
        std::int64_t fixed_ms;
        std::size_t reports;
    };
    // A clock that stands still: within the first 50 ms nothing; at 50 ms one report among all workers.
    const Case cases[] = {{"first 49 ms", 49, 0}, {"at 50 ms", 50, 1}, {"much later", 100000, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingSink sink;
        std::int64_t now = c.fixed_ms;
        FileCheckState state(entries, dir_.path(), cache_, sink, cancel_, [now] { return now; });
        run_file_check_workers(state, 8);
        auto reports = sink.reports();
        ASSERT_EQ(reports.size(), c.reports);
        for (const ProgressReport& report : reports) {
            EXPECT_EQ(report.text, "Verificando arquivos...");
            EXPECT_EQ(report.sub_progress, 0.0);
            EXPECT_EQ(report.bytes_per_second, 0.0);
            EXPECT_GT(report.progress, 0.0);
            EXPECT_LE(report.progress, 1.0);
        }
    }
}

TEST_F(FileCheckTest, AReportCarriesTheFractionDoneAndTheEntryPath)
{
    std::vector<ManifestFile> entries;
    for (int i = 0; i < 8; ++i)
        entries.push_back({.path = "dir/f" + std::to_string(i), .size = 1, .sha256 = abc_sha});
    // One worker and a clock that moves 25 ms per entry: every second entry reports.
    std::int64_t now = 0;
    FileCheckState state(entries, dir_.path(), cache_, sink_, cancel_, [&now] { return now += 25; });
    run_file_check_workers(state, 1);
    auto reports = sink_.reports();
    ASSERT_EQ(reports.size(), 4u);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].detail, "dir/f" + std::to_string(2 * i + 1));
        EXPECT_DOUBLE_EQ(reports[i].progress, (2.0 * i + 2) / 8);
    }
}

} // namespace
} // namespace torvane

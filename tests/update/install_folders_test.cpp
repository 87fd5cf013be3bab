#include "platform/file_handle.hpp"
#include "publisher.hpp"
#include "release_keys.hpp"
#include "support/file_shapes.hpp"
#include "support/sample_client.hpp"
#include "support/temp_dir.hpp"
#include "update/install_folders.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace torvane {
namespace {

namespace fs = std::filesystem;

// Two published releases, installed by hand the way an update leaves them.
class InstallFolders : public testing::Test {
protected:
    void SetUp() override
    {
        game = dir.path() / "game";
        fs::create_directories(game);
        for (auto* release : {&first, &second}) {
            fs::path client = dir.path() / ("client" + std::to_string(release == &second));
            test::write_sample_client(client, {.flavour = release == &second ? "2" : "1"});
            auto published = publisher::publish_release(client, test::dev_signer(), dir.path() / "service");
            ASSERT_TRUE(published) << published.error();
            *release = std::move(*published);
        }
    }

    fs::path install(const publisher::PublishedRelease& release)
    {
        fs::path folder = release_folder_path(game, release.release_id);
        fs::create_directories(folder.parent_path());
        fs::copy(release.release_folder, folder, fs::copy_options::recursive);
        dir.write(fs::relative(folder / "release.pmx", dir.path()), release.list_bytes);
        return folder;
    }
    void activate(const std::string& content) { dir.write("game/active-release", content); }

    test::TempDir dir;
    fs::path game;
    publisher::PublishedRelease first, second;
};

TEST_F(InstallFolders, ActiveReleaseResolvesOnlyWhenItsListVerifies)
{
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        bool resolves_to_release;
    };
    const Case cases[] = {
        {"installed and active", [] {}, true},
        {"no active-release", [&] { fs::remove(game / "active-release"); }, false},
        {"33 bytes with a line feed", [&] { activate(first.release_id + "\n"); }, false},
        {"upper-case id",
         [&] {
             std::string upper = first.release_id;
             std::transform(upper.begin(), upper.end(), upper.begin(), [](char ch) { return std::toupper(ch); });
             activate(upper);
         },
         false},
        {"names a folder that is not there", [&] { activate(std::string(32, 'b')); }, false},
        {"list carries another id",
         [&] { dir.write(fs::relative(release_folder_path(game, first.release_id) / "release.pmx", dir.path()),
                         second.list_bytes); },
         false},
        {"list damaged",
         [&] {
             std::string bytes = first.list_bytes;
             bytes[20] ^= 1;
             dir.write(fs::relative(release_folder_path(game, first.release_id) / "release.pmx", dir.path()), bytes);
         },
         false},
        {"list missing", [&] { fs::remove(release_folder_path(game, first.release_id) / "release.pmx"); }, false},
        {"active-release is a link",
         [&] {
             auto elsewhere = dir.write("elsewhere/active", first.release_id);
             fs::remove(game / "active-release");
             fs::create_symlink(elsewhere, game / "active-release");
         },
         false},
        {"release folder is a link",
         [&] {
             fs::path folder = release_folder_path(game, first.release_id);
             fs::rename(folder, dir.path() / "moved");
             fs::create_directory_symlink(dir.path() / "moved", folder);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(game);
        fs::create_directories(game);
        fs::remove_all(dir.path() / "moved");
        fs::path folder = install(first);
        activate(first.release_id);
        c.arrange();
        EXPECT_EQ(resolve_active_release(game), c.resolves_to_release ? folder : game);
    }
}

// A stored list or active-release that is endless, blocks or is oversized is a damaged one: the
// game folder, at once.
TEST_F(InstallFolders, AStoredFileThatIsNoPlainFileOrTooLargeLeadsBackToTheGameFolder)
{
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    const fs::path folder = install(first);
    activate(first.release_id);
    struct Case {
        fs::path file;
        std::string content;
        std::uint64_t limit;
    };
    const Case cases[] = {
        {folder / "release.pmx", first.list_bytes, release_list_max_size},
        {game / "active-release", first.release_id, release_id_length},
    };
    for (const Case& c : cases) {
        for (test::FileShape shape : test::all_file_shapes) {
            SCOPED_TRACE(c.file.filename().string() + ": " + test::file_shape_name(shape));
            {
                test::PlantedFile planted(c.file, shape, c.content, c.limit, '\n');
                EXPECT_EQ(resolve_active_release(game), shape == test::FileShape::Regular ? folder : game);
            }
            dir.write(fs::relative(c.file, dir.path()), c.content);
        }
    }
}

TEST_F(InstallFolders, PruningKeepsWhatItMustNotTouch)
{
    fs::path kept = install(first);
    fs::path old = install(second);
    fs::path pinned = release_folder_path(game, std::string(32, '1'));
    fs::create_directories(pinned);
    dir.write(fs::relative(pinned / "Main.exe", dir.path()), "running client");
    auto running = platform::FileHandle::open_for_reading(pinned / "Main.exe", platform::Pin::Yes);
    ASSERT_TRUE(running);
    fs::path undeletable = release_folder_path(game, std::string(32, '2'));
    fs::create_directories(undeletable / "Main.exe" / "inside"); // a Main.exe that cannot be deleted
    fs::path without_client = release_folder_path(game, std::string(32, '3'));
    fs::create_directories(without_client / "Assets");
    const fs::path others[] = {game / "Versions" / std::string(32, 'A'), game / "Versions" / std::string(31, 'a'),
                               game / "Versions" / "notes", game / "Versions" / (std::string(32, 'a') + "0")};
    for (const fs::path& folder : others)
        fs::create_directories(folder / "keep");
    // A link with a release id's name is neither followed nor deleted.
    fs::create_directories(dir.path() / "outside" / "files");
    fs::create_directory_symlink(dir.path() / "outside", release_folder_path(game, std::string(32, '4')));

    prune_releases(game, first.release_id);

    EXPECT_TRUE(fs::exists(kept / "Main.exe"));
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(pinned / "Main.exe"));
    EXPECT_TRUE(fs::exists(undeletable / "Main.exe" / "inside"));
    EXPECT_FALSE(fs::exists(without_client));
    for (const fs::path& folder : others)
        EXPECT_TRUE(fs::exists(folder / "keep")) << folder;
    EXPECT_TRUE(fs::is_symlink(release_folder_path(game, std::string(32, '4'))));
    EXPECT_TRUE(fs::exists(dir.path() / "outside" / "files"));

    // Once the client has ended its release goes with the next pruning.
    running->close();
    prune_releases(game, first.release_id);
    EXPECT_FALSE(fs::exists(pinned));
}

TEST_F(InstallFolders, PruningDeletesLinksInsideAnOldReleaseAndNothingTheyLeadTo)
{
    fs::path kept = install(first);
    fs::path old = install(second);
    dir.write("outside/files/precioso.txt", "do jogador");
    fs::create_directory_symlink(dir.path() / "outside", old / "Assets" / "linked");
    fs::create_symlink(dir.path() / "outside" / "files" / "precioso.txt", old / "Data" / "precioso.txt");
    // Unchanged files move from release to release as hard links.
    const std::string font = dir.read(fs::relative(kept / "FONT.ini", dir.path()));
    fs::remove(old / "FONT.ini");
    fs::create_hard_link(kept / "FONT.ini", old / "FONT.ini");

    prune_releases(game, first.release_id);

    EXPECT_FALSE(fs::exists(fs::symlink_status(old)));
    EXPECT_EQ(dir.read("outside/files/precioso.txt"), "do jogador");
    EXPECT_EQ(dir.read(fs::relative(kept / "FONT.ini", dir.path())), font);
    EXPECT_EQ(fs::hard_link_count(kept / "FONT.ini"), 1u);
}

TEST(ReadThroughLimit, ReadsAtMostOneByteMoreThanTheLimit)
{
    test::TempDir dir;
    struct Case {
        const char* name;
        fs::path path;
        std::optional<std::size_t> size; // nullopt: refused
    };
    const Case cases[] = {
        {"empty", dir.write("empty", ""), 0},
        {"one below the limit", dir.write("below", std::string(99, 'x')), 99},
        {"at the limit", dir.write("at", std::string(100, 'x')), 100},
        {"one above the limit", dir.write("above", std::string(101, 'x')), std::nullopt},
        {"far above the limit", dir.write("far", std::string(300'000, 'x')), std::nullopt},
        // A source whose size says nothing and that never ends: only the limit stops the read.
        {"a device without end", "/dev/zero", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = read_through_limit(c.path, 100);
        ASSERT_EQ(bytes.has_value(), c.size.has_value());
        if (c.size) {
            EXPECT_EQ(bytes->size(), *c.size);
        }
    }
    EXPECT_FALSE(read_through_limit(dir.path() / "missing", 100));
}

TEST(SweepTempFiles, DeletesExactlyTheStaleDownloads)
{
    test::TempDir dir;
    const std::string hex24 = "0123456789abcdef01234567";
    struct Case {
        std::string path;
        bool deleted;
    };
    const Case cases[] = {
        {"Main.exe.tmp-" + hex24, true},
        {"Main.exe.tmp-" + hex24.substr(1), false}, // 23 digits
        {"Main.exe.tmp-0123456789ABCDEF01234567", false},
        {"Main.exe.tmp-" + hex24 + "0", false},
        {"Main.exe", false},
        {".tmp-" + hex24, true},
        {"Data/Macro.txt.tmp-" + hex24, true},
        {"Data/x.tmp-aaa.tmp-" + hex24, true}, // only the text after the last marker counts
        {"Data/x.tmp-" + hex24 + ".tmp-1", false},
        {"Assets/a/b/c/deep.pmk.tmp-" + hex24, true}, // four levels below the release folder
        {"Assets/a/b/c/d/deeper.pmk.tmp-" + hex24, false}, // five
        {"Other/x.tmp-" + hex24, false}, // only Data and Assets are entered at the top
        {"data/x.tmp-" + hex24, false},
        {"ASSETS/x.tmp-" + hex24, false},
    };
    fs::path release = dir.path() / "release";
    for (const Case& c : cases)
        dir.write(fs::path("release") / c.path, "partial");
    // Links are neither entered nor deleted, even when named like a temporary.
    dir.write("outside/victim.tmp-" + hex24, "not ours");
    fs::create_directory_symlink(dir.path() / "outside", release / "Assets" / "linked");
    fs::create_symlink(dir.path() / "outside" / ("victim.tmp-" + hex24), release / "Data" / ("link.tmp-" + hex24));
    fs::create_directories(release / "Data" / ("folder.tmp-" + hex24));
    // A hard link is a file of the release like any other: its name goes, the other name stays.
    dir.write("outside/original.bin", "shared bytes");
    fs::create_hard_link(dir.path() / "outside" / "original.bin", release / "Assets" / ("hard.pmk.tmp-" + hex24));

    sweep_temp_files(release);

    for (const Case& c : cases)
        EXPECT_EQ(!fs::exists(release / c.path), c.deleted) << c.path;
    EXPECT_TRUE(fs::exists(dir.path() / "outside" / ("victim.tmp-" + hex24)));
    EXPECT_TRUE(fs::is_symlink(release / "Data" / ("link.tmp-" + hex24)));
    EXPECT_TRUE(fs::is_directory(release / "Data" / ("folder.tmp-" + hex24)));
    EXPECT_FALSE(fs::exists(release / "Assets" / ("hard.pmk.tmp-" + hex24)));
    EXPECT_EQ(dir.read("outside/original.bin"), "shared bytes");
}

} // namespace
} // namespace torvane

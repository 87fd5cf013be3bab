#include "update/asset_workers.hpp"

#include "platform/files.hpp"
#include "recording_sink.hpp"
#include "support/temp_dir.hpp"
#include "update/digest.hpp"
#include "update/path_safety.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace torvane {
namespace {

namespace fs = std::filesystem;

ReleaseEntry entry_for(std::string path, const std::string& content)
{
    return ReleaseEntry {content.size(), std::move(path), hex_lower(sha256_bytes(content))};
}

std::uint64_t inode_of(const fs::path& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(FileMatchesEntry, OnlyARegularFileWithTheEntrysContent)
{
    test::TempDir dir;
    const std::string content = "conteúdo do arquivo";
    ReleaseEntry entry = entry_for("a.bin", content);
    dir.write("right", content);
    dir.write("longer", content + "!");
    std::string same_size = content;
    same_size[0] ^= 1;
    dir.write("same size, other bytes", same_size);
    fs::create_symlink(dir.path() / "right", dir.path() / "link to right");
    fs::create_directory(dir.path() / "folder");

    struct Case {
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"right", true},
        {"longer", false},
        {"same size, other bytes", false},
        {"link to right", false},
        {"folder", false},
        {"missing", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(file_matches_entry(dir.path() / c.name, entry), c.expected) << c.name;
}

class AssetWorkersTest : public ::testing::Test {
protected:
    // Runs the pool over the entries with the release folder "Versions/new" below the game folder.
    void run(std::vector<ReleaseEntry> entries, bool same_release = false)
    {
        entries_ = std::move(entries);
        pointers_.clear();
        for (const ReleaseEntry& entry : entries_)
            pointers_.push_back(&entry);
        installed_map_ = index_by_lower_path(installed_list_);
        context_.reset(new AssetTaskContext {
            .entries = pointers_,
            .release_folder = same_release ? installed_ : release_,
            .game_folder = game_.path(),
            .installed_folder = installed_,
            .same_release = same_release,
            .installed_map = installed_map_,
            .cancel_flag = cancel_,
            .sink = sink_,
        });
        run_asset_workers(*context_);
    }

    std::uint8_t flag(std::size_t i) const { return context_->needs_download.at(i); }

    test::TempDir game_;
    fs::path installed_ = game_.path() / "Versions" / "old";
    fs::path release_ = game_.path() / "Versions" / "new";
    std::vector<ReleaseEntry> installed_list_;
    ReleaseEntryIndex installed_map_;
    std::vector<ReleaseEntry> entries_;
    std::vector<const ReleaseEntry*> pointers_;
    std::atomic<bool> cancel_ = false;
    test::RecordingSink sink_;
    std::unique_ptr<AssetTaskContext> context_;
};

TEST_F(AssetWorkersTest, ReusesKeepsOrMarksEachEntry)
{
    const std::string blob = "asset blob, unchanged";
    const std::string changed = "FONT of the new release";
    game_.write("Versions/old/Assets/blob.pmk", blob);
    game_.write("Versions/old/FONT.ini", "FONT of the old release");
    game_.write("Versions/old/ogg.dll", "ogg, damaged on disk");
    game_.write("Versions/new/icon.ico", "icon already in place");
    game_.write("Versions/old/Data/Macro.txt", "the player's macros");
    game_.write("Versions/new/Data/Custom/config.ini", "edited by the player");
    installed_list_ = {entry_for("Assets/blob.pmk", blob), entry_for("FONT.ini", "FONT of the old release"),
                       entry_for("ogg.dll", "ogg as released"), entry_for("Data/Macro.txt", "the player's macros")};

    run({
        entry_for("Assets/blob.pmk", blob),                  // 0: linked from the installed release
        entry_for("FONT.ini", changed),                      // 1: new content
        entry_for("ogg.dll", "ogg as released"),             // 2: the installed copy fails its check
        entry_for("icon.ico", "icon already in place"),      // 3: already right
        entry_for("Data/Macro.txt", "macros as released"),   // 4: user file copied as the player left it
        entry_for("Data/Custom/config.ini", "as released"),  // 5: user file kept
        entry_for("Data/Resolutions.xml", "<Resolutions/>"), // 6: user file nowhere yet
    });

    ASSERT_FALSE(context_->first_error) << *context_->first_error;
    const std::uint8_t expected[] = {0, 1, 1, 0, 0, 0, 1};
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(flag(i), expected[i]) << entries_[i].path;
    EXPECT_EQ(inode_of(release_ / "Assets/blob.pmk"), inode_of(installed_ / "Assets/blob.pmk"));
    EXPECT_FALSE(fs::exists(release_ / "ogg.dll")) << "a copy that fails its check never shows under the name";
    EXPECT_EQ(game_.read("Versions/new/Data/Macro.txt"), "the player's macros");
    EXPECT_NE(inode_of(release_ / "Data/Macro.txt"), inode_of(installed_ / "Data/Macro.txt"));
    EXPECT_EQ(game_.read("Versions/new/Data/Custom/config.ini"), "edited by the player");
    EXPECT_EQ(context_->processed.load(), 7u);
}

TEST_F(AssetWorkersTest, SameReleaseMarksADamagedFileWithoutLookingElsewhere)
{
    game_.write("Versions/old/Main.exe", "MZ damaged");
    game_.write("Versions/other/Main.exe", "MZ right");
    installed_list_ = {entry_for("Main.exe", "MZ right")};
    run({entry_for("Main.exe", "MZ right")}, /*same_release=*/true);
    ASSERT_FALSE(context_->first_error);
    EXPECT_EQ(flag(0), 1);
    EXPECT_EQ(game_.read("Versions/old/Main.exe"), "MZ damaged");
}

TEST_F(AssetWorkersTest, FileOnAnotherVolumeIsCopied)
{
    // A folder of the shared-memory file system is another volume for a hard link.
    std::error_code error;
    fs::path other_volume = fs::path("/dev/shm") / ("torvane-assets-" + std::to_string(::getpid()));
    fs::create_directories(other_volume / "Assets", error);
    struct stat game_info {}, other_info {};
    if (error || ::stat(game_.path().c_str(), &game_info) != 0 || ::stat(other_volume.c_str(), &other_info) != 0 ||
        game_info.st_dev == other_info.st_dev) {
        fs::remove_all(other_volume, error);
        GTEST_SKIP() << "no second volume to link across";
    }
    const std::string blob = "asset blob on another volume";
    std::ofstream(other_volume / "Assets/blob.pmk") << blob;
    installed_ = other_volume;
    installed_list_ = {entry_for("Assets/blob.pmk", blob)};
    run({entry_for("Assets/blob.pmk", blob)});
    fs::remove_all(other_volume, error);
    ASSERT_FALSE(context_->first_error);
    EXPECT_EQ(flag(0), 0);
    EXPECT_EQ(game_.read("Versions/new/Assets/blob.pmk"), blob);
}

TEST_F(AssetWorkersTest, PathThroughALinkStopsThePool)
{
    test::TempDir elsewhere;
    fs::create_directories(release_);
    fs::create_directory_symlink(elsewhere.path(), release_ / "Data");
    std::vector<ReleaseEntry> entries;
    for (int i = 0; i < 2000; ++i)
        entries.push_back(entry_for("Data/" + std::to_string(i) + ".txt", "x"));
    run(std::move(entries));

    EXPECT_EQ(context_->first_error.value_or("(nenhum)"), "a pasta do Torvane não aceita redirecionamentos locais.");
    // Every entry fails, so each worker stops after its first one.
    EXPECT_LE(context_->processed.load(), static_cast<std::uint32_t>(asset_worker_count));
    for (std::size_t i = 0; i < entries_.size(); ++i)
        ASSERT_EQ(flag(i), 0);
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

TEST_F(AssetWorkersTest, CancelStopsEveryWorker)
{
    std::vector<ReleaseEntry> entries;
    for (int i = 0; i < 2000; ++i)
        entries.push_back(entry_for("Assets/" + std::to_string(i) + ".pmk", "blob " + std::to_string(i)));
    cancel_ = true;
    run(std::move(entries));
    EXPECT_FALSE(context_->first_error);
    EXPECT_EQ(context_->processed.load(), static_cast<std::uint32_t>(asset_worker_count));
}

TEST(IndexByLowerPath, LaterDuplicateWins)
{
    std::vector<ReleaseEntry> entries = {{1, "Main.exe", "a"}, {2, "MAIN.EXE", "b"}, {3, "Data/X.txt", "c"}};
    ReleaseEntryIndex index = index_by_lower_path(entries);
    EXPECT_EQ(index.size(), 2u);
    EXPECT_EQ(index.at("main.exe")->size, 2u);
    EXPECT_EQ(index.at("data/x.txt")->path, "Data/X.txt");
}

} // namespace
} // namespace torvane

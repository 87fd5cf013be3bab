#include "platform/files.hpp"
#include "platform/folder_walk.hpp"
#include "support/system_error_texts.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace torvane::platform {
namespace {

TEST(FolderListing, AnEmptyFolderListsNothingAndAMissingFolderFails)
{
    test::TempDir dir;
    fs::create_directories(dir.path() / "empty");
    EXPECT_EQ(list_folder(dir.path() / "empty")->size(), 0u);
    EXPECT_EQ(list_folder(dir.path() / "missing").error(), test::system_error_texts().missing_folder);

    std::size_t calls = 0;
    walk_folder(dir.path() / "missing", [&](const WalkEntry&) {
        ++calls;
        return Descend::Yes;
    });
    EXPECT_EQ(calls, 0u) << "a folder that cannot be listed adds nothing";
}

// A folder tree that the walk only reads about: entries of every kind a listing may give,
// including a folder reparse point that is no link (a cloud placeholder), which neither Linux nor
// Wine can make.
class FakeFolders : public FolderSystem {
public:
    Result<std::vector<FolderEntry>> list(const fs::path& folder) const override
    {
        listed.push_back(folder);
        auto found = folders.find(folder);
        if (found == folders.end())
            return failure("no such folder");
        return found->second;
    }
    Result<FileInfo> metadata(const fs::path&) const override { return FileInfo {.kind = FileKind::Directory}; }
    Status remove(const fs::path& path, const FolderEntry&) const override
    {
        removed.push_back(path);
        if (busy.contains(path))
            return failure("em uso: " + path.generic_string());
        return {};
    }

    std::map<fs::path, std::vector<FolderEntry>> folders;
    std::set<fs::path> busy;
    mutable std::vector<fs::path> listed;
    mutable std::vector<fs::path> removed;
};

FakeFolders fake_tree()
{
    FakeFolders fake;
    fake.folders["R"] = {
        {.name = "plain", .kind = FileKind::Directory},
        {.name = "placeholder", .kind = FileKind::Directory, .reparse_point = true, .reparse_tag = 0x9000001A},
        {.name = "junction", .kind = FileKind::SymbolicLink, .reparse_point = true, .reparse_tag = 0xA0000003},
        {.name = "busy.txt", .kind = FileKind::Regular},
        {.name = "last.txt", .kind = FileKind::Regular},
    };
    fake.folders["R/plain"] = {{.name = "f.txt", .kind = FileKind::Regular}};
    fake.folders["R/placeholder"] = {{.name = "inside.txt", .kind = FileKind::Regular}};
    fake.folders["R/junction"] = {{.name = "victim.txt", .kind = FileKind::Regular}};
    fake.busy = {"R/busy.txt"};
    return fake;
}

TEST(FolderWalkOverAListing, AFolderReparsePointIsWalkedLikeTheSystemShowsItButNeverEmptied)
{
    FakeFolders fake = fake_tree();
    std::vector<fs::path> visited;
    walk_folder(
        "R",
        [&](const WalkEntry& walked) {
            visited.push_back(walked.path);
            return Descend::Yes;
        },
        fake);
    EXPECT_EQ(visited, (std::vector<fs::path> {"R/plain", "R/plain/f.txt", "R/placeholder", "R/placeholder/inside.txt",
                                               "R/junction", "R/busy.txt", "R/last.txt"}));
    EXPECT_EQ(fake.listed, (std::vector<fs::path> {"R", "R/plain", "R/placeholder"}));

    fake.listed.clear();
    Status removed = remove_tree("R", fake);
    // The failure of one entry is reported, after every other entry was tried.
    ASSERT_FALSE(removed);
    EXPECT_EQ(removed.error(), "em uso: R/busy.txt");
    EXPECT_EQ(fake.removed, (std::vector<fs::path> {"R/plain/f.txt", "R/plain", "R/placeholder", "R/junction",
                                                    "R/busy.txt", "R/last.txt", "R"}));
    EXPECT_EQ(fake.listed, (std::vector<fs::path> {"R", "R/plain"})) << "no reparse point is ever listed by a delete";
}

} // namespace
} // namespace torvane::platform

// The Windows listing, metadata and deletes around reparse points: what Wine shows of a Unix
// symbolic link (a folder reparse point of tag 0), and, through a listing fed by the test, the
// junctions, symbolic links and other reparse points that Wine cannot make.
#include "platform/files.hpp"
#include "platform/folder_walk.hpp"
#include "platform/windows/reparse_points.hpp"
#include "support/folder_links.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace torvane::platform {
namespace {

// Tags that Wine cannot make: a junction, a symbolic link, a cloud placeholder, a deduplicated
// file, an app execution alias.
constexpr DWORD mount_point_tag = IO_REPARSE_TAG_MOUNT_POINT; // 0xA0000003
constexpr DWORD symlink_tag = IO_REPARSE_TAG_SYMLINK;         // 0xA000000C
constexpr DWORD cloud_tag = 0x9000001A;                       // IO_REPARSE_TAG_CLOUD_1
constexpr DWORD dedup_tag = 0x80000013;                       // IO_REPARSE_TAG_DEDUP
constexpr DWORD app_alias_tag = 0x8000001B;                   // IO_REPARSE_TAG_APPEXECLINK

WIN32_FIND_DATAW find_data(const wchar_t* name, DWORD attributes, DWORD tag = 0)
{
    WIN32_FIND_DATAW data {};
    data.dwFileAttributes = attributes;
    data.dwReserved0 = tag;
    wcsncpy(data.cFileName, name, MAX_PATH - 1);
    return data;
}

constexpr DWORD folder_reparse = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
constexpr DWORD file_reparse = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT;

TEST(WindowsFolderEntries, KindsFromTheListingsAttributesAndTag)
{
    struct Case {
        const char* what;
        DWORD attributes;
        DWORD tag;
        FileKind kind;
        bool reparse_point;
    };
    const Case cases[] = {
        {"folder", FILE_ATTRIBUTE_DIRECTORY, 0, FileKind::Directory, false},
        {"file", FILE_ATTRIBUTE_ARCHIVE, 0, FileKind::Regular, false},
        {"read-only file", FILE_ATTRIBUTE_READONLY, 0, FileKind::Regular, false},
        {"a tag without the attribute is no reparse point", FILE_ATTRIBUTE_DIRECTORY, mount_point_tag,
         FileKind::Directory, false},
        {"junction", folder_reparse, mount_point_tag, FileKind::SymbolicLink, true},
        {"folder symbolic link", folder_reparse, symlink_tag, FileKind::SymbolicLink, true},
        {"file symbolic link", file_reparse, symlink_tag, FileKind::SymbolicLink, true},
        {"Wine's Unix link: tag 0", folder_reparse, 0, FileKind::SymbolicLink, true},
        {"cloud placeholder folder", folder_reparse, cloud_tag, FileKind::Directory, true},
        {"deduplicated file", file_reparse, dedup_tag, FileKind::Regular, true},
        {"app execution alias", file_reparse, app_alias_tag, FileKind::Regular, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FolderEntry entry = folder_entry_from_find_data(find_data(L"entry", c.attributes, c.tag));
        EXPECT_EQ(entry.name, fs::path(L"entry"));
        EXPECT_EQ(entry.kind, c.kind);
        EXPECT_EQ(entry.reparse_point, c.reparse_point);
        EXPECT_EQ(entry.reparse_tag, c.reparse_point ? c.tag : 0u);
    }
}

// A listing fed with what a real Windows shows: the walk and the delete read nothing else.
class ListedFolders : public FolderSystem {
public:
    Result<std::vector<FolderEntry>> list(const fs::path& folder) const override
    {
        listed.push_back(folder);
        std::vector<FolderEntry> entries;
        auto found = folders.find(folder);
        if (found == folders.end())
            return failure(os_error_text(ERROR_PATH_NOT_FOUND));
        for (const WIN32_FIND_DATAW& data : found->second)
            entries.push_back(folder_entry_from_find_data(data));
        return entries;
    }
    Result<FileInfo> metadata(const fs::path&) const override { return FileInfo {.kind = FileKind::Directory}; }
    Status remove(const fs::path& path, const FolderEntry&) const override
    {
        removed.push_back(path);
        return {};
    }

    std::map<fs::path, std::vector<WIN32_FIND_DATAW>> folders;
    mutable std::vector<fs::path> listed;
    mutable std::vector<fs::path> removed;
};

TEST(WindowsFolderWalk, JunctionsAndSymbolicLinksAreNeitherEnteredNorEmptied)
{
    const fs::path release = L"C:\\Jogo\\Versions\\old";
    ListedFolders system;
    system.folders[release] = {
        find_data(L"Assets", FILE_ATTRIBUTE_DIRECTORY),
        find_data(L"junction", folder_reparse, mount_point_tag),
        find_data(L"linked", folder_reparse, symlink_tag),
        find_data(L"file-link.dll", file_reparse, symlink_tag),
        find_data(L"cloud", folder_reparse, cloud_tag),
        find_data(L"wine-link", folder_reparse, 0),
    };
    system.folders[release / L"Assets"] = {find_data(L"blob.pmk", FILE_ATTRIBUTE_ARCHIVE)};
    system.folders[release / L"cloud"] = {find_data(L"placeholder.bin", file_reparse, cloud_tag)};
    // What the links lead to, which nothing may list.
    for (const wchar_t* link : {L"junction", L"linked", L"wine-link"})
        system.folders[release / link] = {find_data(L"victim.txt", FILE_ATTRIBUTE_ARCHIVE)};

    std::vector<fs::path> visited;
    walk_folder(
        release,
        [&](const WalkEntry& walked) {
            visited.push_back(walked.path.lexically_relative(release));
            return Descend::Yes;
        },
        system);
    // A folder reparse point that is no link is a folder of its own, walked like one.
    EXPECT_EQ(visited, (std::vector<fs::path> {L"Assets", L"Assets\\blob.pmk", L"junction", L"linked", L"file-link.dll",
                                               L"cloud", L"cloud\\placeholder.bin", L"wine-link"}));
    EXPECT_EQ(system.listed, (std::vector<fs::path> {release, release / L"Assets", release / L"cloud"}));

    system.listed.clear();
    ASSERT_TRUE(remove_tree(release, system));
    // Every reparse point goes as an entry: nothing behind one is listed or removed.
    EXPECT_EQ(system.removed,
              (std::vector<fs::path> {release / L"Assets\\blob.pmk", release / L"Assets", release / L"junction",
                                      release / L"linked", release / L"file-link.dll", release / L"cloud",
                                      release / L"wine-link", release}));
    EXPECT_EQ(system.listed, (std::vector<fs::path> {release, release / L"Assets"}));
}

// A Unix symbolic link in the test's folder, to a folder outside the tree: what Wine shows of it.
class WineFolderLink : public testing::Test {
protected:
    void SetUp() override
    {
        tree = dir.path() / L"tree";
        outside = dir.path() / L"outside";
        ASSERT_TRUE(create_folders(tree / L"Data"));
        ASSERT_TRUE(create_folders(outside));
        ASSERT_TRUE(write_file(tree / L"Data" / L"x.txt", "x"));
        ASSERT_TRUE(write_file(outside / L"keep.txt", "fora"));
        if (!test::make_folder_link(outside, tree / L"link"))
            GTEST_SKIP() << "no Unix symbolic link can be made here (not Wine)";
    }

    test::TempDir dir;
    fs::path tree;
    fs::path outside;
};

TEST_F(WineFolderLink, IsAFolderReparsePointOfTagZeroAndReadsAsALink)
{
    EXPECT_EQ(::GetFileAttributesW((tree / L"link").c_str()), folder_reparse);
    auto entries = list_folder(tree);
    ASSERT_TRUE(entries) << entries.error();
    std::map<std::wstring, FolderEntry> listed;
    for (const FolderEntry& entry : *entries)
        listed[entry.name.native()] = entry;
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[L"Data"].kind, FileKind::Directory);
    EXPECT_EQ(listed[L"link"].kind, FileKind::SymbolicLink);
    EXPECT_TRUE(listed[L"link"].reparse_point);
    EXPECT_EQ(listed[L"link"].reparse_tag, 0u);

    // Opened with FILE_FLAG_OPEN_REPARSE_POINT, Wine gives the target's attributes: only the
    // entry's own attributes tell the link.
    auto info = file_info(tree / L"link", FollowLinks::No);
    ASSERT_TRUE(info) << info.error();
    EXPECT_EQ(info->kind, FileKind::SymbolicLink);
    EXPECT_TRUE(info->reparse_point);
    auto followed = file_info(tree / L"link", FollowLinks::Yes);
    ASSERT_TRUE(followed) << followed.error();
    EXPECT_EQ(followed->kind, FileKind::Directory);
    EXPECT_FALSE(followed->reparse_point);
}

TEST_F(WineFolderLink, NeitherTheWalkNorTheDeleteGoesThroughIt)
{
    std::vector<fs::path> visited;
    walk_folder(tree, [&](const WalkEntry& walked) {
        visited.push_back(walked.path.lexically_relative(tree));
        return Descend::Yes;
    });
    std::sort(visited.begin(), visited.end());
    EXPECT_EQ(visited, (std::vector<fs::path> {L"Data", L"Data\\x.txt", L"link"}));

    // Wine would delete the link's target instead of the link: the link stays, and so does the
    // folder holding it, but nothing outside is touched.
    Status removed = remove_tree(tree);
    ASSERT_FALSE(removed);
    EXPECT_EQ(removed.error(), os_error_text(ERROR_CANT_RESOLVE_FILENAME));
    EXPECT_EQ(file_info(tree / L"Data", FollowLinks::No)->kind, FileKind::Missing);
    EXPECT_EQ(file_info(tree / L"link", FollowLinks::No)->kind, FileKind::SymbolicLink);
    EXPECT_EQ(*read_file(outside / L"keep.txt", document_read_limit), "fora");
}

TEST_F(WineFolderLink, RemovingItAsAFileNeverRemovesAnEmptyTarget)
{
    const fs::path empty = dir.path() / L"empty";
    ASSERT_TRUE(create_folders(empty));
    ASSERT_TRUE(test::make_folder_link(empty, tree / L"to-empty"));
    // RemoveDirectoryW on it would remove the empty target folder under Wine.
    EXPECT_FALSE(remove_file(tree / L"to-empty"));
    EXPECT_EQ(file_info(empty, FollowLinks::No)->kind, FileKind::Directory);
}

} // namespace
} // namespace torvane::platform

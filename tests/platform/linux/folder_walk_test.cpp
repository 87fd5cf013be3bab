// The walk and delete of Linux's own: symbolic links, hard links and FIFOs in a real tree.
#include "platform/files.hpp"
#include "platform/folder_walk.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>

namespace torvane::platform {
namespace {

// A tree with every kind of entry a walk meets, and a folder outside it that its links lead to.
class LinkedTree : public testing::Test {
protected:
    void SetUp() override
    {
        tree = dir.path() / "tree";
        outside = dir.path() / "outside";
        dir.write("outside/kept/secret.txt", "fora");
        dir.write("outside/file.txt", "alvo");
        dir.write("outside/hard.txt", "dois nomes");
        dir.write("tree/a.txt", "a");
        dir.write("tree/Data/x.txt", "x");
        dir.write("tree/Data/deep/y.txt", "y");
        fs::create_directory_symlink(outside / "kept", tree / "folder-link");
        fs::create_symlink(outside / "file.txt", tree / "Data" / "file-link");
        fs::create_symlink(dir.path() / "nowhere", tree / "dangling");
        fs::create_hard_link(outside / "hard.txt", tree / "Data" / "hard.txt");
        ASSERT_EQ(::mkfifo((tree / "pipe").c_str(), 0600), 0);
    }

    void expect_outside_untouched()
    {
        EXPECT_EQ(dir.read("outside/kept/secret.txt"), "fora");
        EXPECT_EQ(dir.read("outside/file.txt"), "alvo");
        EXPECT_EQ(dir.read("outside/hard.txt"), "dois nomes");
    }

    test::TempDir dir;
    fs::path tree;
    fs::path outside;
};

TEST_F(LinkedTree, TheListingShowsEachEntryAsItselfWithoutFollowing)
{
    struct Expected {
        FileKind kind;
        bool reparse_point;
    };
    const std::map<std::string, Expected> expected = {
        {"a.txt", {FileKind::Regular, false}},     {"Data", {FileKind::Directory, false}},
        {"folder-link", {FileKind::SymbolicLink, true}}, {"dangling", {FileKind::SymbolicLink, true}},
        {"pipe", {FileKind::Other, false}},
    };
    auto entries = list_folder(tree);
    ASSERT_TRUE(entries) << entries.error();
    std::map<std::string, Expected> listed;
    for (const FolderEntry& entry : *entries) {
        listed[entry.name.string()] = {entry.kind, entry.reparse_point};
        EXPECT_EQ(entry.reparse_tag, 0u) << entry.name;
    }
    ASSERT_EQ(listed.size(), expected.size());
    for (const auto& [name, want] : expected) {
        EXPECT_EQ(listed[name].kind, want.kind) << name;
        EXPECT_EQ(listed[name].reparse_point, want.reparse_point) << name;
    }
    EXPECT_EQ(list_folder(tree / "a.txt").error(), "Not a directory (os error 20)");
}

TEST_F(LinkedTree, TheWalkGoesDepthFirstAndNeverEntersALink)
{
    dir.write("tree/skipped/z.txt", "z");
    std::vector<std::pair<std::string, int>> visited;
    walk_folder(tree, [&](const WalkEntry& walked) {
        visited.emplace_back(walked.path.lexically_relative(tree).string(), walked.depth);
        // Entering is asked for everywhere, links included, except for one folder.
        return walked.entry.name == "skipped" ? Descend::No : Descend::Yes;
    });
    std::vector<std::pair<std::string, int>> sorted = visited;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<std::pair<std::string, int>> expected = {
        {"Data", 0},           {"Data/deep", 1}, {"Data/deep/y.txt", 2}, {"Data/file-link", 1}, {"Data/hard.txt", 1},
        {"Data/x.txt", 1},     {"a.txt", 0},     {"dangling", 0},        {"folder-link", 0},    {"pipe", 0},
        {"skipped", 0},
    };
    EXPECT_EQ(sorted, expected);
    // Depth first: what lies inside Data comes right after it, before the next entry of the top.
    auto data = std::find(visited.begin(), visited.end(), std::pair<std::string, int>("Data", 0));
    ASSERT_NE(data, visited.end());
    ASSERT_GE(std::distance(data, visited.end()), 6);
    for (auto inside = data + 1; inside != data + 6; ++inside)
        EXPECT_TRUE(inside->first.starts_with("Data/")) << inside->first;
}

TEST_F(LinkedTree, RemovingTheTreeRemovesLinksAsEntriesAndNothingTheyLeadTo)
{
    dir.write("tree/Data/read-only.txt", "ro");
    fs::permissions(tree / "Data" / "read-only.txt", fs::perms::owner_read);
    Status removed = remove_tree(tree);
    ASSERT_TRUE(removed) << removed.error();
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
    expect_outside_untouched();
    EXPECT_EQ(fs::hard_link_count(outside / "hard.txt"), 1u) << "only the tree's name of the file went";

    EXPECT_TRUE(remove_tree(tree)) << "a missing path is success";
}

TEST_F(LinkedTree, ALinkGivenAsTheTreeIsRemovedAlone)
{
    const fs::path link = dir.path() / "link-to-outside";
    fs::create_directory_symlink(outside, link);
    ASSERT_TRUE(remove_tree(link));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    expect_outside_untouched();
    ASSERT_TRUE(remove_tree(tree / "a.txt")) << "a file alone";
    EXPECT_FALSE(fs::exists(tree / "a.txt"));
}

} // namespace
} // namespace torvane::platform

// The output file cases of Linux's own: links planted at the name, folders that refuse changes,
// permission bits.
#include "platform/output_file.hpp"

#include "platform/files.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {
namespace {

// Makes a folder take no new, removed or renamed entries while it lives: the immutable attribute
// for root (whom permissions do not stop), the folder's write permission taken away otherwise.
class FrozenFolder {
public:
    explicit FrozenFolder(const std::filesystem::path& folder) : folder_(folder)
    {
        immutable_ = ::geteuid() == 0 && set_immutable(true);
        if (!immutable_)
            std::filesystem::permissions(folder_, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
    }
    ~FrozenFolder()
    {
        if (immutable_)
            set_immutable(false);
        else
            std::filesystem::permissions(folder_, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    }
    FrozenFolder(const FrozenFolder&) = delete;
    FrozenFolder& operator=(const FrozenFolder&) = delete;
    // Whether the folder truly refuses a new entry now.
    bool frozen() const
    {
        FileDescriptor probe(::open((folder_ / "probe").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (probe.is_open())
            ::unlink((folder_ / "probe").c_str());
        return !probe.is_open();
    }

private:
    bool set_immutable(bool immutable) const
    {
        FileDescriptor fd(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        int flags = 0;
        if (!fd.is_open() || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        return ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0;
    }

    std::filesystem::path folder_;
    bool immutable_ = false;
};

TEST(OutputFile, ANameThatCannotBeRemovedIsRewrittenOnlyWhenNoOtherNameLeadsToIt)
{
    struct Case {
        const char* label;
        // Puts something at "Launcher/log"; "outside" is a file beside that folder.
        void (*plant)(const test::TempDir& dir);
        bool rewritten; // with ReplaceOrRewrite; Replace fails in every case
    };
    const Case cases[] = {
        {"the previous log", [](const test::TempDir& dir) { dir.write("Launcher/log", "OK em 0,8 s\r\n"); }, true},
        {"a hard link",
         [](const test::TempDir& dir) { std::filesystem::create_hard_link(dir.path() / "outside", dir.path() / "Launcher/log"); },
         false},
        {"a symbolic link",
         [](const test::TempDir& dir) { std::filesystem::create_symlink(dir.path() / "outside", dir.path() / "Launcher/log"); },
         false},
        {"nothing", [](const test::TempDir&) {}, false},
    };
    for (ExistingFile existing : {ExistingFile::Replace, ExistingFile::ReplaceOrRewrite}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label);
            test::TempDir dir;
            dir.write("outside", "kept");
            std::filesystem::create_directory(dir.path() / "Launcher");
            c.plant(dir);
            const std::filesystem::path log = dir.path() / "Launcher/log";
            const std::uint64_t inode = file_info(log, FollowLinks::No)->inode;
            FrozenFolder frozen(dir.path() / "Launcher");
            if (!frozen.frozen())
                GTEST_SKIP() << "no folder can be made to refuse changes here";

            auto file = OutputFile::create(log, existing);
            ASSERT_EQ(bool(file), existing == ExistingFile::ReplaceOrRewrite && c.rewritten) << (file ? "" : file.error());
            if (file) {
                ASSERT_TRUE(file->write("ERRO: x\r\n"));
                ASSERT_TRUE(file->close());
                EXPECT_EQ(dir.read("Launcher/log"), "ERRO: x\r\n");
                EXPECT_EQ(file_info(log, FollowLinks::No)->inode, inode) << "written in place";
            }
            EXPECT_EQ(dir.read("outside"), "kept");
        }
    }
}

TEST(OutputFile, RefuseAlsoRefusesALinkAtThePath)
{
    test::TempDir dir;
    auto target = dir.write("target", "kept");
    std::filesystem::create_symlink(target, dir.path() / "link");
    std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
    for (const char* name : {"link", "dangling"}) {
        auto again = OutputFile::create(dir.path() / name, ExistingFile::Refuse);
        ASSERT_FALSE(again) << name;
        EXPECT_EQ(again.error(), os_error_text(EEXIST)) << name;
    }
    EXPECT_EQ(dir.read("target"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
}

TEST(OutputFile, TakesThePermissionBitsOfAModel)
{
    test::TempDir dir;
    auto model = dir.write("model", "x");
    ::chmod(model.c_str(), 0751);
    auto file = OutputFile::create(dir.path() / "copy", ExistingFile::Refuse);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->copy_permissions_from(model));
    ASSERT_TRUE(file->sync_and_close());
    struct stat info {};
    ASSERT_EQ(::stat((dir.path() / "copy").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);

    auto other = OutputFile::create(dir.path() / "other", ExistingFile::Refuse);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->copy_permissions_from(dir.path() / "missing").error(), os_error_text(ENOENT));
}

// With the source's permission bits, and through a symbolic link at the name too.
TEST(CopyToNewFile, CopiesIntoANewFileWhateverStandsAtItsName)
{
    struct Case {
        const char* label;
        void (*plant)(const test::TempDir& dir); // something at "copy"
    };
    const Case cases[] = {
        {"nothing", [](const test::TempDir&) {}},
        {"an older file", [](const test::TempDir& dir) { dir.write("copy", "an older and longer content"); }},
        {"a hard link", [](const test::TempDir& dir) { std::filesystem::create_hard_link(dir.path() / "outside", dir.path() / "copy"); }},
        {"a symbolic link", [](const test::TempDir& dir) { std::filesystem::create_symlink(dir.path() / "outside", dir.path() / "copy"); }},
    };
    const std::string content = std::string(200'000, 'c') + "end";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir dir;
        auto source = dir.write("source", content);
        ::chmod(source.c_str(), 0751);
        dir.write("outside", "kept");
        c.plant(dir);
        ASSERT_TRUE(copy_to_new_file(source, dir.path() / "copy"));
        EXPECT_EQ(dir.read("copy"), content);
        EXPECT_EQ(file_info(dir.path() / "copy", FollowLinks::No)->kind, FileKind::Regular);
        EXPECT_EQ(std::filesystem::status(dir.path() / "copy").permissions(), std::filesystem::perms(0751));
        EXPECT_EQ(dir.read("outside"), "kept");
    }
}

} // namespace
} // namespace torvane::platform

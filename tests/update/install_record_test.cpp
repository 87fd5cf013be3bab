#include "update/install_record.hpp"

#include "platform/files.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr char release_id[] = "0123456789abcdef0123456789abcdef";
constexpr char other_id[] = "fedcba9876543210fedcba9876543210";

const std::string good_record = std::string("PXREC001\n") + release_id + "\n" +
                                "13 638000000000000001 glew32.dll\n"
                                "7 -5 Assets/AGENTS.md\n";

TEST(ParseInstallRecord, ReadsEachFileOrCallsTheWholeRecordDamaged)
{
    using State = InstallRecord::State;
    const std::string head = std::string("PXREC001\n") + release_id + "\n";
    struct Case {
        const char* name;
        std::string bytes;
        State state;
    };
    const Case cases[] = {
        {"two files", good_record, State::Read},
        {"no files", head, State::Read},
        {"empty", "", State::Damaged},
        {"magic only", "PXREC001\n", State::Damaged},
        {"another magic", std::string("PXREC002\n") + release_id + "\n", State::Damaged},
        {"another release", std::string("PXREC001\n") + other_id + "\n", State::Damaged},
        {"cut short", good_record.substr(0, good_record.size() - 1), State::Damaged},
        {"a size with a sign", head + "+13 1 glew32.dll\n", State::Damaged},
        {"a negative size", head + "-13 1 glew32.dll\n", State::Damaged},
        {"a size past 64 bits", head + "18446744073709551616 1 glew32.dll\n", State::Damaged},
        {"a time that is no number", head + "13 x1 glew32.dll\n", State::Damaged},
        {"no path", head + "13 1 \n", State::Damaged},
        {"two fields", head + "13 glew32.dll\n", State::Damaged},
        {"carriage returns", std::string("PXREC001\r\n") + release_id + "\r\n", State::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallRecord record = parse_install_record(c.bytes, release_id);
        EXPECT_EQ(record.state, c.state);
        if (c.state == State::Damaged) {
            EXPECT_TRUE(record.files.empty());
        }
    }

    InstallRecord record = parse_install_record(good_record, release_id);
    EXPECT_EQ(record.text, good_record);
    ASSERT_EQ(record.files.size(), 2u);
    EXPECT_EQ(record.files.at("glew32.dll").size, 13u);
    EXPECT_EQ(record.files.at("glew32.dll").modified_ticks, 638000000000000001);
    EXPECT_EQ(record.files.at("assets/agents.md").modified_ticks, -5); // looked up in lower case
}

TEST(FileUnchangedSinceVerified, TrustsOnlyWhatTheRecordStillShows)
{
    using State = InstallRecord::State;
    const ReleaseEntry glew {13, "glew32.dll", std::string(64, 'a')};
    const ReleaseEntry ogg {5, "ogg.dll", std::string(64, 'b')};
    InstallRecord read = parse_install_record(good_record, release_id);
    const InstallRecord missing {.state = State::Missing};
    const InstallRecord damaged {.state = State::Damaged};
    auto file = [](platform::FileKind kind, std::uint64_t size, std::int64_t ticks) {
        return platform::FileInfo {.kind = kind, .size = size, .modified_ticks = ticks};
    };
    using enum platform::FileKind;
    struct Case {
        const char* name;
        const InstallRecord& record;
        const ReleaseEntry& entry;
        platform::FileInfo info;
        bool trusted;
    };
    const Case cases[] = {
        {"as recorded", read, glew, file(Regular, 13, 638000000000000001), true},
        {"another time", read, glew, file(Regular, 13, 638000000000000002), false},
        {"another size", read, glew, file(Regular, 12, 638000000000000001), false},
        {"gone", read, glew, file(Missing, 0, 0), false},
        {"a symbolic link", read, glew, file(SymbolicLink, 13, 638000000000000001), false},
        {"a folder", read, glew, file(Directory, 13, 638000000000000001), false},
        {"not in the record", read, ogg, file(Regular, 5, 1), false},
        {"no record: the listed size", missing, ogg, file(Regular, 5, 1), true},
        {"no record: another size", missing, ogg, file(Regular, 4, 1), false},
        {"no record: gone", missing, ogg, file(Missing, 0, 0), false},
        {"no record: a symbolic link", missing, ogg, file(SymbolicLink, 5, 1), false},
        {"a damaged record", damaged, glew, file(Regular, 13, 638000000000000001), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(file_unchanged_since_verified(c.record, c.entry, c.info), c.trusted);
    }
}

TEST(ReadInstallRecord, MissingIsNotDamaged)
{
    using State = InstallRecord::State;
    test::TempDir dir;
    EXPECT_EQ(read_install_record(dir.path(), release_id).state, State::Missing);
    dir.write("verified-files", good_record);
    EXPECT_EQ(read_install_record(dir.path(), release_id).state, State::Read);
    EXPECT_EQ(read_install_record(dir.path(), other_id).state, State::Damaged);

    // A link or a folder at its name vouches for nothing, whatever it leads to.
    test::TempDir elsewhere;
    fs::remove(dir.path() / "verified-files");
    fs::create_symlink(elsewhere.write("record", good_record), dir.path() / "verified-files");
    EXPECT_EQ(read_install_record(dir.path(), release_id).state, State::Damaged);
    fs::remove(dir.path() / "verified-files");
    fs::create_directory(dir.path() / "verified-files");
    EXPECT_EQ(read_install_record(dir.path(), release_id).state, State::Damaged);
}

TEST(InstallRecordText, RecordsTheVerifiedFilesAsTheyAreNow)
{
    test::TempDir dir;
    dir.write("glew32.dll", "thirteen byte");
    dir.write("Assets/AGENTS.md", "wrong size");
    dir.write("Data/Macro.txt", "the player's");
    const std::vector<ReleaseEntry> entries = {
        {13, "glew32.dll", std::string(64, 'a')},
        {7, "Assets/AGENTS.md", std::string(64, 'b')}, // another size on disk: left out
        {3, "ogg.dll", std::string(64, 'c')},          // missing: left out
        {12, "Data/Macro.txt", std::string(64, 'd')},  // a player's file: never recorded
    };
    std::string text = install_record_text(dir.path(), release_id, entries);
    auto glew = platform::file_info(dir.path() / "glew32.dll", platform::FollowLinks::No).value();
    EXPECT_EQ(text, std::string("PXREC001\n") + release_id + "\n13 " + std::to_string(glew.modified_ticks) +
                        " glew32.dll\n");

    // What it writes, it reads back: the file is trusted until it changes.
    InstallRecord record = parse_install_record(text, release_id);
    ASSERT_EQ(record.state, InstallRecord::State::Read);
    EXPECT_TRUE(file_unchanged_since_verified(record, entries[0], glew));
}

} // namespace
} // namespace torvane

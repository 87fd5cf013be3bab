#include "update/sha256.hpp"

#include "digest.hpp"
#include "support/system_error_texts.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(Sha256File, DigestsFilesOfEverySizeAsLowerCaseHex)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected; // empty: compare with a one-shot digest of the bytes
    };
    std::string large(2 * 1048576 + 3, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 131 + i / 1048576);
    const Case cases[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"exactly one block", std::string(1048576, 'x'), ""},
        {"blocks and a tail", large, ""},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto digest = sha256_file(dir.write("f", c.bytes));
        ASSERT_TRUE(digest) << digest.error();
        EXPECT_EQ(*digest, c.expected.empty() ? test::sha256_hex(c.bytes) : c.expected);
    }
}

TEST(Sha256File, FailsWithTheIoErrorText)
{
    test::TempDir dir;
    EXPECT_EQ(sha256_file(dir.path() / "missing"), std::unexpected(test::system_error_texts().missing_file));
    EXPECT_EQ(sha256_file(dir.path()), std::unexpected(test::system_error_texts().folder_opened));
}

} // namespace
} // namespace torvane

#include "platform/unicode.hpp"
#include "support/temp_dir.hpp"
#include "update/digest.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(Digest, KnownSha256Values)
{
    EXPECT_EQ(hex_lower(sha256_bytes("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex_lower(sha256_bytes("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(hex_lower(bytes), "000fa0ff");
}

TEST(Digest, FileHashMatchesAcrossReadPieces)
{
    if (!test::posix_file_system())
        GTEST_SKIP() << "Linux's file-system rules and error texts";
    test::TempDir dir;
    for (std::size_t size : {std::size_t(0), hash_read_size - 1, hash_read_size, 2 * hash_read_size + 5}) {
        std::string content(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            content[i] = static_cast<char>(i * 31 + 7);
        auto path = dir.write("file.bin", content);
        EXPECT_EQ(sha256_file_hex(path), hex_lower(sha256_bytes(content))) << size;
    }
    EXPECT_EQ(sha256_file_hex(dir.path() / "missing").error(), "No such file or directory (os error 2)");
}

TEST(Digest, HexAndCaseTests)
{
    EXPECT_TRUE(is_lower_hex("0123456789abcdef", 16));
    EXPECT_FALSE(is_lower_hex("0123456789abcdeF", 16));
    EXPECT_FALSE(is_lower_hex("0123456789abcdeg", 16));
    EXPECT_FALSE(is_lower_hex("0123456789abcde", 16));
    EXPECT_EQ(ascii_lower("Data/ÇÃO.TXT"), "data/ÇÃo.txt");
    EXPECT_TRUE(platform::equal_ignoring_ascii_case("Assets/AGENTS.md", "assets/agents.MD"));
    EXPECT_FALSE(platform::equal_ignoring_ascii_case("Main.exe", "Main.ex"));
}

} // namespace
} // namespace torvane

#include "support/temp_dir.hpp"
#include "update/asset_index.hpp"
#include "update/digest.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(AssetIndexHeader, ReadsTheReleaseIdOrTellsWhatIsWrong)
{
    const std::string id_bytes("\x01\x23\x45\x67\x89\xab\xcd\xef\x00\x11\x22\x33\x44\x55\x66\x77", 16);
    struct Case {
        const char* name;
        const char* content; // nullptr: no index file
        std::size_t length;
        std::string result; // the id as hex, or the message
    };
    const std::string full = "PXIDX001" + id_bytes + "rest of the index";
    const Case cases[] = {
        {"missing", nullptr, 0, "índice do cliente não encontrado."},
        {"empty", "", 0, "índice do cliente truncado."},
        {"23 bytes", full.data(), 23, "índice do cliente truncado."},
        {"24 bytes", full.data(), 24, "0123456789abcdef0011223344556677"},
        {"with the index behind", full.data(), full.size(), "0123456789abcdef0011223344556677"},
        {"wrong magic", "PXIDX002xxxxxxxxxxxxxxxx", 24, "índice do cliente inválido."},
        {"magic in lower case", "pxidx001xxxxxxxxxxxxxxxx", 24, "índice do cliente inválido."},
    };
    for (const Case& c : cases) {
        test::TempDir release;
        if (c.content)
            release.write("Assets/assets.idx", std::string(c.content, c.length));
        auto id = read_asset_index_header(release.path());
        EXPECT_EQ(id ? hex_lower(*id) : id.error(), c.result) << c.name;
    }
}

TEST(AssetIndexHeader, HeaderBytesReadBack)
{
    test::TempDir release;
    ReleaseIdBytes id {};
    for (std::size_t i = 0; i < id.size(); ++i)
        id[i] = static_cast<std::uint8_t>(0xF0 + i);
    std::string header = asset_index_header(id);
    EXPECT_EQ(header.size(), 24u);
    release.write("Assets/assets.idx", header);
    EXPECT_EQ(read_asset_index_header(release.path()), id);
}

} // namespace
} // namespace torvane

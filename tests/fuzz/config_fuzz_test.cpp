// Runs the fuzz entry over a fixed, randomised corpus: mutations of the seed documents, so that
// every build exercises the readers on broken input without a fuzzing engine.
#include "core/config_json.hpp"
#include "core/update_manifest.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace torvane {
namespace {

struct Seed {
    std::string name;
    std::string bytes;
};

std::vector<Seed> load_seeds()
{
    std::vector<Seed> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(test::source_dir() / "tests/fuzz/corpus/config")) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        seeds.push_back({entry.path().filename().string(), std::move(bytes)});
    }
    std::sort(seeds.begin(), seeds.end(), [](const Seed& a, const Seed& b) { return a.name < b.name; });
    return seeds;
}

// Pieces that steer mutations towards the readers' interesting paths.
const std::string_view tokens[] = {
    "{", "}", "[", "]", ",", ":", "\"", "\\", "null", "true", "false", "0", "-0", "-1", "12.0", "1e999", "1e-999",
    "9223372036854775807", "9223372036854775808", "-9223372036854775809", "18446744073709551616",
    "\"ServerName\"", "\"GameExe\"", "\"CloseAfterStart\"", "\"Links\"", "\"News\"", "\"Update\"", "\"Info\"",
    "\"Abertura\"", "\"Enabled\"", "\"ManifestUrl\"", "\"Files\"", "\"Path\"", "\"Size\"", "\"Sha256\"",
    "\"OnlyIfMissing\"", "\"\\u00e9\"", "\"\\ud83d\\ude00\"", "\"\\ud800\"", "\"\\udc00x\"", "\\u", "\xEF\xBB\xBF",
    "\xC3\xA9", "\xFF", std::string_view("\0", 1), "\n", "\r\n", "\t", " ", "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[",
    "{\"X\":{\"X\":{\"X\":{\"X\":{\"X\":{\"X\":{\"X\":{\"X\":",
};

std::string mutate(std::string bytes, const std::vector<Seed>& seeds, std::mt19937_64& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : std::size_t(random() % n); };
    int steps = 1 + int(below(4));
    for (int step = 0; step < steps; ++step) {
        std::size_t at = below(bytes.size() + 1);
        switch (below(8)) {
        case 0: // flip a bit
            if (!bytes.empty())
                bytes[std::min(at, bytes.size() - 1)] ^= char(1 << below(8));
            break;
        case 1: // replace a byte
            if (!bytes.empty())
                bytes[std::min(at, bytes.size() - 1)] = char(random());
            break;
        case 2:
        case 3: { // insert a token
            bytes.insert(at, tokens[below(std::size(tokens))]);
            break;
        }
        case 4: // delete a range
            bytes.erase(at, 1 + below(16));
            break;
        case 5: { // repeat a range, sometimes many times over for deep nesting
            std::size_t length = std::min<std::size_t>(1 + below(32), bytes.size() - std::min(at, bytes.size()));
            std::string piece = bytes.substr(std::min(at, bytes.size()), length);
            std::size_t times = below(4) == 0 ? 1 + below(150) : 1;
            for (std::size_t i = 0; i < times && bytes.size() < 65536; ++i)
                bytes.insert(std::min(at, bytes.size()), piece);
            break;
        }
        case 6: // cut the end
            bytes.resize(at);
            break;
        default: { // splice in a piece of another seed
            const std::string& other = seeds[below(seeds.size())].bytes;
            std::size_t from = below(other.size());
            bytes.insert(at, other.substr(from, 1 + below(64)));
            break;
        }
        }
    }
    return bytes;
}

int run(std::string_view input)
{
    return LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

TEST(ConfigFuzzCorpus, SeedsAreValidDocuments)
{
    auto seeds = load_seeds();
    ASSERT_GE(seeds.size(), 6u);
    for (const Seed& seed : seeds) {
        SCOPED_TRACE(seed.name);
        if (seed.name.starts_with("config_"))
            EXPECT_TRUE(parse_launcher_config(seed.bytes)) << parse_launcher_config(seed.bytes).error();
        else if (seed.name.starts_with("manifest_"))
            EXPECT_TRUE(parse_update_manifest(seed.bytes)) << parse_update_manifest(seed.bytes).error();
        else
            ADD_FAILURE() << "seed names start with config_ or manifest_";
        run(seed.bytes);
    }
}

TEST(ConfigFuzzCorpus, MutatedDocumentsNeverBreakTheReaders)
{
    auto seeds = load_seeds();
    ASSERT_FALSE(seeds.empty());
    std::mt19937_64 random(20261205);
    constexpr int inputs = 200000;
    int read_ok = 0;
    for (int i = 0; i < inputs; ++i) {
        std::string input = mutate(seeds[random() % seeds.size()].bytes, seeds, random);
        run(input);
        read_ok += parse_launcher_config(input) || parse_update_manifest(input) ? 1 : 0;
    }
    // The mutations must leave a fair share readable, or the round-trip checks never run.
    EXPECT_GT(read_ok, inputs / 50);
}

} // namespace
} // namespace torvane

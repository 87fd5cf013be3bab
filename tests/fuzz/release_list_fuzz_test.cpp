// A bounded, randomised corpus through the parser's properties (the libFuzzer harness beside it
// explores further when built with clang).
#include "fuzz/release_list_input_check.hpp"
#include "release_keys.hpp"

#include <gtest/gtest.h>

#include <random>

namespace torvane {
namespace {

// One random edit of the kind that breaks list files: bytes, lines, case and length.
std::string mutate(std::string text, std::mt19937& random)
{
    auto pick = [&](std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    static const char interesting[] = {' ', '\n', '\r', '0', '9', 'a', 'f', 'g', 'A', 'F', '+', '/', '\\', '.', '\x80', '\0'};
    std::vector<std::size_t> line_starts = {0};
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '\n')
            line_starts.push_back(i + 1);
    auto line_at = [&](std::size_t k) {
        std::size_t start = line_starts[k];
        std::size_t end = text.find('\n', start);
        return std::pair(start, end == std::string::npos ? text.size() : end + 1);
    };
    switch (pick(8)) {
    case 0:
        if (!text.empty())
            text[pick(text.size())] = interesting[pick(sizeof interesting)];
        break;
    case 1:
        text.insert(pick(text.size() + 1), 1, interesting[pick(sizeof interesting)]);
        break;
    case 2:
        if (!text.empty()) {
            std::size_t at = pick(text.size());
            text.erase(at, 1 + pick(std::min<std::size_t>(8, text.size() - at)));
        }
        break;
    case 3: { // duplicate a line
        auto [start, end] = line_at(pick(line_starts.size()));
        text.insert(pick(line_starts.size()) == 0 ? 0 : start, text.substr(start, end - start));
        break;
    }
    case 4: { // drop a line
        auto [start, end] = line_at(pick(line_starts.size()));
        text.erase(start, end - start);
        break;
    }
    case 5: // flip the case of one letter
        for (int tries = 0; tries < 16 && !text.empty(); ++tries) {
            char& c = text[pick(text.size())];
            if (std::isalpha(static_cast<unsigned char>(c))) {
                c = static_cast<char>(std::islower(static_cast<unsigned char>(c)) ? std::toupper(c) : std::tolower(c));
                break;
            }
        }
        break;
    case 6:
        text.resize(pick(text.size() + 1));
        break;
    default: { // swap two lines
        auto [a_start, a_end] = line_at(pick(line_starts.size()));
        auto [b_start, b_end] = line_at(pick(line_starts.size()));
        if (a_start < b_start && a_end <= b_start) {
            std::string a = text.substr(a_start, a_end - a_start);
            std::string b = text.substr(b_start, b_end - b_start);
            text.replace(b_start, b.size(), a);
            text.replace(a_start, a.size(), b);
        }
        break;
    }
    }
    return text;
}

TEST(ReleaseListFuzz, RandomisedCorpusKeepsEveryProperty)
{
    std::mt19937 random(20240611);
    const std::string seeds[] = {
        release_list_text(test::sample_release_list(1)),
        release_list_text(test::sample_release_list(4, "00112233445566778899aabbccddeeff")),
        test::dev_signed(release_list_text(test::sample_release_list(2))),
    };
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string input = seeds[round % std::size(seeds)];
        int edits = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < edits; ++i)
            input = mutate(std::move(input), random);
        std::string problem = test::check_release_list_input(input);
        ASSERT_EQ(problem, "") << "round " << round;
        accepted += parse_release_text(input).has_value();
    }
    // The edits must leave some lists valid, or the accepting side goes untested.
    EXPECT_GT(accepted, 10);
}

TEST(ReleaseListFuzz, SeedsAreAccepted)
{
    EXPECT_EQ(test::check_release_list_input(release_list_text(test::sample_release_list(1))), "");
    EXPECT_EQ(test::check_release_list_input(test::dev_signed(release_list_text(test::sample_release_list(1)))), "");
}

} // namespace
} // namespace torvane

#include "render/compositing.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace torvane {
namespace {

// Words of every kind the compositors meet: premultiplied ones, transparent and opaque ones, and
// words whose colour exceeds their alpha (a channel sum then wraps), mixed at random.
std::vector<std::uint32_t> mixed_words(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint32_t> words(count);
    for (std::uint32_t& word : words) {
        const std::uint32_t alpha = random() % 256;
        switch (random() % 6) {
        case 0: word = 0; break;
        case 1: word = 0xFF000000u | (random() & 0xFFFFFF); break;
        case 2: word = random() & 0xFFFFFF; break; // alpha 0, colour left
        case 3: word = random(); break;            // not premultiplied
        default: {
            const std::uint32_t r = alpha ? random() % (alpha + 1) : 0;
            const std::uint32_t g = alpha ? random() % (alpha + 1) : 0;
            const std::uint32_t b = alpha ? random() % (alpha + 1) : 0;
            word = alpha << 24 | r << 16 | g << 8 | b;
        }
        }
    }
    return words;
}

const std::size_t row_lengths[] = {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 100};

// Two source rows of 40 pixels, a destination row of the length, and for each destination pixel
// random source columns and weights (the edge weights 0, 1, 128, 255, 256 among them).
struct SampledRows {
    std::vector<std::uint32_t> top, bottom, ground, column0, column1, fraction, coverage;
};

SampledRows random_sampled_rows(std::mt19937& random, std::uint32_t& seed, std::size_t length)
{
    const std::uint32_t source_width = 40;
    SampledRows rows;
    rows.top = mixed_words(source_width, seed++);
    rows.bottom = mixed_words(source_width, seed++);
    rows.ground = mixed_words(length, seed++);
    rows.column0.resize(length);
    rows.column1.resize(length);
    rows.fraction.resize(length);
    rows.coverage.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
        rows.column0[i] = random() % source_width;
        rows.column1[i] = std::min(rows.column0[i] + 1, source_width - 1);
        const std::uint32_t weights[] = {0, 1, 128, 255, 256, static_cast<std::uint32_t>(random() % 257)};
        rows.fraction[i] = weights[random() % 6];
        rows.coverage[i] = weights[random() % 6];
    }
    return rows;
}

TEST(CompositingRows, TheScalarFormIsAlwaysThereAndTheChosenOneIsTheWidest)
{
    std::span<const SimdLevel> levels = available_simd_levels();
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), SimdLevel::Scalar);
    EXPECT_EQ(chosen_simd_level(), levels.back());
}

TEST(CompositingRows, SourceOverRowsAreTheSameInEveryForm)
{
    const std::uint32_t opacities[] = {1, 77, 128, 255, 256};
    std::uint32_t seed = 1;
    for (const std::size_t length : row_lengths) {
        for (const std::uint32_t o256 : opacities) {
            const std::vector<std::uint32_t> source = mixed_words(length, seed++);
            const std::vector<std::uint32_t> ground = mixed_words(length, seed++);
            std::vector<std::uint32_t> expected = ground;
            source_over_row(SimdLevel::Scalar, expected.data(), source.data(), length, o256);
            for (const SimdLevel level : available_simd_levels()) {
                std::vector<std::uint32_t> actual = ground;
                source_over_row(level, actual.data(), source.data(), length, o256);
                EXPECT_EQ(actual, expected) << "form " << static_cast<int>(level) << ", " << length
                                            << " pixels, opacity " << o256;
            }
        }
    }
}

TEST(CompositingRows, SourceOverKeepsTheIntegerRule)
{
    // Half-transparent white over opaque blue at full and at half opacity; a transparent word with
    // colour leaves the destination.
    struct Case {
        std::uint32_t source;
        std::uint32_t destination;
        std::uint32_t o256;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {0x80808080u, 0xFF0000FFu, 256, 0xFE8080FEu},
        {0x80808080u, 0xFF0000FFu, 128, 0xFF4040FFu},
        {0x00FFFFFFu, 0xFF123456u, 256, 0xFF123456u},
        {0xFFABCDEFu, 0xFF123456u, 256, 0xFFABCDEFu},
    };
    for (const Case& c : cases) {
        for (const SimdLevel level : available_simd_levels()) {
            // Eight copies, so that the vector forms take the case through their wide path.
            std::vector<std::uint32_t> source(8, c.source);
            std::vector<std::uint32_t> destination(8, c.destination);
            source_over_row(level, destination.data(), source.data(), 8, c.o256);
            EXPECT_EQ(destination, std::vector<std::uint32_t>(8, c.expected)) << std::hex << c.source;
        }
    }
}

TEST(CompositingRows, BilinearRowsAreTheSameInEveryForm)
{
    std::mt19937 random(7);
    std::uint32_t seed = 100;
    for (const std::size_t length : row_lengths) {
        for (const bool replace : {false, true}) {
            const SampledRows rows = random_sampled_rows(random, seed, length);
            const auto& [top, bottom, ground, column0, column1, fraction, coverage] = rows;
            for (const std::uint32_t row_fraction : {0u, 37u, 256u}) {
                const BilinearRow row{top.data(), bottom.data(), column0.data(), column1.data(), fraction.data(),
                    coverage.data(), row_fraction, replace};
                std::vector<std::uint32_t> expected = ground;
                bilinear_row(SimdLevel::Scalar, row, expected.data(), length);
                for (const SimdLevel level : available_simd_levels()) {
                    std::vector<std::uint32_t> actual = ground;
                    bilinear_row(level, row, actual.data(), length);
                    EXPECT_EQ(actual, expected) << "form " << static_cast<int>(level) << ", " << length
                                                << " pixels, replace " << replace << ", row weight " << row_fraction;
                }
            }
        }
    }
}

TEST(CompositingRows, TwoPassBilinearRowsGiveTheOnePassPixelsInEveryForm)
{
    // Mixing each source row across its columns first and the two mixed rows afterwards must give
    // the one-pass kernel's pixels: the same products, rounded in the same places.
    std::mt19937 random(11);
    std::uint32_t seed = 300;
    for (const std::size_t length : row_lengths) {
        for (const bool replace : {false, true}) {
            const SampledRows rows = random_sampled_rows(random, seed, length);
            const auto& [top, bottom, ground, column0, column1, fraction, coverage] = rows;
            const ColumnSamples across{column0.data(), column1.data(), fraction.data()};
            for (const std::uint32_t row_fraction : {0u, 1u, 37u, 255u, 256u}) {
                const BilinearRow row{top.data(), bottom.data(), column0.data(), column1.data(), fraction.data(),
                    coverage.data(), row_fraction, replace};
                std::vector<std::uint32_t> expected = ground;
                bilinear_row(SimdLevel::Scalar, row, expected.data(), length);
                for (const SimdLevel level : available_simd_levels()) {
                    std::vector<std::uint32_t> upper(length), lower(length);
                    mix_columns_row(level, top.data(), across, upper.data(), length);
                    mix_columns_row(level, bottom.data(), across, lower.data(), length);
                    std::vector<std::uint32_t> actual = ground;
                    mix_rows_row(level, MixedRows{upper.data(), lower.data(), coverage.data(), row_fraction, replace},
                        actual.data(), length);
                    EXPECT_EQ(actual, expected) << "form " << static_cast<int>(level) << ", " << length
                                                << " pixels, replace " << replace << ", row weight " << row_fraction;
                }
            }
        }
    }
}

TEST(CompositingRows, OpaqueCopiesSetTheTopByteAtEveryOffsetAndLength)
{
    // Offsets that start the copy off and on the 16-byte grid, lengths with and without a tail.
    const std::vector<std::uint32_t> source = mixed_words(64, 9);
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (const std::size_t length : {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 33, 50}) {
            std::vector<std::uint32_t> target(70, 0x12345678u);
            opaque_copy_row(target.data() + offset, source.data() + offset, length);
            for (std::size_t i = 0; i < target.size(); ++i) {
                const bool copied = i >= offset && i < offset + length;
                const std::uint32_t expected = copied ? (source[i] | 0xFF000000u) : 0x12345678u;
                ASSERT_EQ(target[i], expected) << "offset " << offset << ", length " << length << ", word " << i;
            }
        }
    }
}

} // namespace
} // namespace torvane

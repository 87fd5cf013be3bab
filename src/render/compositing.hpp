// The row kernels of the integer compositors: source-over with opacity, and the bilinear
// interpolation of the scaled image draw. Each has a plain per-pixel form and vector forms (SSE2,
// which every x86 build requires, and AVX2 where the processor has it, chosen once at run time);
// every form gives the same pixels, bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace torvane {

enum class SimdLevel { Scalar, Sse2, Avx2 };

// The forms this processor can run, plain first, and the one the compositors use.
std::span<const SimdLevel> available_simd_levels();
SimdLevel chosen_simd_level();

// Source-over of `count` premultiplied source words onto the destination words, the source first
// scaled by o256 / 256 (o256 in 1..256). A transparent (scaled) source leaves the destination.
void source_over_row(SimdLevel level, std::uint32_t* destination, const std::uint32_t* source, std::size_t count,
    std::uint32_t o256);
inline void source_over_row(std::uint32_t* destination, const std::uint32_t* source, std::size_t count,
    std::uint32_t o256)
{
    source_over_row(chosen_simd_level(), destination, source, count, o256);
}

// One destination row of the bilinear draw. For destination pixel i: the source columns
// column0[i], column1[i] of the rows `top` and `bottom` are mixed with the weights
// column_fraction[i] (0..256, of column1) and row_fraction (of `bottom`), the result is scaled by
// coverage[i] / 256 (coverage[i] at most 256; 256 leaves it), and then replaces the destination
// word (replace) or is composited source-over on it (a result of 0 leaves it).
struct BilinearRow {
    const std::uint32_t* top;
    const std::uint32_t* bottom;
    const std::uint32_t* column0;
    const std::uint32_t* column1;
    const std::uint32_t* column_fraction;
    const std::uint32_t* coverage;
    std::uint32_t row_fraction;
    bool replace;
};
void bilinear_row(SimdLevel level, const BilinearRow& row, std::uint32_t* destination, std::size_t count);
inline void bilinear_row(const BilinearRow& row, std::uint32_t* destination, std::size_t count)
{
    bilinear_row(chosen_simd_level(), row, destination, count);
}

// The same draw in two passes, so that a source row mixed across its columns once serves every
// destination row that reads it: mix_columns_row gives, for destination pixel i, the source row's
// columns column0[i] and column1[i] mixed with the weight fraction[i]; mix_rows_row mixes two such
// rows with row_fraction (of `lower`), scales by coverage[i] / 256 and replaces or composites as
// bilinear_row does. Each step is the same integer arithmetic in the same order, so the two
// passes give bilinear_row's pixels bit for bit.
struct ColumnSamples {
    const std::uint32_t* column0;
    const std::uint32_t* column1;
    const std::uint32_t* fraction;
};
void mix_columns_row(SimdLevel level, const std::uint32_t* source, const ColumnSamples& columns, std::uint32_t* mixed,
    std::size_t count);
inline void mix_columns_row(const std::uint32_t* source, const ColumnSamples& columns, std::uint32_t* mixed, std::size_t count)
{
    mix_columns_row(chosen_simd_level(), source, columns, mixed, count);
}

struct MixedRows {
    const std::uint32_t* upper;
    const std::uint32_t* lower;
    const std::uint32_t* coverage;
    std::uint32_t row_fraction;
    bool replace;
};
void mix_rows_row(SimdLevel level, const MixedRows& rows, std::uint32_t* destination, std::size_t count);
inline void mix_rows_row(const MixedRows& rows, std::uint32_t* destination, std::size_t count)
{
    mix_rows_row(chosen_simd_level(), rows, destination, count);
}

// Copies `count` words with their top byte set to 0xFF: a frame handed to the screen. The copy
// goes past the processor's caches where it can, since the display server reads it and this
// process does not.
void opaque_copy_row(std::uint32_t* destination, const std::uint32_t* source, std::size_t count);

} // namespace torvane

#include "render/compositing.hpp"

#include <array>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

// The vector forms return vectors wider than the baseline's registers from inlined helpers;
// nothing of them crosses a call boundary, so the ABI note does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace torvane {

namespace {

constexpr std::uint32_t low_mask = 0x00FF00FF; // blue and red; green and alpha after a shift by 8

// --- the per-pixel forms, the reference of every vector form -----------------------------

// Every channel times n / 256 (n at most 256, where it leaves the pixel as it is).
inline std::uint32_t scale_channels(std::uint32_t pixel, std::uint32_t n)
{
    std::uint32_t rb = (((pixel & low_mask) * n) >> 8) & low_mask;
    std::uint32_t ag = ((((pixel >> 8) & low_mask) * n) >> 8) & low_mask;
    return rb | ag << 8;
}

// Source-over with 1/255 approximated as (inv + (inv >> 7)) >> 8. A transparent source leaves
// the destination, an opaque one replaces it.
inline std::uint32_t source_over(std::uint32_t source, std::uint32_t destination)
{
    std::uint32_t alpha = source >> 24;
    if (alpha == 0)
        return destination;
    if (alpha == 255)
        return source;
    std::uint32_t inv = 255 - alpha;
    std::uint32_t k = inv + (inv >> 7);
    std::uint32_t rb = (source & low_mask) + ((((destination & low_mask) * k) >> 8) & low_mask);
    std::uint32_t ag = ((source >> 8) & low_mask) + (((((destination >> 8) & low_mask) * k) >> 8) & low_mask);
    return (rb & low_mask) | ((ag & low_mask) << 8);
}

// (a * (256 - f) + b * f) >> 8 per channel.
inline std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    std::uint32_t g = 256 - f;
    std::uint32_t rb = ((((a & low_mask) * g) + ((b & low_mask) * f)) >> 8) & low_mask;
    std::uint32_t ag = (((((a >> 8) & low_mask) * g) + (((b >> 8) & low_mask) * f)) >> 8) & low_mask;
    return rb | ag << 8;
}

void source_over_scalar(std::uint32_t* destination, const std::uint32_t* source, std::size_t count, std::uint32_t o256)
{
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t pixel = source[i];
        if (pixel == 0)
            continue;
        if (o256 < 256)
            pixel = scale_channels(pixel, o256);
        destination[i] = source_over(pixel, destination[i]);
    }
}

inline std::uint32_t bilinear_pixel(const BilinearRow& row, std::size_t i)
{
    const std::uint32_t c0 = row.column0[i];
    const std::uint32_t c1 = row.column1[i];
    const std::uint32_t f = row.column_fraction[i];
    std::uint32_t upper = mix(row.top[c0], row.top[c1], f);
    std::uint32_t lower = mix(row.bottom[c0], row.bottom[c1], f);
    std::uint32_t pixel = mix(upper, lower, row.row_fraction);
    const std::uint32_t n = row.coverage[i];
    if (n <= 255)
        pixel = scale_channels(pixel, n);
    return pixel;
}

void bilinear_scalar(const BilinearRow& row, std::uint32_t* destination, std::size_t begin, std::size_t count)
{
    for (std::size_t i = begin; i < count; ++i) {
        const std::uint32_t pixel = bilinear_pixel(row, i);
        if (row.replace)
            destination[i] = pixel;
        else if (pixel != 0)
            destination[i] = source_over(pixel, destination[i]);
    }
}

void mix_columns_scalar(const std::uint32_t* source, const ColumnSamples& columns, std::uint32_t* mixed,
    std::size_t begin, std::size_t count)
{
    for (std::size_t i = begin; i < count; ++i)
        mixed[i] = mix(source[columns.column0[i]], source[columns.column1[i]], columns.fraction[i]);
}

void mix_rows_scalar(const MixedRows& rows, std::uint32_t* destination, std::size_t begin, std::size_t count)
{
    for (std::size_t i = begin; i < count; ++i) {
        std::uint32_t pixel = mix(rows.upper[i], rows.lower[i], rows.row_fraction);
        const std::uint32_t n = rows.coverage[i];
        if (n <= 255)
            pixel = scale_channels(pixel, n);
        if (rows.replace)
            destination[i] = pixel;
        else if (pixel != 0)
            destination[i] = source_over(pixel, destination[i]);
    }
}

// --- the vector forms ----------------------------------------------------------------------
//
// A pixel word's two channel pairs (blue and red, green and alpha) are each two 16-bit lanes, so
// the 32-bit arithmetic of the per-pixel forms becomes 16-bit lane products that cannot carry
// into a neighbour: every product is at most 255 * 256.

#if defined(__x86_64__) || defined(__i386__)
#define TORVANE_HAS_X86_VECTORS 1

// N pixels as N 32-bit words and as 2N 16-bit lanes. (A vector size that depends on a template
// argument is not honoured by the compiler, hence one specialisation per width.)
template <int N>
struct Vectors;
template <>
struct Vectors<4> {
    using Words = std::uint32_t __attribute__((vector_size(16)));
    using Halves = std::uint16_t __attribute__((vector_size(16)));
};
template <>
struct Vectors<8> {
    using Words = std::uint32_t __attribute__((vector_size(32)));
    using Halves = std::uint16_t __attribute__((vector_size(32)));
};

#define TORVANE_INLINE inline __attribute__((always_inline))

// The same bits seen as another vector type of the same size.
template <class To, class From>
TORVANE_INLINE To bits(From from)
{
    return (To)from;
}

template <int N>
TORVANE_INLINE typename Vectors<N>::Words load(const std::uint32_t* from)
{
    typename Vectors<N>::Words words;
    std::memcpy(&words, from, sizeof words);
    return words;
}

template <int N>
TORVANE_INLINE void store(std::uint32_t* to, typename Vectors<N>::Words words)
{
    std::memcpy(to, &words, sizeof words);
}

template <int N>
TORVANE_INLINE bool all_zero(typename Vectors<N>::Words words)
{
    std::uint64_t halves[N / 2];
    std::memcpy(halves, &words, sizeof halves);
    std::uint64_t any = 0;
    for (int i = 0; i < N / 2; ++i)
        any |= halves[i];
    return any == 0;
}

// The same 16-bit factor in both lanes of each word.
template <int N>
TORVANE_INLINE typename Vectors<N>::Halves both_lanes(typename Vectors<N>::Words factor)
{
    return bits<typename Vectors<N>::Halves>(factor | (factor << 16));
}

template <int N>
TORVANE_INLINE typename Vectors<N>::Words scale_words(typename Vectors<N>::Words pixels, typename Vectors<N>::Halves n)
{
    using Words = typename Vectors<N>::Words;
    using Halves = typename Vectors<N>::Halves;
    Halves rb = bits<Halves>(pixels & low_mask);
    Halves ag = bits<Halves>((pixels >> 8) & low_mask);
    rb = (rb * n) >> 8;
    ag = (ag * n) >> 8;
    return bits<Words>(rb) | (bits<Words>(ag) << 8);
}

template <int N>
TORVANE_INLINE typename Vectors<N>::Words over_words(
    typename Vectors<N>::Words source, typename Vectors<N>::Words destination)
{
    using Words = typename Vectors<N>::Words;
    using Halves = typename Vectors<N>::Halves;
    const Words alpha = source >> 24;
    const Words inv = 255 - alpha;
    const Halves k = both_lanes<N>(inv + (inv >> 7));
    Halves rb = bits<Halves>(source & low_mask)
        + ((bits<Halves>(destination & low_mask) * k) >> 8);
    Halves ag = bits<Halves>((source >> 8) & low_mask)
        + ((bits<Halves>((destination >> 8) & low_mask) * k) >> 8);
    rb &= 0xFF;
    ag &= 0xFF;
    const Words blended = bits<Words>(rb) | (bits<Words>(ag) << 8);
    const Words transparent = bits<Words>(alpha == 0);
    return (blended & ~transparent) | (destination & transparent);
}

template <int N>
TORVANE_INLINE typename Vectors<N>::Words mix_words(typename Vectors<N>::Words a, typename Vectors<N>::Words b,
    typename Vectors<N>::Halves f, typename Vectors<N>::Halves g)
{
    using Words = typename Vectors<N>::Words;
    using Halves = typename Vectors<N>::Halves;
    Halves rb = (bits<Halves>(a & low_mask) * g + bits<Halves>(b & low_mask) * f) >> 8;
    Halves ag = (bits<Halves>((a >> 8) & low_mask) * g + bits<Halves>((b >> 8) & low_mask) * f) >> 8;
    return bits<Words>(rb) | (bits<Words>(ag) << 8);
}

template <int N>
TORVANE_INLINE void source_over_vector(
    std::uint32_t* destination, const std::uint32_t* source, std::size_t count, std::uint32_t o256)
{
    using Words = typename Vectors<N>::Words;
    const typename Vectors<N>::Halves n = both_lanes<N>(Words{} + o256);
    std::size_t i = 0;
    for (; i + N <= count; i += N) {
        Words pixels = load<N>(source + i);
        if (all_zero<N>(pixels))
            continue;
        if (o256 < 256)
            pixels = scale_words<N>(pixels, n);
        store<N>(destination + i, over_words<N>(pixels, load<N>(destination + i)));
    }
    source_over_scalar(destination + i, source + i, count - i, o256);
}

template <int N>
TORVANE_INLINE void bilinear_vector(const BilinearRow& row, std::uint32_t* destination, std::size_t count)
{
    using Words = typename Vectors<N>::Words;
    using Halves = typename Vectors<N>::Halves;
    const Halves row_f = both_lanes<N>(Words{} + row.row_fraction);
    const Halves row_g = both_lanes<N>(Words{} + (256 - row.row_fraction));
    std::size_t i = 0;
    for (; i + N <= count; i += N) {
        alignas(64) std::uint32_t top_left[N], top_right[N], bottom_left[N], bottom_right[N];
        for (int lane = 0; lane < N; ++lane) {
            const std::uint32_t c0 = row.column0[i + lane];
            const std::uint32_t c1 = row.column1[i + lane];
            top_left[lane] = row.top[c0];
            top_right[lane] = row.top[c1];
            bottom_left[lane] = row.bottom[c0];
            bottom_right[lane] = row.bottom[c1];
        }
        const Words f = load<N>(row.column_fraction + i);
        const Halves column_f = both_lanes<N>(f);
        const Halves column_g = both_lanes<N>(256 - f);
        const Words upper = mix_words<N>(load<N>(top_left), load<N>(top_right), column_f, column_g);
        const Words lower = mix_words<N>(load<N>(bottom_left), load<N>(bottom_right), column_f, column_g);
        Words pixels = mix_words<N>(upper, lower, row_f, row_g);
        // A coverage of 256 scales by one: the product leaves every channel as it is.
        pixels = scale_words<N>(pixels, both_lanes<N>(load<N>(row.coverage + i)));
        if (row.replace)
            store<N>(destination + i, pixels);
        else if (!all_zero<N>(pixels))
            store<N>(destination + i, over_words<N>(pixels, load<N>(destination + i)));
    }
    bilinear_scalar(row, destination, i, count);
}

template <int N>
TORVANE_INLINE void mix_columns_vector(
    const std::uint32_t* source, const ColumnSamples& columns, std::uint32_t* mixed, std::size_t count)
{
    using Words = typename Vectors<N>::Words;
    std::size_t i = 0;
    for (; i + N <= count; i += N) {
        alignas(64) std::uint32_t left[N], right[N];
        for (int lane = 0; lane < N; ++lane) {
            left[lane] = source[columns.column0[i + lane]];
            right[lane] = source[columns.column1[i + lane]];
        }
        const Words f = load<N>(columns.fraction + i);
        store<N>(mixed + i, mix_words<N>(load<N>(left), load<N>(right), both_lanes<N>(f), both_lanes<N>(256 - f)));
    }
    mix_columns_scalar(source, columns, mixed, i, count);
}

template <int N>
TORVANE_INLINE void mix_rows_vector(const MixedRows& rows, std::uint32_t* destination, std::size_t count)
{
    using Words = typename Vectors<N>::Words;
    using Halves = typename Vectors<N>::Halves;
    const Halves row_f = both_lanes<N>(Words{} + rows.row_fraction);
    const Halves row_g = both_lanes<N>(Words{} + (256 - rows.row_fraction));
    std::size_t i = 0;
    for (; i + N <= count; i += N) {
        Words pixels = mix_words<N>(load<N>(rows.upper + i), load<N>(rows.lower + i), row_f, row_g);
        // A coverage of 256 scales by one: the product leaves every channel as it is.
        pixels = scale_words<N>(pixels, both_lanes<N>(load<N>(rows.coverage + i)));
        if (rows.replace)
            store<N>(destination + i, pixels);
        else if (!all_zero<N>(pixels))
            store<N>(destination + i, over_words<N>(pixels, load<N>(destination + i)));
    }
    mix_rows_scalar(rows, destination, i, count);
}

void mix_columns_sse2(const std::uint32_t* source, const ColumnSamples& columns, std::uint32_t* mixed, std::size_t count)
{
    mix_columns_vector<4>(source, columns, mixed, count);
}

void mix_rows_sse2(const MixedRows& rows, std::uint32_t* destination, std::size_t count)
{
    mix_rows_vector<4>(rows, destination, count);
}

__attribute__((target("avx2"))) void mix_columns_avx2(
    const std::uint32_t* source, const ColumnSamples& columns, std::uint32_t* mixed, std::size_t count)
{
    mix_columns_vector<8>(source, columns, mixed, count);
}

__attribute__((target("avx2"))) void mix_rows_avx2(const MixedRows& rows, std::uint32_t* destination, std::size_t count)
{
    mix_rows_vector<8>(rows, destination, count);
}

void source_over_sse2(std::uint32_t* destination, const std::uint32_t* source, std::size_t count, std::uint32_t o256)
{
    source_over_vector<4>(destination, source, count, o256);
}

void bilinear_sse2(const BilinearRow& row, std::uint32_t* destination, std::size_t count)
{
    bilinear_vector<4>(row, destination, count);
}

__attribute__((target("avx2"))) void source_over_avx2(
    std::uint32_t* destination, const std::uint32_t* source, std::size_t count, std::uint32_t o256)
{
    source_over_vector<8>(destination, source, count, o256);
}

__attribute__((target("avx2"))) void bilinear_avx2(
    const BilinearRow& row, std::uint32_t* destination, std::size_t count)
{
    bilinear_vector<8>(row, destination, count);
}
#endif

std::vector<SimdLevel> detect_levels()
{
    std::vector<SimdLevel> levels{SimdLevel::Scalar};
#ifdef TORVANE_HAS_X86_VECTORS
    levels.push_back(SimdLevel::Sse2);
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        levels.push_back(SimdLevel::Avx2);
#endif
    return levels;
}

const std::vector<SimdLevel>& levels()
{
    static const std::vector<SimdLevel> found = detect_levels();
    return found;
}

} // namespace

std::span<const SimdLevel> available_simd_levels() { return levels(); }

void opaque_copy_row(std::uint32_t* destination, const std::uint32_t* source, std::size_t count)
{
    std::size_t i = 0;
#ifdef TORVANE_HAS_X86_VECTORS
    // Streaming stores need 16-byte aligned targets: the words before the first such address go
    // one by one.
    for (; i < count && (reinterpret_cast<std::uintptr_t>(destination + i) & 15) != 0; ++i)
        destination[i] = source[i] | 0xFF000000u;
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 4));
        _mm_stream_si128(reinterpret_cast<__m128i*>(destination + i), _mm_or_si128(a, opaque));
        _mm_stream_si128(reinterpret_cast<__m128i*>(destination + i + 4), _mm_or_si128(b, opaque));
    }
    _mm_sfence();
#endif
    for (; i < count; ++i)
        destination[i] = source[i] | 0xFF000000u;
}

SimdLevel chosen_simd_level()
{
    static const SimdLevel chosen = levels().back();
    return chosen;
}

void source_over_row(SimdLevel level, std::uint32_t* destination, const std::uint32_t* source, std::size_t count,
    std::uint32_t o256)
{
    switch (level) {
#ifdef TORVANE_HAS_X86_VECTORS
    case SimdLevel::Avx2: return source_over_avx2(destination, source, count, o256);
    case SimdLevel::Sse2: return source_over_sse2(destination, source, count, o256);
#endif
    default: return source_over_scalar(destination, source, count, o256);
    }
}

void bilinear_row(SimdLevel level, const BilinearRow& row, std::uint32_t* destination, std::size_t count)
{
    switch (level) {
#ifdef TORVANE_HAS_X86_VECTORS
    case SimdLevel::Avx2: return bilinear_avx2(row, destination, count);
    case SimdLevel::Sse2: return bilinear_sse2(row, destination, count);
#endif
    default: return bilinear_scalar(row, destination, 0, count);
    }
}

void mix_columns_row(SimdLevel level, const std::uint32_t* source, const ColumnSamples& columns, std::uint32_t* mixed,
    std::size_t count)
{
    switch (level) {
#ifdef TORVANE_HAS_X86_VECTORS
    case SimdLevel::Avx2: return mix_columns_avx2(source, columns, mixed, count);
    case SimdLevel::Sse2: return mix_columns_sse2(source, columns, mixed, count);
#endif
    default: return mix_columns_scalar(source, columns, mixed, 0, count);
    }
}

void mix_rows_row(SimdLevel level, const MixedRows& rows, std::uint32_t* destination, std::size_t count)
{
    switch (level) {
#ifdef TORVANE_HAS_X86_VECTORS
    case SimdLevel::Avx2: return mix_rows_avx2(rows, destination, count);
    case SimdLevel::Sse2: return mix_rows_sse2(rows, destination, count);
#endif
    default: return mix_rows_scalar(rows, destination, 0, count);
    }
}

} // namespace torvane

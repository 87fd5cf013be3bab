// Benchmark (not a test): reading a 30,000-entry release list, signature check included.
//   build/torvane_release_list_benchmark
// "per_entry" is the time per list entry.
#include "release_keys.hpp"
#include "update/digest.hpp"
#include "update/release_list.hpp"
#include "update/signatures.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace torvane;

constexpr std::size_t entries = release_list_max_entries;

const std::string& largest_list()
{
    static const std::string file = test::dev_signed(release_list_text(test::sample_release_list(entries - 15)));
    return file;
}

void per_entry(benchmark::State& state)
{
    state.counters["per_entry"] = benchmark::Counter(static_cast<double>(entries),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * largest_list().size()));
}

// The whole check as the update runs it: size, SHA-256, RSA, text, entries, completeness.
void parse_and_verify(benchmark::State& state)
{
    const std::string& file = largest_list();
    for (auto _ : state) {
        auto list = parse_release_list(file, test::dev_public_key());
        if (!list || list->entries.size() != entries)
            state.SkipWithError("the list was refused");
        benchmark::DoNotOptimize(list);
    }
    per_entry(state);
}
BENCHMARK(parse_and_verify)->Unit(benchmark::kMillisecond);

// Only the signature part: the SHA-256 of the text and one RSA verification.
void verify_only(benchmark::State& state)
{
    const std::string& file = largest_list();
    std::string_view text(file.data(), file.size() - release_signature_size);
    const auto* tail = reinterpret_cast<const std::uint8_t*>(file.data() + text.size());
    for (auto _ : state) {
        bool good = test::dev_public_key().verify_sha256(sha256_bytes(text), std::span<const std::uint8_t, 256>(tail, 256));
        benchmark::DoNotOptimize(good);
    }
    per_entry(state);
}
BENCHMARK(verify_only)->Unit(benchmark::kMillisecond);

// Only the text: lines, fields, name tests and the duplicate set.
void text_only(benchmark::State& state)
{
    const std::string& file = largest_list();
    std::string_view text(file.data(), file.size() - release_signature_size);
    for (auto _ : state) {
        auto list = parse_release_text(text);
        benchmark::DoNotOptimize(list);
    }
    per_entry(state);
}
BENCHMARK(text_only)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// The time the show spends rendering its soundtrack before the first frame.
#include "audio/song.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

void BM_render_song(benchmark::State& state) {
    std::vector<std::uint8_t> image(SONG_IMAGE_BYTES);
    song_buffer = image.data();
    sample_data = song_buffer + WAV_HEADER_BYTES;
    std::memcpy(song_buffer, wav_header_template, WAV_HEADER_BYTES);
    // The benchmark library's loop: the variable is never read.
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores)
    for (auto _ : state) {
        render_song();
        benchmark::DoNotOptimize(sample_data);
        benchmark::ClobberMemory();
    }
    constexpr std::size_t song_samples = SONG_BYTES / 2;
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(song_samples),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    song_buffer = nullptr;
    sample_data = nullptr;
}

} // namespace

BENCHMARK(BM_render_song)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

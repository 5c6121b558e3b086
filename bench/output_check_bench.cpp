// What the check that every conversion makes of its own output costs, next
// to writing that output: 100,000-frame songs whose nine channels all vary,
// compressed in memory and then decoded and compared.

#include "lzss/compressed_file.h"
#include "lzss/output_check.h"
#include "stream_shapes.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using stream_shapes::Shape;

constexpr int32_t frames = 100000;

RegisterStreamSet makeSong(Shape shape)
{
    std::mt19937 random(12);
    RegisterStreamSet song;
    for (auto& stream : song.streams) stream = stream_shapes::make(shape, random, frames);
    return song;
}

std::vector<uint8_t> compress(const RegisterStreamSet& song, const LzssSettings& settings)
{
    Notices notices;
    return writeCompressedFile(song, settings, {}, notices).bytes;
}

void writeFile(benchmark::State& state, Shape shape, LzssSettings settings)
{
    const RegisterStreamSet song = makeSong(shape);
    for (auto _ : state) benchmark::DoNotOptimize(compress(song, settings));
}

void checkFile(benchmark::State& state, Shape shape, LzssSettings settings)
{
    const RegisterStreamSet song = makeSong(shape);
    const std::vector<uint8_t> file = compress(song, settings);
    for (auto _ : state) {
        if (!decodesToSong(file, song, settings, {})) state.SkipWithError("does not decode");
    }
}

}  // namespace

BENCHMARK_CAPTURE(writeFile, song_like_8_8_1, Shape::SongLike, LzssSettings{8, 8, 1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(checkFile, song_like_8_8_1, Shape::SongLike, LzssSettings{8, 8, 1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(writeFile, random_256_8_8_1, Shape::RandomOf256, LzssSettings{8, 8, 1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(checkFile, random_256_8_8_1, Shape::RandomOf256, LzssSettings{8, 8, 1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(writeFile, song_like_7_5_1, Shape::SongLike, LzssSettings{7, 5, 1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(checkFile, song_like_7_5_1, Shape::SongLike, LzssSettings{7, 5, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// The survey of every accepted setting (1,824 of them) on one generated
// 10,000-frame song whose nine channels all vary, on every core, per song
// shape: music-like streams (in both formats), random streams over four
// values and noise. lz16 survey aims at under 5 seconds for such a song on
// two cores.

#include "lzss/file_format.h"
#include "lzss/size_survey.h"
#include "songs.h"

#include <benchmark/benchmark.h>

#include <random>
#include <thread>
#include <vector>

namespace {

using testing_support::SongShape;

void surveyEverySetting(benchmark::State& state, SongShape shape, bool oldFormat)
{
    std::mt19937 rng(13);
    const std::vector<RegisterStreamSet> songs{
        testing_support::toStreams(testing_support::makeSong(rng, static_cast<int32_t>(state.range(0)), shape))};
    const std::vector<LzssSettings> settings = acceptedSettings();
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const FormatChoices format{.oldFormat = oldFormat};
    for (auto _ : state) benchmark::DoNotOptimize(surveyFileSizes(songs, settings, format, threads));
    state.counters["settings"] = static_cast<double>(settings.size());
    state.counters["threads"] = threads;
}

// Wall time, since the work is spread over threads.
#define SURVEY(name, shape, oldFormat)                                  \
    BENCHMARK_CAPTURE(surveyEverySetting, name, shape, oldFormat)       \
        ->Arg(10000)                                                    \
        ->Unit(benchmark::kMillisecond)                                 \
        ->UseRealTime()

SURVEY(music, SongShape::Music, false);
SURVEY(music_old_format, SongShape::Music, true);
SURVEY(random_of_4, SongShape::SmallAlphabet, false);
SURVEY(noise, SongShape::Noise, false);

}  // namespace

BENCHMARK_MAIN();

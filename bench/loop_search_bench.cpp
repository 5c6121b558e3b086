// The plain ordered loop search against the linear one on long songs.
//
// A song without a loop is the plain search's worst realistic case: it tries
// every pair, about m * m / 2 of them. At 100,000 frames that takes over ten
// seconds, so the plain search runs on it for one iteration only; the fast
// search runs as often as Google Benchmark likes. A song that almost loops,
// broken at its last frame, makes the plain search compare the whole tail
// for every pair (cubic): seconds at 2,000 frames, so it is measured there
// only, once.

#include "streams/loop_search.h"
#include "streams/plain_loop_search.h"
#include "songs.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// Music-like frames drawn from a palette of sounds, never repeating for long.
std::vector<ComparisonEntry> songWithoutLoop(int32_t length)
{
    std::mt19937 random(static_cast<uint32_t>(length));
    std::vector<RegisterFrame> frames;
    for (int32_t i = 0; i < length; ++i) {
        RegisterFrame frame = testing_support::toneFrame(static_cast<uint8_t>(random() % 16));
        frame[AUDC2] = static_cast<uint8_t>(0xA0 | (random() % 16));
        frame[AUDF2] = static_cast<uint8_t>(random() % 4);
        frames.push_back(frame);
    }
    return buildComparisonCopy(testing_support::toStreams(frames));
}

// Steady for the whole song except its last frame: every pair matches until
// the very end.
std::vector<ComparisonEntry> nearLoopBrokenAtTheEnd(int32_t length)
{
    std::vector<RegisterFrame> frames(static_cast<size_t>(length), testing_support::toneFrame(1));
    frames.back() = testing_support::toneFrame(2);
    return buildComparisonCopy(testing_support::toStreams(frames));
}

// A 100-frame intro and then a 640-frame pattern to the end.
std::vector<ComparisonEntry> songWithLoop(int32_t length)
{
    std::vector<RegisterFrame> frames;
    for (int32_t i = 0; i < length; ++i) {
        const int32_t sound = i < 100 ? 1000 + i : (i - 100) % 640;
        frames.push_back(RegisterFrame{static_cast<uint8_t>(sound), 0xA8, static_cast<uint8_t>(sound >> 8), 0xA8,
                                       0, 0, 0, 0, 0});
    }
    return buildComparisonCopy(testing_support::toStreams(frames));
}

template <auto search, auto makeSong>
void measure(benchmark::State& state)
{
    const std::vector<ComparisonEntry> entries = makeSong(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(search(entries));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

constexpr auto plain = findFirstLoopPlainly;
constexpr auto fast = findFirstLoop;

}  // namespace

BENCHMARK(measure<fast, songWithoutLoop>)->Name("fast/no loop")->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(measure<plain, songWithoutLoop>)->Name("plain/no loop")->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(measure<plain, songWithoutLoop>)->Name("plain/no loop")->Arg(100'000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK(measure<fast, songWithLoop>)->Name("fast/loop after intro")->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(measure<plain, songWithLoop>)->Name("plain/loop after intro")->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

BENCHMARK(measure<fast, nearLoopBrokenAtTheEnd>)->Name("fast/broken at the end")->Arg(2'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(measure<plain, nearLoopBrokenAtTheEnd>)->Name("plain/broken at the end")->Arg(2'000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

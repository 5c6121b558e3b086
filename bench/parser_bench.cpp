// The fast parse on 100,000-position streams of every shape, at the settings
// users pick most and at the extremes, parsing the same stream from scratch
// in every iteration.
//
// "reference" is the plain parse the tests check against, which compares
// every candidate over the whole run; it runs once, only at the default
// setting on the constant and periodic streams, where it is slowest.

#include "lzss/optimal_parser.h"
#include "bench_settings.h"
#include "stream_shapes.h"
#include "lzss/reference_parser.h"

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using stream_shapes::Shape;

constexpr int32_t positions = 100'000;
constexpr int32_t period = 32;

const std::vector<uint8_t>& streamOf(Shape shape)
{
    static std::map<Shape, std::vector<uint8_t>> streams;
    auto found = streams.find(shape);
    if (found == streams.end()) {
        std::mt19937 random(static_cast<uint32_t>(shape) + 1);
        found = streams.emplace(shape, stream_shapes::make(shape, random, positions, period)).first;
    }
    return found->second;
}

// loopStart: the parse of a looping song that goes back there.
void fast(benchmark::State& state, LzssSettings settings, Shape shape, std::optional<int32_t> loopStart)
{
    const std::vector<uint8_t>& stream = streamOf(shape);
    OptimalParser parser(settings);
    parser.build(stream, loopStart);
    for (auto _ : state) {
        parser.parse(false);
        benchmark::DoNotOptimize(parser.cost(0));
    }
    state.counters["bits"] = parser.cost(0);
    state.SetItemsProcessed(state.iterations() * positions);
}

void reference(benchmark::State& state, LzssSettings settings, Shape shape)
{
    const std::vector<uint8_t>& stream = streamOf(shape);
    int32_t bits = 0;
    for (auto _ : state) bits = referenceParse(stream, settings, false).cost[0];
    state.counters["bits"] = bits;
    state.SetItemsProcessed(state.iterations() * positions);
}

}  // namespace

int main(int argc, char** argv)
{
    for (const LzssSettings& settings : benchSettings) {
        for (Shape shape : stream_shapes::allShapes) {
            const std::string name = settingName(settings) + "/" + stream_shapes::name(shape);
            benchmark::RegisterBenchmark(("fast/" + name).c_str(), fast, settings, shape, std::nullopt)
                ->Unit(benchmark::kMillisecond);
        }
    }
    // A looping song's parse, the loop starting a quarter of the way in.
    for (const LzssSettings& settings : benchSettings) {
        for (Shape shape : {Shape::SongLike, Shape::RandomOf4}) {
            const std::string name = settingName(settings) + "/" + stream_shapes::name(shape);
            benchmark::RegisterBenchmark(("looping/" + name).c_str(), fast, settings, shape,
                                         std::optional<int32_t>(positions / 4))
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (Shape shape : {Shape::Constant, Shape::Periodic}) {
        benchmark::RegisterBenchmark((std::string("reference/8/8/1/") + stream_shapes::name(shape)).c_str(), reference,
                                     LzssSettings{8, 8, 1}, shape)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// SAP tunes played on the 6502 emulator, from ../shared/sap when it is
// there (items are emulated cycles):
//
// "all tunes" plays a minute of each of the 33 tunes' default subsong;
// "Is_Bored emulation" plays the 15-minute stereo FASTPLAY 78 tune alone
// (about 640 million cycles) and "Is_Bored conversion" converts it whole,
// as `regsqueeze Is_Bored.sap --seconds 900` does.

#include "conversion/conversion.h"
#include "sap/sap_file.h"
#include "sap/sap_machine.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const std::filesystem::path sapDir = REGSQUEEZE_SOURCE_DIR "/../shared/sap";

std::vector<uint8_t> load(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int32_t framesIn(const SapFile& sap, double seconds)
{
    return static_cast<int32_t>(std::lround(seconds * cpuClock(sap) / (sap.fastplay * cyclesPerScanLine)));
}

void play(benchmark::State& state, const std::vector<std::filesystem::path>& tunes, double seconds)
{
    std::vector<std::vector<uint8_t>> files;
    for (const auto& tune : tunes) files.push_back(load(tune));
    uint64_t cycles = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < files.size(); ++i) {
            const SapFile sap = readSapFile(files[i], tunes[i].string());
            cycles += playSap(sap, {sap.defaultSong, framesIn(sap, seconds)}, tunes[i].string()).cycles;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(cycles));
}

void allTunes(benchmark::State& state)
{
    std::vector<std::filesystem::path> tunes;
    if (std::filesystem::exists(sapDir)) {
        for (const auto& entry : std::filesystem::directory_iterator(sapDir))
            if (entry.path().extension() == ".sap") tunes.push_back(entry.path());
    }
    if (tunes.empty()) return state.SkipWithError("no tunes in ../shared/sap");
    play(state, tunes, 60);
}

void isBoredEmulation(benchmark::State& state)
{
    if (!std::filesystem::exists(sapDir / "Is_Bored.sap")) return state.SkipWithError("no ../shared/sap/Is_Bored.sap");
    play(state, {sapDir / "Is_Bored.sap"}, 900);
}

void isBoredConversion(benchmark::State& state)
{
    if (!std::filesystem::exists(sapDir / "Is_Bored.sap")) return state.SkipWithError("no ../shared/sap/Is_Bored.sap");
    const std::vector<uint8_t> file = load(sapDir / "Is_Bored.sap");
    ConversionRequest request;
    request.inputName = "Is_Bored.sap";
    request.sap.seconds = 900;
    for (auto _ : state) {
        if (!convertSong(file, request).decodesBack) state.SkipWithError("does not decode");
    }
}

}  // namespace

BENCHMARK(allTunes)->Name("all tunes")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(isBoredEmulation)->Name("Is_Bored emulation")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(isBoredConversion)->Name("Is_Bored conversion")->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();

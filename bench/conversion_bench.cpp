// The whole program, run as a separate process, converting generated
// 100,000-frame songs whose nine channels all vary, one song per stream
// shape, at each benchmarked setting. Reports wall time per conversion and
// the process's peak resident memory; the songs at 200,000 frames show how
// that memory grows with the song.
//
// The program is looked up next to this benchmark's directory (build/bench/
// -> build/regsqueeze) unless REGSQUEEZE_BINARY names it.

#include "streams/register_streams.h"
#include "vgm/vgm_reader.h"
#include "lzss/lzss_settings.h"
#include "bench_settings.h"
#include "stream_shapes.h"
#include "vgm_writer.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

using stream_shapes::Shape;
namespace fs = std::filesystem;

fs::path workDirectory()
{
    static const fs::path directory = [] {
        fs::path made = fs::temp_directory_path() / ("regsqueeze-bench-" + std::to_string(getpid()));
        fs::create_directories(made);
        return made;
    }();
    return directory;
}

std::string programPath()
{
    if (const char* given = std::getenv("REGSQUEEZE_BINARY"))
        return given;
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "regsqueeze").string();
}

// Every channel of the shape; a channel that comes out constant (after the
// reader's AUDC normalisation) gets one different frame in the middle, so
// that all nine are compressed.
std::vector<vgm::Frame> songOf(Shape shape, int32_t frames)
{
    std::mt19937 random(static_cast<uint32_t>(shape) * 31 + static_cast<uint32_t>(frames));
    std::vector<vgm::Frame> song(static_cast<size_t>(frames));
    for (int r = 0; r < registersPerFrame; ++r) {
        std::vector<uint8_t> stream = stream_shapes::make(shape, random, frames, 16 + 4 * r);
        const bool audc = r == AUDC1 || r == AUDC2 || r == AUDC3 || r == AUDC4;
        if (audc)
            for (uint8_t& value : stream)
                value = normaliseAudc(value);
        if (std::all_of(stream.begin(), stream.end(), [&](uint8_t v) { return v == stream[0]; }))
            stream[frames / 2] = stream[0] == 0xA1 ? 0xA2 : 0xA1;
        for (int32_t f = 0; f < frames; ++f)
            song[f][r] = stream[f];
    }
    return song;
}

const fs::path& songFile(Shape shape, int32_t frames)
{
    static std::map<std::pair<Shape, int32_t>, fs::path> files;
    auto found = files.find({shape, frames});
    if (found == files.end()) {
        const fs::path path = workDirectory() / (std::string(stream_shapes::name(shape)) + "-" +
                                                  std::to_string(frames) + ".vgm");
        const std::vector<uint8_t> bytes = vgm::writeVgm(songOf(shape, frames));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        found = files.emplace(std::make_pair(shape, frames), path).first;
    }
    return found->second;
}

struct Run {
    int status = -1;
    double seconds = 0;
    long peakKilobytes = 0;
};

Run runProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKilobytes = usage.ru_maxrss;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

void convert(benchmark::State& state, LzssSettings settings, Shape shape, int32_t frames)
{
    const fs::path& input = songFile(shape, frames);
    const fs::path output = workDirectory() / "out.lz16";
    const std::vector<std::string> arguments = {programPath(),
                                                "-q",
                                                "-o" + std::to_string(settings.offsetBits),
                                                "-l" + std::to_string(settings.lengthBits),
                                                "-m" + std::to_string(settings.minMatchLength),
                                                input.string(),
                                                output.string()};
    long peak = 0;
    for (auto _ : state) {
        const Run run = runProgram(arguments);
        if (run.status != 0) {
            state.SkipWithError(("the program ended with status " + std::to_string(run.status)).c_str());
            break;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakKilobytes);
    }
    state.counters["peak_kB"] = static_cast<double>(peak);
    state.counters["output_bytes"] = static_cast<double>(fs::exists(output) ? fs::file_size(output) : 0);
    state.SetItemsProcessed(state.iterations() * frames);
}

void registerConversion(const LzssSettings& settings, Shape shape, int32_t frames)
{
    const std::string name = "convert/" + settingName(settings) + "/" + stream_shapes::name(shape) +
                             "/frames:" + std::to_string(frames);
    benchmark::RegisterBenchmark(name.c_str(), convert, settings, shape, frames)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

}  // namespace

int main(int argc, char** argv)
{
    for (const LzssSettings& settings : benchSettings) {
        for (Shape shape : stream_shapes::allShapes) registerConversion(settings, shape, 100'000);
    }
    // The growth from 100,000 to 200,000 frames gives the memory a frame costs.
    for (const LzssSettings& settings : {LzssSettings{8, 8, 1}, LzssSettings{8, 8, 4}, LzssSettings{12, 4, 1}}) {
        for (Shape shape : {Shape::RandomOf256, Shape::SongLike}) registerConversion(settings, shape, 200'000);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(workDirectory(), ignored);
    return 0;
}

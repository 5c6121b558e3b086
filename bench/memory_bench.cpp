// The whole program's peak resident memory per frame, for each kind of
// input: a VGM file, SAP files of TYPE B and C (a player that changes all
// nine registers every call) and of TYPE R. Each song is converted at two
// lengths in separate processes; the growth of the peak over the added
// frames is the memory a frame costs, whatever the program's fixed cost.
//
// The program is looked up next to this benchmark's directory (build/bench/
// -> build/regsqueeze) unless REGSQUEEZE_BINARY names it.

#include "sap_songs.h"
#include "songs.h"
#include "vgm_writer.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path folder = fs::temp_directory_path() / "regsqueeze-memory-bench" / std::to_string(getpid());

std::string programPath()
{
    if (const char* given = std::getenv("REGSQUEEZE_BINARY")) return given;
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "regsqueeze").string();
}

// A player whose call adds a different odd number to each of nine counters
// and writes them to AUDF1 ... AUDCTL; TYPE B calls $2001 after INIT at
// $2000, TYPE C the jumps at $2100.
std::vector<uint8_t> countersTune(char type)
{
    std::vector<uint8_t> code = {0x60};  // INIT: RTS
    for (uint8_t r = 0; r < 9; ++r)      // LDA $80+r, CLC, ADC #step, STA $80+r, STA $D200+r
        code.insert(code.end(), {0xA5, uint8_t(0x80 + r), 0x18, 0x69, uint8_t(2 * r + 3), 0x85, uint8_t(0x80 + r),
                                 0x8D, r, 0xD2});
    code.push_back(0x60);
    std::vector<uint8_t> body = sap_songs::segment(0x2000, code);
    if (type == 'B') return sap_songs::sapFile({"TYPE B", "INIT 2000", "PLAYER 2001"}, body);
    const std::vector<uint8_t> jumps = sap_songs::segment(0x2100, {0x60, 0xEA, 0xEA, 0x4C, 0x00, 0x20, 0x4C, 0x01, 0x20});
    body.insert(body.end(), jumps.begin() + 2, jumps.end());
    return sap_songs::sapFile({"TYPE C", "MUSIC 2100", "PLAYER 2100"}, body);
}

std::vector<uint8_t> inputOf(char kind, int32_t frames)
{
    std::mt19937 rng(static_cast<uint32_t>(frames));
    if (kind == 'B' || kind == 'C') return countersTune(kind);
    const std::vector<vgm::Frame> song = testing_support::makeSong(rng, frames, testing_support::SongShape::Music);
    if (kind == 'V') return vgm::writeVgm(song);
    std::vector<uint8_t> registers;
    for (const vgm::Frame& frame : song) registers.insert(registers.end(), frame.begin(), frame.begin() + 9);
    return sap_songs::sapFile({"TYPE R", ""}, registers);
}

// The peak resident kilobytes of one conversion, or -1 when it fails.
long peakKilobytes(char kind, int32_t frames)
{
    fs::path input = folder / std::to_string(frames);
    input += kind == 'V' ? ".vgm" : ".sap";
    const std::vector<uint8_t> bytes = inputOf(kind, frames);
    std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // 50 calls a second: the seconds that give the frames.
    const std::string seconds = std::to_string(frames / 50);
    std::vector<std::string> arguments{programPath(), "-q", input.string(), (folder / "out.lz16").string()};
    if (kind == 'B' || kind == 'C') arguments.insert(arguments.begin() + 2, {"--seconds", seconds});
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::freopen("/dev/null", "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

void perFrame(benchmark::State& state, char kind)
{
    constexpr int32_t shorter = 100'000, longer = 300'000;
    long small = 0, large = 0;
    for (auto _ : state) {
        small = peakKilobytes(kind, shorter);
        large = peakKilobytes(kind, longer);
        if (small < 0 || large < 0) state.SkipWithError("the conversion failed");
    }
    state.counters["peak_kB_100k_frames"] = static_cast<double>(small);
    state.counters["peak_kB_300k_frames"] = static_cast<double>(large);
    state.counters["bytes_per_frame"] = static_cast<double>(large - small) * 1024 / (longer - shorter);
}

}  // namespace

int main(int argc, char** argv)
{
    fs::create_directories(folder);
    for (const auto& [name, kind] : {std::pair{"vgm", 'V'}, {"sap_type_b", 'B'}, {"sap_type_c", 'C'}, {"sap_type_r", 'R'}})
        benchmark::RegisterBenchmark(name, perFrame, kind)->Iterations(1)->Unit(benchmark::kSecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::remove(folder.parent_path(), ignored);
    return 0;
}

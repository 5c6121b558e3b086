#include "sap/sap_capture.h"

#include "streams/register_streams.h"
#include "sap/sap_file.h"
#include "sap/sap_machine.h"

#include <cmath>

namespace {

constexpr double defaultSeconds = 180;

[[noreturn]] void tooLong(const std::string& name)
{
    throwSapFault(name, "is too long: more than " + std::to_string(maximumFrames) + " frames");
}

std::vector<uint8_t> registerFrames(const SapFile& sap, const std::string& name, Notices& notices)
{
    const size_t frameSize = registersPerFrame * (sap.stereo ? 2 : 1);
    const size_t whole = sap.registerBytes.size() / frameSize * frameSize;
    if (whole > size_t{maximumFrames} * registersPerFrame) tooLong(name);
    if (const size_t left = sap.registerBytes.size() - whole; left > 0)
        notices.push_back({Notice::Kind::Warning,
                           formatText("ends with %zu byte%s that make%s no whole frame: left out\n", left,
                                      left == 1 ? "" : "s", left == 1 ? "s" : ""),
                           name});
    return {sap.registerBytes.begin(), sap.registerBytes.begin() + static_cast<ptrdiff_t>(whole)};
}

}  // namespace

FrameCaptures captureSapFrames(std::span<const uint8_t> file, const SapChoices& choices,
                                      const std::string& name, Notices& notices)
{
    const SapFile sap = readSapFile(file, name);
    const int song = choices.song.value_or(sap.defaultSong);
    if (song < 0 || song >= sap.songs)
        throwSapFault(name, formatText("has no subsong %d: it has ", song) +
                                (sap.songs == 1 ? std::string("only subsong 0")
                                                : formatText("%d, numbered 0 to %d", sap.songs, sap.songs - 1)));
    const int32_t chips = sap.stereo ? 2 : 1;
    if (sap.type == SapType::R) return {registerFrames(sap, name, notices), chips, -1, {}};

    double seconds = choices.seconds.value_or(
        choices.forLoopSearch ? loopSearchSeconds : sap.seconds[song].value_or(defaultSeconds));
    if (!choices.seconds && !choices.forLoopSearch && !sap.seconds[song])
        notices.push_back({Notice::Kind::Warning,
                           formatText("gives no TIME for subsong %d: playing %g seconds\n", song, defaultSeconds), name});
    if (choices.mostSeconds > 0) seconds = std::min(seconds, choices.mostSeconds);

    const int linesPerFrame = choices.tvFrames ? scanLinesPerTvFrame(sap) : sap.fastplay;
    const double frames = std::round(seconds * cpuClock(sap) / (linesPerFrame * cyclesPerScanLine));
    // A capture per chip counts against the limit, as in a VGM file; refused before anything runs.
    if (!(frames * (sap.stereo ? 2 : 1) <= maximumFrames)) tooLong(name);
    const SapRun run{song, static_cast<int32_t>(std::max(frames, 0.0)), choices.tvFrames, choices.callCycleLimit};
    return {playSap(sap, run, name).frameSequence, chips, -1, {}};
}

// lz16 vgm: a compressed file decoded back into a VGM file, to listen to
// what a player will play.
#include "common/notice.h"
#include "vgm/gzip_output.h"
#include "vgm/vgm_writer.h"
#include "cli/output_file.h"
#include "cli/messages.h"
#include "lz16/commands.h"
#include "lz16/song_input.h"
#include "lzss/decoder.h"
#include "lzss/output_check.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace po = boost::program_options;

namespace {

constexpr const char* about =
    "Usage: lz16 vgm --offset O --length L --min M [OPTION]... IN.lz16 OUT.vgm\n"
    "Decodes IN.lz16 as a player built for the given settings and format would, and\n"
    "writes its frames as OUT.vgm, a VGM 1.71 file for one POKEY chip: the first frame\n"
    "sets all nine registers, every later frame the registers that changed, and a\n"
    "wait of 1/HZ seconds follows each frame. With --stereo the file is for two\n"
    "chips: the frames go in pairs, chip 1's then chip 2's, one wait after each\n"
    "pair, and a song of an odd number of frames is an error. OUT is\n"
    "gzip-compressed when its name ends in .vgz. The song ends where the data runs\n"
    "out. A file that cannot be decoded with these settings is an error, and then\n"
    "no file is written. With --loop-frame N the song loops from frame N (a pair's\n"
    "first with --stereo) to its end, and the header's loop offset and loop sample\n"
    "count say so; a file that does not restart right at N, decoded as a player\n"
    "goes back there with its rings kept, is refused: make it with regsqueeze --loop.\n";

constexpr double defaultRate = 50;

bool endsWithVgz(const std::string& name)
{
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".vgz";
}

}  // namespace

void addVgmOptions(po::options_description& options)
{
    options.add_options()
        ("rate,r", po::value<double>()->value_name("HZ"), "Frames per second, from 1 to 44100 (default 50)")
        ("clock,c", po::value<long long>()->value_name("HZ"), ("POKEY clock in the VGM header (default " + std::to_string(palClockHz) + ")").c_str())
        ("loop-frame", po::value<long long>()->value_name("N"), "The song loops from frame N to its end");
}

void runVgm(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, {addFileSettingOptions, addChipOptions, addVgmOptions}, about, given)) return;
    const FileSettings settings = readFileSettings(given);
    const double rate = given.count("rate") ? given["rate"].as<double>() : defaultRate;
    if (!(rate >= 1 && rate <= 44100)) usageError("the frame rate should be from 1 to 44100 Hz");
    const long long clock = given.count("clock") ? given["clock"].as<long long>() : palClockHz;
    // Bit 30 of the header's clock marks a second chip; bit 31 is reserved.
    if (clock < 1 || clock > 0x3FFFFFFF) usageError("the POKEY clock should be from 1 to 1073741823 Hz");
    const auto [in, out] = inputAndOutput(given);
    const LoadedSong song = loadSong(in, out, settings);
    const bool stereo = given.count("stereo") != 0;
    if (stereo) requireWholePairs(song, in);

    const int32_t steps = song.frames.frameCount() / (stereo ? 2 : 1);
    if (const uint64_t samples = sampleAfterStep(steps, rate); samples > UINT32_MAX)
        failAbout(in, formatText("is too long for a VGM file: %d %s at %g a second last %llu samples, and the header "
                                 "counts at most %u",
                                 steps, stereo ? "pairs of frames" : "frames", rate,
                                 static_cast<unsigned long long>(samples), UINT32_MAX));
    int32_t loopStep = -1;
    if (given.count("loop-frame")) {
        const long long frame = given["loop-frame"].as<long long>();
        const int32_t frames = song.frames.frameCount();
        if (frame < 0 || frame >= frames)
            failAbout(in, formatText("has %d frames: --loop-frame %lld lies outside the song", frames, frame));
        if (stereo && frame % 2 != 0)
            failAbout(in, formatText("is for two chips, whose frames come in pairs: --loop-frame %lld is not the first "
                                     "frame of a pair", frame));
        const auto loopFrame = static_cast<int32_t>(frame);
        const std::optional<LoopRestart> restart =
            findLoopRestart(song.file, settings.lzss, settings.format, loopFrame);
        if (!restart || !loopsToSong(song.file, song.frames, settings.lzss, settings.format, *restart))
            failAbout(in, formatText("does not restart right at frame %d: the frames after the restart differ. "
                                     "Convert the song with regsqueeze --loop-frame %d (or --loop)", loopFrame, loopFrame));
        loopStep = loopFrame / (stereo ? 2 : 1);
    }
    std::vector<uint8_t> vgm = songToVgm(song.frames, static_cast<uint32_t>(clock), rate, stereo ? 2 : 1, loopStep);
    if (endsWithVgz(out)) vgm = gzipBytes(vgm);
    OutputFile(out).writeAndClose(vgm);
}

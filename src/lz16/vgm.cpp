// lz16 vgm: a compressed file decoded back into a VGM file, to listen to
// what a player will play.
#include "common/notice.h"
#include "vgm/gzip_output.h"
#include "vgm/vgm_writer.h"
#include "cli/output_file.h"
#include "cli/messages.h"
#include "lz16/commands.h"
#include "lz16/song_input.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace po = boost::program_options;

namespace {

constexpr const char* about =
    "Usage: lz16 vgm [OPTION]... IN OUT.vgm\n"
    "Writes the frames of IN as OUT.vgm, a VGM 1.71 file for one POKEY chip: the\n"
    "first frame sets all nine registers, every later frame the registers that\n"
    "changed, and a wait of 1/HZ seconds follows each frame. IN is a .lz16 file,\n"
    "decoded as a player built for the settings given (--offset, --length, --min)\n"
    "would, or a song (VGM, VGZ or SAP), converted as regsqueeze would with the\n"
    "settings and options given. With --stereo, or a song for two chips, the file\n"
    "is for two chips: the frames go in pairs, chip 1's then chip 2's, one wait\n"
    "after each pair, and a song of an odd number of frames is an error. OUT is\n"
    "gzip-compressed when its name ends in .vgz. The song ends where the data runs\n"
    "out. A file that cannot be decoded with these settings is an error, and then\n"
    "no file is written. A looping song (a song with --loop, or --loop-frame N)\n"
    "loops from its loop start, and the header's loop offset and loop sample count\n"
    "say so; a .lz16 file that does not restart right at N, decoded as a player\n"
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
        ("rate,r", po::value<double>()->value_name("HZ"), "Frames per second, from 1 to 44100 (default 50, or a SAP tune's own)")
        ("clock,c", po::value<long long>()->value_name("HZ"), ("POKEY clock in the VGM header (default " + std::to_string(palClockHz) + ")").c_str());
}

void runVgm(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, {addFileSettingOptions, addSongOptions, addChipOptions, addVgmOptions, addLoopOptions},
                          about,
                          given))
        return;
    const std::optional<double> givenRate =
        given.count("rate") ? std::optional(given["rate"].as<double>()) : std::nullopt;
    if (givenRate && !(*givenRate >= 1 && *givenRate <= 44100)) usageError("the frame rate should be from 1 to 44100 Hz");
    const long long clock = given.count("clock") ? given["clock"].as<long long>() : palClockHz;
    // Bit 30 of the header's clock marks a second chip; bit 31 is reserved.
    if (clock < 1 || clock > 0x3FFFFFFF) usageError("the POKEY clock should be from 1 to 1073741823 Hz");
    const auto [in, out] = inputAndOutput(given);
    const LoadedSong song = loadSong(in, out, given);
    const bool stereo = playsOnTwoChips(song, in, given);
    // A SAP tune's frames come at its own rate.
    const double rate = givenRate ? *givenRate
                        : song.sap ? (song.sap->ntsc ? ntscClock : palClock) / (song.sap->scanLines * cyclesPerScanLine)
                                   : defaultRate;

    const int32_t steps = song.frames.frameCount() / (stereo ? 2 : 1);
    if (const uint64_t samples = sampleAfterStep(steps, rate); samples > UINT32_MAX)
        failAbout(in, formatText("is too long for a VGM file: %d %s at %g a second last %llu samples, and the header "
                                 "counts at most %u",
                                 steps, stereo ? "pairs of frames" : "frames", rate,
                                 static_cast<unsigned long long>(samples), UINT32_MAX));
    const std::optional<int32_t> loopFrame = loopFrameOf(song, in, stereo);
    const int32_t loopStep = loopFrame ? *loopFrame / (stereo ? 2 : 1) : -1;
    std::vector<uint8_t> vgm = songToVgm(song.frames, static_cast<uint32_t>(clock), rate, stereo ? 2 : 1, loopStep);
    if (endsWithVgz(out)) vgm = gzipBytes(vgm);
    OutputFile(out).writeAndClose(vgm);
}

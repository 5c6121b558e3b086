// lz16 vgm: a compressed file decoded back into a VGM file, to listen to
// what a player will play.
#include "capture/gzip_output.h"
#include "capture/vgm_reader.h"
#include "capture/vgm_writer.h"
#include "cli/input_file.h"
#include "cli/output_file.h"
#include "cli/usage_error.h"
#include "lz16/commands.h"
#include "lzss/decoder.h"
#include "lzss/file_format.h"

#include <cctype>
#include <cstdio>
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
    "no file is written.\n";

constexpr double defaultRate = 50;
constexpr long long defaultClock = 1773447;

bool endsWithVgz(const std::string& name)
{
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".vgz";
}

LzssSettings readSettings(const po::variables_map& given)
{
    if (!given.count("offset") || !given.count("length") || !given.count("min"))
        usageError("the file's settings are needed: --offset, --length and --min");
    const LzssSettings settings{given["offset"].as<int>(), given["length"].as<int>(), given["min"].as<int>()};
    if (const char* fault = settingsFault(settings, "offset and length bits should add up to at most 16"))
        usageError(fault);
    return settings;
}

}  // namespace

void addVgmOptions(po::options_description& options)
{
    options.add_options()
        ("offset,o", po::value<int>()->value_name("O"), "Match offset bits the file was written with")
        ("length,l", po::value<int>()->value_name("L"), "Match length bits the file was written with")
        ("min,m", po::value<int>()->value_name("M"), "Minimum match length the file was written with")
        ("old,x", "The file is in the old format (regsqueeze -x)")
        ("stereo", "The song is for two POKEY chips: its frames alternate chip 1's and chip 2's")
        ("rate,r", po::value<double>()->value_name("HZ"), "Frames per second, from 1 to 44100 (default 50)")
        ("clock,c", po::value<long long>()->value_name("HZ"), "POKEY clock in the VGM header (default 1773447)");
}

void runVgm(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, addVgmOptions, about, given)) return;
    const LzssSettings settings = readSettings(given);
    FormatChoices format;
    format.oldFormat = given.count("old") != 0;
    const double rate = given.count("rate") ? given["rate"].as<double>() : defaultRate;
    if (!(rate >= 1 && rate <= 44100)) usageError("the frame rate should be from 1 to 44100 Hz");
    const long long clock = given.count("clock") ? given["clock"].as<long long>() : defaultClock;
    // Bit 30 of the header's clock marks a second chip; bit 31 is reserved.
    if (clock < 1 || clock > 0x3FFFFFFF) usageError("the POKEY clock should be from 1 to 1073741823 Hz");
    const auto files =
        given.count("files") ? given["files"].as<std::vector<std::string>>() : std::vector<std::string>{};
    if (files.size() != 2) usageError("one input file and one output file expected");
    const std::string& in = files[0];
    const std::string& out = files[1];

    const std::vector<uint8_t> input = loadInputFile(in);
    refuseOutputOverInput(in, out);
    // One frame more than a song may have shows a file that would go on.
    const DecodedSong decoded = decodeCompressedFile(input, settings, format, maximumFrames + 1);
    const std::string with = " with offset " + std::to_string(settings.offsetBits) + ", length " +
                             std::to_string(settings.lengthBits) + ", min " + std::to_string(settings.minMatchLength) +
                             (format.oldFormat ? ", old format" : "");
    if (!decoded.error.empty()) fail("'" + in + "' does not decode" + with + ": " + decoded.error + "\n");
    const int32_t frames = decoded.streams.frameCount();
    if (frames == 0) fail("'" + in + "' holds no whole frame" + with + "\n");
    if (frames > maximumFrames)
        fail("'" + in + "' decodes" + with + " to more than " + std::to_string(maximumFrames) + " frames\n");
    const int chips = given.count("stereo") ? 2 : 1;
    if (frames % chips != 0)
        fail("'" + in + "' decodes" + with + " to " + std::to_string(frames) +
             " frames, an odd number: a song for two chips holds whole pairs\n");
    if (decoded.unreadBytes > 0)
        std::fprintf(stderr, "%s: warning: the last %lld byte%s of '%s' make%s no whole frame%s\n",
                     invocationName.c_str(), static_cast<long long>(decoded.unreadBytes),
                     decoded.unreadBytes == 1 ? "" : "s", in.c_str(), decoded.unreadBytes == 1 ? "s" : "",
                     with.c_str());

    std::vector<uint8_t> vgm = songToVgm(decoded.streams, static_cast<uint32_t>(clock), rate, chips);
    if (endsWithVgz(out)) vgm = gzipBytes(vgm);
    OutputFile(out).writeAndClose(vgm);
}

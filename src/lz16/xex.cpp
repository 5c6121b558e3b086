// lz16 xex: a compressed file made into an Atari executable that plays it.
#include "atari/atari_binary.h"
#include "cli/output_file.h"
#include "lz16/commands.h"
#include "lz16/player_build.h"
#include "lz16/song_input.h"

#include <vector>

namespace po = boost::program_options;

namespace {

constexpr const char* about =
    "Usage: lz16 xex --offset O --length L --min M [OPTION]... IN.lz16 OUT.xex\n"
    "Writes OUT.xex, an Atari 8-bit executable that plays IN.lz16 with the 6502\n"
    "player built for the given settings, from the vertical-blank interrupt, and\n"
    "starts the song over at its end. The player is built with ca65 and ld65 from\n"
    "the cc65 package. A file that cannot be decoded with these settings, or that\n"
    "does not fit in memory, is an error, and then no file is written.\n";

// From the usual start of a program loaded from DOS up to the display list of
// the screen the system sets up (RAMTOP at $C000, no BASIC).
constexpr MemoryRange xexMemory[] = {{0x2E00, 0xBC20}};

}  // namespace

void runXex(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, {addFileSettingOptions, addChipOptions}, about, given)) return;
    const FileSettings settings = readFileSettings(given);
    const bool stereo = given.count("stereo") != 0;
    const auto [in, out] = inputAndOutput(given);
    const LoadedSong song = loadSong(in, out, settings);
    if (stereo) requireWholePairs(song, in);

    PlayerProgram program = buildPlayer({settings, stereo, "atari/example.s", 0xD200, 0xD210, xexMemory}, song, in);
    program.segments.push_back(vectorSegment(runAddressVector, static_cast<uint16_t>(program.symbols.at("start"))));
    OutputFile(out).writeAndClose(atariBinary(program.segments));
}

// lz16 xex: a compressed file made into an Atari executable that plays it.
#include "atari/atari_binary.h"
#include "cli/messages.h"
#include "cli/output_file.h"
#include "common/timing.h"
#include "lz16/commands.h"
#include "lz16/player_build.h"
#include "lz16/song_input.h"

#include <optional>
#include <vector>

namespace po = boost::program_options;

namespace {

constexpr const char* about =
    "Usage: lz16 xex [OPTION]... IN OUT.xex\n"
    "Writes OUT.xex, an Atari 8-bit executable that plays IN with the 6502 player\n"
    "built for the settings, a frame every vertical blank, and starts a song without\n"
    "a loop over at its end. IN is a .lz16 file, made with the settings given\n"
    "(--offset, --length, --min), or a song (VGM, VGZ or SAP), converted as\n"
    "regsqueeze would with the settings and options given. For a looping song (a\n"
    "song with --loop, or --loop-frame N) the player is built for its restart, with\n"
    "LZ_LOOP=1 and the song's loop record; a .lz16 file that does not restart right\n"
    "at N is refused: make it with regsqueeze --loop. The player is built with ca65\n"
    "and ld65 from the cc65 package. A file that cannot be decoded with these\n"
    "settings, or that does not fit in memory, is an error, and then no file is\n"
    "written.\n";

// From the usual start of a program loaded from DOS up to the display list of
// the screen the system sets up (RAMTOP at $C000, no BASIC).
constexpr MemoryRange xexMemory[] = {{0x2E00, 0xBC20}};

}  // namespace

void runXex(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, {addFileSettingOptions, addSongOptions, addChipOptions, addLoopOptions}, about,
                          given))
        return;
    const auto [in, out] = inputAndOutput(given);
    const LoadedSong song = loadSong(in, out, given);
    const bool stereo = playsOnTwoChips(song, in, given);
    const std::optional<LoopRecord> loop = loopRecordOf(song, in, stereo);
    if (song.sap && song.sap->scanLines != (song.sap->ntsc ? ntscScanLines : palScanLines))
        warnAbout(in, formatText("plays a frame every %d scan lines, and the program plays one a TV frame: "
                                 "convert it with --tv-frames to keep its tempo",
                                 song.sap->scanLines));
    const FileSettings& settings = song.settings;

    PlayerProgram program = buildPlayer(
        {settings, stereo, "atari/example.s", 0xD200, 0xD210, xexMemory, loop ? &*loop : nullptr}, song, in);
    program.segments.push_back(vectorSegment(runAddressVector, static_cast<uint16_t>(program.symbols.at("start"))));
    OutputFile(out).writeAndClose(atariBinary(program.segments));
}

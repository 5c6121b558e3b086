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
    "built for the settings, a frame every vertical blank, and starts the song over\n"
    "at its end. IN is a .lz16 file, made with the settings given (--offset,\n"
    "--length, --min), or a song (VGM, VGZ or SAP), converted as regsqueeze would\n"
    "with the settings and options given. A looping song (a song with --loop, or\n"
    "--loop-frame N) plays its loop again and again through the player's restart,\n"
    "which the player is built with; a .lz16 file that does not restart right at N\n"
    "is refused: make it with regsqueeze --loop. The player is built with ca65 and\n"
    "ld65 from the cc65 package. A file that cannot be decoded with these settings,\n"
    "or that does not fit in memory, is an error, and then no file is written.\n";

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

// lz16 sap: a compressed file made into a SAP file, the player built in, to
// hear in any SAP player exactly what the 6502 player plays.
#include "atari/sap_writer.h"
#include "common/notice.h"
#include "cli/output_file.h"
#include "cli/messages.h"
#include "lz16/commands.h"
#include "lz16/player_build.h"
#include "lz16/song_input.h"

#include <optional>
#include <string>
#include <vector>

namespace po = boost::program_options;

namespace {

constexpr const char* about =
    "Usage: lz16 sap [OPTION]... IN OUT.sap\n"
    "Writes OUT.sap, a SAP file (type B) whose INIT and PLAYER routines are the\n"
    "6502 player built for the settings, with IN in it. IN is a .lz16 file, made\n"
    "with the settings given (--offset, --length, --min), or a song (VGM, VGZ or\n"
    "SAP), converted as regsqueeze would with the settings and options given; a\n"
    "SAP tune keeps its FASTPLAY, NTSC, NAME and AUTHOR unless options say\n"
    "otherwise. Each PLAYER call writes the registers of the frame decoded on the\n"
    "call before, then decodes the next; at the end a song without a loop starts\n"
    "over. TIME gives the song's length. For a looping song (a song with --loop,\n"
    "or --loop-frame N) the player is built for its restart, with LZ_LOOP=1 and\n"
    "the song's loop record, and TIME, the length of one pass, is marked LOOP; a\n"
    ".lz16 file that does not restart right at N is refused: make it with\n"
    "regsqueeze --loop. With --registers, writes the decoded frames instead (type\n"
    "R), one pass, and builds no player. The player is built with ca65 and ld65\n"
    "from the cc65 package. A file that cannot be decoded with these settings, or\n"
    "that does not fit in memory, is an error, and then no file is written.\n";

// The player writes the registers to a shadow in page 2; the code follows it
// from $0220. Everything else is RAM but the chips' $D000-$D7FF.
constexpr uint16_t shadow = 0x0200;

// The most cycles a PLAYER call takes, for one chip and for two (a pair of
// frames): a bound on the player's worst call over the settings, as
// scripts/simulate-player measures it ("worst:"), and the wrapper around
// it: the JSR to PLAYER, the copy of the shadow to the chips, the branch (a
// page crossed) and the RTS, 88 cycles, 160 for two chips. The bound, 2,865
// cycles (5,695 for two chips), is an earlier player's worst at 7/9/16
// (7/9/1), where its match codes took the most shifts. The player now
// shifts less there (1,769 at 7/9/16); the costliest calls found since,
// where copies pass their ring slot and two-byte codes shift, are lower:
// 2,235 at 2/9/2, and for two chips, where both frames of a pair can start
// nine matches, 4,438 at 2/10/1.
// FASTPLAY must give a call at least as many scan lines. The call that starts
// a song without a loop over takes longer and may run late. Built for a
// looping song, the player counts its last calls in the end mode, which
// makes a call up to loopCountCycles dearer (its restart call costs less
// than the worst). Measure again whenever the player changes.
constexpr int worstCallCycles[2] = {2865 + 88, 5695 + 160};
constexpr int loopCountCycles = 49;

int mostCycles(bool stereo, bool looping) { return worstCallCycles[stereo] + (looping ? loopCountCycles : 0); }

int fewestLines(bool stereo, bool looping = false)
{
    return (mostCycles(stereo, looping) + cyclesPerScanLine - 1) / cyclesPerScanLine;
}
constexpr MemoryRange sapMemory[] = {{0x0220, 0xD000}, {0xD800, 0x10000}};

// SAP text may hold neither a double quote nor a line break.
std::string tagText(const po::variables_map& given, const char* name)
{
    if (!given.count(name)) return "";
    const std::string text = given[name].as<std::string>();
    for (unsigned char c : text) {
        if (c == '"' || c < 0x20 || c == 0x7F)
            usageError((std::string("the ") + name + " may hold no double quote or control character").c_str());
    }
    return text;
}

// FASTPLAY must leave a call time enough for the player's worst.
bool fastplayFits(const SapHeader& header)
{
    return header.fastplay >= fewestLines(header.stereo, header.loop) && header.fastplay <= palScanLines;
}

std::string playerNeeds(bool stereo, bool looping)
{
    return formatText("a PLAYER call%s takes up to %d cycles, %d scan lines", stereo ? " for two chips" : "",
                      mostCycles(stereo, looping), fewestLines(stereo, looping));
}

}  // namespace

void addChipOptions(po::options_description& options)
{
    options.add_options()
        ("stereo", "The song is for two POKEY chips (at $D200 and $D210): its frames "
                   "alternate chip 1's and chip 2's, and they are played a pair at a time");
}

void addSapOptions(po::options_description& options)
{
    options.add_options()
        ("fastplay", po::value<int>()->value_name("N"),
         formatText("Scan lines from one PLAYER call to the next, %d (%d with --stereo) to 312 (default 312, "
                    "a PAL frame)", fewestLines(false), fewestLines(true)).c_str())
        ("ntsc", "For an NTSC machine: 262 lines a frame (not with --fastplay)")
        ("name", po::value<std::string>()->value_name("T"), "The song's name")
        ("author", po::value<std::string>()->value_name("A"), "The song's author")
        ("registers", "Writes the decoded registers (type R) instead of a player");
}

void runSap(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv,
                          {addFileSettingOptions, addSongOptions, addChipOptions, addSapOptions, addLoopOptions}, about,
                          given))
        return;
    if (given.count("fastplay") && given.count("ntsc")) usageError("give --fastplay or --ntsc, not both");
    SapHeader header;
    // Checked before the file is read, and again when the song is for two chips.
    const auto checkFastplay = [&] {
        if (given.count("fastplay") && !fastplayFits(header))
            usageError(formatText("--fastplay should be from %d to 312: %s", fewestLines(header.stereo, header.loop),
                                  playerNeeds(header.stereo, header.loop).c_str())
                           .c_str());
    };
    header.fastplay = given.count("fastplay") ? given["fastplay"].as<int>() : 0;
    header.stereo = given.count("stereo") != 0;
    checkFastplay();
    const std::string author = tagText(given, "author"), name = tagText(given, "name");
    const auto [in, out] = inputAndOutput(given);
    const LoadedSong song = loadSong(in, out, given);
    const FileSettings& settings = song.settings;
    header.stereo = playsOnTwoChips(song, in, given);
    header.loop = song.loopFrame.has_value() && !given.count("registers");
    checkFastplay();
    header.author = given.count("author") || !song.sap ? author : song.sap->author;
    header.name = given.count("name") || !song.sap ? name : song.sap->name;
    header.ntsc = given.count("ntsc") != 0;
    if (song.sap && !given.count("fastplay") && !given.count("ntsc")) {
        header.ntsc = song.sap->ntsc;
        if (song.sap->scanLines != header.lines()) {
            header.fastplay = song.sap->scanLines;
            if (!fastplayFits(header) && !given.count("registers"))
                failAbout(in, formatText("plays a frame every %d scan lines, and %s: convert it with --tv-frames, "
                                         "or give --fastplay",
                                         header.fastplay, playerNeeds(header.stereo, header.loop).c_str()));
        }
    }
    header.calls = song.frames.frameCount() / (header.stereo ? 2 : 1);
    // A register dump is one pass; a file given a loop must restart there all the same.
    std::optional<LoopRecord> loop;
    if (given.count("registers")) loopFrameOf(song, in, header.stereo);
    else loop = loopRecordOf(song, in, header.stereo);

    std::vector<uint8_t> body;
    if (given.count("registers")) {
        header.type = 'R';
        body = sapRegisterFrames(song.frames);
    } else {
        const PlayerProgram program = buildPlayer(
            {settings, header.stereo, "sap/sap_player.s", shadow, shadow + 0x10, sapMemory, loop ? &*loop : nullptr},
            song, in);
        header.init = static_cast<uint16_t>(program.symbols.at("init"));
        header.player = static_cast<uint16_t>(program.symbols.at("play"));
        body = atariBinary(program.segments);
    }
    if (const SapTime time = sapTime(header.calls, header.lines(), header.ntsc); !time.exact)
        warnAbout(in, formatText("plays %lld PLAYER calls at FASTPLAY %d, which no TIME in milliseconds gives "
                                 "exactly: TIME %s is the nearest",
                                 static_cast<long long>(header.calls), header.lines(), time.text.c_str()));
    const std::string text = sapHeaderText(header);
    std::vector<uint8_t> file(text.begin(), text.end());
    file.insert(file.end(), body.begin(), body.end());
    OutputFile(out).writeAndClose(file);
}

#pragma once

#include "atari/loop_record.h"
#include "streams/register_streams.h"
#include "lzss/file_format.h"

#include <boost/program_options.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The settings a .lz16 file was written with, which the commands that
// decode one are given: -o, -l, -m and -x.
struct FileSettings {
    LzssSettings lzss;
    FormatChoices format;

    // " with offset O, length L, min M[, old format]", for messages.
    std::string described() const;
};

// -o, -l, -m and -x: the settings of a .lz16 file, or those to convert a
// song with.
void addFileSettingOptions(boost::program_options::options_description& options);

// What a song (not a .lz16 file) is converted with: -t and the SAP choices.
void addSongOptions(boost::program_options::options_description& options);

// --loop (a song) and --loop-frame N (a song, or a .lz16 file made to restart there).
void addLoopOptions(boost::program_options::options_description& options);

// The "files" arguments, which must be one input and one output.
std::pair<std::string, std::string> inputAndOutput(const boost::program_options::variables_map& given);

// What a SAP file tells about its music, for the commands that play it.
struct SapFacts {
    int scanLines = 0;  // from one frame to the next, as captured
    bool ntsc = false;
    std::string name, author;
};

struct LoadedSong {
    std::vector<uint8_t> file;  // the .lz16 file, as given or as converted from the song
    RegisterStreamSet frames;   // what it decodes to
    FileSettings settings;
    bool converted = false;     // the input was a song, converted in memory
    int32_t chips = 1;          // of a converted song; a .lz16 file does not say
    std::optional<SapFacts> sap;
    std::optional<int32_t> loopFrame;  // where a looping song starts again: the conversion's, or --loop-frame's
};

// Loads the file named in, refusing an output that is the input. A VGM,
// gzip or SAP file (told by its first bytes) is converted as regsqueeze
// would with the options given, its notices printed; anything else is read
// as a .lz16 file made with the settings given, all three of which are then
// needed, and decoded as a player built for them would. Ends the run with a
// message naming the file when it does not decode, holds no whole frame,
// decodes to more than a song may have or was made with other settings;
// warns about a file that fits no setting and about bytes left over. quiet
// leaves out the notices of a conversion (a song converted a second time).
LoadedSong loadSong(const std::string& in, const std::string& out, const boost::program_options::variables_map& given,
                    bool quiet = false);

// Whether to play the song on two chips: a converted song says so itself
// (--stereo on a song for one chip ends the run); for a .lz16 file, --stereo.
// A song for two chips, whose frames alternate chip 1 and chip 2, must then
// have an even number of frames, or the run ends naming the file.
bool playsOnTwoChips(const LoadedSong& song, const std::string& in, const boost::program_options::variables_map& given);

// The song's loop start, if it loops. A .lz16 file given --loop-frame N must
// restart right there: N within the song (the first frame of a pair for two
// chips), and decoded as a player goes back to N with its rings kept, every
// pass the same frames; else the run ends naming the file.
std::optional<int32_t> loopFrameOf(const LoadedSong& song, const std::string& in, bool stereo);

// The loop record that the player restarts the song from, when it loops
// (checked as loopFrameOf checks it); the run ends naming the file when the
// record cannot be made.
std::optional<LoopRecord> loopRecordOf(const LoadedSong& song, const std::string& in, bool stereo);

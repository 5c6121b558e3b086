#pragma once

#include "streams/register_streams.h"
#include "lzss/file_format.h"

#include <boost/program_options.hpp>

#include <cstdint>
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

void addFileSettingOptions(boost::program_options::options_description& options);

// Ends the run with a usage error unless all three widths are given and accepted.
FileSettings readFileSettings(const boost::program_options::variables_map& given);

// The "files" arguments, which must be one input and one output.
std::pair<std::string, std::string> inputAndOutput(const boost::program_options::variables_map& given);

struct LoadedSong {
    std::vector<uint8_t> file;  // the .lz16 file as it is
    RegisterStreamSet frames;   // what it decodes to
};

// Loads the file named in and decodes it as a player built for the settings
// would, refusing an output that is the input. Ends the run with a message
// naming the file when it does not decode, holds no whole frame or decodes to
// more than a song may have; warns about bytes left over after the last frame.
LoadedSong loadSong(const std::string& in, const std::string& out, const FileSettings& settings);

// Ends the run naming the file when a song for two chips, whose frames
// alternate chip 1 and chip 2, has an odd number of frames.
void requireWholePairs(const LoadedSong& song, const std::string& in);

#include "cli/options.h"

#include "cli/input_file.h"
#include "cli/sap_options.h"
#include "cli/messages.h"
#include "streams/register_streams.h"

#include <boost/program_options.hpp>

#include <iostream>
#include <string>
#include <vector>

namespace po = boost::program_options;

namespace {

// Where the code widths came from.
enum GivenMask : int { offsetGiven = 1, lengthGiven = 2, totalGiven = 4, presetGiven = 8 };

// The help shows the values the settings hold when the options are declared.
std::string withDefault(std::string text, int value)
{
    text.replace(text.find("{}"), 2, std::to_string(value));
    return text;
}

// Fills in the width that was not given and checks every bound; the order of
// the checks decides which message a doubly wrong command line gets.
void deriveAndValidate(int givenMask, int totalBits, LzssSettings& settings)
{
    if (totalBits < minCodeBits || totalBits > maxCodeBits) usageError("total match bits should be from 8 to 16");
    switch (givenMask) {
    case 0:
    case offsetGiven:
    case totalGiven:
    case offsetGiven | totalGiven:
        settings.lengthBits = totalBits - settings.offsetBits;
        break;
    case lengthGiven:
    case lengthGiven | totalGiven:
        settings.offsetBits = totalBits - settings.lengthBits;
        break;
    case offsetGiven | lengthGiven:
    case presetGiven:
        break;
    default:
        usageError("only two of OFFSET, LENGTH and TOTAL bits should be given");
    }
    if (const char* fault = settingsFault(settings, "total match bits should be from 8 to 16")) usageError(fault);
}

void takeFileNames(const std::vector<std::string>& files, RunOptions& options)
{
    if (files.empty()) usageError("regsqueeze requires atleast one input file");
    if (files.size() > 2) usageError("too many arguments: one input file and one output file expected");
    options.inputPath = files[0];
    if (files.size() == 2) {
        options.outputPath = files[1];
    } else {
        if (isStandardInput(options.inputPath))
            usageError("an output file name is needed when the input is standard input");
        options.outputPath = options.inputPath;
        options.outputPath.replace_extension(".lz16");
    }
}

}  // namespace

LzssSettings settingsFromWidths(std::optional<int> offset, std::optional<int> length, std::optional<int> minimum)
{
    LzssSettings settings = defaultSettings;
    settings.offsetBits = offset.value_or(settings.offsetBits);
    settings.lengthBits = length.value_or(settings.lengthBits);
    settings.minMatchLength = minimum.value_or(settings.minMatchLength);
    deriveAndValidate((offset ? offsetGiven : 0) | (length ? lengthGiven : 0), defaultSettings.codeBits(), settings);
    return settings;
}

bool readCommandLine(int argc, char** argv, LzssSettings& settings, RunOptions& options)
{
    invocationName = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    int totalBits = settings.offsetBits + settings.lengthBits;

    po::options_description description("Allowed options");
    description.add_options()
        ("help,h", "Shows this help")
        ("quiet,q", "Don't show per stream compression")
        ("verbose,v", "Shows match length/offset statistics")
        ("offset,o", po::value<int>(&settings.offsetBits),
         withDefault("Sets match offset bits (default = {})", settings.offsetBits).c_str())
        ("length,l", po::value<int>(&settings.lengthBits),
         withDefault("Sets match length bits (default = {})", settings.lengthBits).c_str())
        ("min,m", po::value<int>(&settings.minMatchLength),
         withDefault("Sets minimum match length (default = {})", settings.minMatchLength).c_str())
        ("bits,b", po::value<int>(&totalBits),
         withDefault("Sets match total bits (=offset+length) (default = {})", totalBits).c_str())
        ("eight,8", "Sets default 8 bit match size")
        ("twelve,2", "Sets default 12 bit match size")
        ("sixteen,6", "Sets default 16 bit match size")
        ("end,e", "Don't force a literal at end of stream")
        ("old,x", "Old format with initial data only for skipped channels")
        ("trim,t", "Tries to trim SAP-R file before compressing")
        ("loop", "Makes a looping song: after its end it plays again from its loop start; writes the "
                 "settings and the loop for the 6502 player beside the output, as NAME.inc")
        ("loop-frame", po::value<int64_t>(), "Sets the frame the loop starts at (implies --loop)");
    addSapInputOptions(description);
    description.add_options()("files", po::value<std::vector<std::string>>(), "optional input/output files");
    po::positional_options_description positional;
    positional.add("files", 2);

    po::variables_map given;
    po::store(po::command_line_parser(argc, argv).options(description).positional(positional).run(), given);
    po::notify(given);

    if (given.count("help")) {
        std::cout << description << "\n";
        return false;
    }

    options.verbosity = given.count("verbose") ? 2 : given.count("quiet") ? 0 : 1;
    int givenMask = (given.count("offset") ? offsetGiven : 0) | (given.count("length") ? lengthGiven : 0) |
                    (given.count("bits") ? totalGiven : 0);
    for (const Preset& preset : presets) {
        if (!given.count(preset.name)) continue;
        settings.offsetBits = preset.settings.offsetBits;
        settings.lengthBits = preset.settings.lengthBits;
        if (preset.setsMinimum) settings.minMatchLength = preset.settings.minMatchLength;
        totalBits = preset.settings.codeBits();
        givenMask |= presetGiven;
    }
    options.format.forceEndLiteral = !given.count("end");
    options.format.oldFormat = given.count("old") != 0;
    options.trim = given.count("trim") != 0;
    if (given.count("loop-frame")) {
        const int64_t frame = given["loop-frame"].as<int64_t>();
        if (frame < 0 || frame >= maximumFrames) usageError("the loop frame should be a frame of the song, from 0");
        options.loopFrame = static_cast<int32_t>(frame);
    }
    options.loop = given.count("loop") != 0 || options.loopFrame.has_value();
    if (options.loop && !options.format.forceEndLiteral)
        usageError("--loop and --loop-frame cannot be combined with -e: a file whose streams may end early cannot "
                   "restart");
    options.sap = readSapChoices(given);

    deriveAndValidate(givenMask, totalBits, settings);
    takeFileNames(given.count("files") ? given["files"].as<std::vector<std::string>>() : std::vector<std::string>{},
                  options);
    return true;
}

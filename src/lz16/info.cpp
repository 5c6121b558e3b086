// lz16 info: the settings a compressed file was made with, as far as the
// file can tell, since it records none of them.
#include "cli/input_file.h"
#include "cli/messages.h"
#include "lz16/commands.h"
#include "lzss/decoder.h"
#include "lzss/setting_fit.h"

#include <cstdio>
#include <string>
#include <vector>

namespace po = boost::program_options;

namespace {

constexpr const char* about =
    "Usage: lz16 info FILE.lz16\n"
    "Lists the settings that FILE.lz16 fits, the likeliest first: those under\n"
    "which it decodes to its very end, and whose frames, written again by\n"
    "regsqueeze with that setting, give back the same bytes. Each line starts with\n"
    "the options that select the setting, then the frames and how long they last\n"
    "at 50 frames a second. A file that fits no setting is an error.\n";

constexpr double framesPerSecond = 50;

std::string duration(int32_t frames)
{
    const double seconds = frames / framesPerSecond;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%05.2f", static_cast<int>(seconds / 60),
                  seconds - 60 * static_cast<int>(seconds / 60));
    return text;
}

}  // namespace

void runInfo(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, {}, about, given)) return;
    const auto files =
        given.count("files") ? given["files"].as<std::vector<std::string>>() : std::vector<std::string>{};
    if (files.size() != 1) usageError("one .lz16 file expected");
    const std::vector<uint8_t> file = loadInputFile(files[0]);
    const std::vector<FileSetting> fitting = fittingSettings(file);
    if (fitting.empty()) failAbout(files[0], "fits none of the settings that regsqueeze accepts");
    for (const FileSetting& setting : fitting) {
        const int32_t frames = measureCompressedFile(file, setting.lzss, {.oldFormat = setting.oldFormat}).frames;
        std::printf("%-16s %d frames, %s\n", setting.options().c_str(), frames, duration(frames).c_str());
    }
}

// lz16: the companion of regsqueeze. "survey" measures every setting on a
// set of songs; "vgm" turns a compressed file back into a VGM file.
#include "cli/top_level_handler.h"
#include "cli/usage_error.h"
#include "lz16/commands.h"

#include <iostream>
#include <string>

namespace po = boost::program_options;

namespace {

constexpr const char* usage =
    "Usage: lz16 survey [OPTION]... SONG...\n"
    "  or:  lz16 vgm --offset O --length L --min M [OPTION]... IN.lz16 OUT.vgm\n";

po::options_description described(const char* caption, void (*addOptions)(po::options_description&))
{
    po::options_description options(caption);
    addOptions(options);
    return options;
}

void printHelp()
{
    std::cout << usage
              << "Chooses the settings of regsqueeze for a set of songs, and turns a .lz16 file\n"
                 "back into a VGM file to listen to.\n"
                 "\n"
                 "Commands:\n"
                 "  survey    Works out the exact size of the .lz16 file of every SONG (.vgm,\n"
                 "            .vgz or .sap) at every setting that regsqueeze accepts, and shows\n"
                 "            for each size of player buffer the setting with the smallest\n"
                 "            total, the three presets and the best setting. Writes no file.\n"
                 "  vgm       Decodes IN.lz16, written by regsqueeze with the given settings,\n"
                 "            and writes its frames as OUT.vgm (gzip-compressed when OUT ends\n"
                 "            in .vgz) for any VGM player that knows POKEY.\n"
                 "\n"
              << described("Survey options", addSurveyOptions) << "\n"
              << described("Vgm options", addVgmOptions) << "\n"
              << "Other options:\n"
                 "  -h [ --help ]         Shows this help; after a command, that command's help\n"
                 "  --version             Shows the version\n"
                 "\n"
                 "The exit status is 0 on success and 1 for every error.\n";
}

void runLz16(int argc, char** argv)
{
    invocationName = argc > 0 && argv[0] != nullptr ? argv[0] : "lz16";
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "-h" || command == "--help") return printHelp();
    if (command == "--version") {
        std::cout << "lz16 (regsqueeze) " << LZ16_VERSION << "\n";
        return;
    }
    if (command.empty()) usageError("a command is needed: survey or vgm");
    if (command != "survey" && command != "vgm")
        usageError(("unknown command '" + command + "': the commands are survey and vgm").c_str());
    // Messages name the command too, and so does the hint to its help.
    invocationName += " " + command;
    if (command == "survey") runSurvey(argc - 1, argv + 1);
    else runVgm(argc - 1, argv + 1);
}

}  // namespace

bool parseCommandLine(int argc, char** argv, void (*addOptions)(po::options_description&), const char* about,
                      po::variables_map& given)
{
    po::options_description options("Options");
    addOptions(options);
    options.add_options()("help,h", "Shows this help");
    po::options_description all;
    all.add(options).add_options()("files", po::value<std::vector<std::string>>());
    po::positional_options_description files;
    files.add("files", -1);
    po::store(po::command_line_parser(argc, argv).options(all).positional(files).run(), given);
    po::notify(given);
    if (!given.count("help")) return true;
    std::cout << about << "\n" << options;
    return false;
}

int main(int argc, char** argv)
{
    return runReportingErrors([&] { runLz16(argc, argv); });
}

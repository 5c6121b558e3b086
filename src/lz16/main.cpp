// lz16: the companion of regsqueeze. "survey" measures every setting on a
// set of songs; "vgm", "sap" and "xex" turn a compressed file into a VGM
// file, a SAP file and an Atari executable.
#include "cli/messages.h"
#include "lz16/commands.h"
#include "lz16/song_input.h"

#include <iostream>
#include <string>

namespace po = boost::program_options;

namespace {

constexpr const char* usage =
    "Usage: lz16 survey [OPTION]... SONG...\n"
    "  or:  lz16 vgm|sap|xex --offset O --length L --min M [OPTION]... IN.lz16 OUT\n"
    "  or:  lz16 vgm|sap|xex [OPTION]... SONG OUT\n"
    "  or:  lz16 info FILE.lz16\n"
    "  or:  lz16 pack [OPTION]... --out NAME SONG...\n";

po::options_description described(const char* caption, OptionAdder addOptions)
{
    po::options_description options(caption);
    addOptions(options);
    return options;
}

void printHelp()
{
    std::cout << usage
              << "Chooses the settings of regsqueeze for a set of songs, and turns a .lz16 file\n"
                 "back into a VGM file to listen to, or into a SAP file or an Atari executable\n"
                 "that plays it with the 6502 player.\n"
                 "\n"
                 "Commands:\n"
                 "  survey    Works out the exact size of the .lz16 file of every SONG (.vgm,\n"
                 "            .vgz or .sap) at every setting that regsqueeze accepts, and shows\n"
                 "            for each size of player buffer the setting with the smallest\n"
                 "            total, the three presets and the best setting. Writes no file.\n"
                 "  vgm       Decodes IN.lz16, written by regsqueeze with the given settings,\n"
                 "            and writes its frames as OUT.vgm (gzip-compressed when OUT ends\n"
                 "            in .vgz) for any VGM player that knows POKEY; for two chips\n"
                 "            with --stereo.\n"
                 "  sap       Writes OUT.sap, a SAP file whose INIT and PLAYER routines are the\n"
                 "            6502 player built for the settings, with IN.lz16 in it; or with\n"
                 "            --registers the decoded registers. Needs ca65 and ld65 (cc65).\n"
                 "  xex       Writes OUT.xex, an Atari executable that plays IN.lz16 with the\n"
                 "            6502 player in a loop. Needs ca65 and ld65 (cc65).\n"
                 "  info      Lists the settings that FILE.lz16 was made with, as far as the\n"
                 "            file tells: those it fits, the likeliest first.\n"
                 "  pack      Builds the player for a set of songs with a song table, for a\n"
                 "            program: NAME.obx and NAME.equ, NAME.h and NAME.s for cc65, and\n"
                 "            NAME.inc and NAME-K.lz16 for ca65 (see lz16 pack --help).\n"
                 "vgm, sap and xex also take a SONG (.vgm, .vgz or .sap) and convert it as\n"
                 "regsqueeze would, with regsqueeze's settings and their defaults.\n"
                 "\n"
              << described("Survey options", addSurveyOptions) << "\n"
              << described("The file's settings (vgm, sap, xex)", addFileSettingOptions) << "\n"
              << described("A song's conversion (vgm, sap, xex)", addSongOptions) << "\n"
              << described("A looping song (vgm, sap, xex)", addLoopOptions) << "\n"
              << described("Vgm options", addVgmOptions) << "\n"
              << described("Vgm, sap and xex options", addChipOptions) << "\n"
              << described("Sap options", addSapOptions) << "\n"
              << described("Pack options", addPackOptions) << "\n"
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
    if (command.empty()) usageError("a command is needed: survey, vgm, sap, xex, info or pack");
    const std::pair<const char*, void (*)(int, char**)> commands[] = {
        {"survey", runSurvey}, {"vgm", runVgm}, {"sap", runSap}, {"xex", runXex}, {"info", runInfo}, {"pack", runPack}};
    for (const auto& [name, run] : commands) {
        if (command != name) continue;
        // Messages name the command too, and so does the hint to its help.
        invocationName += " " + command;
        return run(argc - 1, argv + 1);
    }
    usageError(("unknown command '" + command + "': the commands are survey, vgm, sap, xex, info and pack").c_str());
}

}  // namespace

bool parseCommandLine(int argc, char** argv, std::initializer_list<OptionAdder> addOptions, const char* about,
                      po::variables_map& given)
{
    po::options_description options("Options");
    for (OptionAdder add : addOptions) add(options);
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

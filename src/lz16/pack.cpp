// lz16 pack: a set of songs and the player that plays them, made ready for a
// program: an Atari binary load file with its equates, a C header and its
// ca65 source, and ca65 files for a program that links the player itself.
#include "atari/atari_binary.h"
#include "atari/player_defines.h"
#include "cli/input_file.h"
#include "cli/messages.h"
#include "cli/output_file.h"
#include "common/timing.h"
#include "lz16/commands.h"
#include "lz16/pack_files.h"
#include "lz16/player_build.h"
#include "lz16/song_input.h"
#include "lzss/size_survey.h"
#include "player_sources.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <thread>

namespace po = boost::program_options;
namespace fs = std::filesystem;

namespace {

constexpr const char* about =
    "Usage: lz16 pack [OPTION]... --out NAME SONG...\n"
    "Builds the 6502 player for a set of songs, with a song table, and writes\n"
    "everything a program needs to play them: NAME.obx (an Atari binary load file of\n"
    "the player, the table and the songs at --org) and NAME.equ (its addresses), NAME.h\n"
    "and NAME.s (for cc65), and NAME.inc with NAME-0.lz16, NAME-1.lz16... (for a ca65\n"
    "program that assembles the player itself). A SONG is a VGM, VGZ or SAP file\n"
    "(FILE.sap:N takes subsong N), converted as regsqueeze would, or a .lz16 file made\n"
    "with the settings given. All songs share one setting; without one, the setting\n"
    "that makes the set smallest, rings counted, is chosen. Prints the memory map.\n"
    "Addresses are written $3000, 0x3000 or 12288. Needs ca65 and ld65 (cc65).\n";

constexpr uint32_t defaultOrg = 0x3000, defaultZeroPage = 0x80;
// A program's RAM: above the stack, below the cartridge area and the OS.
constexpr uint32_t ramFirst = 0x0200, ramEnd = 0xC000;
constexpr uint32_t tableEntryBytes = 10;
// The most code the player has at any setting, for the choice of a setting
// before it is built.
constexpr uint32_t largestPlayer = 2600;

// $3000, 0x3000 or 12288.
uint32_t parseAddress(const std::string& text, const char* option)
{
    std::string_view digits = text;
    int base = 10;
    if (digits.starts_with("$")) digits.remove_prefix(1), base = 16;
    else if (digits.starts_with("0x") || digits.starts_with("0X")) digits.remove_prefix(2), base = 16;
    uint32_t value = 0;
    bool good = !digits.empty() && digits.size() <= 6;
    for (char c : digits) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        good = good && d < base;
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
    }
    if (!good || value > 0xFFFF)
        usageError(formatText("--%s should be an address: $3000, 0x3000 or 12288, not '%s'", option, text.c_str()).c_str());
    return value;
}

void replaceValue(po::variables_map& given, const char* name, boost::any value)
{
    given.erase(name);
    given.emplace(name, po::variable_value(std::move(value), false));
}

// FILE.sap:N, when no file has that whole name: subsong N of FILE.sap.
std::pair<std::string, std::optional<int>> splitSubsong(const std::string& argument)
{
    const size_t colon = argument.rfind(':');
    if (colon == std::string::npos || colon + 1 == argument.size() || fs::exists(argument)) return {argument, {}};
    const std::string number = argument.substr(colon + 1);
    if (number.size() > 4 || number.find_first_not_of("0123456789") != std::string::npos) return {argument, {}};
    return {argument.substr(0, colon), std::stoi(number)};
}

struct SongArgument {
    std::string path, name;  // name: as given, for messages
    std::optional<int> subsong;
};

LoadedSong loadOne(const SongArgument& argument, const std::string& out, po::variables_map given,
                   std::optional<LzssSettings> settings)
{
    if (argument.subsong) replaceValue(given, "song", *argument.subsong);
    if (settings) {
        replaceValue(given, "offset", settings->offsetBits);
        replaceValue(given, "length", settings->lengthBits);
        replaceValue(given, "min", settings->minMatchLength);
    }
    return loadSong(argument.path, out, given, settings.has_value());
}

// How often lz_play calls lz_frame: a SAP tune keeps its player's rate.
int callsPerTvFrame(const LoadedSong& song, const std::string& name)
{
    if (!song.sap) return 1;
    const int tvLines = song.sap->ntsc ? ntscScanLines : palScanLines;
    for (int calls : {1, 2, 4})
        if (song.sap->scanLines * calls == tvLines) return calls;
    failAbout(name, formatText("plays a frame every %d scan lines, and lz_play plays 1, 2 or 4 frames a TV frame of "
                               "%d lines: convert it with --tv-frames",
                               song.sap->scanLines, tvLines));
}

// The setting that makes the set smallest, its rings counted, among those
// whose set would fit at org with the largest player; the smallest set when
// none does.
LzssSettings chooseSettings(const std::vector<LoadedSong>& songs, const FormatChoices& format, uint32_t org)
{
    std::vector<RegisterStreamSet> streams;
    for (const LoadedSong& song : songs) streams.push_back(song.frames);
    const std::vector<LzssSettings> all = acceptedSettings();
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::vector<std::vector<int64_t>> sizes = surveyFileSizes(streams, all, format, threads);
    int64_t best = INT64_MAX, bestFitting = INT64_MAX;
    size_t chosen = 0, chosenFitting = all.size();
    for (size_t k = 0; k < all.size(); ++k) {
        int64_t total = 0, rings = 0;
        for (size_t s = 0; s < songs.size(); ++s) {
            total += sizes[s][k] + tableEntryBytes;
            rings = std::max<int64_t>(rings, ringBytes(songs[s].file, all[k]));
        }
        if (total + rings < best) best = total + rings, chosen = k;
        const bool fits = org + largestPlayer + total + 0xFF + rings <= ramEnd;
        if (fits && total + rings < bestFitting) bestFitting = total + rings, chosenFitting = k;
    }
    return all[chosenFitting < all.size() ? chosenFitting : chosen];
}

// Cycles a call of lz_frame in the player built for a game, the mean over
// the corpus songs and the worst call found, measured in sim65 on the
// README's table of settings (scripts/player-cost --game).
struct MeasuredCost {
    LzssSettings settings;
    bool stereo;
    int mean, worst;
};
constexpr MeasuredCost measuredCosts[] = {
    {{4, 4, 1}, false, 380, 893},  {{7, 5, 1}, false, 361, 1165}, {{8, 8, 1}, false, 246, 745},
    {{9, 7, 2}, false, 284, 1475}, {{10, 6, 3}, false, 285, 1431}, {{4, 4, 1}, true, 886, 1984},
    {{7, 5, 1}, true, 822, 2502},  {{8, 8, 1}, true, 559, 1671},  {{9, 7, 2}, true, 640, 2141},
    {{10, 6, 3}, true, 640, 2091}};

std::string settingText(const FileSettings& s)
{
    return formatText("-o %d -l %d -m %d%s", s.lzss.offsetBits, s.lzss.lengthBits, s.lzss.minMatchLength,
                      s.format.oldFormat ? " -x" : "");
}

void printMap(const PackedSet& set, const std::vector<std::string>& names, bool chosen)
{
    const PackLayout& m = set.layout;
    std::printf("Setting: %s%s\n", settingText(set.settings).c_str(),
                chosen ? " (chosen: the smallest set, rings counted, of the settings that fit)" : "");
    std::printf("Memory map of %s.obx:\n", set.name.c_str());
    std::printf("  $%04X-$%04X  code and variables, %u bytes\n", m.org, m.codeEnd - 1, m.codeEnd - m.org);
    std::printf("  $%04X-$%04X  song table, %zu song%s\n", m.table, m.table + m.tableBytes - 1, set.songs.size(),
                set.songs.size() == 1 ? "" : "s");
    for (size_t k = 0; k < set.songs.size(); ++k) {
        const PackedSong& song = set.songs[k];
        if (song.loopFrame)
            std::printf("  $%04X-$%04X  song %zu's loop record\n", song.loopRecordAt,
                        song.loopRecordAt + static_cast<uint32_t>(loopRecordSize) - 1, k);
        std::printf("  $%04X-$%04X  song %zu: %s, %zu bytes, %d frames%s%s\n", song.start, song.end - 1, k,
                    names[k].c_str(), song.file.size(), song.frames,
                    song.calls > 1 ? formatText(", %d calls a TV frame", song.calls).c_str() : "",
                    song.loopFrame ? formatText(", loops from frame %d", *song.loopFrame).c_str() : "");
    }
    std::printf("  $%04X-$%04X  rings, %u bytes (not in the file)\n", m.rings, m.rings + m.ringBytes - 1, m.ringBytes);
    std::printf("  $%04X-$%04X  zero page, %u bytes\n", m.zeroPage, m.zeroPage + m.zeroPageBytes - 1, m.zeroPageBytes);
    const auto cost = std::find_if(std::begin(measuredCosts), std::end(measuredCosts), [&](const MeasuredCost& c) {
        return c.settings == set.settings.lzss && c.stereo == set.stereo;
    });
    // For a set that loops, the looping player's count in its end mode costs at most 55 more at worst.
    if (cost != std::end(measuredCosts) && !set.settings.format.oldFormat)
        std::printf("Cycles a call of lz_frame: %d on the mean, %d at worst (the README's figures for a game)\n",
                    cost->mean, cost->worst + (set.loops() ? 55 : 0));
    else
        std::printf("Cycles a call of lz_frame: not measured at this setting; the README's cost table has 4/4/1, "
                    "7/5/1, 8/8/1, 9/7/2 and 10/6/3, and scripts/player-cost measures others\n");
}

}  // namespace

void addPackOptions(po::options_description& options)
{
    options.add_options()
        ("out", po::value<std::string>()->value_name("NAME"), "Writes NAME.obx, NAME.equ, NAME.h, NAME.s, NAME.inc and NAME-K.lz16")
        ("org", po::value<std::string>()->value_name("ADDR"), "NAME.obx's first byte: the player's code ($3000)")
        ("zp", po::value<std::string>()->value_name("ADDR"), "The player's zero page (NAME.obx: $80; the sources: their ZEROPAGE segment)")
        ("rings", po::value<std::string>()->value_name("ADDR"), "The rings, page-aligned (NAME.obx: the first page after the songs; the sources: in BSS)")
        ("ntsc-tempo", "Presets lz_ntsc: 50 Hz songs keep their tempo on a 60 Hz machine")
        ("stereo", "The .lz16 files are for two POKEY chips")
        ("player", po::value<std::string>()->value_name("FILE.s"), "Builds another version of the player (its game interface), to compare");
}

void runPack(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, {addFileSettingOptions, addSongOptions, addLoopOptions, addPackOptions}, about, given)) return;
    if (!given.count("out")) usageError("--out NAME is needed");
    if (!given.count("files")) usageError("at least one song is needed");
    const std::string name = given["out"].as<std::string>();
    if (fs::path(name).filename().empty()) usageError("--out should name the files, not a folder");
    const uint32_t org = given.count("org") ? parseAddress(given["org"].as<std::string>(), "org") : defaultOrg;
    if (org < ramFirst || org >= ramEnd)
        usageError(formatText("--org $%04X is not in the RAM a program has: $%04X to $%04X", org, ramFirst, ramEnd - 1)
                       .c_str());
    const bool zeroPageGiven = given.count("zp") != 0;
    const uint32_t zeroPage = zeroPageGiven ? parseAddress(given["zp"].as<std::string>(), "zp") : defaultZeroPage;
    if (zeroPage > 0xFF) usageError(formatText("--zp $%04X is not in the zero page", zeroPage).c_str());
    const std::optional<uint32_t> rings =
        given.count("rings") ? std::optional(parseAddress(given["rings"].as<std::string>(), "rings")) : std::nullopt;
    if (rings && (*rings & 0xFF) != 0) usageError(formatText("--rings $%04X is not page-aligned", *rings).c_str());

    std::vector<SongArgument> arguments;
    for (const std::string& argument : given["files"].as<std::vector<std::string>>()) {
        auto [path, subsong] = splitSubsong(argument);
        arguments.push_back({path, argument, subsong});
    }
    const std::string obx = name + ".obx";
    const bool settingsGiven = given.count("offset") || given.count("length") || given.count("min");
    std::vector<LoadedSong> loaded;
    for (const SongArgument& argument : arguments) loaded.push_back(loadOne(argument, obx, given, std::nullopt));
    FormatChoices format;
    format.oldFormat = given.count("old") != 0;
    if (!settingsGiven) {
        const LzssSettings best = chooseSettings(loaded, format, org);
        if (!(best == loaded.front().settings.lzss))
            for (size_t k = 0; k < arguments.size(); ++k) loaded[k] = loadOne(arguments[k], obx, given, best);
    }

    PackedSet set;
    set.name = name;
    set.settings = loaded.front().settings;
    for (size_t k = 0; k < loaded.size(); ++k) {
        const LoadedSong& song = loaded[k];
        const std::string& songName = arguments[k].name;
        const bool stereo = playsOnTwoChips(song, songName, given);
        if (k == 0) set.stereo = stereo;
        else if (stereo != set.stereo)
            failAbout(songName, formatText("is for %s and '%s' for %s: one player plays them all",
                                           stereo ? "two chips" : "one chip", arguments[0].name.c_str(),
                                           set.stereo ? "two" : "one"));
        PackedSong packed;
        packed.file = song.file;
        packed.frames = song.frames.frameCount();
        packed.calls = callsPerTvFrame(song, songName);
        packed.fiftyHz = !song.sap || !song.sap->ntsc;
        if (const std::optional<LoopRecord> record = loopRecordOf(song, songName, stereo)) {
            packed.loopFrame = song.loopFrame;
            packed.loopRecord.assign(record->bytes.begin(), record->bytes.end());
        }
        set.songs.push_back(std::move(packed));
    }

    PackRequest request{org, zeroPage, zeroPageGiven, rings,
                        given.count("ntsc-tempo") != 0, ramFirst, ramEnd};
    std::string playerText;
    if (given.count("player")) {
        const std::vector<uint8_t> text = loadInputFile(given["player"].as<std::string>());
        playerText.assign(text.begin(), text.end());
    } else {
        for (const EmbeddedFile& file : embeddedFiles)
            if (std::string_view(file.name) == "lz16_player.s") playerText.assign(file.bytes.begin(), file.bytes.end());
    }
    const std::vector<uint8_t> binary = buildPackedSet(set, request, playerText);
    const std::vector<std::pair<std::string, std::string>> files = packSources(set, request, playerText);

    // Nothing is written before everything is made, and every file is
    // written before any is put in place.
    std::vector<std::pair<std::string, std::span<const uint8_t>>> outputs{{obx, binary}};
    for (const auto& [suffix, text] : files)
        outputs.emplace_back(name + suffix, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    for (size_t k = 0; k < set.songs.size(); ++k)
        outputs.emplace_back(name + "-" + std::to_string(k) + ".lz16", set.songs[k].file);
    std::vector<std::unique_ptr<OutputFile>> written;
    for (const auto& [path, bytes] : outputs) {
        written.push_back(std::make_unique<OutputFile>(path));
        written.back()->write(bytes);
    }
    for (const std::unique_ptr<OutputFile>& file : written) file->putInPlace();
    std::vector<std::string> names;
    for (const SongArgument& argument : arguments) names.push_back(argument.name);
    printMap(set, names, !settingsGiven);
}

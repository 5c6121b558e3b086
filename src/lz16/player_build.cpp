// Builds the player around a song: the embedded sources go to a temporary
// folder, ca65 assembles them for the song's settings, and ld65 links the
// code twice, once to learn where it ends and once with the song and the
// rings placed after it.
#include "lz16/player_build.h"

#include "atari/player_defines.h"
#include "cli/messages.h"
#include "cli/temporary_folder.h"
#include "lz16/embedded_file.h"
#include "player_sources.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The program's path in PATH, or empty.
std::string findInPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;
        const fs::path candidate = fs::path(folder) / program;
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

PlayerAssembler::PlayerAssembler() : ca65_(findInPath("ca65")), ld65_(findInPath("ld65"))
{
    if (ca65_.empty() || ld65_.empty())
        fail("building the player needs ca65 and ld65 from the cc65 package, and " +
             std::string(ca65_.empty() ? "ca65" : "ld65") + " is not in PATH\n");
    for (const EmbeddedFile& file : embeddedFiles) {
        std::ofstream out(folder_ / fs::path(file.name).filename(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        if (!out) fail("can't write the player's sources to a temporary folder\n");
    }
}

void PlayerAssembler::assemble(const std::string& source, const std::vector<std::string>& defines)
{
    std::vector<std::string> arguments{ca65_, "-I", (folder_ / "lz16_player.s").parent_path().string(), "-o", (folder_ / (source + ".o")).string()};
    for (const std::string& define : defines) arguments.insert(arguments.end(), {"-D", define});
    arguments.push_back((folder_ / source).string());
    run(source, arguments);
    objects_.push_back((folder_ / (source + ".o")).string());
}

void PlayerAssembler::addSource(const std::string& name, const std::string& text)
{
    std::ofstream out(folder_ / name, std::ios::binary);
    out << text;
    if (!out) fail("can't write the player's sources to a temporary folder\n");
}

std::pair<LoadSegment, std::map<std::string, uint32_t>> PlayerAssembler::link(
    uint16_t start, const std::map<std::string, uint32_t>& imports)
{
    const fs::path code = folder_ / "code.bin", labels = folder_ / "labels.txt";
    std::vector<std::string> arguments{ld65_, "-C", (folder_ / "lz16_link.cfg").string(), "-S", hexAddress(start),
                                       "-o", code.string(), "-Ln", labels.string()};
    for (const auto& [name, value] : imports) arguments.insert(arguments.end(), {"-D", name + "=" + hexAddress(value)});
    arguments.insert(arguments.end(), objects_.begin(), objects_.end());
    run("the player", arguments);
    std::map<std::string, uint32_t> symbols;
    std::istringstream lines(slurp(labels));
    std::string tag, name;
    for (uint32_t value; lines >> tag >> std::hex >> value >> name;) symbols[name.substr(1)] = value;
    const std::string bytes = slurp(code);
    return {LoadSegment{start, {bytes.begin(), bytes.end()}}, symbols};
}

// Runs the tool with its output in a file of its own, shown when it fails.
void PlayerAssembler::run(const std::string& what, const std::vector<std::string>& arguments)
{
    const std::string log = (folder_ / "log.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    int status = 0;
    const bool started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    const bool succeeded =
        started && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!succeeded) fail(fs::path(arguments[0]).filename().string() + " failed on " + what + ":\n" + slurp(log));
}

uint32_t ringBytes(std::span<const uint8_t> file, const LzssSettings& settings)
{
    uint32_t kept = 1;  // channel 0 is never left out
    for (int c = 1; c < registersPerFrame; ++c) kept += ((file[0] >> maskBit(c)) & 1) == 0;
    return kept * static_cast<uint32_t>(settings.windowSize());
}


PlayerProgram buildPlayer(const PlayerRecipe& recipe, const LoadedSong& song, const std::string& in)
{
    PlayerAssembler assembler;
    const LzssSettings& lzss = recipe.settings.lzss;
    const std::vector<std::string> defines =
        playerDefines({lzss.offsetBits, lzss.lengthBits, lzss.minMatchLength, recipe.settings.format.oldFormat,
                       recipe.stereo, recipe.pokey, recipe.pokey2, recipe.loop != nullptr});
    assembler.assemble("lz16_player.s", defines);
    assembler.assemble(fs::path(recipe.wrapper).filename().string(), defines);

    const uint16_t start = static_cast<uint16_t>(recipe.memory[0].first);
    std::map<std::string, uint32_t> imports{{"song", 0}, {"song_end", 0}, {"rings", 0}};
    if (recipe.loop) imports["loop"] = 0;
    const uint32_t codeEnd = assembler.link(start, imports).second.at("__MAIN_LAST__");
    const uint32_t rings = ringBytes(song.file, lzss);
    const MemoryPlan plan = planMemory(recipe.memory, codeEnd, rings);
    const int64_t size = static_cast<int64_t>(song.file.size());
    const int64_t needed = size + (recipe.loop ? static_cast<int64_t>(loopRecordSize) : 0);
    if (needed > plan.room)
        failAbout(in, "does not fit in memory by " + std::to_string(needed - plan.room) + " bytes: it has " +
                          std::to_string(size) + (recipe.loop ? " and its loop record " + std::to_string(loopRecordSize) : "") +
                          ", and beside the player and its " + std::to_string(rings) +
                          " bytes of rings there is room for " + std::to_string(std::max<int64_t>(plan.room, 0)));

    const uint32_t songEnd = plan.song + static_cast<uint32_t>(size);
    imports = {{"song", plan.song}, {"song_end", songEnd}, {"rings", plan.rings}};
    if (recipe.loop) imports["loop"] = songEnd;
    auto [code, symbols] = assembler.link(start, imports);
    PlayerProgram program{{std::move(code), LoadSegment{static_cast<uint16_t>(plan.song), song.file}}, std::move(symbols)};
    if (recipe.loop)
        program.segments.push_back({static_cast<uint16_t>(songEnd), {recipe.loop->bytes.begin(), recipe.loop->bytes.end()}});
    return program;
}

#pragma once

#include "atari/atari_binary.h"
#include "atari/loop_record.h"
#include "atari/memory_layout.h"
#include "lz16/song_input.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "cli/temporary_folder.h"

// The 6502 player, built around a song with ca65 and ld65 from PATH.
struct PlayerRecipe {
    FileSettings settings;
    bool stereo = false;
    const char* wrapper;         // the embedded source around the player: its INIT, PLAYER or main program
    uint16_t pokey, pokey2;      // where lz_frame writes the registers of chip 1 and chip 2
    std::span<const MemoryRange> memory;  // free RAM; the code starts at the first range's first byte
    const LoopRecord* loop = nullptr;     // a looping song's record: the player is built with LZ_LOOP
};

struct PlayerProgram {
    std::vector<LoadSegment> segments;         // the code with its variables, the song, a loop's record
    std::map<std::string, uint32_t> symbols;   // the linker's symbols: the wrapper's entry points
};

// Assembles the player for the settings with the wrapper, in a temporary
// folder removed afterwards, and places the rings and the song in memory
// with the most room for the song, a loop's record right after the song. Ends the run with a message when ca65 or
// ld65 is missing or fails, or when the song (named in) does not fit.
PlayerProgram buildPlayer(const PlayerRecipe& recipe, const LoadedSong& song, const std::string& in);

// ca65 and ld65 at work in a temporary folder that holds the player's
// embedded sources, removed afterwards. Ends the run with a message when a
// tool is missing or fails.
class PlayerAssembler {
public:
    PlayerAssembler();
    // Assembles a source of the folder (an embedded one or one added) into
    // an object that link takes; the folder is on the include path.
    void assemble(const std::string& source, const std::vector<std::string>& defines);
    void addSource(const std::string& name, const std::string& text);
    // The objects linked by lz16_link.cfg from start, as one block, with the
    // symbols it imports given: the block and the linker's symbols.
    std::pair<LoadSegment, std::map<std::string, uint32_t>> link(uint16_t start,
                                                                  const std::map<std::string, uint32_t>& imports);

private:
    void run(const std::string& what, const std::vector<std::string>& arguments);

    TemporaryFolder folder_{"lz16"};
    std::string ca65_, ld65_;
    std::vector<std::string> objects_;
};

// Bytes of rings the player needs for a file: 2^offset bits for every channel it keeps.
uint32_t ringBytes(std::span<const uint8_t> file, const LzssSettings& settings);

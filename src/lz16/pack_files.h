#pragma once

#include "lz16/song_input.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What lz16 pack makes of a set of songs: the player built for their
// setting, with the song table that its game interface reads (lz_songs:
// the count, then 10 bytes a song: .word start, end, rings, loop record
// or 0, .byte calls of lz_frame per lz_play, flags: bit 0 a 50 Hz song).

struct PackedSong {
    std::vector<uint8_t> file;
    int32_t frames = 0;
    int calls = 1;
    bool fiftyHz = true;
    std::optional<int32_t> loopFrame;
    std::vector<uint8_t> loopRecord;  // for a looping song: what the player restarts it from
    uint32_t start = 0, end = 0, loopRecordAt = 0;  // in NAME.obx
};

// Where NAME.obx puts things; the end addresses are exclusive.
struct PackLayout {
    uint32_t org = 0, codeEnd = 0;
    uint32_t table = 0, tableBytes = 0;
    uint32_t dataEnd = 0;
    uint32_t rings = 0, ringBytes = 0;
    uint32_t zeroPage = 0, zeroPageBytes = 0;
};

struct PackedSet {
    std::string name;  // --out's NAME
    FileSettings settings;
    bool stereo = false;
    std::vector<PackedSong> songs;
    PackLayout layout;
    std::map<std::string, uint32_t> symbols;  // the player's, as linked in NAME.obx
    uint32_t ringBytes() const;
    bool loops() const;
};

struct PackRequest {
    uint32_t org = 0, zeroPage = 0;
    bool zeroPageGiven = false;
    std::optional<uint32_t> rings;
    bool ntscTempo = false;
    uint32_t ramFirst = 0, ramEnd = 0;
};

// Builds the player from its source text (the embedded lz16_player.s, or
// another) for the set, lays the set out from the request's org and returns
// NAME.obx; fills in the layout, the songs' addresses and the symbols. Ends
// the run with a message, before anything is written, when the zero page
// has no room for the player's bytes, the set does not fit below the end of
// RAM, or the rings given overlap it or leave RAM.
std::vector<uint8_t> buildPackedSet(PackedSet& set, const PackRequest& request, const std::string& playerText);

// The text files, by the suffix of their name: ".equ", ".h", ".s", ".inc".
std::vector<std::pair<std::string, std::string>> packSources(const PackedSet& set, const PackRequest& request,
                                                             const std::string& playerText);

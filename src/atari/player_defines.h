#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the 6502 player is assembled for: the song's settings and where it
// writes the registers.
struct PlayerBuild {
    int32_t offsetBits = 8, lengthBits = 8, minMatchLength = 1;
    bool oldFormat = false;
    bool stereo = false;
    uint16_t pokey = 0xD200, pokey2 = 0xD210;  // chip 1's and chip 2's first register
    bool loop = false;  // lz_init takes a loop record, and the song restarts at its loop
};

// The player's assembly-time symbols, "NAME=VALUE" each, for ca65 -D;
// LZ_LOOP only for a looping song.
std::vector<std::string> playerDefines(const PlayerBuild& build);

// An address as the assembler and linker take it: "$D200".
std::string hexAddress(uint32_t value);

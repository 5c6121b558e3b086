#pragma once

#include "sap/sap_file.h"

#include <cstdint>
#include <string>
#include <vector>

// A real machine plays a tune's calls in real time, FASTPLAY scan lines
// apiece. The player calls together may take this many times the time of
// the calls made so far, and one call's limit more; a player that needs more
// is runaway code, and the run stops with a message.
inline constexpr int playerTimeFactor = 4;

struct SapRun {
    int song = 0;
    int32_t frames = 0;
    bool tvFrames = false;        // a frame after each TV frame's last call, not after every call
    uint64_t callCycleLimit = 0;  // the cycles one call may take
};

struct SapPlayback {
    std::vector<uint8_t> frameSequence;  // 9 registers a frame, 18 with two chips: chip 1's, then chip 2's
    uint64_t cycles = 0;                 // emulated CPU cycles, for the speed measurements
};

// Loads a TYPE B or C program into zeroed memory, runs its initialisation
// for the subsong and then its player calls, and captures POKEY registers 0
// to 8 after each frame's calls. Throws Ex naming the file when the program
// meets an undocumented opcode, a call does not return in time, or the
// calls run past playerTimeFactor times the music they make.
SapPlayback playSap(const SapFile& sap, const SapRun& run, const std::string& name);

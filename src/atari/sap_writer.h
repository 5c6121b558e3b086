#pragma once

#include "common/timing.h"
#include "streams/register_streams.h"

#include <cstdint>
#include <string>
#include <vector>

// The header of a SAP file: text lines ending in CR LF, then the binary
// part (for type B, an Atari binary that holds INIT and PLAYER; for type R,
// the register frames one after the other).


struct SapHeader {
    char type = 'B';                 // 'B': INIT and PLAYER routines; 'R': register frames
    std::string author, name;        // left out when empty
    uint16_t init = 0, player = 0;   // type B only
    int64_t calls = 0;               // PLAYER calls (type R: frames) that the song lasts
    int fastplay = 0;                // scan lines between calls; 0 for the machine's frame
    bool ntsc = false, stereo = false;
    bool loop = false;               // the song loops: TIME, one pass, is marked LOOP

    // Scan lines from one call to the next.
    int lines() const { return fastplay != 0 ? fastplay : ntsc ? ntscScanLines : palScanLines; }
};

// The TIME of a song of calls at lines apiece, "mm:ss.xxx": the last
// millisecond before the end of the last call, so that a player that plays
// that long makes every call that starts in it, which are exactly the song's,
// and a reader that rounds the time to whole calls gets them back. exact is
// false when no millisecond does both (short calls: a millisecond then holds
// more than half a call), and the time is then the nearest millisecond.
struct SapTime {
    std::string text;
    bool exact;
};
SapTime sapTime(int64_t calls, int lines, bool ntsc);

// The header lines, each ended by CR LF, and for type R the empty line that
// ends the header before the frames.
std::string sapHeaderText(const SapHeader& header);

// Type R's data: every frame's nine registers in turn. In a song for two
// chips the frames alternate chip 1 and chip 2, as type R's eighteen bytes
// a frame do.
std::vector<uint8_t> sapRegisterFrames(const RegisterStreamSet& song);

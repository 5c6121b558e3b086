#pragma once

#include <cstdint>
#include <span>

// Where a program that plays a song puts its pieces: the player's code and
// variables, the rings it decodes into (page aligned) and the song.

// A stretch of free RAM, from first up to end (exclusive).
struct MemoryRange {
    uint32_t first = 0, end = 0;
};

// lz_frame may read 20 bytes past the song's end before it knows the frame
// is incomplete, and its end test does not wrap past $FFFF: the song's last
// byte must lie at $FFEB or below.
inline constexpr uint32_t songEndLimit = 0xFFEC;

struct MemoryPlan {
    uint32_t rings = 0;  // the first ring's address
    uint32_t song = 0;   // the song's first byte
    int64_t room = 0;    // the most bytes a song may have there; negative when even the rings do not fit
};

// The code fills ranges[0] from its first byte up to codeEnd. The rings
// and the song each go into the range, and after whatever went there
// first, that leaves the most room for the song.
MemoryPlan planMemory(std::span<const MemoryRange> ranges, uint32_t codeEnd, uint32_t ringBytes);

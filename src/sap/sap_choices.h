#pragma once

#include <cstdint>
#include <optional>

// How long a tune plays for a loop search: TIME is often one pass, and an
// intro comes before it.
inline constexpr double loopSearchSeconds = 15 * 60;

// What the user chose about a SAP file's music.
struct SapChoices {
    std::optional<int> song{};        // the subsong; the file's DEFSONG otherwise
    std::optional<double> seconds{};  // how long to play TYPE B and C; the subsong's TIME otherwise
    bool tvFrames = false;          // one frame per TV frame instead of one per player call
    // Play long enough for a loop search to see the loop repeat whole:
    // loopSearchSeconds unless seconds are given.
    bool forLoopSearch = false;

    // Bounds on the emulated time, for the fuzzer, so that one input stays
    // fast: the longest a song is played (0: no bound) and the cycles one
    // call may take (0: one second's worth).
    double mostSeconds = 0;
    uint64_t callCycleLimit = 0;
};

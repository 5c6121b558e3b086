#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Registers 0 to 8 of one POKEY chip at one wait command.
inline constexpr int registersPerFrame = 9;

enum RegisterIndex : int {
    AUDF1 = 0, AUDC1, AUDF2, AUDC2, AUDF3, AUDC3, AUDF4, AUDC4, AUDCTL,
};

using RegisterFrame = std::array<uint8_t, registersPerFrame>;

// One byte stream per register: streams[r][i] is register r of frame i.
// Trimming moves entries to the front without shortening the streams, so
// only the first frameCount entries of each stream are the song.
struct RegisterStreamSet {
    std::array<std::vector<uint8_t>, registersPerFrame> streams;
    int32_t frameCount = 0;
};

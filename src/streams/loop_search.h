#pragma once

#include "streams/register_streams.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The loop search looks only at what can be heard: one entry per frame with
// every silent channel's AUDF and AUDC zeroed and, in a frame where no
// channel sounds, AUDCTL zeroed as well.
using ComparisonEntry = RegisterFrame;
// A song of two chips is searched a pair of frames at a time.
using PairEntry = std::array<uint8_t, 2 * registersPerFrame>;

// The song is searched only when it is long enough to leave this many
// frames from the loop start to the end.
inline constexpr int32_t minimumFramesFromLoopStart = 101;
// A repetition must cover at least this many frames to count as a loop.
inline constexpr int32_t minimumRepeatedFrames = 51;

// The song from loopStart onwards repeats itself with period
// repeatStart - loopStart up to its last frame; the song can end at
// repeatStart and jump back to loopStart.
struct LoopPair {
    int32_t loopStart = 0;
    int32_t repeatStart = 0;

    bool operator==(const LoopPair&) const = default;
};

// One entry for every frame of the streams.
std::vector<ComparisonEntry> buildComparisonCopy(const RegisterStreamSet& streams);

// The earliest loop start and, for it, the shortest loop, among loop starts
// up to size - minimumFramesFromLoopStart and repeat starts up to
// size - minimumRepeatedFrames. Runs in linear time.
std::optional<LoopPair> findFirstLoop(std::span<const ComparisonEntry> entries);
std::optional<LoopPair> findFirstLoopOfPairs(std::span<const PairEntry> entries);

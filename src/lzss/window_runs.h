#pragma once

#include "lzss/lzss_settings.h"

#include <cstdint>
#include <span>
#include <vector>

// The longest match at every position of a stream, found by walking the
// stream backwards and keeping, for every distance d in the window, the
// length of the run over which the stream equals itself d positions back:
//   run_d(i) = stream[i] == stream[i - d] ? run_d(i + 1) + 1 : 0.
// Each position costs one pass over the window, however long the matches
// are, and that pass is a branch-free loop over contiguous lanes.
class WindowRuns {
public:
    // Sizes the working space for the settings and keeps a view of the
    // stream, which must outlive this object.
    void prepare(const LzssSettings& settings, std::span<const uint8_t> stream);

    // For every position i below rangeEnd - 1: the longest match within the
    // first rangeEnd positions, at most the settings' longest match, and
    // among equally long ones the farthest; length and distance 0 when no
    // earlier byte matches. The last position gets length and distance 0.
    void findLongestMatches(int32_t rangeEnd, int32_t* length, int32_t* distance);

private:
    std::span<const uint8_t> stream_;
    int32_t window_ = 1;
    int32_t longest_ = 1;
    int32_t laneBytes_ = 1;
    // Lanes in the run table: the window, rounded up to whole vectors.
    int32_t lanes_ = 0;
    // Lane k holds the run at distance lanes_ - k, so the farthest comes first.
    std::vector<uint8_t> runs_;
    // The start of the stream behind lanes_ bytes of padding, so that the
    // positions near the start can read a whole window's worth before them.
    std::vector<uint8_t> head_;
};

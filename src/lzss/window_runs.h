#pragma once

#include "lzss/lzss_settings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The longest match at every position of a stream, found by walking the
// stream backwards and keeping, for every distance d in the window, the
// length of the run over which the stream equals itself d positions back:
//   run_d(i) = stream[i] == stream[i - d] ? run_d(i + 1) + 1 : 0,
// where a looping song also asks that a position at or after the loop start
// may read its source on every pass (see prepare).
// Each position costs one pass over the window, however long the matches
// are, and that pass is a branch-free loop over contiguous lanes.
class WindowRuns {
public:
    // Sizes the working space for the settings and keeps a view of the
    // stream, which must outlive this object. With a loop start, the song
    // plays the stream once and then from the loop start to its end again
    // and again, and the runs from the loop start on are cut where a copy
    // would read a frame before it that the ring no longer holds then.
    void prepare(const LzssSettings& settings, std::span<const uint8_t> stream,
                 std::optional<int32_t> loopStart = std::nullopt);

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
    // The loop start, or past the end when the song does not loop; the
    // lanes' copy permissions after it, behind lanes_ bytes of padding so
    // that position x finds its lanes at x (see prepare); all ones before it.
    int32_t loopStart_ = INT32_MAX;
    std::vector<uint8_t> allowed_;
    std::vector<uint8_t> ones_;
};

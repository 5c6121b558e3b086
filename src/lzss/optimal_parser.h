#pragma once

#include "lzss/lzss_settings.h"
#include "lzss/window_runs.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The cheapest parse of one register stream into literals and matches under
// the fixed bit-cost model: a literal costs 9 bits, a match offsetBits +
// lengthBits + 1, whatever its length.
class OptimalParser {
public:
    // Throws std::invalid_argument for widths that have no packing or a
    // minimum match length outside 1..16.
    explicit OptimalParser(const LzssSettings& settings);

    // Keeps a view of the stream (which must outlive the parser) and sizes
    // the tables to one entry of 0 per position. With a loop start the parse
    // is the cheapest one that still decodes right when the player goes
    // back to it after the last position, with its rings as they are.
    void build(std::span<const uint8_t> stream, std::optional<int32_t> loopStart = std::nullopt);

    // Fills the tables. With forceFinalLiteral the last position is a literal
    // and no match may cover it. May be called again; nothing of an earlier
    // run survives at a position the new parse visits.
    void parse(bool forceFinalLiteral);

    // True when the last step of the parse, walked from position 0, is a match.
    bool endsInMatch() const;

    int32_t size() const { return n_; }
    std::span<const uint8_t> stream() const { return stream_; }
    // Bits the parse needs from position i to the end of the parsed range.
    // A forced final literal lies outside that range: it costs 0 here.
    int32_t cost(int32_t i) const { return cost_[i]; }
    // Length of the match coded at i; below minMatchLength means a literal.
    int32_t length(int32_t i) const { return length_[i]; }
    // Distance of the match at i: it copies from position i - distance on.
    int32_t distance(int32_t i) const { return distance_[i]; }

private:
    LzssSettings settings_;
    std::span<const uint8_t> stream_;
    int32_t n_ = 0;
    std::vector<int32_t> cost_;
    std::vector<int32_t> length_;
    std::vector<int32_t> distance_;
    WindowRuns runs_;
    // Working space of chooseLengths, one entry per position and one for
    // the end.
    std::vector<int32_t> minimumStack_;
};

// The second half of a parse, over the first rangeEnd (at least 1)
// positions: given every position's longest match in length (found with any
// cap at least the settings' longest match, and over any longer range; it is
// cut to both here), chooses the cheapest step at every position, leaving
// its length in length (0 for a literal) and the cost from there to the end
// of the range in cost. The last position is a literal. stack is working
// space of rangeEnd + 1 entries, needed only for a minimum match above 1.
// The parser runs it after its own search; a survey of many settings runs
// it on one search per window.
void chooseLengths(const LzssSettings& settings, int32_t rangeEnd, int32_t* cost, int32_t* length, int32_t* stack);

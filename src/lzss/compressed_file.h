#pragma once

#include "common/notice.h"
#include "streams/register_streams.h"
#include "lzss/decoder.h"
#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Counts of the emitted steps for the verbose report: len[0] counts literals,
// len[l] matches of length l, pos[d] matches at distance d.
struct MatchHistograms {
    std::vector<int32_t> len;
    std::vector<int32_t> pos;
};

// A song's compressed file and what the report says of it.
struct CompressedFile {
    std::vector<uint8_t> bytes;
    std::array<bool, registersPerFrame> skipped{};  // constant channels left out of the steps
    std::array<int32_t, registersPerFrame> bits{};  // each compressed channel's parse cost
    MatchHistograms histograms;
    // A looping song's restart; none for a song that ends.
    std::optional<LoopRestart> restart;
};

// The channels a file leaves out of its steps: those whose register never
// changes, channel 0 excepted, so that every frame has a step that marks it.
std::array<bool, registersPerFrame> leftOutChannels(const RegisterStreamSet& song);

// The whole file for a song of at least one frame: channel mask, initial
// values and the frame-interleaved steps of every channel that is not
// constant. Adds a notice for every channel left out and every warning.
// With a loop frame (below the song's frame count) the parse is one that a
// player can go back to there at the end of the data, keeping its rings,
// and the file comes with the state to restore. Throws
// std::invalid_argument for an empty song, settings without a packing or a
// loop frame outside the song.
CompressedFile writeCompressedFile(const RegisterStreamSet& song, const LzssSettings& settings,
                                   const FormatChoices& format, Notices& notices,
                                   std::optional<int32_t> loopFrame = std::nullopt);

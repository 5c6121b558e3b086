#pragma once

#include "common/notice.h"
#include "streams/register_streams.h"
#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"

#include <array>
#include <cstdint>
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
};

// The channels a file leaves out of its steps: those whose register never
// changes, channel 0 excepted, so that every frame has a step that marks it.
std::array<bool, registersPerFrame> leftOutChannels(const RegisterStreamSet& song);

// The whole file for a song of at least one frame: channel mask, initial
// values and the frame-interleaved steps of every channel that is not
// constant. Adds a notice for every channel left out and every warning.
// Throws std::invalid_argument for an empty song or settings without a
// packing.
CompressedFile writeCompressedFile(const RegisterStreamSet& song, const LzssSettings& settings,
                                   const FormatChoices& format, Notices& notices);

#pragma once

#include "capture/register_streams.h"
#include "lzss/bit_stream_writer.h"
#include "lzss/lzss_settings.h"
#include "lzss/optimal_parser.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// Counts of the emitted steps for the verbose report: len[0] counts literals,
// len[l] matches of length l, pos[d] matches at distance d.
struct MatchHistograms {
    std::vector<int32_t> len;
    std::vector<int32_t> pos;
};

// Zeroed histograms with an entry for every length and distance the settings allow.
MatchHistograms makeHistograms(const LzssSettings& settings);

// What the report needs of a written file.
struct CompressionResult {
    std::array<bool, registersPerFrame> skipped{};  // constant channels left out of the step data
    std::array<int32_t, registersPerFrame> bits{};  // each compressed channel's parse cost
};

// The offset base of a format: the frame a match's offset code 0 points at.
inline int32_t offsetBase(bool oldFormat) { return oldFormat ? 1 : 2; }

// Where emitted steps go.
struct StepSink {
    BitStreamWriter& writer;
    MatchHistograms& histograms;
    const LzssSettings& settings;
    int32_t offsetBase;
};

// Emits the step of one channel that starts at frame, unless the channel's
// current step still covers it. Returns the last frame now covered.
int32_t emitStep(const OptimalParser& parser, std::span<const uint8_t> stream, StepSink& sink, int32_t frame,
                 int32_t lastCovered);

// Writes the whole file for the first frameCount frames of the streams:
// channel mask, initial values and the frame-interleaved steps of every
// channel that is not constant. Notices and warnings go to standard error.
CompressionResult writeCompressedFile(const RegisterStreamSet& streams, int32_t frameCount, BitStreamWriter& writer,
                                      const LzssSettings& settings, MatchHistograms& histograms, int verbosity,
                                      bool forceEndLiteral, bool oldFormat);

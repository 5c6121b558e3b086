#pragma once

#include "streams/register_streams.h"
#include "vgm_writer.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace testing_support {

enum class SongShape {
    Constant,       // every register holds one value
    Music,          // held notes, volume envelopes and repeated bars in every register
    SmallAlphabet,  // random over four values per register
    Noise,          // random bytes
};

// A song of the given shape with AUDC values already normalised, so that it
// comes back from a VGM file unchanged.
std::vector<vgm::Frame> makeSong(std::mt19937& rng, int32_t frames, SongShape shape);

// The streams the program builds from these frames.
inline RegisterStreamSet toStreams(const std::vector<vgm::Frame>& frames)
{
    RegisterStreamSet streams;
    for (const vgm::Frame& frame : frames) {
        for (int r = 0; r < registersPerFrame; ++r) streams.streams[r].push_back(frame[r]);
    }
    return streams;
}

// A frame in which only channel 1 sounds, told apart from others by its AUDF.
inline RegisterFrame toneFrame(uint8_t audf1, uint8_t audc1 = 0xA8)
{
    return RegisterFrame{audf1, audc1, 0, 0, 0, 0, 0, 0, 0};
}

inline RegisterFrame silentFrame() { return RegisterFrame{}; }

// The six-frame song of the worked examples: AUDF1 10 20 10 20 10 30,
// AUDC1 A4 A4 A4 A6 A6 A8, AUDCTL 28, every other register 0.
std::vector<vgm::Frame> sixFrameSong();

// Writes the bytes to a new file; false when that failed.
bool saveFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace testing_support

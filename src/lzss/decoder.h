#pragma once

#include "streams/register_streams.h"
#include "lzss/file_format.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// A compressed file read back into its nine register streams.
struct DecodedSong {
    RegisterStreamSet streams;  // the frames decoded completely
    std::string error;          // empty when the data was sound
    int64_t unreadBytes = 0;    // bytes left over after the last complete frame's steps
    // Each channel's steps in the parse's bits: a flag and a byte or a code each.
    std::array<int64_t, registersPerFrame> stepBits{};
};

// Reads a compressed file as a player would: the mask, the initial values,
// then frame after frame the steps of every channel that is not skipped,
// until the data runs out. The file does not store the frame count; the song
// ends at the first frame that needs a byte the data no longer has. Decoding
// stops after maxFrames frames.
DecodedSong decodeCompressedFile(std::span<const uint8_t> bytes, const LzssSettings& settings,
                                 const FormatChoices& format, int32_t maxFrames = INT32_MAX);

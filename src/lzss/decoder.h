#pragma once

#include "streams/register_streams.h"
#include "lzss/file_format.h"

#include <array>
#include <cstdint>
#include <optional>
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

// What decodeCompressedFile finds out about a file but its values: how many
// frames it decodes to, whether its data is sound and the bytes left over.
// Frames in which every channel goes on copying are passed together, so a
// file that decodes to millions of frames (as wrong settings may make one
// do) is measured in the time of its steps.
struct DecodedLength {
    int32_t frames = 0;
    std::string error;
    int64_t unreadBytes = 0;
};
DecodedLength measureCompressedFile(std::span<const uint8_t> bytes, const LzssSettings& settings,
                                    const FormatChoices& format, int32_t maxFrames = INT32_MAX);

// A looping song plays frames 0 to n - 1 once and then loopFrame to n - 1
// again and again. At the end of the data the player goes back to the
// decoder's state before loopFrame's steps and keeps its rings, the ring
// index back at loopFrame's slot. This is that state, as a player restores
// it. When loopFrame is a frame that the header holds (frame 0 in the new
// format), the player plays it from the header and the state is the one
// before the first frame of steps.
struct LoopRestart {
    struct RunningCopy {
        int32_t remaining = 0;   // frames the channel still copies; 0: it reads a step
        int32_t sourceSlot = 0;  // the ring slot of the next value copied
    };
    int32_t loopFrame = 0;
    int64_t dataOffset = 0;      // the next byte of the data, from the file's start
    int64_t controlOffset = -1;  // the control byte whose flags are in use; -1: the next flag opens one
    int32_t flagsUsed = 0;       // its flags already read
    int64_t halfByteOffset = -1; // the half-byte slot whose high half the next code takes; -1: none waits
    std::array<RunningCopy, registersPerFrame> copies{};
};

// The state before loopFrame's steps (or the first steps), found by decoding
// the file; none when the file is not sound up to there or ends before it.
// loopFrame may be the song's frame count: the state after its last frame.
std::optional<LoopRestart> findLoopRestart(std::span<const uint8_t> bytes, const LzssSettings& settings,
                                           const FormatChoices& format, int32_t loopFrame);

// Decodes as a player of a looping song does, through rings of the window's
// size: the song, and at the end of the data the restart, extraPasses
// times; after the last pass the song ends where the data runs out. The
// frames of every pass follow one another in the streams.
DecodedSong decodeLooping(std::span<const uint8_t> bytes, const LzssSettings& settings, const FormatChoices& format,
                          const LoopRestart& restart, int32_t extraPasses);

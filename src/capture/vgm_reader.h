#pragma once

#include "capture/register_streams.h"

#include <cstdint>
#include <span>
#include <vector>

// The most frames a song may have: about 93 hours at 50 frames a second. A
// wait command is a single byte and every frame costs tens of bytes to
// compress, so without a bound a small hostile file could exhaust memory.
inline constexpr int32_t maximumFrames = 1 << 24;

// Checks the VGM header and walks the commands, capturing registers 0 to 8
// of chip 1 (and then of chip 2 in a dual-chip file) at every wait command.
// Throws Ex when the bytes are not a VGM 1.71 file with a POKEY clock, or
// hold more than maximumFrames frames.
FrameCaptures readVgmFrames(std::span<const uint8_t> file);

// Cuts the captures into 9-byte frames and splits them into the nine
// register streams, with their AUDC values normalised.
RegisterStreamSet buildRegisterStreams(const FrameCaptures& captures);

// Makes AUDC values that differ only in bits the chip ignores equal; a
// silent channel's control value becomes 0.
uint8_t normaliseAudc(uint8_t value);

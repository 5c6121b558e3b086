#pragma once

#include "streams/register_streams.h"

#include <cstdint>
#include <span>
#include <vector>

// Checks the VGM header and walks the commands, capturing registers 0 to 8
// of chip 1 (and then of chip 2 in a dual-chip file) at every wait command.
// Throws Ex when the bytes are not a VGM 1.71 file with a POKEY clock, or
// hold more than maximumFrames frames.
FrameCaptures readVgmFrames(std::span<const uint8_t> file);


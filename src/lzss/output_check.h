#pragma once

#include "capture/register_streams.h"
#include "lzss/lzss_settings.h"

#include <cstdint>
#include <span>

// True when the bytes of a compressed file decode to exactly the first
// frameCount frames of all nine streams, skipped channels included, and to
// nothing more.
bool decodesToSong(std::span<const uint8_t> file, const RegisterStreamSet& streams, int32_t frameCount,
                   const LzssSettings& settings, bool oldFormat);

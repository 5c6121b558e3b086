#pragma once

#include "streams/register_streams.h"
#include "lzss/decoder.h"
#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"

#include <cstdint>
#include <span>

// True when the bytes of a compressed file decode to exactly the frames of
// all nine streams, left-out channels included, and to nothing more.
bool decodesToSong(std::span<const uint8_t> file, const RegisterStreamSet& song, const LzssSettings& settings,
                   const FormatChoices& format);

// True when a looping song's file also plays its loop right: decoded with
// its restart, the song and then the loop twice, frame for frame.
bool loopsToSong(std::span<const uint8_t> file, const RegisterStreamSet& song, const LzssSettings& settings,
                 const FormatChoices& format, const LoopRestart& restart);

#pragma once

#include "streams/register_streams.h"
#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// The channels a song's file compresses: channel 0 and every other channel
// whose register changes. A player keeps a window of history for each.
int32_t compressedChannelCount(const RegisterStreamSet& song);

// The exact size in bytes of the file writeCompressedFile would make of
// each song (of at least one frame) at each setting: sizes[song][setting].
// Nothing is written. The size follows from the number of literals and
// matches of each channel's parse, so only the parse's lengths are worked
// out, and the longest-match search, which depends on the window alone, is
// done once per channel and offset width and shared by every length width,
// minimum match and end rule. The work is spread over the given number of
// threads; progress, when given, is called on the calling thread with the
// pieces done and their total.
std::vector<std::vector<int64_t>> surveyFileSizes(std::span<const RegisterStreamSet> songs,
                                                  std::span<const LzssSettings> settings,
                                                  const FormatChoices& format, int threads,
                                                  const std::function<void(int32_t, int32_t)>& progress = {});

#include "lzss/output_check.h"

#include "lzss/decoder.h"

#include <algorithm>

bool decodesToSong(std::span<const uint8_t> file, const RegisterStreamSet& streams, int32_t frameCount,
                   const LzssSettings& settings, bool oldFormat)
{
    // One frame more than the song lets the decoder show that it would go on.
    const DecodedSong decoded = decodeCompressedFile(file, settings, oldFormat, frameCount < INT32_MAX ? frameCount + 1 : frameCount);
    if (!decoded.error.empty() || decoded.unreadBytes != 0 || decoded.streams.frameCount != frameCount) return false;
    for (int c = 0; c < registersPerFrame; ++c) {
        if (!std::equal(decoded.streams.streams[c].begin(), decoded.streams.streams[c].end(),
                        streams.streams[c].begin()))
            return false;
    }
    return true;
}

#include "lzss/output_check.h"

#include "lzss/decoder.h"

bool decodesToSong(std::span<const uint8_t> file, const RegisterStreamSet& song, const LzssSettings& settings,
                   const FormatChoices& format)
{
    const int32_t frameCount = song.frameCount();
    // One frame more than the song lets the decoder show that it would go on.
    const DecodedSong decoded =
        decodeCompressedFile(file, settings, format, frameCount < INT32_MAX ? frameCount + 1 : frameCount);
    return decoded.error.empty() && decoded.unreadBytes == 0 && decoded.streams.streams == song.streams;
}

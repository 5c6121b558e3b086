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

bool loopsToSong(std::span<const uint8_t> file, const RegisterStreamSet& song, const LzssSettings& settings,
                 const FormatChoices& format, const LoopRestart& restart)
{
    constexpr int32_t extraPasses = 2;
    const DecodedSong decoded = decodeLooping(file, settings, format, restart, extraPasses);
    if (!decoded.error.empty()) return false;
    const int32_t n = song.frameCount();
    for (int c = 0; c < registersPerFrame; ++c) {
        std::vector<uint8_t> expected = song.streams[c];
        for (int32_t pass = 0; pass < extraPasses; ++pass)
            expected.insert(expected.end(), song.streams[c].begin() + restart.loopFrame, song.streams[c].begin() + n);
        if (decoded.streams.streams[c] != expected) return false;
    }
    return true;
}

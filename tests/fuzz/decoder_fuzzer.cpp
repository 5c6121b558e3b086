// Fuzzes the decoder on arbitrary bytes under arbitrary accepted settings:
// it must never read outside the data, and what it yields must be whole
// frames of all nine channels. Measured without its values, the file must
// give the same frames, error and bytes left over.
#include "lzss/decoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<LzssSettings> accepted = acceptedSettings();
    if (size < 2) return 0;
    const LzssSettings settings = accepted[(data[0] * 256u + data[1]) % accepted.size()];
    const FormatChoices format{(data[0] & 0x80) != 0, true};
    // A long match code can stand for tens of thousands of frames; a few
    // thousand show every path.
    const DecodedSong song = decodeCompressedFile({data + 2, size - 2}, settings, format, 1 << 12);
    for (const auto& stream : song.streams.streams) {
        if (stream.size() != song.streams.streams[0].size()) std::abort();
    }
    if (song.unreadBytes < 0 || song.unreadBytes > static_cast<int64_t>(size - 2)) std::abort();
    const DecodedLength length = measureCompressedFile({data + 2, size - 2}, settings, format, 1 << 12);
    if (length.frames != song.streams.frameCount() || length.error != song.error ||
        length.unreadBytes != song.unreadBytes)
        std::abort();
    return 0;
}

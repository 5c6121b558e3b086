// Fuzzes the whole conversion, from the bytes of an input file to the bytes
// of the compressed file, and checks that every file that converts decodes
// back to its song. The settings and flags come from the last two bytes of
// the input, which the walk of a VGM file never reaches after its end marker.
#include "support/in_memory_conversion.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<LzssSettings> settingsToTry = testing_support::validSettings();
    if (size < 2) return 0;
    const uint8_t choice = data[size - 1];
    const uint8_t flagBits = data[size - 2];
    LzssSettings settings = settingsToTry[choice % settingsToTry.size()];
    settings.minMatchLength = 1 + (flagBits >> 4);
    const testing_support::ConversionFlags flags{(flagBits & 1) != 0, (flagBits & 2) == 0, (flagBits & 4) != 0};

    const auto result = testing_support::convertInMemory({data, size}, settings, flags);
    if (!result.converted) return 0;
    if (!decodesToSong(result.bytes, result.streams, result.streams.frameCount, settings, flags.oldFormat)) {
        std::fprintf(stderr, "output does not decode: O=%d L=%d M=%d old=%d force=%d frames=%d\n",
                     settings.offsetBits, settings.lengthBits, settings.minMatchLength, flags.oldFormat,
                     flags.forceEndLiteral, result.streams.frameCount);
        std::abort();
    }
    return 0;
}

// Fuzzes the program's whole conversion, from the bytes of an input file to
// the bytes of the compressed file, and checks that every file it makes
// decodes back to its song (and a looping song's file to its loop as well). The settings and flags come from the last two
// bytes of the input, which the walk of a VGM file never reaches after its
// end marker. A SAP file plays for at most a second, each call for at most
// 1,000 cycles, so that one input stays fast.
#include "common/ex.h"
#include "conversion/conversion.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<LzssSettings> accepted = acceptedSettings();
    if (size < 2) return 0;
    const uint8_t flags = data[size - 2];
    ConversionRequest request{accepted[(data[size - 1] * 16u + (flags >> 4)) % accepted.size()],
                              {(flags & 1) != 0, (flags & 2) == 0}, (flags & 4) != 0, "fuzz",
                              {.tvFrames = (flags & 8) != 0, .mostSeconds = 1, .callCycleLimit = 1000},
                              false,
                              {}};
    // The third byte from the end, when its low bit is set, makes the song
    // loop: at the frame its upper six bits give, or where the song's own
    // or the search's loop is, with bit 1 clear. A loop needs the end rule.
    if (size >= 3 && request.format.forceEndLiteral && (data[size - 3] & 1) != 0) {
        request.loop = true;
        if ((data[size - 3] & 2) != 0) request.loopFrame = data[size - 3] >> 2;
    }
    try {
        const Conversion conversion = convertSong({data, size}, request);
        if (conversion.song.frameCount() > 0 && !conversion.decodesBack) {
            std::fprintf(stderr, "output does not decode: %d/%d/%d old=%d force=%d frames=%d loop=%d\n",
                         request.settings.offsetBits, request.settings.lengthBits, request.settings.minMatchLength,
                         request.format.oldFormat, request.format.forceEndLiteral, conversion.song.frameCount(),
                         conversion.loopFrame.value_or(-1));
            std::abort();
        }
    } catch (const Ex&) {
    }
    return 0;
}

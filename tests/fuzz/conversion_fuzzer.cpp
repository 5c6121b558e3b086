// Fuzzes the whole conversion, from the bytes of an input file to the bytes
// of the compressed file, and checks that every file that converts decodes
// back to its song. The settings and flags come from the last bytes of the
// input, which a VGM file's walk never reaches after its end marker.
#include "capture/gzip_input.h"
#include "capture/trim_silence_and_loop.h"
#include "capture/vgm_reader.h"
#include "cli/ex.h"
#include "lzss/compressed_file.h"
#include "lzss/output_check.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Every setting the command line accepts.
std::vector<LzssSettings> validSettings()
{
    std::vector<LzssSettings> all;
    for (int offsetBits = 0; offsetBits <= 12; ++offsetBits) {
        for (int lengthBits = 2; lengthBits <= 16 && offsetBits + lengthBits <= 16; ++lengthBits) {
            const int total = offsetBits + lengthBits;
            if (total >= 9 && total <= 12 && offsetBits > 8) continue;
            all.push_back({offsetBits, lengthBits, 1});
        }
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<LzssSettings> settingsToTry = validSettings();
    if (size < 2) return 0;
    const uint8_t choice = data[size - 1];
    const uint8_t flags = data[size - 2];
    LzssSettings settings = settingsToTry[choice % settingsToTry.size()];
    settings.minMatchLength = 1 + (flags >> 4);
    const bool oldFormat = flags & 1;
    const bool forceEndLiteral = (flags & 2) == 0;
    const bool trim = flags & 4;

    std::span<const uint8_t> file(data, size);
    std::vector<uint8_t> inflated;
    std::vector<uint8_t> frames;
    try {
        if (isGzip(file)) {
            inflated = inflateGzip(file, 1 << 20);
            file = inflated;
        }
        frames = readVgmFrames(file);
    } catch (const Ex&) {
        return 0;
    } catch (const GzipError&) {
        return 0;
    }

    RegisterStreamSet streams;
    streams.frameCount = buildRegisterStreams(frames, streams);
    if (streams.frameCount == 0) return 0;
    if (trim) streams.frameCount = trimSilenceAndLoop(streams, streams.frameCount, "fuzz");
    if (streams.frameCount == 0) return 0;

    BitStreamWriter writer(settings);
    MatchHistograms histograms = makeHistograms(settings);
    writeCompressedFile(streams, streams.frameCount, writer, settings, histograms, 0, forceEndLiteral, oldFormat);
    if (!decodesToSong(writer.flushedBytes(), streams, streams.frameCount, settings, oldFormat)) {
        std::fprintf(stderr, "output does not decode: O=%d L=%d M=%d old=%d force=%d frames=%d\n",
                     settings.offsetBits, settings.lengthBits, settings.minMatchLength, oldFormat, forceEndLiteral,
                     streams.frameCount);
        std::abort();
    }
    return 0;
}

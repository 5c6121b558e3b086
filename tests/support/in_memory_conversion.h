#pragma once

// The conversion from the bytes of an input file to the bytes of the
// compressed file, in memory and without the command line, for the fuzzer
// and the tests. It takes the same steps as the program.
#include "capture/gzip_input.h"
#include "capture/trim_silence_and_loop.h"
#include "capture/vgm_reader.h"
#include "cli/ex.h"
#include "lzss/compressed_file.h"
#include "lzss/output_check.h"

#include <cstdint>
#include <span>
#include <vector>

namespace testing_support {

struct ConversionFlags {
    bool oldFormat = false;
    bool forceEndLiteral = true;
    bool trim = false;
};

struct InMemoryConversion {
    bool converted = false;     // false: the input was rejected, had no frames or was silent
    std::vector<uint8_t> bytes;  // the compressed file
    RegisterStreamSet streams;
};

inline InMemoryConversion convertInMemory(std::span<const uint8_t> file, const LzssSettings& settings,
                                          const ConversionFlags& flags)
{
    InMemoryConversion result;
    std::vector<uint8_t> inflated;
    std::vector<uint8_t> frames;
    try {
        if (isGzip(file)) {
            inflated = inflateGzip(file, 1 << 20);
            file = inflated;
        }
        frames = readVgmFrames(file);
    } catch (const Ex&) {
        return result;
    } catch (const GzipError&) {
        return result;
    }
    RegisterStreamSet& streams = result.streams;
    streams.frameCount = buildRegisterStreams(frames, streams);
    if (streams.frameCount == 0) return result;
    if (flags.trim) streams.frameCount = trimSilenceAndLoop(streams, streams.frameCount, "regsqueeze");
    if (streams.frameCount == 0) return result;

    BitStreamWriter writer(settings);
    MatchHistograms histograms = makeHistograms(settings);
    writeCompressedFile(streams, streams.frameCount, writer, settings, histograms, 0, flags.forceEndLiteral,
                        flags.oldFormat);
    result.bytes = writer.flushedBytes();
    result.converted = true;
    return result;
}

// Every setting the command line accepts, with the given minimum match length.
inline std::vector<LzssSettings> validSettings(int32_t minMatchLength = 1)
{
    std::vector<LzssSettings> all;
    for (int32_t offsetBits = 0; offsetBits <= 12; ++offsetBits) {
        for (int32_t lengthBits = 2; lengthBits <= 16 && offsetBits + lengthBits <= 16; ++lengthBits) {
            const int32_t total = offsetBits + lengthBits;
            if (total >= 9 && total <= 12 && offsetBits > 8) continue;
            all.push_back({offsetBits, lengthBits, minMatchLength});
        }
    }
    return all;
}

}  // namespace testing_support

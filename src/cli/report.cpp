#include "cli/report.h"

#include <algorithm>
#include <cstdio>

namespace {

int32_t entryOrZero(const std::vector<int32_t>& table, int32_t index)
{
    return index < static_cast<int32_t>(table.size()) ? table[index] : 0;
}

}  // namespace

void printReport(const LzssSettings& settings, int verbosity, const Conversion& conversion, const std::string& includeFile)
{
    const int32_t frameCount = conversion.song.frameCount();
    const auto outputSize = static_cast<int32_t>(conversion.file.bytes.size());
    const CompressedFile& result = conversion.file;
    const MatchHistograms& histograms = conversion.file.histograms;
    // Sizes are counted in 64 bits: nine bytes a frame overflow 32 bits on very long songs.
    const long long rawSize = 9LL * frameCount;
    std::fprintf(stderr, "LZSS: max offset= %d,\tmax len= %d,\tmatch bits= %d,\t", settings.windowSize(),
                 settings.longestMatch(), settings.codeBits());
    std::fprintf(stderr, "ratio: %5d / %lld = %5.2f%%\n", outputSize, rawSize, outputSize * 100.0 / (rawSize * 1.0));
    if (conversion.loopFrame) {
        // Seconds at 50 frames a second, a chip's frames counted once.
        const int32_t loopStart = *conversion.loopFrame;
        const double perSecond = 50.0 * conversion.song.chips;
        std::fprintf(stderr, "Loop: from frame %d (%.2f s) to the last, frame %d, again and again: %d of %d frames, %.2f s\n",
                     loopStart, loopStart / perSecond, frameCount - 1, frameCount - loopStart, frameCount,
                     (frameCount - loopStart) / perSecond);
        if (!includeFile.empty())
            std::fprintf(stderr, "The settings and the loop record for the 6502 player: %s\n", includeFile.c_str());
    }

    if (verbosity >= 1) {
        for (int c = 0; c < registersPerFrame; ++c) {
            if (result.skipped[c]) continue;
            const int32_t bits = result.bits[c];
            std::fprintf(stderr, " Stream #%d: %d bits,\t%5.2f%%,\t%5.2f%% of output\n", c, bits,
                         bits * 100.0 / (frameCount * 8.0), bits * 100.0 / (outputSize * 8.0));
        }
    }

    if (verbosity >= 2) {
        std::fprintf(stderr, "\nvalue\t  POS\t  LEN\n");
        const int32_t last = std::max(settings.windowSize(), settings.longestMatch());
        for (int32_t v = 0; v <= last; ++v) {
            std::fprintf(stderr, "%2d\t%5d\t%5d\n", v, entryOrZero(histograms.pos, v), entryOrZero(histograms.len, v));
        }
    }
}

#include "lzss/compressed_file.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

namespace {

// Channels are scanned, stored and interleaved from AUDCTL down to AUDF1.
constexpr int firstChannel = registersPerFrame - 1;

bool isConstant(std::span<const uint8_t> stream)
{
    return std::all_of(stream.begin(), stream.end(), [&](uint8_t value) { return value == stream[0]; });
}

void warnAboutConstantChannelZero(uint8_t value)
{
    std::fprintf(stderr, "WARNING: stream #%d ", 0);
    if (value == 0)
        std::fprintf(stderr, "is empty");
    else
        std::fprintf(stderr, "contains only $%02X", value);
    std::fprintf(stderr, ", should not be included in output!\n");
}

// The mask holds one flag per channel 8 down to 1: set when the channel is
// constant and left out. Channel 0 is always compressed, so that every frame
// has at least one channel whose steps mark the time.
std::array<bool, registersPerFrame> scanChannels(const std::array<std::span<const uint8_t>, registersPerFrame>& song,
                                                  BitStreamWriter& writer, int verbosity)
{
    std::array<bool, registersPerFrame> skipped{};
    for (int c = firstChannel; c >= 0; --c) {
        const bool constant = isConstant(song[c]);
        if (c == 0) {
            if (constant) warnAboutConstantChannelZero(song[c][0]);
            continue;
        }
        skipped[c] = constant;
        writer.putFlag(constant ? 1 : 0);
        if (constant && verbosity != 0) std::fprintf(stderr, "Skipping channel #%d, set with $%02x.\n", c, song[c][0]);
    }
    return skipped;
}

// When every stream ends in a match, nothing marks the last frame in the data;
// a literal at the end of channel 0, the last channel of every frame, does.
void applyEndRule(std::array<std::optional<OptimalParser>, registersPerFrame>& parsers, bool forceEndLiteral)
{
    const bool allEndInMatch = std::all_of(parsers.begin(), parsers.end(),
                                           [](const auto& parser) { return !parser || parser->endsInMatch(); });
    if (!allEndInMatch) return;
    if (forceEndLiteral) {
        std::fprintf(stderr, "LZSS: fixing up stream #0 to end in a literal\n");
        parsers[0]->parse(true);
    } else {
        std::fprintf(stderr, "WARNING: stream does not end in a literal.\n");
        std::fprintf(stderr, "WARNING: this can produce errors at the end of decoding.\n");
    }
}

}  // namespace

MatchHistograms makeHistograms(const LzssSettings& settings)
{
    return {std::vector<int32_t>(static_cast<size_t>(settings.longestMatch()) + 1, 0),
            std::vector<int32_t>(static_cast<size_t>(settings.windowSize()) + 1, 0)};
}

int32_t emitStep(const OptimalParser& parser, std::span<const uint8_t> stream, StepSink& sink, int32_t frame,
                 int32_t lastCovered)
{
    if (frame <= lastCovered) return lastCovered;
    const int32_t length = parser.length(frame);
    if (length < sink.settings.minMatchLength) {
        sink.writer.putFlag(1);
        sink.writer.putByte(stream[frame]);
        ++sink.histograms.len[0];
        return frame;
    }
    const int32_t distance = parser.distance(frame);
    // The code names the source frame, not the distance, counted from the
    // offset base and wrapped to the window.
    const int32_t offsetCode = (frame - distance - sink.offsetBase) & (sink.settings.windowSize() - 1);
    sink.writer.putFlag(0);
    sink.writer.putMatchCode(offsetCode, length - sink.settings.minMatchLength);
    ++sink.histograms.len[length];
    ++sink.histograms.pos[distance];
    return frame + length - 1;
}

CompressionResult writeCompressedFile(const RegisterStreamSet& streams, int32_t frameCount, BitStreamWriter& writer,
                                      const LzssSettings& settings, MatchHistograms& histograms, int verbosity,
                                      bool forceEndLiteral, bool oldFormat)
{
    if (frameCount < 1) throw std::invalid_argument("a compressed file needs at least one frame");
    std::array<std::span<const uint8_t>, registersPerFrame> song;
    for (int c = 0; c < registersPerFrame; ++c) song[c] = std::span(streams.streams[c]).first(frameCount);

    CompressionResult result;
    result.skipped = scanChannels(song, writer, verbosity);
    writer.flush();

    for (int c = firstChannel; c >= 0; --c) {
        if (!oldFormat || result.skipped[c]) writer.putByte(song[c][0]);
    }
    writer.flush();

    std::array<std::optional<OptimalParser>, registersPerFrame> parsers;
    for (int c = 0; c < registersPerFrame; ++c) {
        if (result.skipped[c]) continue;
        parsers[c].emplace(settings);
        parsers[c]->build(song[c], frameCount);
        parsers[c]->parse(false);
    }
    applyEndRule(parsers, forceEndLiteral);

    // In the new format frame 0 is in the header; its literal is not emitted.
    StepSink sink{writer, histograms, settings, offsetBase(oldFormat)};
    std::array<int32_t, registersPerFrame> lastCovered;
    lastCovered.fill(-1);
    for (int32_t frame = oldFormat ? 0 : 1; frame < frameCount; ++frame) {
        for (int c = firstChannel; c >= 0; --c) {
            if (parsers[c]) lastCovered[c] = emitStep(*parsers[c], song[c], sink, frame, lastCovered[c]);
        }
    }
    writer.flush();

    for (int c = 0; c < registersPerFrame; ++c) {
        if (parsers[c]) result.bits[c] = parsers[c]->cost(0);
    }
    return result;
}

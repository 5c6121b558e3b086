#include "lzss/compressed_file.h"

#include "lzss/bit_stream_writer.h"
#include "lzss/optimal_parser.h"

#include <algorithm>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Below this many frames a thread costs more than the parse it would take over.
constexpr int32_t framesWorthAThread = 20000;

void warn(Notices& notices, std::string text) { notices.push_back({Notice::Kind::Warning, std::move(text)}); }

// The mask holds one flag per channel 8 down to 1: set when the channel is
// left out.
void scanChannels(const RegisterStreamSet& song, BitStreamWriter& writer, CompressedFile& file, Notices& notices)
{
    file.skipped = leftOutChannels(song);
    for (int c = firstChannel; c >= 0; --c) {
        const std::vector<uint8_t>& stream = song.streams[c];
        const bool constant = song.isConstant(c);
        if (c == 0) {
            if (constant)
                warn(notices, "WARNING: stream #0 " +
                                  (stream[0] == 0 ? "is empty" : formatText("contains only $%02X", stream[0])) +
                                  ", should not be included in output!\n");
            continue;
        }
        writer.putFlag(constant ? 1 : 0);
        if (constant)
            notices.push_back(
                {Notice::Kind::ChannelSkipped, formatText("Skipping channel #%d, set with $%02x.\n", c, stream[0])});
    }
}

// When every stream ends in a match, nothing marks the last frame in the data;
// a literal at the end of channel 0, the last channel of every frame, does.
void applyEndRule(std::array<std::optional<OptimalParser>, registersPerFrame>& parsers, bool forceEndLiteral,
                  Notices& notices)
{
    const bool allEndInMatch = std::all_of(parsers.begin(), parsers.end(),
                                           [](const auto& parser) { return !parser || parser->endsInMatch(); });
    if (!allEndInMatch) return;
    if (forceEndLiteral) {
        warn(notices, "LZSS: fixing up stream #0 to end in a literal\n");
        parsers[0]->parse(true);
    } else {
        warn(notices, "WARNING: stream does not end in a literal.\n");
        warn(notices, "WARNING: this can produce errors at the end of decoding.\n");
    }
}

// Where emitted steps go.
struct StepSink {
    BitStreamWriter& writer;
    MatchHistograms& histograms;
    const LzssSettings& settings;
    int32_t offsetBase;
};

// Emits the step of one channel that starts at frame, unless the channel's
// current step still covers it. Returns the last frame now covered.
int32_t emitStep(const OptimalParser& parser, StepSink& sink, int32_t frame, int32_t lastCovered)
{
    if (frame <= lastCovered) return lastCovered;
    const int32_t length = parser.length(frame);
    if (length < sink.settings.minMatchLength) {
        sink.writer.putFlag(1);
        sink.writer.putByte(parser.stream()[frame]);
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

}  // namespace

std::array<bool, registersPerFrame> leftOutChannels(const RegisterStreamSet& song)
{
    std::array<bool, registersPerFrame> leftOut{};
    for (int c = 1; c < registersPerFrame; ++c) leftOut[c] = song.isConstant(c);
    return leftOut;
}

CompressedFile writeCompressedFile(const RegisterStreamSet& song, const LzssSettings& settings,
                                   const FormatChoices& format, Notices& notices, std::optional<int32_t> loopFrame)
{
    const int32_t frameCount = song.frameCount();
    if (frameCount < 1) throw std::invalid_argument("a compressed file needs at least one frame");
    if (loopFrame && (*loopFrame < 0 || *loopFrame >= frameCount))
        throw std::invalid_argument("a loop frame outside the song");
    BitStreamWriter writer(settings);
    CompressedFile file;
    file.histograms = {std::vector<int32_t>(static_cast<size_t>(settings.longestMatch()) + 1, 0),
                       std::vector<int32_t>(static_cast<size_t>(settings.windowSize()) + 1, 0)};

    scanChannels(song, writer, file, notices);
    for (int c = firstChannel; c >= 0; --c) {
        if (!format.oldFormat || file.skipped[c]) writer.putByte(song.streams[c][0]);
    }

    std::array<std::optional<OptimalParser>, registersPerFrame> parsers;
    std::vector<std::future<void>> parses;
    for (int c = 0; c < registersPerFrame; ++c) {
        if (file.skipped[c]) continue;
        parsers[c].emplace(settings);
        const auto parse = [&parser = *parsers[c], &stream = song.streams[c], loopFrame] {
            parser.build(stream, loopFrame);
            parser.parse(false);
        };
        // The channels' parses are independent: a long song's share the cores.
        if (frameCount >= framesWorthAThread) parses.push_back(std::async(std::launch::async, parse));
        else parse();
    }
    for (std::future<void>& parse : parses) parse.get();
    applyEndRule(parsers, format.forceEndLiteral, notices);

    // In the new format frame 0 is in the header; its literal is not emitted.
    StepSink sink{writer, file.histograms, settings, offsetBase(format)};
    std::array<int32_t, registersPerFrame> lastCovered;
    lastCovered.fill(-1);
    for (int32_t frame = firstStepFrame(format); frame < frameCount; ++frame) {
        for (int c = firstChannel; c >= 0; --c) {
            if (parsers[c]) lastCovered[c] = emitStep(*parsers[c], sink, frame, lastCovered[c]);
        }
    }

    for (int c = 0; c < registersPerFrame; ++c) {
        if (parsers[c]) file.bits[c] = parsers[c]->cost(0);
    }
    file.bytes = writer.takeBytes();
    if (loopFrame) file.restart = findLoopRestart(file.bytes, settings, format, *loopFrame);
    return file;
}

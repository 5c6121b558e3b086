#include "capture/trim_silence_and_loop.h"

#include "capture/loop_search.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

namespace {

bool isSilent(const RegisterStreamSet& streams, int32_t frame)
{
    for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
        if ((streams.streams[audc][frame] & 0x0F) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t trimSilenceAndLoop(RegisterStreamSet& streams, int32_t frameCount,
                           const std::string& invocationName)
{
    assert(frameCount >= 0);
    for ([[maybe_unused]] const auto& stream : streams.streams) {
        assert(stream.size() >= static_cast<size_t>(frameCount));
    }
    if (frameCount == 0) {
        return 0;
    }
    const char* name = invocationName.c_str();

    int32_t end = frameCount;
    while (end > 0 && isSilent(streams, end - 1)) {
        --end;
    }
    if (end == 0) {
        std::fprintf(stderr, "%s: song is completely silent, skipping.", name);
        return 0;
    }
    if (end < frameCount) {
        std::fprintf(stderr, "%s: skipping %d frames from the end.", name, frameCount - end);
    }

    // The end cut left a sounding last frame, so this walk stops before it.
    int32_t start = 0;
    while (isSilent(streams, start)) {
        ++start;
    }
    int32_t count = end - start;
    if (start > 0) {
        std::fprintf(stderr, "%s: skipping %d frames from the start.", name, start);
        for (auto& stream : streams.streams) {
            // Moving to the front, so a forward copy is safe on the overlap.
            std::copy(stream.begin() + start, stream.begin() + end, stream.begin());
        }
    }

    const std::vector<ComparisonEntry> comparison = buildComparisonCopy(streams, count);
    if (const std::optional<LoopPair> loop = findFirstLoop(comparison)) {
        std::fprintf(stderr, "%s: loop detected from frame %d to %d (of %d)\n", name,
                     loop->repeatStart, loop->loopStart, count);
        count = loop->repeatStart;
    }
    return count;
}

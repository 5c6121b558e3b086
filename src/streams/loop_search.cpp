#include "streams/loop_search.h"

#include <cstddef>

std::vector<ComparisonEntry> buildComparisonCopy(const RegisterStreamSet& streams)
{
    std::vector<ComparisonEntry> entries(static_cast<size_t>(streams.frameCount()));  // zero-filled
    for (size_t frame = 0; frame < entries.size(); ++frame) {
        ComparisonEntry& entry = entries[frame];
        for (int channel = 0; channel < audioChannels; ++channel) {
            const int audf = AUDF1 + 2 * channel;
            const int audc = audf + 1;
            const uint8_t control = streams.streams[audc][frame];
            if (channelSounds(control)) {
                entry[audf] = streams.streams[audf][frame];
                entry[audc] = control;
                entry[AUDCTL] = streams.streams[AUDCTL][frame];
            }
        }
    }
    return entries;
}

// The pairs are defined by an ordered search: loop starts l = 0, 1, ... in
// the outer loop and repeat starts d = l + 1, l + 2, ... in the inner one,
// the first pair whose stretches l..l+(m-d)-1 and d..m-1 are equal winning.
// Tried literally that costs a comparison of the whole tail per pair, which
// is quadratic at best and cubic on a song that almost loops. This finds the
// same pair in linear time:
//
// The pair (l, d) matches exactly when the entries l..m-1 have period d - l.
// For a fixed l the first d tried that matches is therefore l + q, q being
// the smallest period of those entries with l + q <= m - minimumRepeatedFrames.
// Every period is at least the shortest one, p(l), so either l + p(l) fits
// the bound and d = l + p(l), or no period fits and the ordered search moves
// on to l + 1. (An l whose entries have no shorter period has p(l) = m - l,
// which never fits.) The answer is the first l with l + p(l) within bounds.
//
// A sequence and its reverse have the same periods, and the entries l..m-1
// reversed are the first m - l entries of the whole song reversed. The
// shortest period of a prefix is its length minus its longest proper border
// (a prefix that is also a suffix), and one prefix-function pass over the
// reversed song yields that border for every prefix.
namespace {

template <class Entry>
std::optional<LoopPair> firstLoop(std::span<const Entry> entries)
{
    const auto frameCount = static_cast<int32_t>(entries.size());
    if (frameCount < minimumFramesFromLoopStart) {
        return std::nullopt;
    }
    const auto fromEnd = [&](int32_t index) -> const Entry& {
        return entries[static_cast<size_t>(frameCount - 1 - index)];
    };

    // border[k]: length of the longest proper border of the last k + 1 entries.
    std::vector<int32_t> border(static_cast<size_t>(frameCount));
    border[0] = 0;
    for (int32_t k = 1; k < frameCount; ++k) {
        int32_t length = border[k - 1];
        while (length > 0 && fromEnd(k) != fromEnd(length)) {
            length = border[length - 1];
        }
        if (fromEnd(k) == fromEnd(length)) {
            ++length;
        }
        border[k] = length;
    }

    const int32_t lastLoopStart = frameCount - minimumFramesFromLoopStart;
    const int32_t lastRepeatStart = frameCount - minimumRepeatedFrames;
    for (int32_t loopStart = 0; loopStart <= lastLoopStart; ++loopStart) {
        const int32_t tailLength = frameCount - loopStart;
        const int32_t shortestPeriod = tailLength - border[tailLength - 1];
        if (loopStart + shortestPeriod <= lastRepeatStart) {
            return LoopPair{loopStart, loopStart + shortestPeriod};
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<LoopPair> findFirstLoop(std::span<const ComparisonEntry> entries) { return firstLoop(entries); }

std::optional<LoopPair> findFirstLoopOfPairs(std::span<const PairEntry> entries) { return firstLoop(entries); }

#pragma once

#include "lzss/lzss_settings.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

// The optimal parse written as plainly as possible, with no shortcut at all,
// so that any faster parser can be checked against it entry by entry.
struct ReferenceParse {
    std::vector<int32_t> length;
    std::vector<int32_t> distance;
    std::vector<int32_t> cost;
};

// With a loop start l, a position at or after l may copy from a frame q
// before l only where q holds what its ring slot holds at the song's end.
inline ReferenceParse referenceParse(std::span<const uint8_t> stream, const LzssSettings& settings,
                                     bool forceFinalLiteral, int32_t loopStart = INT32_MAX)
{
    const auto n = static_cast<int32_t>(stream.size());
    const int32_t w = settings.windowSize();
    const auto readable = [&](int32_t at, int32_t q) {
        return at < loopStart || q >= loopStart || stream[q] == stream[q + w * ((n - 1 - q) / w)];
    };
    ReferenceParse parse{std::vector<int32_t>(n), std::vector<int32_t>(n), std::vector<int32_t>(n)};
    if (n == 0)
        return parse;

    const int32_t rangeEnd = forceFinalLiteral ? n - 1 : n;
    // One entry past the range: whatever ends there has nothing left to pay.
    std::vector<int32_t> cost(rangeEnd + 1, 0);
    for (int32_t i = rangeEnd - 1; i >= 0; --i) {
        int32_t longest = 0;
        int32_t longestDistance = 0;
        if (i < rangeEnd - 1) {
            const int32_t maxLength = std::min(settings.longestMatch(), rangeEnd - i);
            for (int32_t d = std::min(i, settings.windowSize()); d >= 1; --d) {
                int32_t k = 0;
                while (k < maxLength && stream[i - d + k] == stream[i + k] && readable(i + k, i - d + k))
                    ++k;
                if (k > longest) {
                    longest = k;
                    longestDistance = d;
                }
            }
        }
        cost[i] = cost[i + 1] + literalCost;
        parse.distance[i] = longestDistance;
        for (int32_t j = longest; j >= settings.minMatchLength; --j) {
            if (cost[i + j] + settings.matchCost() < cost[i]) {
                cost[i] = cost[i + j] + settings.matchCost();
                parse.length[i] = j;
            }
        }
    }
    std::copy(cost.begin(), cost.begin() + rangeEnd, parse.cost.begin());
    return parse;
}

#pragma once

#include "lzss/lzss_settings.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

// The parse as the program did it before the window runs: every candidate
// in the window compared byte by byte, farthest first, stopping only once a
// candidate reaches the longest match, and every length tried in turn. Kept
// here as the baseline the fast parse is measured against.
struct PlainTables {
    std::vector<int32_t> cost, length, distance;
};

inline void plainParse(std::span<const uint8_t> stream, const LzssSettings& settings, PlainTables& tables)
{
    const auto n = static_cast<int32_t>(stream.size());
    tables.cost.assign(n, 0);
    tables.length.assign(n, 0);
    tables.distance.assign(n, 0);
    if (n == 0)
        return;
    tables.cost[n - 1] = literalCost;
    const uint8_t* bytes = stream.data();
    for (int32_t i = n - 2; i >= 0; --i) {
        const int32_t maxLength = std::min(settings.longestMatch(), n - i);
        int32_t longest = 0;
        int32_t longestDistance = 0;
        for (int32_t p = std::max(0, i - settings.windowSize()); p < i && longest < maxLength; ++p) {
            int32_t k = 0;
            while (k < maxLength && bytes[p + k] == bytes[i + k])
                ++k;
            if (k > longest) {
                longest = k;
                longestDistance = i - p;
            }
        }
        int32_t best = tables.cost[i + 1] + literalCost;
        int32_t bestLength = 0;
        for (int32_t j = longest; j >= settings.minMatchLength; --j) {
            const int32_t after = i + j < n ? tables.cost[i + j] : 0;
            if (after + settings.matchCost() < best) {
                best = after + settings.matchCost();
                bestLength = j;
            }
        }
        tables.cost[i] = best;
        tables.length[i] = bestLength;
        tables.distance[i] = longestDistance;
    }
}

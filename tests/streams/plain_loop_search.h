#pragma once

#include "streams/loop_search.h"

#include <algorithm>
#include <optional>
#include <span>

// The loop search as trimming defines it: every candidate pair in order, each
// compared over the whole remaining stretch. The reference that the linear
// search is tested and measured against.
inline std::optional<LoopPair> findFirstLoopPlainly(std::span<const ComparisonEntry> entries)
{
    const auto m = static_cast<int32_t>(entries.size());
    for (int32_t l = 0; l <= m - minimumFramesFromLoopStart; ++l) {
        for (int32_t d = l + 1; d <= m - minimumRepeatedFrames; ++d) {
            if (std::equal(entries.begin() + l, entries.begin() + l + (m - d), entries.begin() + d)) return LoopPair{l, d};
        }
    }
    return std::nullopt;
}

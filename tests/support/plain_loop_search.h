#pragma once

#include "capture/loop_search.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <span>

// The loop search as the trimmer defines it: every candidate pair in order,
// each compared over the whole remaining stretch. Kept as the reference that
// the fast search must agree with.
inline std::optional<LoopPair> findFirstLoopPlainly(std::span<const ComparisonEntry> entries)
{
    const auto m = static_cast<int32_t>(entries.size());
    if (m <= 100) {
        return std::nullopt;
    }
    for (int32_t l = 0; l <= m - 101; ++l) {
        for (int32_t d = l + 1; d <= m - 51; ++d) {
            if (std::equal(entries.begin() + l, entries.begin() + l + (m - d), entries.begin() + d)) {
                return LoopPair{l, d};
            }
        }
    }
    return std::nullopt;
}

// Lets test failures show the pair.
inline void PrintTo(const LoopPair& pair, std::ostream* out)
{
    *out << "(loop start " << pair.loopStart << ", repeat start " << pair.repeatStart << ")";
}

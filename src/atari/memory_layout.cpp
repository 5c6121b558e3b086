#include "atari/memory_layout.h"

#include <algorithm>
#include <vector>

MemoryPlan planMemory(std::span<const MemoryRange> ranges, uint32_t codeEnd, uint32_t ringBytes)
{
    MemoryPlan best{0, 0, INT64_MIN};
    for (size_t r = 0; r < ranges.size(); ++r) {
        std::vector<uint32_t> used(ranges.size());
        for (size_t i = 0; i < ranges.size(); ++i) used[i] = i == 0 ? codeEnd : ranges[i].first;
        const uint32_t rings = (used[r] + 0xFF) & ~0xFFu;
        used[r] = rings + ringBytes;
        // What the code or the rings lack, when they do not fit, the song lacks as well.
        const int64_t lacking =
            std::min({int64_t{0}, int64_t{ranges[0].end} - codeEnd, int64_t{ranges[r].end} - used[r]});
        for (size_t s = 0; s < ranges.size(); ++s) {
            int64_t room = int64_t{std::min(ranges[s].end, songEndLimit)} - used[s];
            if (lacking < 0) room = std::min(room, lacking);
            if (room > best.room) best = {rings, used[s], room};
        }
    }
    return best;
}

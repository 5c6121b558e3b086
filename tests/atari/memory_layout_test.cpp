// The memory plan: whatever the free ranges, the code, the rings and the
// song it places never overlap, stay inside free RAM, keep the rings page
// aligned and the song's end within reach of the player.
#include "atari/memory_layout.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

bool inside(const std::vector<MemoryRange>& ranges, uint32_t first, uint32_t end)
{
    for (const MemoryRange& range : ranges) {
        if (first >= range.first && end <= range.end) return true;
    }
    return first == end;
}

bool overlap(uint32_t a, uint32_t aEnd, uint32_t b, uint32_t bEnd) { return a < bEnd && b < aEnd; }

}  // namespace

TEST(MemoryLayout, PiecesNeverOverlapAndStayInFreeRam)
{
    std::mt19937 random(7);
    for (int trial = 0; trial < 2000; ++trial) {
        // One to three free ranges, in order, between $0000 and $10000.
        std::vector<uint32_t> cuts;
        for (int i = 0; i < 6; ++i) cuts.push_back(random() % 0x10001);
        std::sort(cuts.begin(), cuts.end());
        std::vector<MemoryRange> ranges;
        for (size_t i = 0; i + 1 < cuts.size() && ranges.size() < 1 + random() % 3; i += 2)
            ranges.push_back({cuts[i], cuts[i + 1]});
        const MemoryRange code = ranges[0];
        const uint32_t codeEnd = code.first + random() % (code.end - code.first + 1);
        const uint32_t ringBytes = (random() % 4) * 256 * (1 + random() % 9);
        const MemoryPlan plan = planMemory(ranges, codeEnd, ringBytes);
        if (plan.room < 0) continue;  // nothing fits: lz16 refuses the song
        const auto song = plan.song, songEnd = plan.song + static_cast<uint32_t>(plan.room);
        const auto rings = plan.rings, ringsEnd = plan.rings + ringBytes;
        SCOPED_TRACE(testing::Message() << "trial " << trial << ": rings $" << std::hex << rings << ", song $" << song
                                        << " to $" << songEnd << ", code to $" << codeEnd);
        EXPECT_EQ(rings % 256, 0u);
        EXPECT_TRUE(inside(ranges, rings, ringsEnd));
        EXPECT_TRUE(inside(ranges, song, songEnd));
        EXPECT_LE(songEnd, songEndLimit);
        EXPECT_FALSE(overlap(code.first, codeEnd, rings, ringsEnd));
        EXPECT_FALSE(overlap(code.first, codeEnd, song, songEnd));
        EXPECT_FALSE(overlap(rings, ringsEnd, song, songEnd));
    }
}
